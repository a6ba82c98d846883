#pragma once

#include "alpha-image.h"
#include "controls.h"
#include "graphics.h"
#include "list-boxes.h"
#include "timers.h"
#include "unit-steps.h"
#include "xp-controls.h"
#include "xp-list-items.h"
#include "xp-scroll-bar.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// The library's owner-drawn list box: it draws its items itself, scrolls
// with the library's scroll bars, and offers three-state check boxes,
// single, multiple and extended selection, columns, hot tracking,
// incremental search, automatic scrolling while the button is held outside
// the list, and owner drawing. The combo box's drop-down list and the
// in-place combo editor's list are built on it.

enum TXPScrollStyle : uint8_t {
  pssNone,
  pssHorizontal,
  pssVertical,
  pssBoth,
  pssAuto,
  pssAutoHorizontal,
  pssAutoVertical
};

enum TXPListBoxStyle : uint8_t { lbStandard, lbOwnerDrawFixed };

// Makes a list box's scroll bar.
using TXPScrollBarClass = TCustomXPScrollBar* (*)(TComponent* AOwner);

// The frame colour the drop-down lists draw with.
constexpr TColor kXPListFrameColor = TColor(0xB99D7F);

// Auto-scroll intervals while the button is held outside the list, by the
// pointer's distance from it.
constexpr UINT kXPListScrollFast = 25;
constexpr UINT kXPListScrollMedium = 75;
constexpr UINT kXPListScrollSlow = 300;

class TCustomXPListBox : public TXPCustomControl {
public:
  explicit TCustomXPListBox(TComponent* AOwner);
  ~TCustomXPListBox() override;
  std::wstring ClassName() const override { return L"TCustomXPListBox"; }

