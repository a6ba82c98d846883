#pragma once

// The few host services the forms, document images and the zip wrapper
// need: the host's client and client API, the host's folders, the plug-in
// folders the host has registered and a fresh temporary file. Each answers
// empty when the host offers nothing, so callers run without a host too.

#include "host-records.h"

#include <windows.h>

#include <functional>
#include <string>

namespace host_link {

// The host's client through the host executable's ClientAPI_GetClientInterface
// export; empty when the host has none or answers nothing.
IClient Client();
// The client's companion interface; empty without a client.
IClientAPI_Interface ClientApi();

// The host executable's folder in upper case (ASCII letters), with a
// trailing backslash, and its "System\" subfolder.
std::wstring HostFolder();
std::wstring HostSystemFolder();

// The client API's two bitmap folders; empty without a client API.
std::wstring HostBitmapFolder();
std::wstring HostSecondBitmapFolder();

// Visits the folders of the host's plug-ins registry in registry order, with
// a trailing backslash, skipping disabled entries; the visitor answers true
// to stop the walk.
void ForEachPluginFolder(const std::function<bool(const std::wstring& AFolder)>& AVisitor);

// An empty, uniquely named file with the prefix "Pro" in the Windows
// temporary folder; empty when the system refuses.
std::wstring MakeTempFileName();

// The file name of the module this code lives in, without folder and extension.
std::wstring OwnModuleBaseName();

// True when the file exists (and is not a folder).
bool FileExists(const std::wstring& AName);

} // namespace host_link

namespace host_link {

// The host's main window (0 without a client).
HWND HostMainWindow();
// Clears the host's status bar (index -1, empty text) through its GUI manager.
void ClearStatusText();
// Offers a key to the host as a shortcut with the Alt, Shift and Ctrl
// states; when the host takes it, it updates after it. The host's answer.
bool ProcessShortcut(WORD AKey);

} // namespace host_link
