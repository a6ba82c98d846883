#pragma once

#include "gx-utils.h"

#include "classes.h"
#include "controls.h"
#include "graphics.h"
#include "labels.h"
#include "rtl-exceptions.h"
#include "unit-steps.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

// The in-place editor base: style controllers and edit styles, the editor
// with its value flow, keys, mouse, focus and validation, and the painting
// of editor cells through the editor classes without a window.

class TgxInplaceEdit;
class TgxEditStyle;

// A value an editor shows or edits: null, a text, an integer, a float or a
// Boolean.
using TgxVariant = std::variant<std::monostate, std::wstring, int64_t, double, bool>;
// Null is the empty text; every other value its usual text.
std::wstring VarToText(const TgxVariant& AValue);

// --- edit-look values ---------------------------------------------------------------

enum TgxEditBorderStyle : uint8_t { xbsNone, xbsSingle, xbsThick, xbsFlat, xbs3D };
enum TgxEditButtonViewStyle : uint8_t { btsDefault, bts3D, btsFlat, btsSimple, btsHotFlat };
enum TgxEditButtonTransparence : uint8_t {
  ebtNone,
  ebtInactive,
  ebtAlways,
  ebtHideInactive,
  ebtHideAlways
};
enum TgxEditEdge : uint8_t { edgLeft, edgTop, edgRight, edgBottom };
// A set of edges: bit 0 left, 1 top, 2 right, 3 bottom.
using TgxEditEdges = uint8_t;
constexpr TgxEditEdges EdgeBit(TgxEditEdge AEdge) {
  return TgxEditEdges(1u << AEdge);
}
constexpr TgxEditEdges kgxAllEdges = 15;

enum TgxEditStyleValue : uint8_t {
  svBorderColor,
  svBorderStyle,
  svButtonStyle,
  svButtonTransparence,
  svEdges,
  svHotTrack,
  svShadow
};
using TgxEditStyleValues = uint8_t;
constexpr TgxEditStyleValues StyleValueBit(TgxEditStyleValue AValue) {
  return TgxEditStyleValues(1u << AValue);
}

// The built-in look every fallback ends at.
constexpr TColor kgxDefaultBorderColor = clWindowFrame;

// --- style controllers ---------------------------------------------------------------

// (Sender, Link): the controller and the linked object it refreshed.
using TgxStyleChangedEvent = std::function<void(TPersistent* ASender, TPersistent* ALink)>;

// A component many editors link to; a change reaches every link.
class TgxStyleController : public TComponent {
public:
  explicit TgxStyleController(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxStyleController"; }

  // Appends (duplicates allowed); removes the first occurrence.
  virtual void AddLink(TPersistent* AItem);
  virtual void RemoveLink(TPersistent* AItem);
  virtual void LinkChanged(TPersistent* AItem);

  void BeginUpdate() { ++FLockUpdate; }
  // Lowers the lock, then propagates (only once the lock is back at 0).
  void EndUpdate() {
    --FLockUpdate;
    Changed();
  }
  void Update() { Changed(); }
  void Loaded() override;
  int LinkCount() const { return int(FLinks.size()); }
  TPersistent* Links(int AIndex) const { return FLinks.at(size_t(AIndex)); }

  TgxStyleChangedEvent OnStyleChanged;

protected:
  void Changed();

private:
  std::vector<TPersistent*> FLinks;
  int FLockUpdate = 0;
};

// The edit-look values that editors fall back to.
class TgxEditStyleController : public TgxStyleController {
public:
  explicit TgxEditStyleController(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxEditStyleController"; }
  void Assign(const TPersistent* ASource) override;
  void LinkChanged(TPersistent* AItem) override;
  virtual void RestoreDefaults();

  TColor BorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor AValue);
  TgxEditBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TgxEditBorderStyle AValue);
  TgxEditButtonViewStyle ButtonStyle() const { return FButtonStyle; }
  void SetButtonStyle(TgxEditButtonViewStyle AValue);
  TgxEditButtonTransparence ButtonTransparence() const { return FButtonTransparence; }
  void SetButtonTransparence(TgxEditButtonTransparence AValue);
  TgxEditEdges Edges() const { return FEdges; }
  void SetEdges(TgxEditEdges AValue);
  bool HotTrack() const { return FHotTrack; }
  void SetHotTrack(bool AValue);
  bool Shadow() const { return FShadow; }
  void SetShadow(bool AValue);

private:
  TColor FBorderColor = kgxDefaultBorderColor;
  TgxEditBorderStyle FBorderStyle = xbs3D;
  TgxEditButtonViewStyle FButtonStyle = btsDefault;
  TgxEditButtonTransparence FButtonTransparence = ebtNone;
  TgxEditEdges FEdges = kgxAllEdges;
  bool FHotTrack = false;
  bool FShadow = false;
};

