// The command-line host: loads the plug-in from its own folder and drives it.

#include "plugin-library.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t kUsage[] =
    L"usage: orvandel [--plugin PATH] <verb> [arguments]\n"
    L"\n"
    L"verbs:\n"
    L"  devices    list the device kinds the plug-in serves\n"
    L"  help       show this text\n";

int Fail(const std::wstring& AText) {
  fwprintf(stderr, L"orvandel: %ls\n", AText.c_str());
  return 1;
}

int Devices(TPluginLibrary& APlugin) {
  int32_t count = -1;
  const HRESULT hr = APlugin.GetTarvoDriverCount(&count);
  if (FAILED(hr)) return Fail(L"GetTarvoDriverCount failed with " + std::to_wstring(hr));
  wprintf(L"%d device kinds\n", int(count));
  if (count == 0) wprintf(L"no driver is available yet\n");
  for (int32_t kind = 0; kind < count; ++kind) {
    IDispatch* driver = nullptr;
    if (SUCCEEDED(APlugin.GetTarvoDriver_Plugin(kind, &driver)) && driver) {
      wprintf(L"%5d\n", int(kind));
      driver->Release();
    }
  }
  return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  std::wstring pluginPath = DefaultPluginPath();
  if (args.size() >= 2 && args[0] == L"--plugin") {
    pluginPath = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.empty() || args[0] == L"help" || args[0] == L"--help") {
    fputws(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? 2 : 0;
  }
  const std::wstring verb = args[0];
  if (verb != L"devices") return Fail(L"unknown verb \"" + verb + L"\"; see 'orvandel help'");

  CoInitialize(nullptr);
  TPluginLibrary plugin;
  if (!plugin.Load(pluginPath)) return Fail(plugin.ErrorText());
  return Devices(plugin);
}
