// The command-line host: loads the plug-in from its own folder and drives it.

#include "cli-bsdl.h"
#include "cli-common.h"
#include "cli-debug.h"
#include "cli-device.h"
#include "cli-flash.h"
#include "cli-part.h"
#include "dialog-hook.h"
#include "plugin-library.h"
#include "remote-bitbang-target.h"
#include "sim-scan-target.h"
#include "test-host.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// What the command line asked for: options may stand before or after the verb.
struct TCommandLine {
  std::wstring PluginPath = DefaultPluginPath();
  std::wstring Jtag = L"sim";
  // The chain device the verbs that bind a driver bind it to.
  std::wstring ChainPositionText = L"0";
  unsigned ChainPosition = 0;
  std::wstring Verb;
  std::vector<std::wstring> Arguments;
};

struct TOption {
  const wchar_t* Name;
  std::wstring TCommandLine::*Value;
};

constexpr TOption kOptions[] = {
    {L"--plugin", &TCommandLine::PluginPath},
    {L"--jtag", &TCommandLine::Jtag},
    {L"--chain-position", &TCommandLine::ChainPositionText},
};

struct TVerb {
  const wchar_t* Name;
  const wchar_t* Usage; // the verb and its arguments
  const wchar_t* Summary;
  int (*Run)(const TCommandLine& ALine);
  // The verb's own options, each followed by a blank.
  const wchar_t* Options = L"";
};

int Help(const TCommandLine& ALine);
int Devices(const TCommandLine& ALine);
int Scan(const TCommandLine& ALine);
int Debug(const TCommandLine& ALine);
int Info(const TCommandLine& ALine);
int Identify(const TCommandLine& ALine);
int Bsdl(const TCommandLine& ALine);
int Flash(const TCommandLine& ALine);

// A verb may take several rows, one per form; the first row runs it.
constexpr TVerb kVerbs[] = {
    {L"devices", L"devices", L"list the device kinds the plug-in serves", Devices},
    {L"help", L"help", L"show this text", Help},
    {L"scan", L"scan", L"list the JTAG chain's devices with their IDCODEs", Scan},
    {L"info", L"info <part>", L"show the device information of the part's driver", Info},
    {L"identify", L"identify <part>", L"read the chip's IDCODE through the part's driver",
     Identify},
    {L"bsdl", L"bsdl <part>", L"show the part's boundary-scan entity and its cell table", Bsdl},
    {L"flash", L"flash <part> <image> [--no-verify] [--erase-all]",
     L"erase, program and verify flash with a HEX, ELF or raw image", Flash,
     L"--no-verify --erase-all "},
    {L"halt", L"halt <part>",
     L"halt the core; show whether it halted, the PC and the instruction there", Debug},
    {L"step", L"step <part> [N]",
     L"execute N instructions (default 1), halting first; show the PC and the instruction there",
     Debug},
    {L"run", L"run <part>", L"let the core run; show the PC it resumed from", Debug},
    {L"reset", L"reset <part>", L"reset the core; show the PC it stops at", Debug},
    {L"regs", L"regs <part> [NAME=VALUE ...]",
     L"halt, write the given registers (decimal or 0x hex), list all registers", Debug},
    {L"mem", L"mem <part> read ADDR LEN [--out FILE]",
     L"show memory, 16 bytes a line, or write its raw bytes to FILE", Debug, L"--out --in "},
    {L"mem", L"mem <part> write ADDR HEXBYTES|--in FILE", L"write bytes given in hex or a file's",
     Debug},
    {L"mem", L"mem <part> verify ADDR FILE",
     L"compare memory with a file; exit 1 at the first difference", Debug},
};

// Answers every box the plug-in shows, after printing it; none waits for a
// person, and a verb during which one showed fails.
TDialogHook* gDialogs = nullptr;

struct TJtagTargetKind {
  const wchar_t* Form;
  const wchar_t* Summary;
};

constexpr TJtagTargetKind kJtagTargets[] = {
    {L"sim", L"the simulated chip, in process (default)"},
    {L"remote_bitbang:HOST:PORT[:IR,...]",
     L"a remote_bitbang server (HOST empty: 127.0.0.1); IR lengths\n"
     L"            of the chain's devices when they cannot be measured"},
};

constexpr int kReset = 1, kIdle = 2, kDrShift = 5, kDrExit1 = 6;

int Fail(const std::wstring& AText) {
  fwprintf(stderr, L"orvandel: %ls\n", AText.c_str());
  return 1;
}

