#include "cli-debug.h"

#include "cli-common.h"
#include "cli-device.h"
#include "device-processor.h"
#include "dialog-hook.h"
#include "dispatch.h"
#include "memory-access.h"
#include "rack-holder.h"

#include <oleauto.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

namespace {

// The driver contract's operations the verbs use.
constexpr DISPID kSetTarvoDevice = 503754, kSetRegister = 503766, kGetRegister = 503767,
                 kRegisterWidth = 503768, kRegisterName = 503769, kRegisterShortName = 503770,
                 kRegisterCount = 503771, kIndexPC = 503772, kResetProcessor = 503796,
                 kPauseProcessor = 503797, kContinueProcessor = 503798, kRunSteps = 503799,
                 kIsPaused = 503800, kCreateRackViewer = 503759, kGetRackViewer = 503760,
                 kReleaseResources = 503812;
// The view's window (IExternalForm.GetHandle).
constexpr DISPID kViewGetHandle = 54;

struct TOperationName {
  DISPID DispId;
  const char* Name;
};

// How a failing operation is named to the user.
constexpr TOperationName kOperationNames[] = {
    {kSetTarvoDevice, "SetTarvoDevice"},
    {kSetRegister, "SetProcessorRegisterValue"},
    {kGetRegister, "GetProcessorRegisterValue"},
    {kRegisterWidth, "GetProcessorRegisterWidth"},
    {kRegisterName, "GetProcessorRegisterName"},
    {kRegisterShortName, "GetProcessorRegisterShortName"},
    {kRegisterCount, "GetProcessorRegisterCount"},
    {kIndexPC, "GetRegisterIndex_PC"},
    {kResetProcessor, "ResetProcessor"},
    {kPauseProcessor, "PauseProcessor"},
    {kContinueProcessor, "ContinueProcessor"},
    {kRunSteps, "RunSteps"},
    {kIsPaused, "ProcessorIsPaused"},
    {kCreateRackViewer, "CreateRackViewer"},
    {kGetRackViewer, "GetRackViewer"},
    {kReleaseResources, "ReleaseResources"},
    {kViewGetHandle, "GetHandle"},
};

// Steps and bytes one command may ask for: bounded so that a typing slip
// cannot keep the chip busy for hours.
constexpr std::uint64_t kMaxSteps = 1000000;
constexpr std::uint64_t kMaxBytes = 16u << 20;
// Bytes per block transfer.
constexpr std::int32_t kBlockBytes = 1024;

// A failure the user is told of in one line; the verb then exits 1.
class ECliFailure : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

std::string OperationName(DISPID ADispId) {
  for (const TOperationName& row : kOperationNames)
    if (row.DispId == ADispId)
      return row.Name;
  return "DISPID " + std::to_string(ADispId);
}

// Invokes an operation with its arguments in declaration order, as the host
// does; raises naming the operation when the driver answers a failure.
void Invoke(IDispatch& ADriver, DISPID ADispId, std::vector<VARIANT> AArgs, VARIANT* AResult) {
  const HRESULT hr = InvokeInOrder(ADriver, ADispId, std::move(AArgs), AResult);
  if (FAILED(hr))
    throw ECliFailure("the driver answered " + Hex8(std::uint32_t(hr)) + " to " +
                      OperationName(ADispId));
}

void CallVoid(IDispatch& ADriver, DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
  TVariant result;
  Invoke(ADriver, ADispId, std::move(AArgs), &result);
}

std::uint32_t CallNumber(IDispatch& ADriver, DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
  TVariant result;
  Invoke(ADriver, ADispId, std::move(AArgs), &result);
  switch (V_VT(&result)) {
  case VT_BOOL:
    return V_BOOL(&result) ? 1 : 0;
  case VT_I4:
  case VT_UI4:
  case VT_INT:
  case VT_UINT:
    return std::uint32_t(V_I4(&result));
  default:
    throw ECliFailure(OperationName(ADispId) + " answered no number");
  }
}

std::wstring CallText(IDispatch& ADriver, DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
  TVariant result;
  Invoke(ADriver, ADispId, std::move(AArgs), &result);
  if (V_VT(&result) != VT_BSTR)
    throw ECliFailure(OperationName(ADispId) + " answered no text");
  return std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result)));
}

