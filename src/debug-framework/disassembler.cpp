#include "disassembler.h"

#include "host-utilities.h"

#include <algorithm>
#include <cwctype>
#include <string_view>
#include <utility>

// ---- the memory reader ------------------------------------------------------

void TMemoryReader::ReadMemory(std::uint32_t* ABuffer, std::uint64_t AAddress,
                               std::uint32_t ACount) {
  // The library decides what it asks for: a read outside the block would
  // take whatever lies beyond it as instruction bytes.
  if (AAddress < FBaseAddress || AAddress - FBaseAddress > FCount ||
      ACount > FCount - (AAddress - FBaseAddress))
    throw EDisassemblerError("the disassembler read outside the instruction bytes");
  const std::size_t first = std::size_t(AAddress - FBaseAddress);
  for (std::uint32_t i = 0; i < ACount; ++i)
    ABuffer[i] = FMemory[first + i];
  FUnitsUsed = std::max(FUnitsUsed, first + ACount);
}

// ---- the adapters -----------------------------------------------------------

TRawDisassembler::TRawDisassembler(const wchar_t* ALibraryName, IMemoryReader* AReader,
                                   std::wstring ABasePath)
    : FLibraryName(ALibraryName), FBasePath(std::move(ABasePath)), FMemoryReader(AReader) {}

TRawDisassembler::~TRawDisassembler() {
  Finalize();
}

std::wstring TRawDisassembler::GetLibraryPath() const {
  std::wstring folder = FBasePath;
  if (folder.empty() || folder.back() != L'\\')
    folder += L'\\';
  // Never the current folder: a library of that name lying there is not ours.
  if (folder == L"\\")
    folder = GetModuleFolder();
  return folder + FLibraryName;
}

FARPROC TRawDisassembler::BindProc(const char* AName) const {
  return FDllHandle ? GetProcAddress(FDllHandle, AName) : nullptr;
}

void TRawDisassembler::Initialize() {
  if (FDllHandle)
    return;
  FDllHandle = LoadLibraryW(GetLibraryPath().c_str());
  if (!FDllHandle)
    return;
  FFuncInitDisassembler = Bind<TInitDisassembler>("InitDisassembler");
  FFuncDisassembleInstruction = Bind<TDisassembleInstruction>("DisassembleInstruction");
  if (FFuncInitDisassembler)
    FFuncInitDisassembler();
}

void TRawDisassembler::Finalize() {
  FFuncDisassembleInstruction = nullptr;
  FFuncInitDisassembler = nullptr;
  if (FDllHandle)
    FreeLibrary(std::exchange(FDllHandle, nullptr));
}

std::uint32_t __cdecl TRawDisassembler::ReadCallback(std::uint32_t AAddressLow,
                                                     std::uint32_t AAddressHigh, std::uint32_t,
                                                     void* AContext) {
  auto* self = static_cast<TRawDisassembler*>(AContext);
  if (self->FReadFailure)
    return 0;
  try {
    return self->ReadInstruction((std::uint64_t(AAddressHigh) << 32) | AAddressLow);
  } catch (...) {
    self->FReadFailure = std::current_exception();
    return 0;
  }
}

std::string TRawDisassembler::Disassemble(std::int32_t AOption, std::uint64_t& AAddress) {
  if (!FFuncDisassembleInstruction)
    return {};
  std::uint32_t address = std::uint32_t(AAddress);
  FReadFailure = nullptr;
  const char* text = FFuncDisassembleInstruction(AOption, &address, ReadCallback, this);
  if (FReadFailure)
    std::rethrow_exception(std::exchange(FReadFailure, nullptr));
  AAddress = address;
  return text ? std::string(text) : std::string();
}

std::uint32_t TRawDisassembler::ReadWord(std::uint64_t AAddress, std::uint32_t ACount,
                                         bool ALittleEndian) {
  std::uint32_t units[4] = {};
  ReadUnits(units, AAddress, ACount);
  std::uint32_t word = 0;
  for (std::uint32_t i = 0; i < ACount; ++i) {
    const std::uint32_t unit = units[ALittleEndian ? ACount - 1 - i : i];
    word = (word << 8) | (unit & 0xFF);
  }
  return word;
}

