#pragma once

#include <string>

// The modal message dialogs through which the plug-in tells the user
// something or asks for a confirmation. Each is centred on the screen and
// owned by the host thread's active window.
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
