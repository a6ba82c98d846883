#pragma once

#include "gx-drop-down.h"
#include "gx-image-edit.h"

#include "string-lists.h"

#include <string>

// The pick editor, whose popup is a list of strings: typing completes the
// text from the list, the keys and the wheel step through it, a double
// click can cycle the value and a list-only style forbids free text; and
// the most-recently-used editor, a pick editor whose validated texts move
// to the top of its items, with an extra ellipsis button.

// The pick list: searches its items as the user types into it.
class TCustomgxPopupPickListBox : public TCustomgxPopupListBox {
public:
  using TCustomgxPopupListBox::TCustomgxPopupListBox;
  std::wstring ClassName() const override { return L"TCustomgxPopupPickListBox"; }
  const std::wstring& SearchText() const { return FSearchText; }

protected:
  void WndProc(TMessage& AMessage) override;

private:
  std::wstring FSearchText;
  DWORD FSearchTickCount = 0;
};

class TgxInplacePickEdit;

class TgxPopupPickListBox : public TCustomgxPopupPickListBox {
public:
  using TCustomgxPopupPickListBox::TCustomgxPopupPickListBox;
  std::wstring ClassName() const override { return L"TgxPopupPickListBox"; }

protected:
  // Asks the owning editor to close up again (accepting when the point is
  // inside); the list is hidden by then, so that does nothing more.
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
};

class TgxInplacePickEdit : public TgxInplaceDropDownEdit {
public:
  explicit TgxInplacePickEdit(TComponent* AOwner);
  ~TgxInplacePickEdit() override;
  std::wstring ClassName() const override { return L"TgxInplacePickEdit"; }

  // --- the new virtual operations, in slot order ---------------------------------
  virtual void ClearText();
  virtual void ChangeText(const std::wstring& AValue);
  virtual TCustomgxPopupListBox* NewPickList();
  virtual void PreparePickList();

  bool CanModify() override;
  bool IsResetTextClass() override { return true; }
  void SetEditValue(const TgxVariant& AValue) override;
  void SetActive(bool AValue) override;
  void InternalSetReadOnly(bool AValue) override;
  void CloseUp(bool AAccept) override;
  void StepValue(int ADelta, bool ACycle) override;
  void DropDown() override;
  void LocateListItem(const std::wstring& AText) override;

  TStringList& Items() { return FItems; }
  void SetItems(const TStrings& AValue) { FItems.Assign(&AValue); }
  // The first item equal to the text, -1 when none.
  int ItemIndex();
  void SetItemIndex(int AValue);
  bool DropDownListStyle() const { return FDropDownListStyle; }
  void SetDropDownListStyle(bool AValue);
  bool Sorted() const { return FSorted; }
  void SetSorted(bool AValue);
  bool CaseSensitive() const { return FItems.CaseSensitive(); }
  void SetCaseSensitive(bool AValue) { FItems.SetCaseSensitive(AValue); }
  bool CanDeleteText() const { return FCanDeleteText; }
  void SetCanDeleteText(bool AValue) { FCanDeleteText = AValue; }
  bool Revertable() const { return FRevertable; }
  void SetRevertable(bool AValue) { FRevertable = AValue; }
  bool PostEditorOnCloseUp() const { return FPostEditorOnCloseUp; }
  void SetPostEditorOnCloseUp(bool AValue) { FPostEditorOnCloseUp = AValue; }
  TCustomgxPopupListBox& PickList() { return *FPickList; }
  bool FindSelection() const { return FFindSelection; }
  const std::wstring& FindStr() const { return FFindStr; }
  // The index of the first item that begins with AText, -1 when none.
  int FindItem(const std::wstring& AText);

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void KeyPress(wchar_t& AKey) override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void Notification(TComponent* AComponent, TOperation AOperation) override;
  void ResetFindSelection();
  bool WholeTextSelected();

  bool FDropDownListStyle = false;
  bool FFindSelection = false;
  std::wstring FFindStr;
  int FItemIndex = -1;
  TStringList FItems;
  bool FCanDeleteText = false;
  TCustomgxPopupListBox* FPickList = nullptr;
  bool FRevertable = false;
  bool FSorted = false;
  bool FPostEditorOnCloseUp = false;
  // Raised while the editor changes its own text, so the search survives.
  int FRefreshLock = 0;

private:
  // The completion step: true when the character was consumed.
  bool Complete();
};

class TgxMRUEditViewData : public TgxDropDownEditViewData {
public:
  bool ShowEllipsis = true;
};

class TgxMRUEditClass : public TgxDropDownEditClass {
public:
  static const TgxMRUEditClass& Instance();
  TgxEditViewData* NewViewData() const override { return new TgxMRUEditViewData; }
  void CalcButtonsInfo(TgxDropDownEditViewData& AViewData) const override;
};

class TgxInplaceMRUEdit : public TgxInplacePickEdit {
public:
  explicit TgxInplaceMRUEdit(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxInplaceMRUEdit"; }
  const TgxInplaceEditClass& EditClass() const override { return TgxMRUEditClass::Instance(); }

  virtual void DoButtonClick();
  // Moves the text to the top of the items (adding it when new).
  virtual void AddItem(const std::wstring& AValue);

  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  void ValidateEdit() override;
  void StartButtonPress(bool ANoCapture, int AButtonIndex) override;
  void ButtonClick(int AButtonIndex) override;

  int MaxItemCount() const { return FMaxItemCount; }
  void SetMaxItemCount(int AValue);
  bool ShowEllipsis() const { return FShowEllipsis; }
  void SetShowEllipsis(bool AValue);

  TNotifyEvent OnButtonClick;

protected:
  void KeyDown(WORD& AKey, TShiftState AShift) override;

private:
  void TrimItems();

  int FMaxItemCount = 7;
  bool FShowEllipsis = true;
};