// One verb's run: the driver, the arguments after the part and the boxes
// seen before it began.
struct TDebugContext {
  IDispatch& Driver;
  const std::vector<std::wstring>& Args;
  std::FILE* Out;
  const TDialogHook* Dialogs;
  std::size_t DialogsBefore;

  // A box means the driver met a failure it could only tell a person of;
  // whoever answered the box has printed what it said.
  void CheckTarget() const {
    if (Dialogs && Dialogs->Dialogs().size() > DialogsBefore)
      throw ECliFailure("stopped at the plug-in's message");
  }
  bool Paused() {
    const bool paused = CallNumber(Driver, kIsPaused) != 0;
    CheckTarget();
    return paused;
  }
  // The first request connects the driver to the chip.
  bool Connect() { return Paused(); }
  std::uint32_t PC() {
    const std::int32_t index = std::int32_t(CallNumber(Driver, kIndexPC));
    const std::uint32_t pc = CallNumber(Driver, kGetRegister, {IntVariant(index)});
    CheckTarget();
    return pc;
  }
  void Do(DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
    CallVoid(Driver, ADispId, std::move(AArgs));
    CheckTarget();
  }
  void Halt() {
    Do(kPauseProcessor);
    if (!Paused())
      throw ECliFailure("the core did not halt");
  }
  void Print(const std::string& ALine) const { std::fprintf(Out, "%s\n", ALine.c_str()); }
};

// The instruction at the PC as the driver's controller panel shows it: the
// panel reads it through the host's device object and has it disassembled
// by the host's disassembler library; the host reads the panel's labels.
// The panel is made for this and released again.
std::string PanelInstruction(TDebugContext& AContext, std::uint32_t APc) {
  AContext.Do(kCreateRackViewer);
  std::wstring pc, word, text;
  bool shown = false;
  try {
    TVariant view;
    Invoke(AContext.Driver, kGetRackViewer, {}, &view);
    if (V_VT(&view.Get()) == VT_DISPATCH && V_DISPATCH(&view.Get())) {
      // A window handle travels as 32 bits and widens with its sign.
      const HWND form = reinterpret_cast<HWND>(
          static_cast<INT_PTR>(std::int32_t(CallNumber(*V_DISPATCH(&view.Get()), kViewGetHandle))));
      const std::vector<TPanelControl> controls = ReadPanelControls(form);
      const auto label = [&controls](const wchar_t* AName) {
        const TPanelControl* control = FindPanelControl(controls, AName);
        return control ? control->Caption : std::wstring();
      };
      if (!controls.empty()) {
        shown = true;
        pc = label(L"Label_Edit_PC");
        word = label(L"Label_Edit_Instruction");
        text = label(L"Label_Edit_Assembler");
      }
    }
  } catch (...) {
    // The panel goes also when reading it failed.
    TVariant ignored;
    InvokeInOrder(AContext.Driver, kReleaseResources, {}, &ignored);
    throw;
  }
  AContext.Do(kReleaseResources);
  const std::string where = "instruction at " + Hex8(APc) + ": ";
  if (!shown)
    return where + "not shown (the controller panel has no window)";
  // The panel shows no registers of a core that runs.
  if (pc.empty())
    return where + "not shown, the core runs";
  if (word.empty())
    return where + "not readable";
  return where + Narrowed(word) + "  " + (text.empty() ? "(no disassembly)" : Narrowed(text));
}

void NoMoreArguments(const TDebugContext& AContext, std::size_t AUsed, const char* AUsage) {
  if (AContext.Args.size() > AUsed)
    throw ECliFailure("unexpected argument \"" + Narrowed(AContext.Args[AUsed]) +
                      "\"; usage: " + AUsage);
}

// ---- run control -----------------------------------------------------------

int Halt(TDebugContext& AContext) {
  NoMoreArguments(AContext, 0, "halt <part>");
  AContext.Connect();
  AContext.Do(kPauseProcessor);
  const bool halted = AContext.Paused();
  const std::uint32_t pc = AContext.PC();
  AContext.Print(std::string(halted ? "core halted" : "core did not halt") + ", PC " + Hex8(pc));
  if (halted)
    AContext.Print(PanelInstruction(AContext, pc));
  return halted ? 0 : 1;
}

