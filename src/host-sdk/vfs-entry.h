#pragma once

// The host's virtual-file-system entry the plug-in uses: expanding a
// relative path against a base path (the host executable's export
// VFSAPI_VFS_ExpandRelativePath).

#include <windows.h>

#include <string>

// The host's routine: base path, relative path, a buffer of
// kExpandedPathCapacity wide characters it writes the result into.
using TExpandRelativePathEntry = void(WINAPI*)(const wchar_t* ABasePath,
                                               const wchar_t* ARelativePath, wchar_t* AResult);
constexpr size_t kExpandedPathCapacity = 2048;

// Module start-up: binds the export of AHostModule (nullptr: the main
// program). The first ExpandRelativePath does this by itself.
void BindVfsEntries(HMODULE AHostModule = nullptr);
// Binds a routine directly (a host that hands its entry over otherwise).
void BindExpandRelativePath(TExpandRelativePathEntry AEntry);
// Module shutdown: every entry becomes unbound.
void ReleaseVfsEntries();

// AResult becomes the host's expansion; left as it was when the host has no
// such entry. The host's text is cut at the buffer's capacity whether or
// not the host terminated it.
void ExpandRelativePath(const std::wstring& ABasePath, const std::wstring& ARelativePath,
                        std::wstring& AResult);
