#include "actions.h"

#include "parameter-list.h"

#include <string_view>

namespace {

constexpr const wchar_t* ActionNames[ActionCount] = {
    L"None",
    L"PauseProcessor",
    L"ContinueProcessor",
    L"ResetProcessor",
    L"SingleStepProcessor",
    L"CompileProgram",
    L"DownloadProgram",
    L"StartDebug",
    L"StartAttach",
    L"EndDebug",
    L"ShowAboutDialog",
    L"ResetDevice",
    L"DownloadToDevice",
    L"ShowViewer",
    L"ChooseAndDownload",
    L"ProcessorMenu",
    L"ConfigureJTAGIdMapping",
    L"Flash_ResetDevice",
    L"Flash_ConfigureDevice",
    L"Flash_DownloadDevice",
    L"Flash_ChooseAndDownload",
    L"WriteToFlash",
    L"ConfigureFpgaProject",
    L"ShowConfiguration",
    L"ShowCurrentSense",
    nullptr,
    L"CustomAction",
    L"OnDblClick",
    L"HideViewer",
    L"UpdateFirmware",
    L"ToggleFirmwareAutoUpdate",
    L"VerifyProgram",
};

wchar_t UpperAscii(wchar_t AChar) {
  return AChar >= L'a' && AChar <= L'z' ? wchar_t(AChar - 32) : AChar;
}

bool SameTextAscii(std::wstring_view A, std::wstring_view B) {
  if (A.size() != B.size())
    return false;
  for (std::size_t i = 0; i < A.size(); ++i)
    if (UpperAscii(A[i]) != UpperAscii(B[i]))
      return false;
  return true;
}

} // namespace

const wchar_t* ActionName(int AIndex) {
  return AIndex >= 0 && AIndex < ActionCount ? ActionNames[AIndex] : nullptr;
}

int GetActionIndex(const std::wstring& AText) {
  std::wstring action;
  if (!GetParameterFromState(AText, L"Action", action))
    action = AText;
  for (int i = 0; i < ActionCount; ++i)
    if (ActionNames[i] && SameTextAscii(action, ActionNames[i]))
      return i;
  return 0;
}

bool GetToolchainNameParameter(const std::wstring& AText, std::wstring& AValue) {
  AValue.clear();
  if (GetParameterFromState(AText, L"ToolchainName", AValue))
    return true;
  AValue.clear();
  return false;
}