int Step(TDebugContext& AContext) {
  NoMoreArguments(AContext, 1, "step <part> [N]");
  std::uint64_t count = 1;
  if (!AContext.Args.empty()) {
    const std::optional<std::uint64_t> n = ParseCliNumber(AContext.Args[0], kMaxSteps);
    if (!n || *n == 0)
      throw ECliFailure("bad step count \"" + Narrowed(AContext.Args[0]) + "\" (1 to " +
                        std::to_string(kMaxSteps) + ")");
    count = *n;
  }
  // A running core cannot step: it is halted where it happens to be.
  if (!AContext.Connect()) {
    AContext.Halt();
    AContext.Print("core halted to step");
  }
  const std::uint32_t before = AContext.PC();
  AContext.Do(kRunSteps, {IntVariant(std::int32_t(count))});
  const std::uint32_t after = AContext.PC();
  AContext.Print("stepped " + std::to_string(count) +
                 (count == 1 ? " instruction" : " instructions") + ", PC " + Hex8(before) + " -> " +
                 Hex8(after));
  AContext.Print(PanelInstruction(AContext, after));
  return 0;
}

int Run(TDebugContext& AContext) {
  NoMoreArguments(AContext, 0, "run <part>");
  // The PC of a running core cannot be read: the one it resumes from is told.
  const bool wasHalted = AContext.Connect();
  const std::uint32_t pc = wasHalted ? AContext.PC() : 0;
  AContext.Do(kContinueProcessor);
  if (AContext.Paused())
    throw ECliFailure("the core did not resume");
  AContext.Print(wasHalted ? "core running, resumed at PC " + Hex8(pc)
                           : std::string("core running (it was not halted)"));
  return 0;
}

int Reset(TDebugContext& AContext) {
  NoMoreArguments(AContext, 0, "reset <part>");
  AContext.Connect();
  AContext.Do(kResetProcessor);
  const bool halted = AContext.Paused();
  if (!halted) {
    AContext.Print("core reset, running");
    return 0;
  }
  AContext.Print("core reset, halted at PC " + Hex8(AContext.PC()));
  return 0;
}

// ---- registers -------------------------------------------------------------

struct TRegister {
  std::wstring Name;
  std::wstring ShortName;
  std::uint32_t Width;
};

std::vector<TRegister> Registers(IDispatch& ADriver) {
  const std::int32_t count = std::int32_t(CallNumber(ADriver, kRegisterCount));
  std::vector<TRegister> registers;
  for (std::int32_t i = 0; i < count; ++i)
    registers.push_back({CallText(ADriver, kRegisterName, {IntVariant(i)}),
                         CallText(ADriver, kRegisterShortName, {IntVariant(i)}),
                         CallNumber(ADriver, kRegisterWidth, {IntVariant(i)})});
  return registers;
}

// A register is known by its name, its short name or any part of a name
// such as "R13/SP", the first in register order winning.
std::optional<std::int32_t> RegisterIndex(const std::vector<TRegister>& ARegisters,
                                          std::wstring_view AName) {
  for (std::size_t i = 0; i < ARegisters.size(); ++i) {
    const TRegister& r = ARegisters[i];
    if (SameName(r.Name, AName) || SameName(r.ShortName, AName))
      return std::int32_t(i);
    std::wstring_view rest = r.Name;
    while (!rest.empty()) {
      const std::size_t slash = rest.find(L'/');
      if (SameName(rest.substr(0, slash), AName))
        return std::int32_t(i);
      rest = slash == std::wstring_view::npos ? std::wstring_view() : rest.substr(slash + 1);
    }
  }
  return std::nullopt;
}