// The style of one editor: the values assigned to it, every other value
// from the editor's controller, else the default controller of the style's
// class, else the built-in constant.
class TgxEditStyle : public TPersistent {
public:
  explicit TgxEditStyle(TgxInplaceEdit* AEdit);
  ~TgxEditStyle() override;
  TgxEditStyle(const TgxEditStyle&) = delete;
  TgxEditStyle& operator=(const TgxEditStyle&) = delete;
  std::wstring ClassName() const override { return L"TgxEditStyle"; }
  void Assign(const TPersistent* ASource) override;

  TgxInplaceEdit* Edit() const { return FEdit; }
  TgxEditStyleValues AssignedValues() const { return FAssignedValues; }
  void SetAssignedValues(TgxEditStyleValues AValue);

  TColor BorderColor();
  void SetBorderColor(TColor AValue);
  TgxEditBorderStyle BorderStyle();
  void SetBorderStyle(TgxEditBorderStyle AValue);
  TgxEditButtonViewStyle ButtonStyle();
  void SetButtonStyle(TgxEditButtonViewStyle AValue);
  TgxEditButtonTransparence ButtonTransparence();
  void SetButtonTransparence(TgxEditButtonTransparence AValue);
  TgxEditEdges Edges();
  void SetEdges(TgxEditEdges AValue);
  bool HotTrack();
  void SetHotTrack(bool AValue);
  bool Shadow();
  void SetShadow(bool AValue);
  // Whether the value is stored with the style (its bit is assigned).
  bool IsStored(TgxEditStyleValue AValue) const {
    return (FAssignedValues & StyleValueBit(AValue)) != 0;
  }

  virtual void NotifyEdit();
  virtual TColor DefaultBorderColor();
  virtual TgxEditBorderStyle DefaultBorderStyle();
  virtual TgxEditButtonViewStyle DefaultButtonStyle();
  virtual TgxEditButtonTransparence DefaultButtonTransparence();
  virtual TgxEditEdges DefaultEdges();
  virtual bool DefaultHotTrack();
  virtual bool DefaultShadow();
  // The default controller of the style's class (the base: the default
  // edit style controller, nullptr outside the unit's load).
  virtual TgxEditStyleController* DefaultController() const;
  static TgxEditStyleController* GetDefaultEditStyleController();
  virtual void RestoreDefaults();

protected:
  // The controller the fallbacks read: the editor's own, else the default.
  TgxEditStyleController* FallbackController() const;
  // Links the editor to the class's default controller; a derived style
  // whose DefaultController differs calls it from its constructor after
  // unlinking the base's (see UnlinkDefault).
  void LinkDefault();
  void UnlinkDefault();

private:
  template <typename T> void Store(T& AField, T AValue, TgxEditStyleValue ABit);

  TgxEditStyleValues FAssignedValues = 0;
  TColor FBorderColor = kgxDefaultBorderColor;
  TgxEditBorderStyle FBorderStyle = xbs3D;
  TgxEditButtonViewStyle FButtonStyle = btsDefault;
  TgxEditButtonTransparence FButtonTransparence = ebtNone;
  TgxEditEdges FEdges = kgxAllEdges;
  bool FHotTrack = false;
  bool FShadow = false;
  TgxInplaceEdit* FEdit;
  TgxEditStyleController* FLinkedDefault = nullptr;
};

// --- view data -------------------------------------------------------------------

