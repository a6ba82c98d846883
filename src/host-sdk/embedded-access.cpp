#include "embedded-access.h"

#include "client-access.h"
#include "host-modules.h"

namespace {

constexpr wchar_t kEmbeddedStackKind[] = L"EmbeddedStack";

bool FileExists(const std::wstring& APath) {
  const DWORD attributes = GetFileAttributesW(APath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

IEmbeddedMemoryManager GetEmbeddedMemoryManager() {
  const IWorkspace workspace = GetWorkspace();
  return workspace.IsEmpty() ? IEmbeddedMemoryManager()
                             : IEmbeddedMemoryManager::FromDispatch(workspace.Intf());
}

HRESULT GetEmbeddedStack(const std::wstring& AFileName, IEmbeddedStack& AStack) noexcept {
  try {
    AStack = IEmbeddedStack();
    if (AFileName.empty())
      return S_OK;
    const IClient client = Client();
    if (client.IsEmpty())
      return S_OK;
    IServerDocument document = client.GetDocumentByPath(AFileName);
    if (document.IsEmpty() && FileExists(AFileName))
      document = client.OpenDocument(kEmbeddedStackKind, AFileName);
    if (!document.IsEmpty())
      AStack = IEmbeddedStack::FromDispatch(document.Intf());
    return S_OK;
  } catch (...) {
    AStack = IEmbeddedStack();
    return E_UNEXPECTED;
  }
}
