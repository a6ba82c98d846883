#pragma once

// The answer of a CFI query of a parallel flash chip, shown as a list of
// text lines: the command set, the size, the supported widths and the
// erase block regions.

#include "flash-writer.h"

#include "forms.h"

#include <cstdint>
#include <string>
#include <vector>

class TgxTreeList;
class TgxTreeListColumn;
class TXPBitBtn;
class TXPExtPanel;

// The name of a primary vendor command set; "NA" for one we do not know.
std::wstring CfiCommandSetName(uint32_t AId);
// The lines the dialog shows for a query's answer.
std::vector<std::wstring> CfiFlashQueryLines(const TRemoteCommandResult& AResult);

class TCfiFlashQueryForm : public TCustomForm {
public:
  static constexpr int kClientWidth = 500, kClientHeight = 200;
  // The close button's modal result.
  static constexpr TModalResult kCloseResult = 11;

  TCfiFlashQueryForm(TComponent* AOwner, const TRemoteCommandResult& AResult);
  std::wstring ClassName() const override { return L"TCfiFlashQueryForm"; }

  // A top-level line with the text in the list's first column.
  void AddLine(const std::wstring& AText);
  static std::wstring CommandSetName(uint32_t AId) { return CfiCommandSetName(AId); }

  TXPExtPanel* PanelStatus = nullptr;
  TgxTreeList* Tree_CfiQuery = nullptr;
  TgxTreeListColumn* Tree_CfiQueryColumnText = nullptr;
  TXPBitBtn* buttonClose = nullptr;

private:
  void CreateLayout();
};