enum TgxDrawAlignment : uint8_t {
  daSingleLine,
  daVCenter,
  daBottom,
  daMultiLine,
  daMultiLineVCenter
};
// The DrawTextInRect bits of an alignment and a draw alignment.
uint16_t TextFlagsOf(TAlignment AAlignment, TgxDrawAlignment ADrawAlignment);

// The paint parameters of one cell or of the live editor; made per paint.
class TgxEditViewData {
public:
  virtual ~TgxEditViewData() = default;
  bool Enabled = true;
  bool Focused = false;
  bool Selected = false;
  TColor BorderColor = kgxDefaultBorderColor;
  TgxEditBorderStyle BorderStyle = xbs3D;
  TgxEditButtonViewStyle ButtonStyle = btsDefault;
  bool ButtonTransparence = false;
  bool FocusRect = false;
  TgxEditEdges Edges = kgxAllEdges;
  bool Shadow = false;
  bool NoTransparentText = false;
  bool Transparent = false;
  RECT OffsetSize{0, 0, 0, 0};
  RECT ViewBounds{0, 0, 0, 0};
  TAlignment Alignment = taLeftJustify;
  TgxDrawAlignment DrawAlignment = daSingleLine;
  HBRUSH Brush = nullptr;
  COLORREF BkColor = 0;
  HFONT Font = nullptr;
  COLORREF TextColor = 0;
  bool IsEditClass = false;
  TgxVariant Data;
  int DataLength = 0;
  TBitmap* TempDrawBitmap = nullptr;
  bool CalcHeight = false;
  int LineCount = 0;
  int LineHeight = 0;
  int LineTextHeight = 0;
  TCursor Cursor = crDefault;
};

// The frame geometry of a view data.
struct TgxEditViewInfo {
  int BorderSize = 0;
  int ShadowSize = 0;
  RECT Bounds{0, 0, 0, 0};
  RECT ClientBounds{0, 0, 0, 0};
  bool FlagLeft = false;
  bool FlagTop = false;
  bool FlagRight = false;
  bool FlagBottom = false;
  RECT BorderRect{0, 0, 0, 0};
  RECT ShadowRect{0, 0, 0, 0};
};

// --- editor classes ------------------------------------------------------------------

// The class operations of an editor kind: what a container calls on the
// class alone, without an editor instance, to paint and measure cells.
// Each editor kind has one object of its class (`Instance`), and each editor
// answers its kind's object from `EditClass`.
class TgxInplaceEditClass {
public:
  virtual ~TgxInplaceEditClass() = default;
  static const TgxInplaceEditClass& Instance();

  virtual void CalcBoundsInfo(TgxEditViewData& AViewData, TgxEditViewInfo& AViewInfo) const;
  virtual void CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                            TgxEditViewInfo& AViewInfo) const;
  // Paints a whole cell from its view data (ARect is not read; the cell is
  // the view data's ViewBounds); the painted frame leaves ARgn when given.
  virtual void Draw(HDC ADC, const RECT& ARect, TgxEditViewData& AViewData, HRGN ARgn) const;
  virtual void DrawBorder(HDC ADC, TgxEditViewInfo& AViewInfo, TgxEditViewData& AViewData) const;
  virtual bool DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                              bool AIsControl) const;
  virtual TCursor GetEditCursor(int AX, int AY, TgxEditViewData& AViewData) const;
  virtual int GetMinHeight(TgxEditViewData& AViewData) const;
  virtual RECT GetMinRect(TgxEditViewData& AViewData) const;
  // A new view data of the kind's class; the caller frees it.
  virtual TgxEditViewData* NewViewData() const { return new TgxEditViewData; }
  virtual bool IsInplace() const { return true; }
  virtual bool DoesEditorNeedActivating(const RECT& ARect, TAlignment AAlignment, int AX,
                                        int AY) const;
  // The region of frame and shadow, or nullptr when the plain rectangle
  // suffices. The caller owns the region.
  virtual HRGN GetEditRgn(const TgxEditViewInfo& AViewInfo) const;
  // The style object of an editor of this kind (GetEditStyleClass).
  virtual TgxEditStyle* CreateEditStyle(TgxInplaceEdit* AEdit) const;
  static void InflateRectByBorder(RECT& ARect, const TgxEditViewInfo& AViewInfo, bool AGrow);
};