std::uint32_t TRawDisassemblerWord::ReadInstruction(std::uint64_t AAddress) {
  if (!HasMemoryReader())
    return 0;
  switch (FLayout) {
  case TInstructionLayout::Byte24BitAddress:
    return ReadWord(AAddress & 0xFFFFFF, 1, false) & 0xFF;
  case TInstructionLayout::Byte:
    return ReadWord(AAddress, 1, false) & 0xFF;
  case TInstructionLayout::Halfword: {
    std::uint32_t unit = 0;
    ReadUnits(&unit, AAddress, 1);
    return unit & 0xFFFF;
  }
  case TInstructionLayout::BigEndianWord:
    return ReadWord(AAddress, 4, false);
  case TInstructionLayout::EndianWord:
    return ReadWord(AAddress, 4, FLittleEndian);
  }
  return 0;
}

void TRawDisassemblerARM::Initialize() {
  TRawDisassembler::Initialize();
  if (!LibraryLoaded())
    return;
  FFuncSetReducedInstructionSet = Bind<TSetReducedInstructionSet>("SetReducedInstructionSet");
  FLittleEndian = true;
  FReducedInstructionSet = false;
}

void TRawDisassemblerARM::SetReducedInstructionSet(bool AValue) {
  FReducedInstructionSet = AValue;
  if (FFuncSetReducedInstructionSet)
    FFuncSetReducedInstructionSet(AValue ? -1 : 0);
}

std::uint32_t TRawDisassemblerARM::ReadInstruction(std::uint64_t AAddress) {
  if (!HasMemoryReader())
    return 0;
  return ReadWord(AAddress, FReducedInstructionSet ? 2 : 4, FLittleEndian);
}

void TRawDisassemblerARMv7M::Initialize() {
  TRawDisassemblerARM::Initialize();
  FFuncSetThumb2InstructionSet = Bind<TSetThumb2InstructionSet>("SetThumb2InstructionSet");
  if (FFuncSetThumb2InstructionSet)
    FFuncSetThumb2InstructionSet();
  SetReducedInstructionSet(true);
}

std::uint32_t TRawDisassemblerARMv7M::ReadInstruction(std::uint64_t AAddress) {
  if (!HasMemoryReader())
    return 0;
  const std::uint32_t first = ReadWord(AAddress, 2, FLittleEndian);
  // 0xE800 and above opens a 32-bit Thumb-2 instruction.
  if (first < 0xE800)
    return first;
  return (first << 16) | ReadWord(AAddress + 2, 2, FLittleEndian);
}

// ---- choosing an adapter ----------------------------------------------------

