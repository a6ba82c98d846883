#pragma once

#include <windows.h>

#include <string>

// The modal message dialogs through which the plug-in tells the user
// something or asks for a confirmation. Each is centred on the screen and
// owned by the host thread's active window or, when none is active, by the
// host application's window.
enum class TDialogKind { Warning, Information, Error, Confirmation };
enum class TDialogButtons { Ok, OkCancel };

// The modal result: IDOK, IDCANCEL ...
int ShowMessageDialog(const std::wstring& ACaption, const std::wstring& AMessage, TDialogKind AKind,
                      TDialogButtons AButtons);

// Empty captions give "Warning", "Information" and "Error".
int ShowWarning(const std::wstring& AMessage, const std::wstring& ACaption = L"");
int ShowInformation(const std::wstring& AMessage, const std::wstring& ACaption = L"");
int ShowError(const std::wstring& AMessage, const std::wstring& ACaption = L"");
// OK and Cancel under the caption "Confirm"; true only when OK was chosen.
bool ConfirmOkCancel(const std::wstring& AMessage);

// The host application's window, which the plug-in's windows belong to (a
// driver takes it from the host's client when it is made). Answers nullptr
// until one is set and once that window is gone.
void SetApplicationWindow(HWND AWindow);
HWND ApplicationWindow();
