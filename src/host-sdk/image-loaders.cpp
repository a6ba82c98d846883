#include "image-loaders.h"

#include "dialogs.h"
#include "numeric-text.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

TLoaderErrorSink& ErrorSink() {
  static TLoaderErrorSink sink = [](const std::wstring& AMessage) { ShowError(AMessage); };
  return sink;
}

void ShowLoaderError(const std::wstring& AMessage) {
  if (ErrorSink())
    ErrorSink()(AMessage);
}

std::wstring SysErrorMessage(DWORD AError) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, AError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = n ? std::wstring(text, n) : std::wstring();
  if (text)
    LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
    message.pop_back();
  return message;
}

// The whole file, opened for reading with others allowed to read and write
// it. Answers the system error code, 0 on success.
DWORD ReadWholeFile(const std::wstring& APath, std::vector<std::uint8_t>& ABytes) {
  ABytes.clear();
  HANDLE file = CreateFileW(APath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError();
  DWORD error = 0;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    error = GetLastError();
  } else if (size.QuadPart > 0x7FFFFFFF) {
    error = ERROR_FILE_TOO_LARGE;
  } else {
    ABytes.resize(std::size_t(size.QuadPart));
    std::size_t done = 0;
    while (done < ABytes.size()) {
      DWORD got = 0;
      if (!ReadFile(file, ABytes.data() + done, DWORD(ABytes.size() - done), &got, nullptr)) {
        error = GetLastError();
        break;
      }
      if (got == 0)
        break;
      done += got;
    }
    ABytes.resize(done);
  }
  CloseHandle(file);
  return error;
}

bool FileIsMissing(DWORD AError) {
  return AError == ERROR_FILE_NOT_FOUND || AError == ERROR_PATH_NOT_FOUND;
}

std::wstring ExtractFileExt(const std::wstring& APath) {
  const std::wstring name = ExtractFileName(APath);
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

bool SameTextAscii(const std::wstring& a, const std::wstring& b) {
  auto fold = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? wchar_t(c + 32) : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(),
                    [&](wchar_t x, wchar_t y) { return fold(x) == fold(y); });
}

// A delivery buffer: one unit per byte.
struct TUnitBuffer {
  explicit TUnitBuffer(std::size_t ACount) : Units(AllocMemoryArray(ACount)) {}
  ~TUnitBuffer() { FreeMemoryArray(Units); }
  TUnitBuffer(const TUnitBuffer&) = delete;
  TUnitBuffer& operator=(const TUnitBuffer&) = delete;
  PMemoryArray Units;
};

bool LoadHex(const std::wstring& AFileName, const TBytesLoaded& ACallBack) {
  std::unique_ptr<THexLoader> loader(THexLoader::CreateWithCallBack(AFileName, ACallBack, 1));
  if (loader->Load())
    return true;
  ShowLoaderError(L"Errors Found When Loading Hex File: " + ExtractFileName(AFileName) + L"\r\r" +
                  L"     Lines With Errors: " + std::to_wstring(loader->ErrorCount()));
  return false;
}

bool LoadElf(const std::wstring& AFileName, const TBytesLoaded& ACallBack) {
  TElfFile elf(AFileName, ACallBack);
  if (elf.Load()) {
    elf.NotifySections();
    return true;
  }
  ShowLoaderError(L"Errors Found When Loading Elf File: " + ExtractFileName(AFileName) + L"\r\r");
  return false;
}

bool LoadRaw(const std::wstring& AFileName, const TBytesLoaded& ACallBack) {
  std::vector<std::uint8_t> bytes;
  const DWORD error = ReadWholeFile(AFileName, bytes);
  if (FileIsMissing(error))
    return false;
  if (error != 0) {
    // The reading ends at the first byte that does not come.
    ShowLoaderError(L"Errors Found When Loading Bin File: " + ExtractFileName(AFileName) + L"\r\r" +
                    L"    Number of Errors: 1");
    return false;
  }
  TUnitBuffer buffer(bytes.size());
  std::copy(bytes.begin(), bytes.end(), buffer.Units);
  if (ACallBack)
    ACallBack(0, std::int64_t(bytes.size()), buffer.Units);
  return true;
}

} // namespace