namespace {

enum class TAdapterKind { Word, ARM, ARMv7M };

struct TAdapterRow {
  TAdapterKind Kind;
  const wchar_t* Library;
  TInstructionLayout Layout;
};

constexpr TAdapterRow k51{TAdapterKind::Word, L"Dis51.dll", TInstructionLayout::Byte24BitAddress};
constexpr TAdapterRow k165x{TAdapterKind::Word, L"Dis165x.dll", TInstructionLayout::Halfword};
constexpr TAdapterRow kZ80{TAdapterKind::Word, L"DisZ80.dll", TInstructionLayout::Byte};
constexpr TAdapterRow kTrv{TAdapterKind::Word, L"DisTrv.dll", TInstructionLayout::BigEndianWord};
constexpr TAdapterRow kPPC{TAdapterKind::Word, L"DisPPC.dll", TInstructionLayout::BigEndianWord};
constexpr TAdapterRow kMB{TAdapterKind::Word, L"DisMB.dll", TInstructionLayout::BigEndianWord};
constexpr TAdapterRow kNIOS2{TAdapterKind::Word, L"DisNIOS2.dll", TInstructionLayout::EndianWord};
constexpr TAdapterRow kARM{TAdapterKind::ARM, L"DisARM.dll", TInstructionLayout::EndianWord};
constexpr TAdapterRow kARMv7M{TAdapterKind::ARMv7M, L"DisARM.dll", TInstructionLayout::EndianWord};

struct TTargetName {
  const wchar_t* Name;
  const TAdapterRow* Adapter;
};

// Exact names, compared with their case.
constexpr TTargetName kTargetNames[] = {
    {L"165x", &k165x},
    {L"VRK165", &k165x},
    {L"51", &k51},
    {L"52", &k51},
    {L"VRK51", &k51},
    {L"VRK52", &k51},
    {L"z80", &kZ80},
    {L"VRK80", &kZ80},
    {L"trv", &kTrv},
    {L"VRK3000", &kTrv},
    {L"ppc", &kPPC},
    {L"PPC405A", &kPPC},
    {L"PPC405", &kPPC},
    {L"mb", &kMB},
    {L"MICROBLAZE", &kMB},
    {L"nios2", &kNIOS2},
    {L"NIOS2", &kNIOS2},
    {L"arm", &kARM},
    {L"BLUESTREAK", &kARM},
    {L"COREMP7", &kARM},
    {L"LPC2000", &kARM},
    {L"LPC2100", &kARM},
    {L"LPC2200", &kARM},
    {L"LPC2300", &kARM},
    {L"LPC2400", &kARM},
    {L"LPC2800", &kARM},
    {L"GenericARM7Device", &kARM},
    {L"GenericARM920TDevice", &kARM},
    {L"GenericARM926EJSDevice", &kARM},
    {L"LPC1100L", &kARMv7M},
    {L"LPC11C00", &kARMv7M},
    {L"LPC11U00", &kARMv7M},
    {L"LPC1200", &kARMv7M},
    {L"LPC-SK", &kARMv7M},
    {L"LPC1300", &kARMv7M},
    {L"LPC1700", &kARMv7M},
    {L"LPC1800", &kARMv7M},
    {L"MCB1700", &kARMv7M},
    {L"STM32F1XXXX", &kARMv7M},
    {L"STM32F2XXXX", &kARMv7M},
    {L"STM32L1XXXX", &kARMv7M},
    {L"STM32W1XXXX", &kARMv7M},
    {L"Stellaris", &kARMv7M},
    {L"LM3S", &kARMv7M},
    {L"LM3SEVAL", &kARMv7M},
    {L"Cortex-M3", &kARMv7M},
    {L"SmartFusion", &kARMv7M},
    {L"SmartFusion Kits", &kARMv7M},
    {L"i.MX280", &kARMv7M},
    {L"IMXEVAL", &kARMv7M},
    {L"GenericARMCortexM3", &kARMv7M},
};

// Families named by their beginning, case ignored, tried after every exact name.
constexpr const wchar_t* kARMv7MPrefixes[] = {L"STM32", L"Stellaris", L"LPC1"};

bool StartsWithIgnoringCase(std::wstring_view AText, std::wstring_view APrefix) {
  if (AText.size() < APrefix.size())
    return false;
  for (std::size_t i = 0; i < APrefix.size(); ++i)
    if (std::towupper(AText[i]) != std::towupper(APrefix[i]))
      return false;
  return true;
}

const TAdapterRow* AdapterOf(const std::wstring& ATargetName) {
  for (const TTargetName& row : kTargetNames)
    if (ATargetName == row.Name)
      return row.Adapter;
  for (const wchar_t* prefix : kARMv7MPrefixes)
    if (StartsWithIgnoringCase(ATargetName, prefix))
      return &kARMv7M;
  return nullptr;
}

} // namespace