void PrintUsage(FILE* AStream) {
  fputws(L"usage: orvandel [--plugin PATH] [--jtag TARGET] [--chain-position N] <verb> "
         L"[arguments]\n"
         L"       orvandel --help | -h   (anywhere on the line: this text, and no verb runs)\n\n"
         L"A part is named in full or by its chip name (its first variant).\n"
         L"--chain-position N: the chain device a driver is bound to (default 0).\n\nverbs:\n",
         AStream);
  for (const TVerb& verb : kVerbs) {
    if (std::wstring_view(verb.Usage).size() <= 10)
      fwprintf(AStream, L"  %-10ls %ls\n", verb.Usage, verb.Summary);
    else
      fwprintf(AStream, L"  %ls\n  %-10ls %ls\n", verb.Usage, L"", verb.Summary);
  }
  fputws(L"\nJTAG targets (--jtag TARGET):\n", AStream);
  for (const TJtagTargetKind& kind : kJtagTargets)
    fwprintf(AStream, L"  %ls\n            %ls\n", kind.Form, kind.Summary);
}

int Help(const TCommandLine&) {
  PrintUsage(stdout);
  return 0;
}

std::unique_ptr<IScanTarget> OpenScanTarget(const std::wstring& ASpec) {
  if (ASpec == L"sim")
    return std::make_unique<TSimChipTarget>();
  return std::make_unique<TRemoteBitbangTarget>(ParseRemoteBitbangSpec(Narrowed(ASpec)));
}

// Each device's IDCODE as the host's channel reads it: a reset selects
// IDCODE (or BYPASS, which captures a 0 in bit 0) in every device.
int Scan(const TCommandLine& ALine) {
  const std::unique_ptr<IScanTarget> target = OpenScanTarget(ALine.Jtag);
  TTestHost host(*target);
  TTestJtagChannel& channel = host.Channel();
  channel.OpenChannel();
  const unsigned count = host.DeviceCount();
  wprintf(L"%u device%ls on the JTAG chain\n", count, count == 1 ? L"" : L"s");
  for (unsigned position = 0; position < count; ++position) {
    channel.MoveToState(0, kReset);
    channel.MoveToState(kReset, kDrShift);
    const uint32_t code = uint32_t(channel.ShiftDataCapture(0, 32, int32_t(position)));
    channel.MoveToState(kDrExit1, kIdle);
    const unsigned irLength = host.Target().IrLength(position);
    if ((code & 1) == 0) {
      wprintf(L"%3u  no IDCODE (BYPASS)  IR %u bits\n", position, irLength);
      continue;
    }
    wprintf(L"%3u  IDCODE 0x%08X  IR %u bits  (manufacturer 0x%03X, part 0x%04X, version %u)\n",
            position, code, irLength, (code >> 1) & 0x7FF, (code >> 12) & 0xFFFF, code >> 28);
  }
  channel.CloseChannel();
  return 0;
}

// Verbs that only ask the drivers (devices, info, bsdl) open no chain: a
// host with no chain device serves them whatever --jtag names.
enum class TChainUse { Chain, NoChain };

// Runs a verb with the plug-in loaded beside a host over the chosen scan
// target (drivers call their host back while they are made); the plug-in is
// unloaded before the host whose objects its drivers hold.
template <class TRun>
int WithPlugin(const TCommandLine& ALine, TRun ARun, TChainUse AChain = TChainUse::Chain) {
  CoInitialize(nullptr);
  std::unique_ptr<IScanTarget> target;
  if (AChain == TChainUse::Chain) {
    target = OpenScanTarget(ALine.Jtag);
  } else {
    auto none = std::make_unique<TRecordingScanTarget>();
    none->Devices = 0;
    target = std::move(none);
  }
  TTestHost host(*target);
  TPluginLibrary plugin;
  if (!plugin.Load(ALine.PluginPath))
    return Fail(plugin.ErrorText());
  return ARun(plugin, host);
}

// The verbs that take exactly one part name.
template <class TRun>
int WithPart(const TCommandLine& ALine, TRun ARun, TChainUse AChain = TChainUse::Chain) {
  if (ALine.Arguments.size() != 1)
    return Fail(ALine.Verb + L" takes one part name");
  return WithPlugin(
      ALine,
      [&](TPluginLibrary& APlugin, TTestHost& AHost) {
        return ARun(APlugin, AHost, ALine.Arguments[0]);
      },
      AChain);
}

int Devices(const TCommandLine& ALine) {
  return WithPlugin(
      ALine, [](TPluginLibrary& APlugin, TTestHost&) { return DevicesVerb(APlugin); },
      TChainUse::NoChain);
}

int Info(const TCommandLine& ALine) {
  return WithPart(
      ALine,
      [](TPluginLibrary& APlugin, TTestHost&, const std::wstring& APart) {
        return InfoVerb(APlugin, APart);
      },
      TChainUse::NoChain);
}

int Identify(const TCommandLine& ALine) {
  return WithPart(ALine, [&](TPluginLibrary& APlugin, TTestHost& AHost, const std::wstring& APart) {
    return IdentifyVerb(APlugin, AHost, APart, stdout, stderr, ALine.ChainPosition);
  });
}