std::wstring ExtractFileName(const std::wstring& APath) {
  const std::size_t cut = APath.find_last_of(L"\\/:");
  return cut == std::wstring::npos ? APath : APath.substr(cut + 1);
}

TLoaderErrorSink SetLoaderErrorSink(TLoaderErrorSink ASink) {
  TLoaderErrorSink previous = std::move(ErrorSink());
  ErrorSink() = std::move(ASink);
  return previous;
}

bool LoadFile(const std::wstring& AFileFullPath, const TBytesLoaded& ACallBack) {
  if (SameTextAscii(ExtractFileExt(AFileFullPath), L".hex"))
    return LoadHex(AFileFullPath, ACallBack);
  std::vector<std::uint8_t> bytes;
  if (const DWORD error = ReadWholeFile(AFileFullPath, bytes))
    throw EFOpenError(L"Cannot open file \"" + AFileFullPath + L"\". " + SysErrorMessage(error));
  if (bytes.size() >= 4 && bytes[0] == 0x7F && bytes[1] == 'E' && bytes[2] == 'L' &&
      bytes[3] == 'F')
    return LoadElf(AFileFullPath, ACallBack);
  return LoadRaw(AFileFullPath, ACallBack);
}

// ---- Intel HEX ----------------------------------------------------------

THexLoader::THexLoader(const std::wstring& AHexFileName, const TBytesLoaded& ACallBack,
                       int ABytesPerInstruction)
    : HexFileName(AHexFileName), BytesPerInstruction(ABytesPerInstruction), CallBack(ACallBack) {}

THexLoader::~THexLoader() {
  FreeMemoryArray(Instructions);
}

bool THexLoader::ParseLine(const std::string& ALine, THexRecord& ARecord) {
  if (ALine.size() <= 8 || ALine[0] != ':')
    return false;
  // Every character after the colon is a hex digit and the line holds
  // exactly the bytes its count announces: a short or damaged line must not
  // be read as zeros.
  for (std::size_t i = 1; i < ALine.size(); ++i)
    if (!std::isxdigit(static_cast<unsigned char>(ALine[i])))
      return false;
  auto byteAt = [&](std::size_t index) {
    return std::uint8_t(
        HexDigitsToInt(std::wstring(ALine.begin() + 1 + 2 * std::ptrdiff_t(index),
                                    ALine.begin() + 3 + 2 * std::ptrdiff_t(index))));
  };
  if (ALine.size() < 11)
    return false;
  ARecord.BytesInLine = byteAt(0);
  if (ALine.size() != 11 + 2 * std::size_t(ARecord.BytesInLine))
    return false;
  ARecord.StartAddress = byteAt(1) << 8 | byteAt(2);
  const std::uint8_t type = byteAt(3);
  ARecord.HexLineKind = type < eHexLine_Undefined ? THexLineKind(type) : eHexLine_Undefined;
  unsigned sum = unsigned(ARecord.BytesInLine) + byteAt(1) + byteAt(2) + type;
  for (int i = 0; i < ARecord.BytesInLine; ++i) {
    ARecord.DataBytes[i] = byteAt(4 + std::size_t(i));
    sum += ARecord.DataBytes[i];
  }
  ARecord.CheckSum = byteAt(4 + std::size_t(ARecord.BytesInLine));
  sum += ARecord.CheckSum;
  if ((sum & 0xFF) != 0)
    return false;
  // An address record carries exactly one 16-bit value.
  const bool addressRecord = ARecord.HexLineKind == eHexLine_ExtendedSegmentAddress ||
                             ARecord.HexLineKind == eHexLine_ExtendedLinearAddress;
  return !addressRecord || ARecord.BytesInLine == 2;
}