int Regs(TDebugContext& AContext) {
  const std::vector<TRegister> registers = Registers(AContext.Driver);
  struct TAssignment {
    std::int32_t Index;
    std::uint32_t Value;
  };
  // Every assignment is checked before the first is written.
  std::vector<TAssignment> assignments;
  for (const std::wstring& arg : AContext.Args) {
    const std::size_t equals = arg.find(L'=');
    if (equals == std::wstring::npos)
      throw ECliFailure("bad register assignment \"" + Narrowed(arg) + "\" (NAME=VALUE)");
    const std::wstring name = arg.substr(0, equals);
    const std::optional<std::int32_t> index = RegisterIndex(registers, name);
    if (!index)
      throw ECliFailure("unknown register \"" + Narrowed(name) + "\"");
    const std::uint32_t width = std::clamp<std::uint32_t>(registers[*index].Width, 1, 32);
    const std::optional<std::uint64_t> value =
        ParseCliNumber(arg.substr(equals + 1), (std::uint64_t(1) << width) - 1);
    if (!value)
      throw ECliFailure("bad value \"" + Narrowed(arg.substr(equals + 1)) + "\" for " +
                        Narrowed(registers[*index].Name) + " (" + std::to_string(width) +
                        " bits; decimal or 0x hex)");
    assignments.push_back({*index, std::uint32_t(*value)});
  }
  if (!AContext.Connect())
    AContext.Halt();
  for (const TAssignment& a : assignments) {
    const bool written = CallNumber(AContext.Driver, kSetRegister,
                                    {IntVariant(a.Index), IntVariant(std::int32_t(a.Value))}) != 0;
    AContext.CheckTarget();
    if (!written)
      throw ECliFailure("the driver refused to write " + Narrowed(registers[a.Index].Name));
  }
  std::size_t nameWidth = 0;
  for (const TRegister& r : registers)
    nameWidth = std::max(nameWidth, r.Name.size());
  for (std::size_t i = 0; i < registers.size(); ++i) {
    const std::uint32_t value =
        CallNumber(AContext.Driver, kGetRegister, {IntVariant(std::int32_t(i))});
    AContext.CheckTarget();
    const int digits = int((std::clamp<std::uint32_t>(registers[i].Width, 1, 32) + 3) / 4);
    std::fprintf(AContext.Out, "%-*s  0x%0*lX\n", int(nameWidth),
                 Narrowed(registers[i].Name).c_str(), digits, static_cast<unsigned long>(value));
  }
  return 0;
}

// ---- memory ----------------------------------------------------------------

class TMemory {
public:
  explicit TMemory(TDebugContext& AContext) : FContext(AContext) {
    if (FAILED(AContext.Driver.QueryInterface(IID_IMemoryAccess,
                                              reinterpret_cast<void**>(&FAccess))) ||
        !FAccess)
      throw ECliFailure("the driver offers no memory access");
  }
  ~TMemory() { FAccess->Release(); }
  TMemory(const TMemory&) = delete;
  TMemory& operator=(const TMemory&) = delete;

  std::vector<std::uint8_t> Read(std::uint32_t AAddress, std::size_t ALength) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(ALength);
    std::vector<std::uint32_t> cells(kBlockBytes);
    for (std::size_t done = 0; done < ALength;) {
      const std::int32_t count = std::int32_t(std::min<std::size_t>(kBlockBytes, ALength - done));
      const std::uint32_t address = AAddress + std::uint32_t(done);
      std::fill(cells.begin(), cells.end(), 0);
      TLongBool success = LongFalse;
      const HRESULT hr = FAccess->MemoryRead(0, cells.data(), address, count, &success);
      FContext.CheckTarget();
      if (FAILED(hr) || success == LongFalse)
        throw ECliFailure("reading " + std::to_string(count) + " bytes at " + Hex8(address) +
                          " failed (" + Hex8(std::uint32_t(hr)) + ")");
      for (std::int32_t i = 0; i < count; ++i)
        bytes.push_back(std::uint8_t(cells[i]));
      done += std::size_t(count);
    }
    return bytes;
  }

  void Write(std::uint32_t AAddress, const std::vector<std::uint8_t>& ABytes) {
    std::vector<std::uint32_t> cells(kBlockBytes);
    for (std::size_t done = 0; done < ABytes.size();) {
      const std::int32_t count =
          std::int32_t(std::min<std::size_t>(kBlockBytes, ABytes.size() - done));
      const std::uint32_t address = AAddress + std::uint32_t(done);
      for (std::int32_t i = 0; i < count; ++i)
        cells[i] = ABytes[done + std::size_t(i)];
      TLongBool success = LongFalse;
      const HRESULT hr = FAccess->MemoryWrite(0, cells.data(), address, count, &success);
      FContext.CheckTarget();
      if (FAILED(hr) || success == LongFalse)
        throw ECliFailure("writing " + std::to_string(count) + " bytes at " + Hex8(address) +
                          " failed (" + Hex8(std::uint32_t(hr)) + ")");
      done += std::size_t(count);
    }
  }

