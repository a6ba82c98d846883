#include "streams.h"

#include "rtl-exceptions.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(const std::string& AText) {
  return std::vector<uint8_t>(AText.begin(), AText.end());
}

std::vector<uint8_t> Contents(TMemoryStream& AStream) {
  const auto* bytes = static_cast<const uint8_t*>(AStream.Memory());
  return std::vector<uint8_t>(bytes, bytes + AStream.GetSize());
}

// A payload that compresses somewhat but not trivially.
std::vector<uint8_t> Mixed(size_t ACount) {
  std::vector<uint8_t> data(ACount);
  uint32_t state = 12345;
  for (size_t i = 0; i < ACount; ++i) {
    state = state * 1103515245u + 12345u;
    data[i] = (i % 3 == 0) ? uint8_t(state >> 24) : uint8_t('a' + i % 7);
  }
  return data;
}

std::wstring TempPath(const wchar_t* AName) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"orvandel-rtlb-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         AName;
}

} // namespace

TEST(MemoryStream, WritesPastTheEndGrowAndTheGapIsZeroFilled) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  EXPECT_EQ(stream.Seek(10, TSeekOrigin::Beginning), 10);
  stream.WriteBuffer("Z", 1);
  EXPECT_EQ(stream.GetSize(), 11);
  std::vector<uint8_t> expected = Bytes("abc");
  expected.resize(10, 0);
  expected.push_back('Z');
  EXPECT_EQ(Contents(stream), expected);

  stream.SetPosition(1);
  char two[2];
  stream.ReadBuffer(two, 2);
  EXPECT_EQ(std::string(two, 2), "bc");
  EXPECT_EQ(stream.Seek(-1, TSeekOrigin::End), 10);
  EXPECT_THROW(stream.Seek(-1, TSeekOrigin::Beginning), EStreamError);
}

TEST(MemoryStream, ReadBufferPastTheEndRaisesReadError) {
  TMemoryStream stream;
  stream.WriteBuffer("abcd", 4);
  stream.SetPosition(2);
  char buffer[4];
  EXPECT_EQ(stream.Read(buffer, 4), 2u);
  stream.SetPosition(2);
  EXPECT_THROW(stream.ReadBuffer(buffer, 3), EReadError);
}

TEST(MemoryStream, SetSizeShrinksAndClampsThePosition) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  stream.SetSize(2);
  EXPECT_EQ(stream.GetSize(), 2);
  EXPECT_EQ(stream.GetPosition(), 2);
  stream.SetSize(4);
  EXPECT_EQ(Contents(stream), (std::vector<uint8_t>{'a', 'b', 0, 0}));
  stream.Clear();
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(MemoryStream, CopyFromWithZeroCountCopiesTheWholeSource) {
  TMemoryStream source, dest;
  source.WriteBuffer("0123456789", 10);
  source.SetPosition(7);
  EXPECT_EQ(dest.CopyFrom(source, 0), 10);
  EXPECT_EQ(Contents(dest), Bytes("0123456789"));
  source.SetPosition(2);
  TMemoryStream part;
  EXPECT_EQ(part.CopyFrom(source, 3), 3);
  EXPECT_EQ(Contents(part), Bytes("234"));
  source.SetPosition(8);
  EXPECT_THROW(part.CopyFrom(source, 5), EReadError);
}

TEST(MemoryStreamReadOnly, ReadsForeignMemoryAndNeverWritesIt) {
  char memory[] = "foreign bytes";
  TMemoryStreamReadOnly stream(memory, 7);
  EXPECT_EQ(stream.GetSize(), 7);
  EXPECT_EQ(stream.Memory(), memory);
  EXPECT_EQ(stream.Write("XXXX", 4), 0u);
  EXPECT_THROW(stream.WriteBuffer("X", 1), EWriteError);
  EXPECT_STREQ(memory, "foreign bytes");
  EXPECT_EQ(stream.ReadRest(), Bytes("foreign"));
  stream.SetBuffer(memory + 8, 5);
  EXPECT_EQ(stream.GetPosition(), 0);
  EXPECT_EQ(stream.ReadRest(), Bytes("bytes"));
  EXPECT_THROW(stream.SetSize(2), EStreamError);
}