void THexLoader::Flush(std::int64_t ABase, int& ALow) {
  if (InstructionCount != 0) {
    CallBack(ABase + ALow, InstructionCount - ALow, Instructions + ALow);
    std::fill_n(Instructions, SegmentBufferUnits, 0u);
  }
  InstructionCount = 0;
  ALow = 0x7FFFFFFF;
}

bool THexLoader::Load() {
  FErrorCount = 0;
  InstructionCount = 0;
  if (!CallBack)
    return false;

  std::vector<std::uint8_t> bytes;
  if (const DWORD error = ReadWholeFile(HexFileName, bytes)) {
    if (FileIsMissing(error))
      ShowLoaderError(L"File " + HexFileName + L" Not Found");
    else
      ShowLoaderError(L"Cannot open file \"" + HexFileName + L"\". " + SysErrorMessage(error));
    return false;
  }
  // Lines end at CR LF, LF or CR; a final line break adds no line.
  TextBuffer.clear();
  std::string line;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = char(bytes[i]);
    if (c == '\r' || c == '\n') {
      TextBuffer.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
        ++i;
    } else {
      line.push_back(c);
    }
  }
  if (!line.empty())
    TextBuffer.push_back(line);

  std::vector<THexRecord> records(TextBuffer.size());
  for (std::size_t i = 0; i < TextBuffer.size(); ++i) {
    if (ParseLine(TextBuffer[i], records[i]))
      continue;
    if (FErrorCount++ == 0)
      ShowLoaderError(L"Hex File Error : Line " + std::to_wstring(i + 1));
  }
  if (FErrorCount != 0)
    return false;

  if (!Instructions)
    Instructions = AllocMemoryArray(SegmentBufferUnits);
  int low = 0x7FFFFFFF;
  std::int64_t base = 0;
  for (const THexRecord& record : records) {
    switch (record.HexLineKind) {
    case eHexLine_ExtendedLinearAddress:
    case eHexLine_ExtendedSegmentAddress: {
      Flush(base, low);
      const std::int64_t value = std::int64_t(record.DataBytes[0]) << 8 | record.DataBytes[1];
      base = record.HexLineKind == eHexLine_ExtendedLinearAddress ? value << 16 : value << 4;
      break;
    }
    case eHexLine_Data:
      // A record without data loads nothing; counting its address would
      // deliver zeros that were never in the file.
      if (record.BytesInLine == 0)
        break;
      for (int i = 0; i < record.BytesInLine; ++i)
        Instructions[record.StartAddress + i] = record.DataBytes[i];
      InstructionCount = std::max(InstructionCount, record.StartAddress + record.BytesInLine);
      low = std::min(low, record.StartAddress);
      break;
    default:
      break; // end of file, start addresses
    }
  }
  Flush(base, low);
  return true;
}

// ---- ELF32 --------------------------------------------------------------

namespace {

constexpr std::uint32_t ElfHeaderSize = 52;
constexpr std::uint32_t ProgramHeaderSize = 32;
constexpr std::uint32_t SectionHeaderSize = 40;
constexpr std::uint32_t PT_LOAD = 1;
constexpr std::uint32_t SHT_STRTAB = 3;
constexpr std::uint32_t SHT_NOBITS = 8;
constexpr std::uint32_t SHF_ALLOC = 2;

// A range check that cannot wrap.
bool InFile(std::uint64_t AOffset, std::uint64_t ASize, std::size_t AFileSize) {
  return AOffset <= AFileSize && ASize <= AFileSize - AOffset;
}

struct TElfReader {
  const std::vector<std::uint8_t>& Bytes;
  bool BigEndian;
  std::uint32_t U32(std::size_t at) const {
    const std::uint8_t* p = Bytes.data() + at;
    return BigEndian ? std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 |
                           std::uint32_t(p[2]) << 8 | p[3]
                     : std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 |
                           std::uint32_t(p[1]) << 8 | p[0];
  }
  std::uint16_t U16(std::size_t at) const {
    const std::uint8_t* p = Bytes.data() + at;
    return BigEndian ? std::uint16_t(p[0] << 8 | p[1]) : std::uint16_t(p[1] << 8 | p[0]);
  }
};

} // namespace