private:
  TDebugContext& FContext;
  IMemoryAccess* FAccess = nullptr;
};

std::uint32_t ParseAddress(const std::wstring& AText) {
  const std::optional<std::uint64_t> address = ParseCliNumber(AText);
  if (!address)
    throw ECliFailure("bad address \"" + Narrowed(AText) + "\" (decimal or 0x hex, below 2^32)");
  return std::uint32_t(*address);
}

// A block must lie inside the 32-bit address space.
void CheckRange(std::uint32_t AAddress, std::uint64_t ALength) {
  if (ALength == 0 || ALength > kMaxBytes)
    throw ECliFailure("bad length " + std::to_string(ALength) + " (1 to " +
                      std::to_string(kMaxBytes) + " bytes)");
  if (AAddress + ALength > 0x100000000ull)
    throw ECliFailure("bad length: " + std::to_string(ALength) + " bytes at " + Hex8(AAddress) +
                      " pass the end of the address space");
}

std::FILE* OpenFile(const std::wstring& APath, const wchar_t* AMode) {
  std::FILE* file = _wfopen(APath.c_str(), AMode);
  if (!file)
    throw ECliFailure("cannot open \"" + Narrowed(APath) + "\": " + std::strerror(errno));
  return file;
}

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& APath) {
  std::FILE* file = OpenFile(APath, L"rb");
  std::vector<std::uint8_t> bytes;
  std::uint8_t block[4096];
  std::size_t n = 0;
  while ((n = std::fread(block, 1, sizeof block, file)) > 0) {
    bytes.insert(bytes.end(), block, block + n);
    if (bytes.size() > kMaxBytes)
      break;
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed)
    throw ECliFailure("cannot read \"" + Narrowed(APath) + "\"");
  return bytes;
}

void WriteFileBytes(const std::wstring& APath, const std::vector<std::uint8_t>& ABytes) {
  std::FILE* file = OpenFile(APath, L"wb");
  const bool written = std::fwrite(ABytes.data(), 1, ABytes.size(), file) == ABytes.size();
  if (std::fclose(file) != 0 || !written)
    throw ECliFailure("cannot write \"" + Narrowed(APath) + "\"");
}

int HexDigit(wchar_t AChar) {
  if (AChar >= L'0' && AChar <= L'9')
    return AChar - L'0';
  if (AsciiUpper(AChar) >= L'A' && AsciiUpper(AChar) <= L'F')
    return AsciiUpper(AChar) - L'A' + 10;
  return -1;
}

