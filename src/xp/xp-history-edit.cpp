#include "xp-history-edit.h"

#include "forms.h"
#include "storage.h"
#include "xp-popup-list-box.h"

#include <windows.h>

#include <memory>

namespace {

// One registry object for every history edit, made on first use.
std::unique_ptr<TRegistry>& SharedRegistry() {
  static std::unique_ptr<TRegistry> registry;
  return registry;
}

TRegistry& Registry() {
  auto& registry = SharedRegistry();
  if (!registry) {
    registry = std::make_unique<TRegistry>();
    registry->SetRootKey(HKEY_CURRENT_USER);
  }
  return *registry;
}

std::wstring& KeyPrefixSlot() {
  static std::wstring prefix;
  return prefix;
}

// A full path split at its last backslash: the key before (without a
// trailing backslash), the value name after.
void SplitPath(const std::wstring& APath, std::wstring& AKey, std::wstring& AValue) {
  const size_t slash = APath.rfind(L'\\');
  if (slash == std::wstring::npos) {
    AKey.clear();
    AValue = APath;
    return;
  }
  AKey = APath.substr(0, slash);
  AValue = APath.substr(slash + 1);
  while (!AKey.empty() && AKey.back() == L'\\')
    AKey.pop_back();
}

// Reads the lines kept at APath into the edit's items; false when the key or the
// value is missing.
bool ReadLines(const std::wstring& APath, TXPHistoryEdit& AEdit) {
  std::wstring key, value;
  SplitPath(APath, key, value);
  if (value.empty())
    return false;
  TRegistry& registry = Registry();
  if (!registry.OpenKey(key, false))
    return false;
  bool found = false;
  try {
    if (registry.ValueExists(value)) {
      const std::wstring lines = registry.ReadString(value);
      // The text the edit shows stays; only the list's choice comes back.
      TXPPopupListBox& list = AEdit.PopupListBox();
      const int index = list.ItemIndex();
      AEdit.Items().SetText(lines);
      list.BeginSuppressChange();
      list.SetItemIndex(index);
      list.EndSuppressChange();
      found = true;
    }
  } catch (...) {
    registry.CloseKey();
    throw;
  }
  registry.CloseKey();
  return found;
}

} // namespace

TXPHistoryEdit::TXPHistoryEdit(TComponent* AOwner) : TXPCustomComboBox(AOwner) {
  SetStyle(csDropDown);
}

TXPHistoryEdit::~TXPHistoryEdit() = default;

const std::wstring& TXPHistoryEdit::KeyPrefix() {
  return KeyPrefixSlot();
}

void TXPHistoryEdit::SetKeyPrefix(const std::wstring& AValue) {
  KeyPrefixSlot() = AValue;
}

bool TXPHistoryEdit::RegistryCreated() {
  return SharedRegistry() != nullptr;
}

void TXPHistoryEdit::FreeRegistry() {
  SharedRegistry().reset();
}

std::wstring TXPHistoryEdit::CurrentPath() const {
  if (!FRegKey.empty())
    return KeyPrefixSlot() + FRegKey;
  const std::wstring owner = Owner() ? Owner()->ClassName() : std::wstring();
  return KeyPrefixSlot() + owner + L"\\" + Name();
}

std::wstring TXPHistoryEdit::OlderPath() const {
  return std::wstring(kXPHistoryOlderPath) + (!FRegKey.empty() ? FRegKey : Name() + L"Prop");
}

void TXPHistoryEdit::Loaded() {
  TXPCustomComboBox::Loaded();
  LoadHistory();
}

void TXPHistoryEdit::EmptyHistory() {
  Items().Clear();
}

void TXPHistoryEdit::AddToHistory() {
  BeginSuppressChange();
  try {
    const std::wstring text = Text();
    const int index = Items().IndexOf(text);
    if (index >= 0)
      Items().Delete(index);
    if (!text.empty()) {
      Items().Insert(0, text);
      SetItemIndex(0);
    }
  } catch (...) {
    EndSuppressChange();
    throw;
  }
  EndSuppressChange();
}

void TXPHistoryEdit::LoadHistory() {
  if (ComponentState().Contains(csDesigning))
    return;
  if (ReadLines(CurrentPath(), *this))
    return;
  if (ReadLines(OlderPath(), *this))
    return;
  Items().Clear();
}

void TXPHistoryEdit::SaveHistory() {
  if (ComponentState().Contains(csDesigning))
    return;
  std::wstring key, value;
  SplitPath(CurrentPath(), key, value);
  // An edit without a name or RegKey has no place of its own: every such
  // edit would overwrite the others' lines.
  if (value.empty())
    return;
  TRegistry& registry = Registry();
  // A key that cannot be made is left alone: the value must not land in
  // the root instead.
  if (!registry.OpenKey(key, true))
    return;
  try {
    registry.WriteString(value, Items().GetText());
  } catch (...) {
    registry.CloseKey();
    throw;
  }
  registry.CloseKey();
}

bool TXPHistoryEdit::WantSpecialKey(WPARAM AKey) {
  const bool wanted = TXPCustomComboBox::WantSpecialKey(AKey);
  if (AKey == VK_RETURN)
    AddToHistory();
  return wanted;
}

void TXPHistoryEdit::KeyPress(wchar_t& AKey) {
  if (AKey == VK_RETURN) {
    if (OnEnterHit)
      OnEnterHit(this);
    AKey = 0;
    return;
  }
  TXPCustomComboBox::KeyPress(AKey);
}

void TXPHistoryEdit::DestroyWnd() {
  SaveHistory();
  TXPCustomComboBox::DestroyWnd();
}

void TXPHistoryEdit::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == WM_DESTROY) {
    TCustomForm* form = GetParentForm(this);
    if (form && form->ModalResult() == mrOk)
      AddToHistory();
    SaveHistory();
  }
  TXPCustomComboBox::WndProc(AMessage);
}