bool TSection::ShouldDownload() const {
  return Header.SectionSize != 0 && (Header.SectionType & 9) != 0 &&
         (Header.SectionFlags & SHF_ALLOC) != 0;
}

std::uint8_t TSection::GetByte(std::uint32_t AIndex) const {
  return AIndex < DataBuffer.size() ? DataBuffer[AIndex] : 0;
}

std::string TSection::GetName() const {
  const TSection* names = ElfFile ? ElfFile->FStrTab : nullptr;
  if (!names || Header.SectionName >= names->DataBuffer.size())
    return {};
  const auto begin = names->DataBuffer.begin() + std::ptrdiff_t(Header.SectionName);
  return std::string(begin, std::find(begin, names->DataBuffer.end(), std::uint8_t(0)));
}

TElfFile::TElfFile(const std::wstring& AFileName, const TBytesLoaded& ACallBack)
    : FFileName(AFileName), FCallBack(ACallBack) {}

bool TElfFile::Load() {
  const DWORD error = ReadWholeFile(FFileName, FStream);
  if (FileIsMissing(error))
    return false;
  if (error != 0)
    throw EFOpenError(L"Cannot open file \"" + FFileName + L"\". " + SysErrorMessage(error));
  if (FStream.size() < 4 || FStream[0] != 0x7F || FStream[1] != 'E' || FStream[2] != 'L' ||
      FStream[3] != 'F') {
    ShowLoaderError(ExtractFileName(FFileName) + L" is not an ELF file");
    return false;
  }
  if (!ReadHeaders()) {
    FSections.clear();
    FLoadSegments.clear();
    FStrTab = nullptr;
    ShowLoaderError(ExtractFileName(FFileName) + L" is not an valid ELF file");
    return false;
  }
  return true;
}

