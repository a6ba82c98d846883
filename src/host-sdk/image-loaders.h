#pragma once

#include "exceptions.h"
#include "memory-array.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Program images for flashing: Intel HEX, ELF32 and raw binary. LoadFile picks
// the format from the file and hands the image out as pieces (address, size,
// buffer); errors are shown to the user and answered False.

// One piece of an image: AAddress is the target address of the buffer's first
// unit, ASize the number of units (one byte per unit, in the low 8 bits). The
// buffer belongs to the loader and is valid only during the call.
using TBytesLoaded =
    std::function<void(std::int64_t AAddress, std::int64_t ASize, PMemoryArray ABuffer)>;
using TMainRequestFunction = bool (*)(const std::wstring& AFileFullPath,
                                      const TBytesLoaded& ACallBack);

// ".Hex" (any case) -> Intel HEX; a non-empty file beginning with 0x7F "ELF"
// -> ELF; anything else -> raw bytes at address 0. A file other than ".Hex"
// that cannot be opened raises EFOpenError.
bool LoadFile(const std::wstring& AFileFullPath, const TBytesLoaded& ACallBack);

// Where the loaders' error texts go. The default is ShowError (the modal
// error dialog); the answer is the previous sink, so a caller can put it back.
using TLoaderErrorSink = std::function<void(const std::wstring& AMessage)>;
TLoaderErrorSink SetLoaderErrorSink(TLoaderErrorSink ASink);

// EFOpenError is the component framework's (exceptions.h).

// ---- Intel HEX ----------------------------------------------------------

enum THexLineKind : std::uint8_t {
  eHexLine_Data = 0,
  eHexLine_End = 1,
  eHexLine_ExtendedSegmentAddress = 2,
  eHexLine_StartSegmentAddress = 3,
  eHexLine_ExtendedLinearAddress = 4,
  eHexLine_Undefined = 5,
};

struct THexRecord {
  int BytesInLine = 0;
  int StartAddress = 0; // 16 bits used
  THexLineKind HexLineKind = eHexLine_Undefined;
  std::uint8_t DataBytes[256] = {};
  std::uint8_t CheckSum = 0;
};

class THexLoader {
public:
  // One segment of 64 KB plus room for a line that starts near its end.
  static constexpr std::size_t SegmentBufferUnits = 0x10200;

  THexLoader(const std::wstring& AHexFileName, const TBytesLoaded& ACallBack,
             int ABytesPerInstruction);
  ~THexLoader();
  THexLoader(const THexLoader&) = delete;
  THexLoader& operator=(const THexLoader&) = delete;

  static THexLoader* CreateWithCallBack(const std::wstring& AHexFileName,
                                        const TBytesLoaded& ACallBack, int ABytesPerInstruction) {
    return new THexLoader(AHexFileName, ACallBack, ABytesPerInstruction);
  }

  // Reads and checks every line, then delivers each segment once, from its
  // lowest to its highest loaded address. A file with any bad line delivers
  // nothing and answers False.
  bool Load();

  // One line into a record; False when the line is not a valid record.
  static bool ParseLine(const std::string& ALine, THexRecord& ARecord);

  int ErrorCount() const { return FErrorCount; }

  std::vector<std::string> TextBuffer;
  std::wstring HexFileName;
  PMemoryArray Instructions = nullptr;
  int InstructionCount = 0;
  int BytesPerInstruction = 1;
  TBytesLoaded CallBack;

private:
  void Flush(std::int64_t ABase, int& ALow);
  int FErrorCount = 0;
};

// ---- ELF32 --------------------------------------------------------------

struct TELF32_SectionHeader {
  std::uint32_t SectionName = 0; // offset into the section-name table
  std::uint32_t SectionType = 0;
  std::uint32_t SectionFlags = 0;
  std::uint32_t VirtualAddress = 0;
  std::uint32_t FileOffset = 0;
  std::uint32_t SectionSize = 0;
  std::uint32_t sh_link = 0;
  std::uint32_t sh_info = 0;
  std::uint32_t MemoryAlignment = 0;
  std::uint32_t EntrySizeIfTable = 0;
};

struct TELF32_ProgramHeader {
  std::uint32_t SegmentType = 0;
  std::uint32_t FileOffset = 0;
  std::uint32_t VirtualAddress = 0;
  std::uint32_t PhysicalAddress = 0;
  std::uint32_t FileSize = 0;
  std::uint32_t MemorySize = 0;
  std::uint32_t SegmentFlags = 0;
  std::uint32_t Alignment = 0;
};

class TElfFile;

class TSection {
public:
  TSection(TElfFile* AElfFile, const TELF32_SectionHeader& AHeader,
           std::vector<std::uint8_t> ADataBuffer)
      : Header(AHeader), DataBuffer(std::move(ADataBuffer)), ElfFile(AElfFile) {}

  std::uint32_t VirtualAddress() const { return Header.VirtualAddress; }
  std::uint32_t Size() const { return Header.SectionSize; }
  std::uint32_t FileOffset() const { return Header.FileOffset; }
  std::uint32_t ByteCount() const { return Header.SectionSize; }
  // Non-empty, program data or no-bits, and allocated.
  bool ShouldDownload() const;
  std::uint8_t GetByte(std::uint32_t AIndex) const;
  std::string GetName() const;

  TELF32_SectionHeader Header;
  std::vector<std::uint8_t> DataBuffer;
  TElfFile* ElfFile;
};

class TElfFile {
public:
  TElfFile(const std::wstring& AFileName, const TBytesLoaded& ACallBack);
  TElfFile(const TElfFile&) = delete;
  TElfFile& operator=(const TElfFile&) = delete;

  // Reads and checks the file; False after showing why it cannot be used.
  bool Load();
  // Delivers what a flash programmer must program: the loadable segments at
  // their load addresses, or, for a file without program headers, the
  // allocated ".text*" and ".rodata*" sections at their addresses.
  void NotifySections();

  // In address order once loaded.
  const std::vector<std::unique_ptr<TSection>>& Sections() const { return FSections; }
  const std::vector<TELF32_ProgramHeader>& LoadSegments() const { return FLoadSegments; }
  const TSection* StrTab() const { return FStrTab; }

private:
  friend class TSection;
  bool HasProgramHeaders() const { return FProgramHeaderCount != 0; }
  bool SectionIsDelivered(const TSection& ASection) const;
  bool ReadHeaders();
  void Deliver(std::uint32_t AAddress, const std::uint8_t* ABytes, std::size_t ACount);

  std::wstring FFileName;
  std::vector<std::uint8_t> FStream;
  std::vector<std::unique_ptr<TSection>> FSections;
  std::vector<TELF32_ProgramHeader> FLoadSegments;
  const TSection* FStrTab = nullptr;
  std::uint32_t FProgramHeaderCount = 0;
  TBytesLoaded FCallBack;
};

// The last path element: the text after the last "\", "/" or ":".
std::wstring ExtractFileName(const std::wstring& APath);