  // --- items and selection ---------------------------------------------------
  TStrings& Items() { return *FItems; }
  TXPListBoxStrings& ListItems() { return *FItems; }
  // Copies strings and objects, then brings the scroll range up to date.
  void SetItems(const TStrings& AValue);
  int Count() const { return FItems->GetCount(); }
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int AValue);
  int TopIndex() const { return FTopIndex; }
  void SetTopIndex(int AValue);
  // -1 without MultiSelect, else the number of selected items.
  int SelCount() const;
  // Out of range: false / cbUnchecked, and writes are ignored.
  bool Selected(int AIndex) const;
  void SetSelected(int AIndex, bool AValue);
  bool ItemChecked(int AIndex) const;
  void SetItemChecked(int AIndex, bool AValue);
  TCheckBoxState State(int AIndex) const;
  void SetState(int AIndex, TCheckBoxState AValue);
  // The current item's text ("" without one).
  std::wstring CurrentText() const;

  void Clear();
  void ClearSelection();
  void SelectAll();
  int ItemAtPos(POINT APos, bool AExisting);
  // The item's cell without its check column; empty out of range.
  RECT ItemRect(int AIndex);

  // --- published settings ----------------------------------------------------
  bool AllowGrayed() const { return FAllowGrayed; }
  void SetAllowGrayed(bool AValue) { FAllowGrayed = AValue; }
  bool AlphaNumericSorting() const { return FAlphaNumericSorting; }
  void SetAlphaNumericSorting(bool AValue);
  bool AutoComplete() const { return FAutoComplete; }
  void SetAutoComplete(bool AValue) { FAutoComplete = AValue; }
  unsigned AutoCompleteDelay() const { return FAutoCompleteDelay; }
  void SetAutoCompleteDelay(unsigned AValue) { FAutoCompleteDelay = AValue; }
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle AValue);
  unsigned Columns() const { return FColumns; }
  void SetColumns(unsigned AValue);
  bool ExtendedSelect() const { return FExtendedSelect; }
  void SetExtendedSelect(bool AValue) { FExtendedSelect = AValue; }
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int AValue);
  bool MultiSelect() const { return FMultiSelect; }
  void SetMultiSelect(bool AValue);
  TXPScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TXPScrollStyle AValue);
  bool Sorted() const { return FItems->Sorted(); }
  void SetSorted(bool AValue);
  TXPListBoxStyle Style() const { return FStyle; }
  void SetStyle(TXPListBoxStyle AValue);
  bool UseCheckBoxes() const { return FUseCheckBoxes; }
  void SetUseCheckBoxes(bool AValue);
  TColor FrameColor() const { return FFrameColor; }
  void SetFrameColor(TColor AValue) { FFrameColor = AValue; }

  TNotifyEvent OnClickCheck;
  TDrawItemEvent OnDrawItem;
  TNotifyEvent OnSelectionChanged;

  // --- layout, read by the drop-down lists and tests -------------------------
  int UsedItemHeight() const { return FUsedItemHeight; }
  int VisibleCount() const { return FVisibleCount; }
  int ColumnCount() const { return FColumnCount; }
  int HorzDelta() const { return FHorzDelta; }
  int ItemsAreaWidth() const { return FItemsAreaWidth; }
  SIZE VisibleAreaSize() const { return FVisibleAreaSize; }
  int HotIndex() const { return FHotIndex; }
  int LightedIndex() const { return FLightedIndex; }
  int PressedIndex() const { return FPressedIndex; }
  const std::wstring& Filter() const { return FFilter; }
  TCustomXPScrollBar& VertScrollBar();
  TCustomXPScrollBar& HorzScrollBar();
  TXPCustomControl& BottomPanel();
  TCustomControl& Corner();
  TTimer& ScrollTimer() { return *FScrollTimer; }
  // The hit test: the item at a point of the items rectangle.
  int ItemIndexAt(POINT APoint, bool AExtend);
  bool PtInCheckColumn(POINT APoint);
  bool PtInScrollBars(POINT APoint);
  // The next item, wrapping, after AStart (tried last) whose beginning is
  // APrefix (ASCII letters without case); with AShorten the prefix loses
  // its last character until something matches. -1 when nothing does.
  int FindItemByPrefix(const std::wstring& APrefix, bool AShorten, int AStart);
  void UpdateItemHeight();
  void UpdateScrollRange();

  // --- the item store's calls -------------------------------------------------
  void InvalidateItem(int AIndex);
  void InvalidateCheck(int AIndex);
  void InvalidateFrom(int AIndex);
  void InvalidateItems();
  void SetCurrentDirect(int AValue) { FItemIndex = AValue; }
  void ResetTracking();
  // Suppresses the Click of current-item changes while above zero.
  void BeginSuppressChange() { ++FSuppressChange; }
  void EndSuppressChange() { --FSuppressChange; }
  int SuppressChange() const { return FSuppressChange; }
  // The first item joined an empty list and became current; the combo's
  // drop-down list hands the text on to its combo.
  virtual void FirstItemBecameCurrent() {}

  void EnabledChanged() override;
  void FontChanged() override;
  void MouseLeave(intptr_t AMarker) override;

protected:
  // --- the view's hooks -------------------------------------------------------
  virtual void DoClickCheck();
  virtual TXPScrollBarClass GetScrollBarClass();
  virtual int GetCheckWidth();
  virtual TColor GetBackgroundColor();
  virtual int GetPrevIndex();
  virtual int GetNextIndex();
  // The WM_NCCALCSIZE request, before the framework's own calculation.
  virtual void AdjustNonClientRect(RECT& ARect);
  // True when the frame was painted and the framework must not paint it.
  virtual bool PaintNonClientBorder();

public:
  virtual void CalcItemsAreaWidth();