std::unique_ptr<IRawDisassembler> TRawDisassembler::CreateInstance(const std::wstring& ATargetName,
                                                                   IMemoryReader* AReader,
                                                                   const std::wstring& ABasePath) {
  const TAdapterRow* row = AdapterOf(ATargetName);
  if (!row)
    return nullptr;
  switch (row->Kind) {
  case TAdapterKind::ARM:
    return std::make_unique<TRawDisassemblerARM>(AReader, ABasePath);
  case TAdapterKind::ARMv7M:
    return std::make_unique<TRawDisassemblerARMv7M>(AReader, ABasePath);
  case TAdapterKind::Word:
    break;
  }
  return std::make_unique<TRawDisassemblerWord>(row->Library, row->Layout, AReader, ABasePath);
}

// ---- one line ---------------------------------------------------------------

namespace {

// The last answer and everything it depended on. Calls come from the host's
// thread only.
struct TDisassemblyCache {
  bool Valid = false;
  std::wstring TargetName;
  std::uint64_t Address = 0;
  bool Reduced = false;
  bool LittleEndian = false;
  std::vector<std::uint32_t> Units; // the cells the library read, from the first
  std::wstring Text;

  bool Answers(const std::wstring& ATargetName, const std::uint32_t* ABuffer, std::size_t ACount,
               std::uint64_t AAddress, bool AReduced, bool ALittleEndian) const {
    return Valid && Address == AAddress && Reduced == AReduced && LittleEndian == ALittleEndian &&
           TargetName == ATargetName && Units.size() <= ACount &&
           std::equal(Units.begin(), Units.end(), ABuffer);
  }
};

TDisassemblyCache& Cache() {
  static TDisassemblyCache cache;
  return cache;
}

std::wstring Widened(const std::string& AText) {
  if (AText.empty())
    return {};
  const int length = MultiByteToWideChar(CP_ACP, 0, AText.data(), int(AText.size()), nullptr, 0);
  std::wstring wide(std::size_t(std::max(length, 0)), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_ACP, 0, AText.data(), int(AText.size()), wide.data(), length);
  return wide;
}

} // namespace

std::string TOneLineDisassembler::InstructionText(const std::string& ALibraryText) {
  std::size_t start = ALibraryText.find(' ');
  if (start == std::string::npos)
    start = ALibraryText.find('\t');
  if (start == std::string::npos)
    start = 0;
  const std::string_view blanks = " \t\r\n";
  const std::size_t first = ALibraryText.find_first_not_of(blanks, start);
  if (first == std::string::npos)
    return {};
  const std::size_t last = ALibraryText.find_last_not_of(blanks);
  return ALibraryText.substr(first, last - first + 1);
}

std::wstring TOneLineDisassembler::GetDisassembly(const std::wstring& ATargetName,
                                                  const std::uint32_t* ABuffer, std::size_t ACount,
                                                  std::uint64_t ABaseAddress,
                                                  bool AReducedInstructionSet, bool ALittleEndian) {
  TDisassemblyCache& cache = Cache();
  if (cache.Answers(ATargetName, ABuffer, ACount, ABaseAddress, AReducedInstructionSet,
                    ALittleEndian))
    return cache.Text;
  cache.Valid = false;
  TMemoryReader reader(ABuffer, ACount, ABaseAddress);
  const std::unique_ptr<IRawDisassembler> disassembler =
      TRawDisassembler::CreateInstance(ATargetName, &reader, std::wstring());
  if (!disassembler)
    return {};
  std::string text;
  // The adapter frees its library also when a step raises.
  disassembler->Initialize();
  disassembler->SetReducedInstructionSet(AReducedInstructionSet);
  disassembler->SetLittleEndian(ALittleEndian);
  std::uint64_t address = ABaseAddress;
  text = disassembler->Disassemble(0, address);
  disassembler->Finalize();

  cache.TargetName = ATargetName;
  cache.Address = ABaseAddress;
  cache.Reduced = AReducedInstructionSet;
  cache.LittleEndian = ALittleEndian;
  cache.Units.assign(ABuffer, ABuffer + reader.UnitsUsed());
  cache.Text = Widened(InstructionText(text));
  // A library that is missing now may be there at the next call.
  cache.Valid = !text.empty();
  return cache.Text;
}
