#include "host-services-fixture.h"

std::string FileContent(const std::wstring& AName) {
  const HANDLE file = CreateFileW(AName.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return "<missing>";
  std::string content(4096, '\0');
  DWORD read = 0;
  ReadFile(file, content.data(), DWORD(content.size()), &read, nullptr);
  CloseHandle(file);
  content.resize(read);
  return content;
}

bool FileThere(const std::wstring& AName) {
  return GetFileAttributesW(AName.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string AsciiText(const std::wstring& AText) {
  std::string text;
  for (wchar_t ch : AText)
    text += ch < 128 ? char(ch) : '?';
  return text;
}

namespace {

constexpr DISPID kGetPluginsRegistry = 2027, kGetCount = 2017, kGetItem = 2018, kGetFolder = 2009,
                 kGetDisabled = 2010;

} // namespace

TPluginsRegistry::TPluginsRegistry(TTestHost& AHost)
    : FRegistry(TFakeHostObject::Create({L"IPluginsRegistry"})) {
  AHost.Client().OnCall(kGetPluginsRegistry, [this](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(FRegistry->Dispatch());
    return S_OK;
  });
  FRegistry->OnCall(kGetCount, [this](TFakeInvocation& AInvocation) {
    ++FWalks;
    AInvocation.ReturnInt(int32_t(FEntries.size()));
    return S_OK;
  });
  FRegistry->OnCall(kGetItem, [this](TFakeInvocation& AInvocation) {
    const size_t index = size_t(AInvocation.Int(0));
    if (index >= FEntries.size())
      return AInvocation.Raise(L"List index out of bounds");
    TComPtr<TFakeHostObject> item = TFakeHostObject::Create({L"IPluginsRegistryItem"});
    const TEntry entry = FEntries[index];
    item->OnCall(kGetFolder, [entry](TFakeInvocation& AItemCall) {
      AItemCall.ReturnText(entry.Folder);
      return S_OK;
    });
    item->OnCall(kGetDisabled, [entry](TFakeInvocation& AItemCall) {
      AItemCall.ReturnInt(entry.Disabled ? 1 : 0);
      return S_OK;
    });
    FItems.push_back(item);
    AInvocation.ReturnObject(item->Dispatch());
    return S_OK;
  });
}