// Bytes written as hex digits, in one or several arguments, each perhaps
// led by "0x"; blanks, ':' and '-' between bytes are allowed.
std::vector<std::uint8_t> ParseHexBytes(const std::vector<std::wstring>& AArgs) {
  std::vector<std::uint8_t> bytes;
  for (const std::wstring& arg : AArgs) {
    std::wstring_view text = arg;
    if (text.size() >= 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X'))
      text.remove_prefix(2);
    int high = -1;
    for (const wchar_t c : text) {
      const int digit = HexDigit(c);
      if (digit < 0 && high < 0 && (c == L' ' || c == L':' || c == L'-'))
        continue;
      if (digit < 0)
        throw ECliFailure("bad hex bytes \"" + Narrowed(arg) + "\"");
      if (high < 0) {
        high = digit;
      } else {
        bytes.push_back(std::uint8_t(high << 4 | digit));
        high = -1;
      }
    }
    if (high >= 0)
      throw ECliFailure("bad hex bytes \"" + Narrowed(arg) + "\": an odd number of digits");
  }
  return bytes;
}

void HexDump(std::FILE* AOut, std::uint32_t AAddress, const std::vector<std::uint8_t>& ABytes) {
  for (std::size_t line = 0; line < ABytes.size(); line += 16) {
    std::string text = Hex8(AAddress + std::uint32_t(line)).substr(2) + " ";
    std::string ascii;
    for (std::size_t i = line; i < line + 16; ++i) {
      char cell[8] = "   ";
      if (i < ABytes.size()) {
        std::snprintf(cell, sizeof cell, " %02X", ABytes[i]);
        ascii += ABytes[i] >= 0x20 && ABytes[i] < 0x7F ? char(ABytes[i]) : '.';
      }
      text += cell;
      if (i == line + 7)
        text += ' ';
    }
    std::fprintf(AOut, "%s  |%s|\n", text.c_str(), ascii.c_str());
  }
}

// Splits off "--NAME FILE" or "--NAME=FILE"; the rest stays in order.
std::optional<std::wstring> TakeOption(std::vector<std::wstring>& AArgs,
                                       const std::wstring& AName) {
  std::optional<std::wstring> value;
  for (std::size_t i = 0; i < AArgs.size();) {
    if (AArgs[i] == AName) {
      if (i + 1 >= AArgs.size())
        throw ECliFailure(Narrowed(AName) + " needs a file name");
      value = AArgs[i + 1];
      AArgs.erase(AArgs.begin() + std::ptrdiff_t(i), AArgs.begin() + std::ptrdiff_t(i + 2));
    } else if (AArgs[i].compare(0, AName.size() + 1, AName + L"=") == 0) {
      value = AArgs[i].substr(AName.size() + 1);
      AArgs.erase(AArgs.begin() + std::ptrdiff_t(i));
    } else {
      ++i;
    }
  }
  return value;
}

void NoOptionsLeft(const std::vector<std::wstring>& AArgs) {
  for (const std::wstring& arg : AArgs)
    if (arg.size() > 2 && arg.compare(0, 2, L"--") == 0)
      throw ECliFailure("unknown option \"" + Narrowed(arg) + "\" for mem");
}

constexpr const char* kMemUsage =
    "mem <part> read ADDR LEN [--out FILE] | write ADDR HEXBYTES|--in FILE | verify ADDR FILE";

int MemRead(TDebugContext& AContext, std::vector<std::wstring> AArgs) {
  const std::optional<std::wstring> out = TakeOption(AArgs, L"--out");
  NoOptionsLeft(AArgs);
  if (AArgs.size() != 2)
    throw ECliFailure(std::string("usage: ") + kMemUsage);
  const std::uint32_t address = ParseAddress(AArgs[0]);
  const std::optional<std::uint64_t> length = ParseCliNumber(AArgs[1], kMaxBytes);
  if (!length)
    throw ECliFailure("bad length \"" + Narrowed(AArgs[1]) + "\" (1 to " +
                      std::to_string(kMaxBytes) + " bytes)");
  CheckRange(address, *length);
  AContext.Connect();
  TMemory memory(AContext);
  const std::vector<std::uint8_t> bytes = memory.Read(address, std::size_t(*length));
  if (out) {
    WriteFileBytes(*out, bytes);
    AContext.Print("read " + std::to_string(bytes.size()) + " bytes at " + Hex8(address) +
                   " into " + Narrowed(*out));
  } else {
    HexDump(AContext.Out, address, bytes);
  }
  return 0;
}

int MemWrite(TDebugContext& AContext, std::vector<std::wstring> AArgs) {
  const std::optional<std::wstring> in = TakeOption(AArgs, L"--in");
  NoOptionsLeft(AArgs);
  if (AArgs.empty() || (in && AArgs.size() != 1) || (!in && AArgs.size() < 2))
    throw ECliFailure(std::string("usage: ") + kMemUsage);
  const std::uint32_t address = ParseAddress(AArgs[0]);
  const std::vector<std::uint8_t> bytes =
      in ? ReadFileBytes(*in) : ParseHexBytes({AArgs.begin() + 1, AArgs.end()});
  CheckRange(address, bytes.size());
  AContext.Connect();
  TMemory memory(AContext);
  memory.Write(address, bytes);
  AContext.Print("wrote " + std::to_string(bytes.size()) + " bytes at " + Hex8(address));
  return 0;
}

int MemVerify(TDebugContext& AContext, std::vector<std::wstring> AArgs) {
  NoOptionsLeft(AArgs);
  if (AArgs.size() != 2)
    throw ECliFailure(std::string("usage: ") + kMemUsage);
  const std::uint32_t address = ParseAddress(AArgs[0]);
  const std::vector<std::uint8_t> expected = ReadFileBytes(AArgs[1]);
  CheckRange(address, expected.size());
  AContext.Connect();
  TMemory memory(AContext);
  const std::vector<std::uint8_t> actual = memory.Read(address, expected.size());
  const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin());
  if (a == actual.end()) {
    AContext.Print(std::to_string(expected.size()) + " bytes at " + Hex8(address) + " match " +
                   Narrowed(AArgs[1]));
    return 0;
  }
  const std::size_t offset = std::size_t(a - actual.begin());
  char line[160];
  std::snprintf(line, sizeof line, "MISMATCH at %s (file offset %zu): target 0x%02X, file 0x%02X",
                Hex8(address + std::uint32_t(offset)).c_str(), offset, *a, *e);
  AContext.Print(line);
  return 1;
}