// --- the container's hooks -----------------------------------------------------------

// What an in-place editor asks of the control that hosts it (its owner):
// the hooks with the base answers of a container. A container control
// derives from its control class and from this.
class IgxEditContainer {
public:
  virtual ~IgxEditContainer() = default;
  // The container as a control.
  virtual TWinControl* ContainerControl() = 0;

  virtual bool CanEditModify() { return false; }
  virtual bool CanEditAcceptKey(wchar_t /*AKey*/) { return false; }
  virtual bool NeedsMinEditWidth() { return true; }
  virtual TgxEditStyle* CreateEditStyle(TgxInplaceEdit* AEdit);
  // WM_VSCROLL line up or down, ACount times.
  virtual void ScrollLines(bool AUp, int ACount);
  virtual TColor GetEditorColor() { return ContainerControl()->Color(); }
  virtual TFont& GetEditFont() { return ContainerControl()->Font(); }
  virtual bool IsContainerReadOnly() { return false; }
  virtual bool HidesFocusRect() { return false; }
  // The keys the editor passes on; the base fires OnEditKeyDown.
  virtual void DoEditKeyDown(WORD& AKey, TShiftState AShift);
  virtual bool IsEditorStale() { return false; }
  virtual bool IsImmediateEdit(int /*AIndex*/) { return false; }
  virtual bool ShowsButtonsAlways() { return false; }
  virtual bool WantsTabs() { return false; }
  virtual void FocusNextEditCell(bool /*ABackward*/) {}
  virtual void EditorFocusChanged() {}
  virtual void BeginInitEdit() { FInitEdit = true; }
  virtual void EndInitEdit() { FInitEdit = false; }
  virtual void EditorKillFocus(HWND /*AFocusedWnd*/) {}

  // The container's own key and double-click handlers, which see what the
  // editor hands over.
  virtual void ContainerKeyDown(WORD& /*AKey*/, TShiftState /*AShift*/) {}
  virtual void ContainerKeyPress(wchar_t& /*AKey*/) {}
  virtual void ContainerKeyUp(WORD& /*AKey*/, TShiftState /*AShift*/) {}
  virtual void ContainerDblClick() {}

  bool IsInitEdit() const { return FInitEdit; }
  // Whether one click on a check cell toggles it at once; a container with
  // that setting answers it here.
  virtual bool SingleClickCheckEdit() const { return false; }
  std::function<void(TControl* ASender, WORD& AKey, TShiftState AShift)> OnEditKeyDown;

private:
  bool FInitEdit = false;
};

// --- data definitions ------------------------------------------------------------------

using TgxEditNotifyEvent = std::function<void()>;

// An optional provider of an editor's value and settings. No kind in this
// program makes one, but an editor honours one when it has it.
class TgxEditDataDefinition : public TPersistent {
public:
  std::wstring ClassName() const override { return L"TgxEditDataDefinition"; }
  virtual bool IsEditable() { return true; }
  virtual TAlignment GetAlignment() { return taLeftJustify; }
  virtual std::wstring GetDisplayFormat() { return {}; }
  virtual TgxVariant GetDisplayValue() { return GetEditValue(); }
  virtual int GetEditLimit() { return 0; }
  virtual std::wstring GetEditMask() { return {}; }
  virtual TgxVariant GetEditValue() { return std::wstring(); }
  virtual TPersistent* GetLinkObject() { return nullptr; }
  virtual double GetMaxValue() { return 0; }
  virtual double GetMinValue() { return 0; }
  virtual bool GetRequired() { return false; }
  virtual bool GetCanModify() { return true; }
  virtual bool GetIsFloat() { return false; }
  virtual bool GetReadOnly() { return false; }
  virtual bool CanAcceptChar(wchar_t /*AKey*/) { return true; }
  virtual void NotifyDataChange() {
    if (OnDataChange)
      OnDataChange();
  }
  virtual void StoreEditValue(const TgxVariant& /*AValue*/) {}
  virtual void NotifyUpdateData() {
    if (OnUpdateData)
      OnUpdateData();
  }

