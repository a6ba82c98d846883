#pragma once

// One-line disassembly through the host's disassembler libraries
// ("DisARM.dll" and its kin in the plug-in's folder). The plug-in does not
// disassemble by itself: an adapter chosen by the target name loads the
// library, assembles instruction words from a byte buffer in the target's
// width and byte order, and hands them to the library when it asks.

#include "memory-array.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// A read the disassembler asked for that the buffer does not hold.
class EDisassemblerError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Where an adapter reads instruction units from.
class IMemoryReader {
public:
  virtual ~IMemoryReader() = default;
  // Fills ACount units starting at AAddress; raises when they are not there.
  virtual void ReadMemory(std::uint32_t* ABuffer, std::uint64_t AAddress, std::uint32_t ACount) = 0;
};

// A reader over a block of ACount cells (one byte value per cell) whose
// first cell lies at ABaseAddress. It remembers how far the reads went, so
// that a caller can tell which bytes an answer depended on.
class TMemoryReader : public IMemoryReader {
public:
  TMemoryReader(const std::uint32_t* AMemory, std::size_t ACount, std::uint64_t ABaseAddress)
      : FMemory(AMemory), FCount(ACount), FBaseAddress(ABaseAddress) {}
  void ReadMemory(std::uint32_t* ABuffer, std::uint64_t AAddress, std::uint32_t ACount) override;
  // The number of cells from the first one up to the last one read.
  std::size_t UnitsUsed() const { return FUnitsUsed; }

private:
  const std::uint32_t* FMemory;
  std::size_t FCount;
  std::uint64_t FBaseAddress;
  std::size_t FUnitsUsed = 0;
};

// One library behind one adapter.
class IRawDisassembler {
public:
  virtual ~IRawDisassembler() = default;
  // Loads the library and binds its entry points; a library that does not
  // load leaves the adapter answering empty text.
  virtual void Initialize() = 0;
  // The library's text for the instruction at AAddress, which it may move
  // past the instruction.
  virtual std::string Disassemble(std::int32_t AOption, std::uint64_t& AAddress) = 0;
  virtual void SetReducedInstructionSet(bool AValue) = 0;
  virtual void SetLittleEndian(bool AValue) = 0;
  virtual void Finalize() = 0;
};

class TRawDisassembler : public IRawDisassembler {
public:
  // The adapter for a target name, reading through AReader (kept, not
  // owned) from the libraries in ABasePath (empty: the plug-in's folder);
  // empty for a name no adapter serves.
  static std::unique_ptr<IRawDisassembler> CreateInstance(const std::wstring& ATargetName,
                                                          IMemoryReader* AReader,
                                                          const std::wstring& ABasePath);
  ~TRawDisassembler() override;
  TRawDisassembler(const TRawDisassembler&) = delete;
  TRawDisassembler& operator=(const TRawDisassembler&) = delete;

  void Initialize() override;
  std::string Disassemble(std::int32_t AOption, std::uint64_t& AAddress) override;
  void SetReducedInstructionSet(bool) override {}
  void SetLittleEndian(bool AValue) override { FLittleEndian = AValue; }
  void Finalize() override;

  // The instruction word at an address as the library expects it; 0
  // without a reader.
  virtual std::uint32_t ReadInstruction(std::uint64_t AAddress) = 0;
  // The library's full file name.
  std::wstring GetLibraryPath() const;
  bool LibraryLoaded() const { return FDllHandle != nullptr; }

  // The libraries' entry points: plain C functions, the caller removes the
  // arguments.
  using TReadFunction = std::uint32_t(__cdecl*)(std::uint32_t AAddressLow,
                                                std::uint32_t AAddressHigh, std::uint32_t AUnused,
                                                void* AContext);
  using TDisassembleInstruction = const char*(__cdecl*)(std::int32_t AOption,
                                                        std::uint32_t* AAddress,
                                                        TReadFunction ARead, void* AContext);
  using TInitDisassembler = void(__cdecl*)();
  using TSetReducedInstructionSet = void(__cdecl*)(std::int32_t AValue);
  using TSetThumb2InstructionSet = void(__cdecl*)();

protected:
  TRawDisassembler(const wchar_t* ALibraryName, IMemoryReader* AReader, std::wstring ABasePath);
  // ACount units at an address, first unit most significant, or least
  // significant when little-endian.
  std::uint32_t ReadWord(std::uint64_t AAddress, std::uint32_t ACount, bool ALittleEndian);
  // An entry point of the loaded library by name; nullptr when it has none.
  template <typename TFunction> TFunction Bind(const char* AName) const {
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(BindProc(AName)));
  }
  bool HasMemoryReader() const { return FMemoryReader != nullptr; }
  void ReadUnits(std::uint32_t* ABuffer, std::uint64_t AAddress, std::uint32_t ACount) {
    FMemoryReader->ReadMemory(ABuffer, AAddress, ACount);
  }

  bool FLittleEndian = false;