// The entity is the driver's own: reading it needs no chain device.
int Bsdl(const TCommandLine& ALine) {
  return WithPart(
      ALine,
      [](TPluginLibrary& APlugin, TTestHost&, const std::wstring& APart) {
        int32_t kind = 0;
        IDispatch* driver = TakePartDriver(APlugin, APart, stderr, &kind);
        if (!driver)
          return 1;
        const int status = BsdlVerb(driver, stdout, stderr, PartDataOrigin(kind));
        driver->Release();
        return status;
      },
      TChainUse::NoChain);
}

int Flash(const TCommandLine& ALine) {
  return WithPlugin(ALine, [&](TPluginLibrary& APlugin, TTestHost& AHost) {
    return FlashVerb(APlugin, AHost, ALine.Arguments, stdout, stderr, ALine.ChainPosition);
  });
}

int Debug(const TCommandLine& ALine) {
  return WithPlugin(ALine, [&](TPluginLibrary& APlugin, TTestHost& AHost) {
    return DebugPartVerb(APlugin, AHost, ALine.Verb, ALine.Arguments, stdout, stderr, gDialogs,
                         ALine.ChainPosition);
  });
}

// A verb's own options reach it among its arguments.
bool CheckVerbOptions(const TCommandLine& ALine, const TVerb& AVerb, std::wstring& AError) {
  for (const std::wstring& arg : ALine.Arguments) {
    if (arg.size() <= 2 || arg.compare(0, 2, L"--") != 0)
      continue;
    const std::wstring name = arg.substr(0, arg.find(L'=')) + L" ";
    if (std::wstring_view(AVerb.Options).find(name) == std::wstring_view::npos) {
      AError = L"unknown option \"" + arg + L"\"; see 'orvandel help'";
      return false;
    }
  }
  return true;
}

// Options (with their value as the next argument or after '='), the verb,
// then its arguments, in any order.
bool ParseCommandLine(const std::vector<std::wstring>& AArgs, TCommandLine& ALine,
                      std::wstring& AError) {
  for (size_t i = 0; i < AArgs.size(); ++i) {
    const std::wstring& arg = AArgs[i];
    const TOption* option = nullptr;
    std::wstring value;
    bool inline_ = false;
    for (const TOption& o : kOptions) {
      const std::wstring name = o.Name;
      if (arg == name)
        option = &o;
      if (arg.compare(0, name.size() + 1, name + L"=") == 0) {
        option = &o;
        value = arg.substr(name.size() + 1);
        inline_ = true;
      }
    }
    if (option) {
      if (!inline_) {
        if (i + 1 >= AArgs.size()) {
          AError = std::wstring(option->Name) + L" needs a value";
          return false;
        }
        value = AArgs[++i];
      }
      ALine.*option->Value = value;
    } else if (arg.size() > 2 && arg.compare(0, 2, L"--") == 0) {
      // Checked against the verb's own options once the verb is known.
      ALine.Arguments.push_back(arg);
    } else if (ALine.Verb.empty()) {
      ALine.Verb = arg;
    } else {
      ALine.Arguments.push_back(arg);
    }
  }
  const std::optional<std::uint64_t> position = ParseCliNumber(ALine.ChainPositionText, 0xFFFF);
  if (!position) {
    AError = L"bad chain position \"" + ALine.ChainPositionText + L"\" (a number from 0)";
    return false;
  }
  ALine.ChainPosition = unsigned(*position);
  return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  // Asking for help anywhere on the line never runs a verb, whatever else
  // the line holds.
  if (std::any_of(args.begin(), args.end(),
                  [](const std::wstring& AArg) { return AArg == L"--help" || AArg == L"-h"; })) {
    PrintUsage(stdout);
    return 0;
  }
  TCommandLine line;
  std::wstring error;
  if (!ParseCommandLine(args, line, error))
    return Fail(error);
  if (line.Verb.empty()) {
    PrintUsage(stderr);
    return 2;
  }
  TDialogHook dialogs;
  dialogs.OnUnscripted = [](const TDialogHook::TDialog& ADialog) {
    fwprintf(stderr, L"orvandel: the plug-in says (%ls): %ls\n", ADialog.Caption.c_str(),
             ADialog.Text.c_str());
  };
  gDialogs = &dialogs;
  for (const TVerb& verb : kVerbs) {
    if (line.Verb != verb.Name)
      continue;
    if (!CheckVerbOptions(line, verb, error))
      return Fail(error);
    int status = 1;
    try {
      status = verb.Run(line);
    } catch (const std::exception& e) {
      status = Fail(Widened(e.what()));
    }
    fflush(stdout);
    if (status == 0 && !dialogs.Dialogs().empty())
      status = Fail(L"failing: the plug-in reported a problem");
    return status;
  }
  return Fail(L"unknown verb \"" + line.Verb + L"\"; see 'orvandel help'");
}
