#include "host-link.h"

#include <windows.h>

namespace host_link {

namespace {

using TGetClientInterface = HRESULT(WINAPI*)(IUnknown**);

std::wstring WithTrailingBackslash(std::wstring AFolder) {
  if (AFolder.empty() || AFolder.back() != L'\\')
    AFolder += L'\\';
  return AFolder;
}

std::wstring ModuleFileName(HMODULE AModule) {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(AModule, name.data(), DWORD(name.size()));
    if (length == 0)
      return {};
    if (length < name.size()) {
      name.resize(length);
      return name;
    }
    name.resize(name.size() * 2);
  }
}

} // namespace

IClient Client() {
  // Asked every time: a host that has no client yet may have one later.
  const auto getClient = reinterpret_cast<TGetClientInterface>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(nullptr), "ClientAPI_GetClientInterface")));
  if (!getClient)
    return {};
  IUnknown* client = nullptr;
  if (FAILED(getClient(&client)) || !client)
    return {};
  TComPtr<IUnknown> owned = TComPtr<IUnknown>::Attach(client);
  try {
    return IClient::FromInterface(owned.Get());
  } catch (const EIntfCastError&) {
    return {};
  }
}

IClientAPI_Interface ClientApi() {
  const IClient client = Client();
  if (client.IsEmpty())
    return {};
  return client.GetClientAPI();
}

std::wstring HostFolder() {
  std::wstring name = ModuleFileName(nullptr);
  name.erase(name.find_last_of(L"\\/") + 1);
  for (wchar_t& c : name)
    if (c >= L'a' && c <= L'z')
      c = wchar_t(c - L'a' + L'A');
  return name;
}

std::wstring HostSystemFolder() {
  return HostFolder() + L"System\\";
}

std::wstring HostBitmapFolder() {
  const IClientAPI_Interface api = ClientApi();
  return api.IsEmpty() ? std::wstring() : api.GetBitmapFolder();
}

std::wstring HostSecondBitmapFolder() {
  const IClientAPI_Interface api = ClientApi();
  return api.IsEmpty() ? std::wstring() : api.GetSecondBitmapFolder();
}

void ForEachPluginFolder(const std::function<bool(const std::wstring&)>& AVisitor) {
  const IClient client = Client();
  if (client.IsEmpty())
    return;
  const IPluginsRegistry registry = client.GetPluginsRegistry();
  if (registry.IsEmpty())
    return;
  const int32_t count = registry.GetCount();
  for (int32_t index = 0; index < count; ++index) {
    const IPluginsRegistryItem item = registry.GetItemDispatch(index);
    if (item.IsEmpty() || item.GetDisabled() != 0)
      continue;
    if (AVisitor(WithTrailingBackslash(item.GetFolder())))
      return;
  }
}

std::wstring MakeTempFileName() {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  if (length == 0 || length > MAX_PATH)
    return {};
  wchar_t name[MAX_PATH + 1] = {};
  if (GetTempFileNameW(folder, L"Pro", 0, name) == 0)
    return {};
  return name;
}

std::wstring OwnModuleBaseName() {
  HMODULE own = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModuleBaseName), &own);
  std::wstring name = ModuleFileName(own);
  name.erase(0, name.find_last_of(L"\\/") + 1);
  const std::size_t dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos)
    name.erase(dot);
  return name;
}

bool FileExists(const std::wstring& AName) {
  const DWORD attributes = GetFileAttributesW(AName.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace host_link

namespace host_link {

HWND HostMainWindow() {
  const IClient client = Client();
  return client.IsEmpty() ? nullptr
                          : reinterpret_cast<HWND>(intptr_t(client.GetMainWindowHandle()));
}

void ClearStatusText() {
  const IClient client = Client();
  if (client.IsEmpty())
    return;
  const IGUIManager manager = client.GetGUIManager();
  if (!manager.IsEmpty())
    manager.SetStatusText(-1, L"");
}

bool ProcessShortcut(WORD AKey) {
  const IClient client = Client();
  if (client.IsEmpty())
    return false;
  const IGUIManager manager = client.GetGUIManager();
  if (manager.IsEmpty())
    return false;
  const auto down = [](int AKeyCode) { return (GetKeyState(AKeyCode) & 0x8000) != 0; };
  const bool taken = manager.ProcessShortcut(AKey, down(VK_MENU), down(VK_SHIFT), down(VK_CONTROL));
  if (taken)
    manager.UpdateAfterShortcut();
  return taken;
}

} // namespace host_link