  TgxEditNotifyEvent OnActiveChange;
  TgxEditNotifyEvent OnDataChange;
  TgxEditNotifyEvent OnEditingChange;
  std::function<void(bool& ADone)> OnFocusControl;
  TgxEditNotifyEvent OnLayoutChanged;
  TgxEditNotifyEvent OnUpdateData;
};

// --- the editor ---------------------------------------------------------------------

// Validation refused the editor's value.
class EgxEditInvalidInput : public Exception {
  using Exception::Exception;
};

// Which settings were set on the editor itself (bits 0 to 8).
enum TgxEditStoredValue : uint8_t {
  svAlignment,
  svEditLimit,
  svEditMask,
  svIsFloat,
  svMaxValue,
  svMinValue,
  svReadOnly,
  svRequired,
  svDisplayFormat
};
using TgxEditStoredValues = uint16_t;
constexpr TgxEditStoredValues StoredValueBit(TgxEditStoredValue AValue) {
  return TgxEditStoredValues(1u << AValue);
}

static_assert(sizeof(TgxEditStoredValues) == 2, "the stored values are two bytes");
static_assert(StoredValueBit(svDisplayFormat) == 0x100);
static_assert(kgxAllEdges == (EdgeBit(edgLeft) | EdgeBit(edgTop) | EdgeBit(edgRight) |
                              EdgeBit(edgBottom)));

inline constexpr wchar_t kgxInvalidInputText[] =
    L"Invalid input value. Use escape key to abandon changes";

using TgxEditValidateEvent =
    std::function<void(TControl* ASender, std::wstring& AErrorText, bool& AAccept)>;
using TgxEditCustomDrawEvent =
    std::function<void(TControl* ASender, HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                       bool AIsControl, bool& ADone)>;
using TgxKeyEvent = std::function<void(TControl* ASender, WORD& AKey, TShiftState AShift)>;
using TgxKeyPressEvent = std::function<void(TControl* ASender, wchar_t& AKey)>;

// The base of every editor. In place (every kind of this library) its owner
// is the container it edits a cell of; the container moves the one live
// editor of a kind from cell to cell, and paints every other cell through
// the kind's class operations.
class TgxInplaceEdit : public TWinControl {
public:
  explicit TgxInplaceEdit(TComponent* AOwner);
  ~TgxInplaceEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceEdit"; }
  void BeforeDestruction() override;

  // The kind's class operations.
  virtual const TgxInplaceEditClass& EditClass() const { return TgxInplaceEditClass::Instance(); }
  // The container: the owner when in place and it hosts editors.
  IgxEditContainer* Container() const;

  // --- the virtual operations, in slot order --------------------------------------
  virtual void SetEditValue(const TgxVariant& AValue);
  virtual void ReadDefinitionProperties();
  virtual void GetDisplayValue(TgxVariant& AValue, bool AFromDefinition);
  virtual void GetEditValue(TgxVariant& AValue);
  virtual void LoadEditValue();
  virtual void FocusEditor(bool& ADone);
  virtual void RefreshEdit();
  virtual void SaveEditValue();
  virtual bool CanAcceptChar(wchar_t AKey);
  virtual void DoChange();
  virtual TgxEditDataDefinition* CreateDataDefinition() { return nullptr; }
  virtual TgxEditViewData* CreateViewData(bool AFromDefinition);
  using TWinControl::FocusChanged;
  virtual void FocusChanged();
  virtual bool CanEditValue();
  virtual bool GetDisableCloseEditor() { return FDisableCloseEditor; }
  virtual bool GetModified() { return FModified; }
  virtual bool IsTextChangingKey(WORD AKey, TShiftState AShift);
  virtual bool IsCtrlDown();
  virtual bool NeedsFocusRedraw() { return !IsEditClass(); }
  virtual bool HandlesMouseWheel() { return false; }
  virtual bool WantsTabChar() { return false; }
  virtual void MoveToNextCell(bool ABackward);
  virtual void RestorePrevValue();
  virtual void SetActive(bool AValue);
  virtual void InternalSetAlignment(TAlignment AValue);
  virtual void InternalSetReadOnly(bool AValue);
  virtual void SetModified(bool AValue) { FModified = AValue; }
  virtual void SetSelected(bool AValue) { FSelected = AValue; }
  virtual void RefreshView();
  virtual std::wstring GetEditorText() { return Text(); }
  virtual void SetEditorText(const std::wstring& AValue) { SetText(AValue); }

