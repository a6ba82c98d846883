#include "cfi-flash-query.h"

#include "dialogs.h"
#include "numeric-text.h"
#include "tree-list.h"
#include "xp-buttons.h"
#include "xp-ext-panel.h"

#include <algorithm>
#include <iterator>

namespace {

struct TCommandSetRow {
  uint32_t Id;
  const wchar_t* Name;
};

constexpr TCommandSetRow kCommandSets[] = {
    {1, L"Intel/Sharp Extended Command Set"},  {2, L"AMD/Fujitsu Standard Command Set"},
    {3, L"Intel Standard Command Set"},        {4, L"AMD/Fujitsu Extended Command Set"},
    {6, L"Winbond Standard Command Set"},      {256, L"Mitsubishi Standard Command Set"},
    {257, L"Mitsubishi Extended Command Set"}, {258, L"SST Page Write Command Set"},
    {512, L"Intel Performance Code Command"},  {528, L"Intel Data Command Set"},
};

// The width words: 0 means every width.
struct TWidthRow {
  uint32_t Word;
  const wchar_t* Text;
};

constexpr TWidthRow kWidths[] = {{1, L" 8"}, {2, L" 16"}, {4, L" 32"}, {8, L" 64"}};

// At most this many region words follow the region count.
constexpr uint32_t kMaxRegions = 4;

} // namespace

std::wstring CfiCommandSetName(uint32_t AId) {
  for (const TCommandSetRow& row : kCommandSets)
    if (row.Id == AId)
      return row.Name;
  return L"NA";
}

std::vector<std::wstring> CfiFlashQueryLines(const TRemoteCommandResult& AResult) {
  const uint32_t* words = AResult.resultArray;
  std::vector<std::wstring> lines;
  lines.push_back(L"Primary vendor command set: " + CfiCommandSetName(words[0]));
  // The size as the 32-bit value the chip's exponent gives; an exponent of
  // 32 or more does not fit and shows 0.
  const uint32_t size = words[1] < 32 ? uint32_t(1) << words[1] : 0;
  lines.push_back(L"Size: " + std::to_wstring(size) + L" " + L"(Hex: " +
                  IntToHex0x(int64_t(size), 8) + L")");
  std::wstring widths = L"Supported widths:";
  for (const TWidthRow& row : kWidths)
    if (words[2] == 0 || words[2] == row.Word)
      widths += row.Text;
  lines.push_back(widths);
  lines.push_back(L"Number of erase block regions: " + std::to_wstring(words[3]));
  const uint32_t regions = std::min(words[3], kMaxRegions);
  for (uint32_t i = 1; i <= regions; ++i) {
    const uint32_t w = words[3 + i];
    lines.push_back(L"Erase Block Region " + std::to_wstring(i) + L": " +
                    std::to_wstring((w & 0xFFFF) + 1) + L" x " + std::to_wstring(w >> 18) + L"K");
  }
  return lines;
}

TCfiFlashQueryForm::TCfiFlashQueryForm(TComponent* AOwner, const TRemoteCommandResult& AResult)
    : TCustomForm(AOwner) {
  CreateLayout();
  Tree_CfiQuery->BeginUpdate();
  try {
    for (const std::wstring& line : CfiFlashQueryLines(AResult))
      AddLine(line);
  } catch (...) {
    Tree_CfiQuery->EndUpdate();
    throw;
  }
  Tree_CfiQuery->EndUpdate();
}

void TCfiFlashQueryForm::CreateLayout() {
  SetBorderStyle(bsDialog);
  SetCaption(L"CFI Flash Query");
  SetOwnerWindow(ApplicationWindow());
  SetBounds(Left(), Top(), kClientWidth, kClientHeight);
  TComponentLoading loading(this);

  PanelStatus = new TXPExtPanel(this);
  PanelStatus->SetName(L"PanelStatus");
  PanelStatus->SetParent(this);
  PanelStatus->SetBounds(0, 0, kClientWidth, kClientHeight);
  PanelStatus->SetAlign(alClient);
  PanelStatus->SetCaption(L"");
  PanelStatus->SetKind(epkGradient);

  Tree_CfiQuery = new TgxTreeList(this);
  Tree_CfiQuery->SetName(L"Tree_CfiQuery");
  Tree_CfiQuery->SetParent(PanelStatus);
  Tree_CfiQuery->SetBounds(2, 2, 495, 158);
  Tree_CfiQuery->SetShowHeaders(false);
  Tree_CfiQuery->SetShowLines(false);
  Tree_CfiQuery->SetShowRoot(false);
  Tree_CfiQuery->SetShowButtons(false);
  Tree_CfiQuery->SetIndicatorWidth(0);
  Tree_CfiQuery->SetColor(clBtnFace);
  Tree_CfiQuery->SetTreeLineColor(clGrayText);
  Tree_CfiQuery->SetEnableUnicodeSupport(false);
  Tree_CfiQuery->SetOptionsEx(kgxDefaultTreeListOptionsEx);

  Tree_CfiQueryColumnText = Tree_CfiQuery->CreateColumnEx(nullptr, this);
  Tree_CfiQueryColumnText->SetName(L"Tree_CfiQueryColumnText");
  Tree_CfiQueryColumnText->SetReadOnly(true);
  Tree_CfiQueryColumnText->SetWidth(491);

  buttonClose = new TXPBitBtn(this);
  buttonClose->SetName(L"buttonClose");
  buttonClose->SetParent(PanelStatus);
  buttonClose->SetBounds(206, 167, 88, 25);
  buttonClose->SetCaption(L"Close");
  buttonClose->SetDefault(true);
  buttonClose->SetCancel(true);
  buttonClose->SetModalResult(kCloseResult);
}

void TCfiFlashQueryForm::AddLine(const std::wstring& AText) {
  TgxTreeListNode* node = Tree_CfiQuery->Add();
  node->SetStrings(0, AText);
}