private:
  FARPROC BindProc(const char* AName) const;
  static std::uint32_t __cdecl ReadCallback(std::uint32_t AAddressLow, std::uint32_t AAddressHigh,
                                            std::uint32_t AUnused, void* AContext);

  const wchar_t* FLibraryName;
  std::wstring FBasePath;
  HMODULE FDllHandle = nullptr;
  TDisassembleInstruction FFuncDisassembleInstruction = nullptr;
  TInitDisassembler FFuncInitDisassembler = nullptr;
  IMemoryReader* FMemoryReader;
  // A read that failed inside the library's call, raised once it returns:
  // nothing may unwind through the library's frames.
  std::exception_ptr FReadFailure;
};

// How a non-ARM adapter assembles its instruction word.
enum class TInstructionLayout {
  Byte24BitAddress, // 1 unit at the address's low 24 bits, low 8 bits
  Byte,             // 1 unit, low 8 bits
  Halfword,         // 1 unit, low 16 bits
  BigEndianWord,    // 4 units, first unit most significant
  EndianWord,       // 4 units in the target's byte order
};

// The 8051, 165x, Z80, Trv, PowerPC, MicroBlaze and Nios II adapters.
class TRawDisassemblerWord : public TRawDisassembler {
public:
  TRawDisassemblerWord(const wchar_t* ALibraryName, TInstructionLayout ALayout,
                       IMemoryReader* AReader, std::wstring ABasePath)
      : TRawDisassembler(ALibraryName, AReader, std::move(ABasePath)), FLayout(ALayout) {}
  std::uint32_t ReadInstruction(std::uint64_t AAddress) override;

private:
  TInstructionLayout FLayout;
};

class TRawDisassemblerARM : public TRawDisassembler {
public:
  TRawDisassemblerARM(IMemoryReader* AReader, std::wstring ABasePath)
      : TRawDisassembler(L"DisARM.dll", AReader, std::move(ABasePath)) {}
  void Initialize() override;
  // Thumb (reduced) or ARM; the library is told -1 or 0.
  void SetReducedInstructionSet(bool AValue) override;
  std::uint32_t ReadInstruction(std::uint64_t AAddress) override;

protected:
  TSetReducedInstructionSet FFuncSetReducedInstructionSet = nullptr;
  bool FReducedInstructionSet = false;
};

// Thumb-2 cores: the library is switched to Thumb-2, and a 32-bit
// instruction comes as its two halfwords in one word, first half high.
class TRawDisassemblerARMv7M : public TRawDisassemblerARM {
public:
  using TRawDisassemblerARM::TRawDisassemblerARM;
  void Initialize() override;
  std::uint32_t ReadInstruction(std::uint64_t AAddress) override;

private:
  TSetThumb2InstructionSet FFuncSetThumb2InstructionSet = nullptr;
};

class TOneLineDisassembler {
public:
  TOneLineDisassembler() = delete;
  // The instruction at ABaseAddress, whose bytes are the ACount cells of
  // ABuffer (one byte value each), without the library's leading field.
  // Empty for a target name no adapter serves or when its library is
  // missing; raises when the library reads past the buffer. The last answer
  // is kept and given again for the same target, address, instruction-set
  // state and instruction bytes.
  static std::wstring GetDisassembly(const std::wstring& ATargetName, const std::uint32_t* ABuffer,
                                     std::size_t ACount, std::uint64_t ABaseAddress,
                                     bool AReducedInstructionSet, bool ALittleEndian);
  // The text after the library's leading field (address or code bytes).
  static std::string InstructionText(const std::string& ALibraryText);
};