struct TMemAction {
  const wchar_t* Name;
  int (*Run)(TDebugContext&, std::vector<std::wstring>);
};

constexpr TMemAction kMemActions[] = {
    {L"read", MemRead},
    {L"write", MemWrite},
    {L"verify", MemVerify},
};

int Mem(TDebugContext& AContext) {
  if (!AContext.Args.empty())
    for (const TMemAction& action : kMemActions)
      if (AContext.Args[0] == action.Name)
        return action.Run(AContext, {AContext.Args.begin() + 1, AContext.Args.end()});
  throw ECliFailure(std::string("usage: ") + kMemUsage);
}

struct TDebugVerb {
  const wchar_t* Name;
  int (*Run)(TDebugContext&);
};

constexpr TDebugVerb kDebugVerbs[] = {
    {L"halt", Halt},   {L"step", Step}, {L"run", Run},
    {L"reset", Reset}, {L"regs", Regs}, {L"mem", Mem},
};

void Report(std::FILE* AErr, const std::string& AText) {
  std::fprintf(AErr, "orvandel: %s\n", AText.c_str());
}

} // namespace

std::optional<std::uint64_t> ParseCliNumber(const std::wstring& AText, std::uint64_t AMax) {
  std::wstring_view text = AText;
  unsigned base = 10;
  if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty())
    return std::nullopt;
  std::uint64_t value = 0;
  for (const wchar_t c : text) {
    const int digit = HexDigit(c);
    if (digit < 0 || unsigned(digit) >= base || std::uint64_t(digit) > AMax)
      return std::nullopt;
    if (value > (AMax - std::uint64_t(digit)) / base)
      return std::nullopt;
    value = value * base + std::uint64_t(digit);
  }
  return value;
}

bool IsDebugVerb(const std::wstring& AVerb) {
  return std::any_of(std::begin(kDebugVerbs), std::end(kDebugVerbs),
                     [&](const TDebugVerb& AVerbRow) { return AVerb == AVerbRow.Name; });
}

int RunDebugVerb(IDispatch& ADriver, const std::wstring& AVerb,
                 const std::vector<std::wstring>& AArguments, std::FILE* AOut, std::FILE* AErr,
                 const TDialogHook* ADialogs) {
  for (const TDebugVerb& verb : kDebugVerbs) {
    if (AVerb != verb.Name)
      continue;
    TDebugContext context{ADriver, AArguments, AOut, ADialogs,
                          ADialogs ? ADialogs->Dialogs().size() : 0};
    try {
      const int status = verb.Run(context);
      std::fflush(AOut);
      return status;
    } catch (const std::exception& e) {
      std::fflush(AOut);
      Report(AErr, e.what());
      return 1;
    }
  }
  Report(AErr, "\"" + Narrowed(AVerb) + "\" is no debug verb");
  return 1;
}

int DebugPartVerb(TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& AVerb,
                  const std::vector<std::wstring>& AArguments, std::FILE* AOut, std::FILE* AErr,
                  const TDialogHook* ADialogs, unsigned AChainPosition) {
  if (AArguments.empty() || AArguments[0].compare(0, 2, L"--") == 0) {
    Report(AErr, Narrowed(AVerb) + " needs a part; see 'orvandel devices'");
    return 1;
  }
  IDispatch* driver = nullptr;
  try {
    driver = BindPartDriver(APlugin, AHost, AArguments[0], AErr, AChainPosition);
  } catch (const std::exception& e) {
    Report(AErr, e.what());
    return 1;
  }
  if (!driver)
    return 1;
  // The device answers its panels from the driver now bound to it.
  ServeProcessorFromDriver(AHost.Device(AChainPosition), *driver);
  const int status = RunDebugVerb(*driver, AVerb, {AArguments.begin() + 1, AArguments.end()}, AOut,
                                  AErr, ADialogs);
  driver->Release();
  return status;
}
