#pragma once

// What the VHDL and BSDL readers ask of the host inside the plug-in: the log
// in the long form of the temporary folder, replaced only when the host's
// lock allows; the entity being read in status pane 3; the first error on
// the messages panel, and the host's text editor moved to it.

#include "vhdl-reader.h"

class THostReaderSurroundings : public TVHDLReaderSurroundings {
public:
  std::wstring LogFolder() override;
  std::wstring MakeTempLogFile() override;
  bool ReplaceLog(const std::wstring& ATempFile, const std::wstring& AFinalFile) override;
  void ShowStatus(const std::wstring& AText) override;
  void PostError(const std::wstring& AMessage, const std::wstring& ADocumentPath) override;
  void MoveEditorTo(const std::wstring& ADocumentPath, std::int32_t ALine,
                    std::int32_t AColumn) override;
};