protected:
  virtual void AdjustItemHeight(int& AHeight);
  virtual void PaintEmptyArea();
  virtual void PaintCheckBox(int AIndex);
  virtual void PaintStandardItem(int AIndex);
  virtual void PaintOwnerDrawItem(int AIndex);
  virtual void PaintItemText(int AIndex, const RECT& ARect);
  virtual RECT GetItemsRect();
  // AThemeDetail: the check-box theme state (1 unchecked normal ...).
  virtual void GetCheckBoxSize(const RECT& ARect, int AThemeDetail, SIZE& ASize);
  virtual int GetItemTextWidth(int AIndex);
  virtual int GetFontHeight();
  virtual void SelectionChanged();
  virtual void KeyDown(WORD& AKey, TShiftState AShift);
  virtual void KeyPress(wchar_t& AKey);

  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void Paint() override;
  void WndProc(TMessage& AMessage) override;
  LRESULT DialogCode() override { return DLGC_WANTARROWS | DLGC_WANTCHARS; }
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;

  // Item geometry.
  int GetItemWidth();
  POINT GetItemPos(int AIndex);
  int GetColumnsNeeded();
  void SelectOnlyCurrent();
  void SelectByMouse(int AIndex);
  void PaintItem(int AIndex);
  bool ColumnMode() const { return FColumns > 0; }

  bool FItemIndexByMouse = false;
  bool FMouseDown = false;

private:
  void EnsureChildren();
  void UpdateVisibleCount();
  void UpdateVertVisibility();
  void UpdateHorzVisibility();
  void UpdateVertArea();
  void UpdateHorzArea();
  void UpdateVertRange();
  void UpdateHorzRange();
  void SyncScrollPosition();
  void VertScrolled();
  void HorzScrolled();
  void SetHorzDelta(int AValue);
  bool WantsVertBar();
  bool WantsHorzBar();
  void AutoScrollTick();
  void KeyDownMessage(TMessage& AMessage);
  void CharMessage(TMessage& AMessage);
  void WheelMessage(TMessage& AMessage);
  TShiftState KeyShift() const;
  // Runs AWork with a DC of the window and a canvas holding the font.
  template <typename TWork> void Measure(TWork AWork);
  int LookState(int AIndex);

  std::unique_ptr<TXPListBoxStrings> FItems;
  int FItemIndex = -1;
  int FTopIndex = 0;
  int FVisibleCount = 1;
  int FColumnCount = 1;
  TCustomXPScrollBar* FHorzScrollBar = nullptr;
  TCustomXPScrollBar* FVertScrollBar = nullptr;
  TXPCustomControl* FBottomPanel = nullptr;
  TCustomControl* FCorner = nullptr;
  TXPScrollStyle FScrollBars = pssAuto;
  int FItemHeight = 16;
  int FUsedItemHeight = 16;
  int FHotIndex = -1;
  int FLightedIndex = -1;
  int FPressedIndex = -1;
  bool FAlphaNumericSorting = true;
  TTimer* FScrollTimer = nullptr;
  bool FUseCheckBoxes = false;
  TXPListBoxStyle FStyle = lbStandard;
  unsigned FColumns = 0;
  bool FAutoComplete = true;
  unsigned FAutoCompleteDelay = 500;
  std::wstring FFilter;
  DWORD FLastTime = 0;
  bool FAllowGrayed = false;
  TBorderStyle FBorderStyle = bsSingle;
  std::wstring FText;
  int FHorzDelta = 0;
  int FItemsAreaWidth = 0;
  bool FExtendedSelect = true;
  bool FMultiSelect = false;
  int FSelStartIndex = 0;
  int FPredIndex = -1;
  bool FSelState = false;
  SIZE FVisibleAreaSize{0, 0};
  TColor FFrameColor = kXPListFrameColor;
  int FSuppressChange = 0;
};

// The published list box.
class TXPListBox : public TCustomXPListBox {
public:
  using TCustomXPListBox::TCustomXPListBox;
  std::wstring ClassName() const override { return L"TXPListBox"; }
};

// The list box unit's shared check-box image, loaded on first use.
class TXPListsResourceManager {
public:
  // 13 x 156: twelve 13 x 13 frames (normal, hot, pressed, disabled;
  // plus 4 checked, plus 8 grayed).
  static TAlphaImage& CheckBox();
  static bool Loaded();
  static void FreeImages();
};

inline constexpr TUnitStep kXPListsUnitStep{L"XPLists", nullptr,
                                            &TXPListsResourceManager::FreeImages};
