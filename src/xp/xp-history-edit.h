#pragma once

#include "controls.h"
#include "unit-steps.h"
#include "xp-combo-box.h"

#include <windows.h>

#include <string>

// A drop-down combo box that remembers the texts the user entered: its
// items are the history, most recent first, kept under HKEY_CURRENT_USER
// from one run of the host to the next as one string value per edit (the
// lines joined with CR LF).

// Where the older releases kept the histories; read when the current place
// holds nothing, never written.
inline constexpr wchar_t kXPHistoryOlderPath[] =
    L"Software\\Tessal2004 (Kestrine)\\Halvery\\Version 4.11\\EditHistory\\";

class TXPHistoryEdit : public TXPCustomComboBox {
public:
  explicit TXPHistoryEdit(TComponent* AOwner);
  ~TXPHistoryEdit() override;
  std::wstring ClassName() const override { return L"TXPHistoryEdit"; }
  void Loaded() override;

  // --- published properties ---------------------------------------------------
  // The history's path below the key prefix ("key\value"); empty: the
  // owner's class name and the edit's name.
  const std::wstring& RegKey() const { return FRegKey; }
  void SetRegKey(const std::wstring& AValue) { FRegKey = AValue; }
  bool AddToHistoryOnExit() const { return FAddToHistoryOnExit; }
  void SetAddToHistoryOnExit(bool AValue) { FAddToHistoryOnExit = AValue; }
  // Enter in the edit.
  TNotifyEvent OnEnterHit;

  // --- new virtual operations, in slot order ----------------------------------
  // Moves the current text to the top of the history.
  virtual void AddToHistory();
  // Writes the history to the registry.
  virtual void SaveHistory();
  // Reads the history from the registry (the older place when the current
  // one holds nothing); empty when neither does.
  virtual void LoadHistory();

  void EmptyHistory();

  // The full path ("key\value" below HKEY_CURRENT_USER) the history is
  // saved to and first read from.
  std::wstring CurrentPath() const;
  // The older path read when the current one holds nothing.
  std::wstring OlderPath() const;

  // The unit-wide prefix of every current path; empty unless set.
  static const std::wstring& KeyPrefix();
  static void SetKeyPrefix(const std::wstring& AValue);
  // Whether the shared registry object exists.
  static bool RegistryCreated();
  // The unit's shut-down: frees the shared registry object.
  static void FreeRegistry();

  bool WantSpecialKey(WPARAM AKey) override;
  void KeyPress(wchar_t& AKey) override;

protected:
  void DestroyWnd() override;
  void WndProc(TMessage& AMessage) override;

  std::wstring FRegKey;
  bool FAddToHistoryOnExit = true;
};

// The unit's entry for the module's unit steps.
inline constexpr TUnitStep kXPExtEditsUnitStep{L"XPExtEdits", nullptr,
                                               &TXPHistoryEdit::FreeRegistry};
