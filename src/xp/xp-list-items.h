#pragma once

#include "list-boxes.h"
#include "persistent.h"
#include "string-lists.h"
// The check states the list shares with the check box.
#include "xp-check-box.h"

#include <string>

// The item store of the XP list box: a string list whose object slots hold
// one record per string with the item's check state and selection flag and
// the object the caller stores with the string. The store tells its list
// box about every change, so selection, scroll range and painting follow
// the strings.

class TCustomXPListBox;
class TXPListBoxStrings;

class TXPListItem : public TPersistent {
public:
  TXPListItem(TXPListBoxStrings* AStrings, bool ASelected, void* AObject);
  std::wstring ClassName() const override { return L"TXPListItem"; }

  TXPListBoxStrings* Strings() const { return FStrings; }
  // The caller's object; the list never owns it.
  void* StdObject() const { return FStdObject; }
  void SetStdObject(void* AValue) { FStdObject = AValue; }
  TCheckBoxState State() const { return FState; }
  void SetState(TCheckBoxState AValue) { FState = AValue; }
  bool Checked() const { return FState == cbChecked; }
  void SetChecked(bool AValue) { FState = AValue ? cbChecked : cbUnchecked; }
  bool Selected() const { return FSelected; }
  // A change runs the owning strings' change notification.
  void SetSelected(bool AValue);

private:
  TXPListBoxStrings* FStrings;
  void* FStdObject;
  TCheckBoxState FState = cbUnchecked;
  bool FSelected;
};

class TXPListBoxStrings : public TStringList {
public:
  explicit TXPListBoxStrings(TCustomXPListBox* AListBox);
  ~TXPListBoxStrings() override;
  std::wstring ClassName() const override { return L"TXPListBoxStrings"; }

  TCustomXPListBox* ListBox() const { return FListBox; }
  bool InUpdating() const { return FInUpdating; }

  void Put(int AIndex, const std::wstring& S) override;
  // The caller's object, not the record.
  void* GetObject(int AIndex) const override;
  void PutObject(int AIndex, void* AObject) override;
  int AddObject(const std::wstring& S, void* AObject) override;
  void Insert(int AIndex, const std::wstring& S) override;
  void Delete(int AIndex) override;
  void Clear() override;
  void Exchange(int AIndex1, int AIndex2) override;
  void Move(int ACurIndex, int ANewIndex) override;
  // Natural order when the list box sorts alphanumerically.
  int CompareStrings(const std::wstring& S1, const std::wstring& S2) const override;

  // The record of an index in range, else nullptr.
  TXPListItem* Item(int AIndex) const;

protected:
  void InsertItem(int AIndex, const std::wstring& S, void* AObject) override;
  void SetUpdateState(bool AUpdating) override;

private:
  // The current item's text before an insert, and whether there was one.
  bool NoteCurrent(std::wstring& AText) const;
  void RestoreCurrent(const std::wstring& AText);
  void FreeItemWrapper(int AIndex);
  void FreeAllWrappers();

  TCustomXPListBox* FListBox;
  bool FInUpdating = false;
};
