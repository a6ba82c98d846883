#pragma once

#include <cstddef>
#include <string>

// The actions the host asks a driver about in Supports, by the index drivers
// test. Reserved25 has no name: no text ever selects it.
enum class TTarvoAction : int {
  None,
  PauseProcessor,
  ContinueProcessor,
  ResetProcessor,
  SingleStepProcessor,
  CompileProgram,
  DownloadProgram,
  StartDebug,
  StartAttach,
  EndDebug,
  ShowAboutDialog,
  ResetDevice,
  DownloadToDevice,
  ShowViewer,
  ChooseAndDownload,
  ProcessorMenu,
  ConfigureJTAGIdMapping,
  Flash_ResetDevice,
  Flash_ConfigureDevice,
  Flash_DownloadDevice,
  Flash_ChooseAndDownload,
  WriteToFlash,
  ConfigureFpgaProject,
  ShowConfiguration,
  ShowCurrentSense,
  Reserved25,
  CustomAction,
  OnDblClick,
  HideViewer,
  UpdateFirmware,
  ToggleFirmwareAutoUpdate,
  VerifyProgram,
};

inline constexpr int ActionCount = 32;

// The name of action AIndex; nullptr for the reserved index and for indexes
// outside 0..31.
const wchar_t* ActionName(int AIndex);

// The action a Supports text asks about: the value of its "Action"
// parameter when it has one, else the whole text, compared with the action
// names ignoring case. 0 ("None") when no name is equal.
int GetActionIndex(const std::wstring& AText);
inline TTarvoAction GetAction(const std::wstring& AText) {
  return static_cast<TTarvoAction>(GetActionIndex(AText));
}

// The "ToolchainName" parameter of AText: True and its value, or False and
// an empty value.
bool GetToolchainNameParameter(const std::wstring& AText, std::wstring& AValue);
