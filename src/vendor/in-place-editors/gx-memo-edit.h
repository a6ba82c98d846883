#pragma once

#include "gx-text-edit.h"

#include "string-lists.h"

#include <cstdint>
#include <memory>
#include <string>

// The multi-line text editor: the rich-edit text editor made multi-line,
// with word wrap, scroll bars, optional Tab and Enter keys and a line list
// that reads and writes the window's lines directly.

// The scroll bars of a memo, in the order of the run time's scroll styles
// (none, horizontal, vertical, both), so a column's style converts by value.
enum TgxMemoScrollStyle : uint8_t { mssNone, mssHorizontal, mssVertical, mssBoth };

inline constexpr wchar_t kgxMemoCapacityText[] = L"Text exceeds memo capacity";

class TgxInplaceMemoEdit;

// The lines of a memo's window; it stores nothing itself. Lines are
// separated by a carriage return inside the window.
class TgxMemoStrings : public TStrings {
public:
  explicit TgxMemoStrings(TgxInplaceMemoEdit* AMemoEdit) : MemoEdit(AMemoEdit) {}
  std::wstring ClassName() const override { return L"TgxMemoStrings"; }

  std::wstring Get(int AIndex) const override;
  int GetCount() const override;
  void Put(int AIndex, const std::wstring& S) override;
  void Insert(int AIndex, const std::wstring& S) override;
  void Delete(int AIndex) override;
  void Clear() override;
  std::wstring GetText() const override;
  // Raises EInvalidOperation when the window refuses the text.
  void SetText(const std::wstring& AText) override;

  TgxInplaceMemoEdit* MemoEdit;

protected:
  void SetUpdateState(bool AUpdating) override;

private:
  HWND Window() const;
  // Replaces the characters [AStart, AEnd) of the window's text.
  void Replace(int AStart, int AEnd, const std::wstring& AText) const;
};

class TgxMemoEditClass : public TgxInplaceTextEditClass {
public:
  static const TgxMemoEditClass& Instance();
};

class TgxInplaceMemoEdit : public TgxInplaceTextEdit {
public:
  explicit TgxInplaceMemoEdit(TComponent* AOwner);
  ~TgxInplaceMemoEdit() override;
  std::wstring ClassName() const override { return L"TgxInplaceMemoEdit"; }
  const TgxInplaceEditClass& EditClass() const override { return TgxMemoEditClass::Instance(); }

  TgxMemoStrings& Lines() { return *FLines; }
  void SetLines(const TStrings& AValue) { FLines->Assign(&AValue); }
  bool HideScrollBars() const { return FHideScrollBars; }
  void SetHideScrollBars(bool AValue);
  TgxMemoScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TgxMemoScrollStyle AValue);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool AValue);
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool AValue) { FWantReturns = AValue; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool AValue) { FWantTabs = AValue; }

  bool IsNeededRedraw() override { return false; }
  bool WantsTabChar() override { return FWantTabs; }
  void SelectAll() override;
  TgxEditViewData* CreateViewData(bool AFromDefinition) override;
  void GetDisplayValue(TgxVariant& AValue, bool AFromDefinition) override;
  void Loaded() override;

protected:
  void CreateParams(TCreateParams& AParams) override;
  void CreateWnd() override;
  void KeyDown(WORD& AKey, TShiftState AShift) override;
  void WndProc(TMessage& AMessage) override;

private:
  bool FHideScrollBars = true;
  std::unique_ptr<TgxMemoStrings> FLines;
  TgxMemoScrollStyle FScrollBars = mssNone;
  bool FWordWrap = true;
  bool FWantReturns = true;
  bool FWantTabs = false;
};
