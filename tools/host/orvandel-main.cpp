// The command-line host: loads the plug-in from its own folder and drives it.

#include "plugin-library.h"
#include "remote-bitbang-target.h"
#include "sim-scan-target.h"
#include "test-host.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

// What the command line asked for: options may stand before or after the verb.
struct TCommandLine {
  std::wstring PluginPath = DefaultPluginPath();
  std::wstring Jtag = L"sim";
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
};

struct TVerb {
  const wchar_t* Name;
  const wchar_t* Usage; // the verb and its arguments
  const wchar_t* Summary;
  int (*Run)(const TCommandLine& ALine);
};

int Help(const TCommandLine& ALine);
int Devices(const TCommandLine& ALine);
int Scan(const TCommandLine& ALine);

constexpr TVerb kVerbs[] = {
    {L"devices", L"devices", L"list the device kinds the plug-in serves", Devices},
    {L"help", L"help", L"show this text", Help},
    {L"scan", L"scan", L"list the JTAG chain's devices with their IDCODEs", Scan},
};

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

std::wstring Widened(const std::string& AText) {
  return std::wstring(AText.begin(), AText.end());
}

std::string Narrowed(const std::wstring& AText) {
  std::string text;
  for (const wchar_t c : AText)
    text += c < 0x80 ? char(c) : '?';
  return text;
}

void PrintUsage(FILE* AStream) {
  fputws(L"usage: orvandel [--plugin PATH] [--jtag TARGET] <verb> [arguments]\n\nverbs:\n",
         AStream);
  for (const TVerb& verb : kVerbs)
    fwprintf(AStream, L"  %-10ls %ls\n", verb.Usage, verb.Summary);
  fputws(L"\nJTAG targets (--jtag TARGET):\n", AStream);
  for (const TJtagTargetKind& kind : kJtagTargets)
    fwprintf(AStream, L"  %ls\n            %ls\n", kind.Form, kind.Summary);
}

int Help(const TCommandLine&) {
  PrintUsage(stdout);
  return 0;
}

int Devices(const TCommandLine& ALine) {
  CoInitialize(nullptr);
  TPluginLibrary plugin;
  if (!plugin.Load(ALine.PluginPath))
    return Fail(plugin.ErrorText());
  int32_t count = -1;
  const HRESULT hr = plugin.GetTarvoDriverCount(&count);
  if (FAILED(hr))
    return Fail(L"GetTarvoDriverCount failed with " + std::to_wstring(hr));
  wprintf(L"%d device kinds\n", int(count));
  if (count == 0)
    wprintf(L"no driver is available yet\n");
  for (int32_t kind = 0; kind < count; ++kind) {
    IDispatch* driver = nullptr;
    if (SUCCEEDED(plugin.GetTarvoDriver_Plugin(kind, &driver)) && driver) {
      wprintf(L"%5d\n", int(kind));
      driver->Release();
    }
  }
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
    } else if (arg == L"--help") {
      if (ALine.Verb.empty())
        ALine.Verb = L"help";
    } else if (arg.size() > 2 && arg.compare(0, 2, L"--") == 0) {
      AError = L"unknown option \"" + arg + L"\"; see 'orvandel help'";
      return false;
    } else if (ALine.Verb.empty()) {
      ALine.Verb = arg;
    } else {
      ALine.Arguments.push_back(arg);
    }
  }
  return true;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  TCommandLine line;
  std::wstring error;
  if (!ParseCommandLine(std::vector<std::wstring>(argv + 1, argv + argc), line, error))
    return Fail(error);
  if (line.Verb.empty()) {
    PrintUsage(stderr);
    return 2;
  }
  for (const TVerb& verb : kVerbs) {
    if (line.Verb != verb.Name)
      continue;
    try {
      return verb.Run(line);
    } catch (const std::exception& e) {
      return Fail(Widened(e.what()));
    }
  }
  return Fail(L"unknown verb \"" + line.Verb + L"\"; see 'orvandel help'");
}