bool TElfFile::ReadHeaders() {
  const std::size_t fileSize = FStream.size();
  if (fileSize < ElfHeaderSize)
    return false;
  // Identification: 32-bit class, and the byte order the file declares.
  if (FStream[4] != 1 || (FStream[5] != 1 && FStream[5] != 2))
    return false;
  const TElfReader read{FStream, FStream[5] == 2};

  const std::uint32_t programHeaderOffset = read.U32(28);
  const std::uint32_t sectionHeaderOffset = read.U32(32);
  const std::uint16_t programHeaderEntrySize = read.U16(42);
  FProgramHeaderCount = read.U16(44);
  const std::uint16_t sectionHeaderEntrySize = read.U16(46);
  const std::uint16_t sectionCount = read.U16(48);
  const std::uint16_t sectionNameIndex = read.U16(50);
  if (FProgramHeaderCount == 0 && sectionCount == 0)
    return false;

  if (FProgramHeaderCount != 0) {
    if (programHeaderEntrySize < ProgramHeaderSize ||
        !InFile(programHeaderOffset, std::uint64_t(FProgramHeaderCount) * programHeaderEntrySize,
                fileSize))
      return false;
    for (std::uint32_t i = 0; i < FProgramHeaderCount; ++i) {
      const std::size_t at = programHeaderOffset + std::size_t(i) * programHeaderEntrySize;
      TELF32_ProgramHeader h;
      h.SegmentType = read.U32(at);
      h.FileOffset = read.U32(at + 4);
      h.VirtualAddress = read.U32(at + 8);
      h.PhysicalAddress = read.U32(at + 12);
      h.FileSize = read.U32(at + 16);
      h.MemorySize = read.U32(at + 20);
      h.SegmentFlags = read.U32(at + 24);
      h.Alignment = read.U32(at + 28);
      if (h.SegmentType != PT_LOAD || h.FileSize == 0)
        continue;
      if (!InFile(h.FileOffset, h.FileSize, fileSize))
        return false;
      FLoadSegments.push_back(h);
    }
    std::stable_sort(FLoadSegments.begin(), FLoadSegments.end(),
                     [](const TELF32_ProgramHeader& a, const TELF32_ProgramHeader& b) {
                       return a.PhysicalAddress < b.PhysicalAddress;
                     });
  }

  if (sectionCount != 0) {
    if (sectionHeaderEntrySize < SectionHeaderSize ||
        !InFile(sectionHeaderOffset, std::uint64_t(sectionCount) * sectionHeaderEntrySize,
                fileSize))
      return false;
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
      const std::size_t at = sectionHeaderOffset + std::size_t(i) * sectionHeaderEntrySize;
      TELF32_SectionHeader h;
      std::uint32_t* fields = &h.SectionName;
      for (int f = 0; f < 10; ++f)
        fields[f] = read.U32(at + 4 * std::size_t(f));
      // A no-bits section keeps no bytes: it reads as zeros (GetByte) and
      // has nothing to program.
      std::vector<std::uint8_t> data;
      if (h.SectionType != SHT_NOBITS && i != 0) {
        if (!InFile(h.FileOffset, h.SectionSize, fileSize))
          return false;
        data.assign(FStream.begin() + h.FileOffset, FStream.begin() + h.FileOffset + h.SectionSize);
      }
      FSections.push_back(std::make_unique<TSection>(this, h, std::move(data)));
    }
    // Names come from the table the header names (index 0 means none).
    if (sectionNameIndex != 0) {
      if (sectionNameIndex >= sectionCount ||
          FSections[sectionNameIndex]->Header.SectionType != SHT_STRTAB)
        return false;
      FStrTab = FSections[sectionNameIndex].get();
    }
  }

  if (!HasProgramHeaders()) {
    // The section rule needs every downloadable section's name.
    for (const auto& section : FSections)
      if (section->ShouldDownload() &&
          (!FStrTab || section->Header.SectionName >= FStrTab->DataBuffer.size()))
        return false;
  }
  std::stable_sort(FSections.begin(), FSections.end(),
                   [](const std::unique_ptr<TSection>& a, const std::unique_ptr<TSection>& b) {
                     return a->VirtualAddress() < b->VirtualAddress();
                   });

  // An image with nothing to program is refused, not reported as loaded.
  if (HasProgramHeaders())
    return !FLoadSegments.empty();
  return std::any_of(FSections.begin(), FSections.end(),
                     [this](const auto& section) { return SectionIsDelivered(*section); });
}

bool TElfFile::SectionIsDelivered(const TSection& ASection) const {
  if (!ASection.ShouldDownload() || ASection.Header.SectionType == SHT_NOBITS)
    return false;
  const std::string name = ASection.GetName();
  return name.rfind(".text", 0) == 0 || name.rfind(".rodata", 0) == 0;
}

void TElfFile::Deliver(std::uint32_t AAddress, const std::uint8_t* ABytes, std::size_t ACount) {
  TUnitBuffer buffer(ACount);
  std::copy(ABytes, ABytes + ACount, buffer.Units);
  FCallBack(AAddress, std::int64_t(ACount), buffer.Units);
}

void TElfFile::NotifySections() {
  if (!FCallBack)
    return;
  if (HasProgramHeaders()) {
    for (const TELF32_ProgramHeader& segment : FLoadSegments)
      Deliver(segment.PhysicalAddress, FStream.data() + segment.FileOffset, segment.FileSize);
    return;
  }
  for (const auto& section : FSections)
    if (SectionIsDelivered(*section))
      Deliver(section->VirtualAddress(), section->DataBuffer.data(), section->DataBuffer.size());
}