  virtual void ActivateEdit() {}
  virtual bool CanModify();
  virtual TAlignment DefaultAlignment() { return taLeftJustify; }
  virtual bool DefaultReadOnly();
  virtual bool InternalReadOnly();
  virtual void Deselect() {}
  virtual void DoKillFocus(HWND AFocusedWnd);
  virtual std::wstring GetEditingText() { return Text(); }
  // In place: shown and hidden through the editor's own visibility, without
  // the framework's.
  virtual void Hide();
  virtual bool IsEditClass() { return false; }
  virtual bool IsEnterValidate() { return false; }
  virtual bool IsFocused() { return Focused(); }
  virtual bool IsNeededRedraw() { return FDataDefinition != nullptr; }
  virtual bool IsSelected();
  virtual bool IsQuickButtonClick();
  virtual bool IsResetTextClass() { return IsEditClass(); }
  virtual bool IsSupportedAction() { return IsEditClass(); }
  virtual void MouseButtonClick(int /*AX*/, int /*AY*/) {}
  virtual void MouseClick(int /*AX*/, int /*AY*/) {}
  virtual void RestoreDefaults();
  virtual void SelectAll() {}
  virtual void SetEditingText(const std::wstring& AValue);
  virtual void Show();
  // Raises EgxEditInvalidInput (after a beep, with the focus back in the
  // editor) when OnValidate refuses a modified value.
  virtual void ValidateEdit();

  // --- operations a container uses ---------------------------------------------
  // Places and shows the editor on the cell (in place, non-empty cells only).
  void Move(const RECT& ALoc);
  void LockActivate() { ++FLockActivate; }
  void UnLockActivate() { --FLockActivate; }
  bool IsVisible();
  void InvalidateEdit();
  void Reset();
  int CheckWidth(int AButtonWidth);
  void UpdateEditShape();

  // Public setters: each marks its setting as the editor's own.
  void SetAlignment(TAlignment AValue);
  void SetReadOnly(bool AValue);
  void SetOffsetSize(const RECT& AValue);
  void SetAutoSize(bool AValue);
  TgxEditStyleController* StyleController() const { return FStyleController; }
  void SetStyleController(TgxEditStyleController* AValue);
  TgxEditStyle& Style() { return *FStyle; }
  void SetStyle(const TgxEditStyle& AValue) { FStyle->Assign(&AValue); }

  TAlignment Alignment() const { return FAlignment; }
  TAlignment DataAlignment() const { return FDataAlignment; }
  bool ReadOnly() const { return FReadOnly; }
  bool AutoSize() const { return FAutoSize; }
  RECT OffsetSize() const { return FOffsetSize; }
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool AValue);
  bool Selected() const { return FSelected; }
  bool Active() const { return FActive; }
  bool Modified() { return GetModified(); }
  TgxEditStoredValues StoredValues() const { return FStoredValues; }
  void SetStoredValues(TgxEditStoredValues AValue) { FStoredValues = AValue; }
  bool IsStored(TgxEditStoredValue AValue) const {
    return (FStoredValues & StoredValueBit(AValue)) != 0;
  }
  TgxEditDataDefinition* DataDefinition() const { return FDataDefinition; }
  bool CloseFlag() const { return FCloseFlag; }
  void SetCloseFlag(bool AValue) { FCloseFlag = AValue; }
  bool DisableCloseEditor() { return GetDisableCloseEditor(); }
  bool DisableKillFocus() const { return FDisableKillFocus; }
  void SetDisableKillFocus(bool AValue) { FDisableKillFocus = AValue; }
  bool DisablePopup() const { return FDisablePopup; }
  bool DisableRefresh() const { return FDisableRefresh; }
  // The message time of the container's last left-button press.
  LONG ClickTime() const { return FClickTime; }
  void SetClickTime(LONG AValue) { FClickTime = AValue; }

  TNotifyEvent OnChange;
  TgxEditCustomDrawEvent OnCustomDraw;
  TgxEditValidateEvent OnValidate;
  TgxKeyEvent OnKeyDown;
  TgxKeyPressEvent OnKeyPress;
  TgxKeyEvent OnKeyUp;
  TNotifyEvent OnDblClick;

  // In place the editor's own visibility decides, not the framework's.
  bool CanFocus() const override;
  void MouseEnter(intptr_t AMarker) override;
  void MouseLeave(intptr_t AMarker) override;
  void EnabledChanged() override;
  void TextChanged() override;
  void FontChanged() override;
  void DoEnter() override;
  void DoExit() override;

