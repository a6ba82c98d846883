#include "vfs-entry.h"

#include <vector>

namespace {

// Of the host's file-system exports only this one is ever called, so it is
// the only one bound.
struct TVfsEntries {
  bool Bound = false;
  TExpandRelativePathEntry ExpandRelativePath = nullptr;
};

TVfsEntries& Entries() {
  static TVfsEntries entries;
  return entries;
}

} // namespace

void BindVfsEntries(HMODULE AHostModule) {
  const HMODULE module = AHostModule ? AHostModule : GetModuleHandleW(nullptr);
  BindExpandRelativePath(module
                             ? reinterpret_cast<TExpandRelativePathEntry>(reinterpret_cast<void*>(
                                   GetProcAddress(module, "VFSAPI_VFS_ExpandRelativePath")))
                             : nullptr);
}

void BindExpandRelativePath(TExpandRelativePathEntry AEntry) {
  Entries().ExpandRelativePath = AEntry;
  Entries().Bound = true;
}

void ReleaseVfsEntries() {
  Entries() = TVfsEntries();
}

void ExpandRelativePath(const std::wstring& ABasePath, const std::wstring& ARelativePath,
                        std::wstring& AResult) {
  if (!Entries().Bound)
    BindVfsEntries(nullptr);
  const TExpandRelativePathEntry entry = Entries().ExpandRelativePath;
  if (!entry)
    return;
  // The call carries no length: the buffer starts empty and its last
  // character is forced to a terminator, so a host that fills it to the
  // end still leaves a text that ends inside the buffer.
  std::vector<wchar_t> buffer(kExpandedPathCapacity, L'\0');
  entry(ABasePath.c_str(), ARelativePath.c_str(), buffer.data());
  buffer.back() = L'\0';
  AResult = buffer.data();
}