TEST(FileStream, WritesReadsTruncatesAndNamesTheFileItCannotOpen) {
  const std::wstring path = TempPath(L"file.bin");
  {
    TFileStream file(path, fmCreate);
    file.WriteBuffer("hello, file", 11);
    EXPECT_EQ(file.GetSize(), 11);
    file.SetSize(5);
    EXPECT_EQ(file.GetSize(), 5);
  }
  {
    TFileStream file(path, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(file.ReadRest(), Bytes("hello"));
    EXPECT_EQ(file.Write("x", 1), 0u);
  }
  TMemoryStream loaded;
  loaded.LoadFromFile(path);
  EXPECT_EQ(Contents(loaded), Bytes("hello"));
  DeleteFileW(path.c_str());

  try {
    TFileStream missing(path, fmOpenRead);
    FAIL() << "a missing file opened";
  } catch (const EFOpenError& error) {
    EXPECT_NE(error.Message().find(path), std::wstring::npos);
  }
  EXPECT_THROW(TFileStream(TempPath(L"no-such-folder\\x.bin"), fmCreate), EFCreateError);
}

TEST(ResourceStream, AMissingResourceRaisesResNotFound) {
  try {
    TResourceStream stream(GetModuleHandleW(nullptr), L"NO_SUCH_RESOURCE", MAKEINTRESOURCEW(10));
    FAIL() << "a missing resource opened";
  } catch (const EResNotFound& error) {
    EXPECT_NE(error.Message().find(L"NO_SUCH_RESOURCE"), std::wstring::npos);
  }
}

// --- zlib -------------------------------------------------------------------------

struct TZlibCase {
  const char* Name;
  std::vector<uint8_t> Payload;
};

class ZlibRoundTrip : public ::testing::TestWithParam<TCompressionLevel> {};

TEST_P(ZlibRoundTrip, EveryPayloadComesBackIdentical) {
  const std::vector<TZlibCase> cases = {
      {"empty", {}},
      {"one byte", {0x42}},
      {"text", Bytes("The quick brown fox jumps over the lazy dog")},
      {"mixed, larger than the buffers", Mixed(300 * 1024)},
      {"runs", std::vector<uint8_t>(100000, 0xAA)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint8_t> packed =
        ZCompressBytes(c.Payload.data(), c.Payload.size(), GetParam());
    ASSERT_GE(packed.size(), 2u);
    EXPECT_EQ(ZDecompressBytes(packed.data(), packed.size()), c.Payload);

    // The same through the stream helpers, with data before and after.
    TMemoryStream source, packedStream, unpacked;
    source.WriteBuffer(c.Payload.data(), c.Payload.size());
    source.SetPosition(0);
    packedStream.WriteBuffer("HEAD", 4);
    ZCompressStream(source, packedStream, GetParam());
    packedStream.WriteBuffer("TAIL", 4);
    packedStream.SetPosition(4);
    ZDecompressStream(packedStream, unpacked);
    EXPECT_EQ(Contents(unpacked), c.Payload);
    EXPECT_EQ(packedStream.ReadRest(), Bytes("TAIL"));
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, ZlibRoundTrip,
                         ::testing::Values(TCompressionLevel::None, TCompressionLevel::Fastest,
                                           TCompressionLevel::Default, TCompressionLevel::Max));

TEST(Zlib, MaximumLevelStreamsBeginWith78DA) {
  const std::vector<uint8_t> payload = Mixed(1000);
  const std::vector<uint8_t> packed = ZCompressBytes(payload.data(), payload.size());
  EXPECT_EQ(packed[0], 0x78);
  EXPECT_EQ(packed[1], 0xDA);
}

TEST(Zlib, TruncatedInputIsRejectedWithReadError) {
  const std::vector<uint8_t> payload = Mixed(50000);
  const std::vector<uint8_t> packed = ZCompressBytes(payload.data(), payload.size());
  for (size_t keep :
       {size_t(0), size_t(1), size_t(2), packed.size() / 2, packed.size() - 4, packed.size() - 1}) {
    SCOPED_TRACE(keep);
    EXPECT_THROW(ZDecompressBytes(packed.data(), keep), EReadError);
    TMemoryStreamReadOnly source(packed.data(), keep);
    TMemoryStream out;
    EXPECT_THROW(ZDecompressStream(source, out), EReadError);
  }
}

TEST(Zlib, CorruptDataRaisesDecompressionError) {
  const std::vector<uint8_t> payload = Mixed(5000);
  std::vector<uint8_t> packed = ZCompressBytes(payload.data(), payload.size());
  const struct {
    const char* Name;
    size_t Offset;
  } cases[] = {{"header", 0}, {"body", packed.size() / 2}, {"checksum", packed.size() - 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> broken = packed;
    broken[c.Offset] ^= 0x5A;
    EXPECT_THROW(ZDecompressBytes(broken.data(), broken.size()), EDecompressionError);
  }
  std::vector<uint8_t> trailing = packed;
  trailing.push_back(0);
  EXPECT_THROW(ZDecompressBytes(trailing.data(), trailing.size()), EReadError);
}

TEST(Zlib, DecompressionStreamSkipsForwardRewindsAndRefusesBackwardSeeks) {
  const std::vector<uint8_t> payload = Mixed(20000);
  const std::vector<uint8_t> packed = ZCompressBytes(payload.data(), payload.size());
  TMemoryStreamReadOnly source(packed.data(), packed.size());
  TDecompressionStream z(source);
  EXPECT_EQ(z.Seek(1000, TSeekOrigin::Current), 1000);
  uint8_t byte = 0;
  z.ReadBuffer(&byte, 1);
  EXPECT_EQ(byte, payload[1000]);
  EXPECT_THROW(z.Seek(10, TSeekOrigin::Beginning), EDecompressionError);
  EXPECT_EQ(z.Seek(0, TSeekOrigin::Beginning), 0);
  EXPECT_EQ(z.ReadRest(), payload);
  EXPECT_TRUE(z.AtEnd());
  EXPECT_EQ(z.GetPosition(), int64_t(payload.size()));
  EXPECT_THROW(z.WriteBuffer("x", 1), EDecompressionError);
}

TEST(Zlib, CompressionStreamFinishesInItsDestructor) {
  TMemoryStream packed;
  {
    TCompressionStream z(packed, TCompressionLevel::Default);
    z.WriteBuffer("abcabcabc", 9);
    EXPECT_EQ(z.GetPosition(), 9);
    uint8_t byte;
    EXPECT_THROW(z.Read(&byte, 1), ECompressionError);
  }
  EXPECT_EQ(ZDecompressBytes(packed.Memory(), size_t(packed.GetSize())), Bytes("abcabcabc"));
}

TEST(StreamAdapter, ServesIStreamOverAFrameworkStream) {
  TMemoryStream stream;
  IStream* adapter = NewStreamAdapter(stream);
  ULONG written = 0;
  EXPECT_EQ(adapter->Write("adapter", 7, &written), S_OK);
  EXPECT_EQ(written, 7u);
  LARGE_INTEGER move;
  move.QuadPart = 2;
  ULARGE_INTEGER position{};
  EXPECT_EQ(adapter->Seek(move, STREAM_SEEK_SET, &position), S_OK);
  EXPECT_EQ(position.QuadPart, 2u);
  char buffer[16] = {};
  ULONG read = 0;
  EXPECT_EQ(adapter->Read(buffer, 16, &read), S_FALSE);
  EXPECT_EQ(std::string(buffer, read), "apter");
  STATSTG stat{};
  EXPECT_EQ(adapter->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize.QuadPart, 7u);
  move.QuadPart = -1;
  EXPECT_NE(adapter->Seek(move, STREAM_SEEK_SET, nullptr), S_OK);

  IUnknown* unknown = nullptr;
  ASSERT_EQ(adapter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(adapter->Release(), 0u);
}
