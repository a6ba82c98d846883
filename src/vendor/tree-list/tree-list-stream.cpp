#include "tree-list-stream.h"

#include "rtl-exceptions.h"
#include "variants.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

void WriteInt(TStream& AStream, int32_t AValue) {
  AStream.WriteValue(AValue);
}

int32_t ReadInt(TStream& AStream) {
  return AStream.ReadValue<int32_t>();
}

// A count or size read from a stream must be one the rest of the stream can
// hold; checking before allocating keeps a corrupt value from asking for
// gigabytes.
void CheckRemaining(TStream& AStream, int64_t ABytes) {
  if (ABytes < 0)
    throw EReadError(L"Invalid tree list node stream");
  const int64_t remaining = AStream.GetSize() - AStream.GetPosition();
  if (ABytes > remaining)
    throw EReadError(L"Stream read error");
}

} // namespace

void WriteTreeListNode(TgxTreeListNode* ANode, TStream& AStream) {
  auto* textNode = dynamic_cast<TgxTreeListTextNode*>(ANode);
  const int32_t textCount = textNode ? textNode->TextCount() : 0;
  WriteInt(AStream, kgxNodeRecordSize);
  WriteInt(AStream, ANode->ImageIndex());
  WriteInt(AStream, ANode->SelectedIndex());
  WriteInt(AStream, ANode->StateIndex());
  // Only the low 32 bits of the data reference travel; the value means
  // something only to the process that wrote it.
  WriteInt(AStream, int32_t(reinterpret_cast<uintptr_t>(ANode->Data())));
  WriteInt(AStream, ANode->Count());
  WriteInt(AStream, textCount);
  for (int32_t i = 0; i < textCount; ++i) {
    const std::string bytes = WideToAnsi(textNode->Text(i));
    WriteInt(AStream, int32_t(bytes.size()));
    if (!bytes.empty())
      AStream.WriteBuffer(bytes.data(), bytes.size());
  }
  for (int i = 0; i < ANode->Count(); ++i)
    WriteTreeListNode(ANode->Items(i), AStream);
}

namespace {

// Nodes nest as deep as the stream says, and each level costs a frame of
// the reader (and later of painting and freeing): a stream nesting deeper
// than any real tree is refused rather than left to exhaust the stack.
constexpr int kMaxNodeStreamDepth = 1024;

void ReadNodeAtDepth(TgxTreeListNode* ANode, TStream& AStream, int32_t AStreamVersion, int ADepth);

} // namespace

void ReadTreeListNode(TgxTreeListNode* ANode, TStream& AStream, int32_t AStreamVersion) {
  ReadNodeAtDepth(ANode, AStream, AStreamVersion, 1);
}

namespace {

void ReadNodeAtDepth(TgxTreeListNode* ANode, TStream& AStream, int32_t AStreamVersion, int ADepth) {
  if (ADepth > kMaxNodeStreamDepth)
    throw EReadError(L"Invalid tree list node stream");
  const int32_t recordSize = ReadInt(AStream);
  if (recordSize < kgxNodeRecordSize)
    throw EReadError(L"Invalid tree list node record");
  CheckRemaining(AStream, recordSize);
  std::vector<uint8_t> record(size_t(recordSize), 0);
  AStream.ReadBuffer(record.data(), record.size());
  int32_t fields[6];
  std::memcpy(fields, record.data(), sizeof(fields));
  const int32_t childCount = fields[4], textCount = fields[5];
  if (childCount < 0 || textCount < 0)
    throw EReadError(L"Invalid tree list node record");
  ANode->SetImageIndex(fields[0]);
  ANode->SetSelectedIndex(fields[1]);
  ANode->SetStateIndex(fields[2]);
  ANode->SetData(reinterpret_cast<void*>(uintptr_t(uint32_t(fields[3]))));
  // Every text needs at least its length.
  CheckRemaining(AStream, int64_t(textCount) * (AStreamVersion != 0 ? 4 : 1));
  for (int32_t i = 0; i < textCount; ++i) {
    int64_t length = 0;
    if (AStreamVersion != 0)
      length = ReadInt(AStream);
    else
      length = AStream.ReadValue<uint8_t>();
    CheckRemaining(AStream, length);
    std::vector<char> bytes{};
    bytes.resize(size_t(length));
    if (length > 0)
      AStream.ReadBuffer(bytes.data(), bytes.size());
    ANode->SetStrings(i, AnsiToWide(std::string(bytes.begin(), bytes.end())));
  }
  // Every child record holds at least its size.
  CheckRemaining(AStream, int64_t(childCount) * 4);
  for (int32_t i = 0; i < childCount; ++i)
    ReadNodeAtDepth(ANode->AddChild(), AStream, AStreamVersion, ADepth + 1);
}

} // namespace

void WriteTreeListNodes(TgxTreeListNodeOwner& AOwner, TStream& AStream) {
  WriteInt(AStream, kgxNodeStreamMarker);
  WriteInt(AStream, AOwner.Count());
  for (int i = 0; i < AOwner.Count(); ++i)
    WriteTreeListNode(AOwner.Items(i), AStream);
}

void ReadTreeListNodes(TgxTreeListNodeOwner& AOwner, TStream& AStream, int32_t& AStreamVersion) {
  const int32_t first = ReadInt(AStream);
  int32_t version = 0, count = first;
  AStreamVersion = 0;
  if (first < 0) {
    version = AStreamVersion = first;
    count = ReadInt(AStream);
    if (count < 0)
      throw EReadError(L"Invalid tree list node stream");
  }
  CheckRemaining(AStream, int64_t(count) * 4);
  for (int32_t i = 0; i < count; ++i)
    ReadTreeListNode(AOwner.Add(), AStream, version);
}