protected:
  // Framework handlers an editor kind extends.
  virtual void KeyDown(WORD& AKey, TShiftState AShift);
  virtual void KeyPress(wchar_t& AKey);
  virtual void KeyUp(WORD& AKey, TShiftState AShift);
  virtual void DblClick();
  void UpdateHotLook();

  void CreateWnd() override;
  void WndProc(TMessage& AMessage) override;
  void PaintWindow(HDC ADC) override;
  void PaintNonClient(HDC ADC) override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  LRESULT DialogCode() override;

  // Makes the kind's definition (CreateDataDefinition) and wires its events
  // to the editor. The base constructor runs it before a derived kind
  // exists, so a kind whose CreateDataDefinition makes one runs it again
  // from its own constructor.
  void InitDataDefinition();
  // Makes the editor's style again, as the constructor does: the base
  // constructor runs before a derived kind exists and so makes the base
  // kind's style; a kind with a style class of its own calls this from its
  // own constructor.
  void InitEditStyle();

  TgxEditDataDefinition* FDataDefinition = nullptr;
  bool FInternalChanging = false;

private:
  void WMPaintEdit(TMessage& AMessage);
  void WMSetFocusEdit(TMessage& AMessage);
  bool IsInplaceKind() const { return EditClass().IsInplace(); }
  static TShiftState KeyShift();

  bool FActive = false;
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  TAlignment FDataAlignment = taLeftJustify;
  int FLockActivate = 0;
  bool FModified = false;
  RECT FOffsetSize{0, 0, 0, 0};
  bool FPrevModified = false;
  std::wstring FPrevTextValue;
  bool FReadOnly = false;
  bool FSelected = false;
  TgxEditStyle* FStyle = nullptr;
  TgxEditStyleController* FStyleController = nullptr;
  bool FTransparent = false;
  bool FVisible = false;
  int FLockValidate = 0;
  bool FCloseFlag = false;
  bool FDisableCloseEditor = false;
  bool FDisableKillFocus = false;
  bool FDisablePopup = false;
  bool FDisableRefresh = false;
  TgxEditStoredValues FStoredValues = 0;
  LONG FClickTime = 0;
  // The brush of the control's colour that view data paint with.
  TBrush FBrush;
  // Inside WM_KILLFOCUS, where the focus may not be taken back at once.
  bool FLosingFocus = false;
};

// The private message on which an editor takes the focus back after a
// refused exit.
constexpr UINT WM_GX_REFOCUS = WM_APP + 0x0C7;

// --- unit steps ---------------------------------------------------------------------

// gxUtils: frees the halftone brush at unload.
void GxUtilsStartup();
void GxUtilsShutdown();
// gxCntner: the default edit style controller; at unload it and the
// button-shadow brush go.
void GxContainerStartup();
void GxContainerShutdown();

inline constexpr TUnitStep kGxUtilsUnitStep{L"gxUtils", &GxUtilsStartup, &GxUtilsShutdown};
inline constexpr TUnitStep kGxContainerUnitStep{L"gxCntner", &GxContainerStartup,
                                                &GxContainerShutdown};
