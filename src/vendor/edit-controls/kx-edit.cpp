#include "kx-edit.h"
#include "edit-controls-units.h"

#include "kx-resource-strings.h"

#include "application.h"
#include "unit-steps.h"

#include <windows.h>

#include <algorithm>

namespace {

TkxEditPropertiesClasses* GPropertiesRegistry = nullptr;
TkxFilterEditsController* GFilterEdits = nullptr;
TkxEditStyleController* GDefaultStyleController = nullptr;
TkxEditStyleController* GContainerStyleController = nullptr;
std::vector<void*>* GPropertiesList = nullptr;
bool GEditFinalized = false;
bool GWheelCursor = false;

struct TEditorKind {
  const wchar_t* PropertiesClass;
  const wchar_t* HelperClass;
  const wchar_t* DescriptionString;
};
const TEditorKind kTextEdit{L"TkxTextEditProperties", L"TkxFilterTextEditHelper",
                            L"skxSEditRepositoryTextItem"};
const TEditorKind kMemo{L"TkxMemoProperties", L"TkxFilterMemoHelper",
                        L"skxSEditRepositoryMemoItem"};

int CompareIgnoringCase(const std::wstring& A, const std::wstring& B) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, A.c_str(), int(A.size()), B.c_str(),
                        int(B.size())) -
         CSTR_EQUAL;
}

void RegisterEditorKind(const TEditorKind& AKind) {
  try {
    const std::wstring description = KxResString(AKind.DescriptionString);
    if (auto* registry = EditPropertiesClassRegistry()) {
      registry->Register(AKind.PropertiesClass, description);
      LedgerRegistration(L"EditProperties", AKind.PropertiesClass, true);
    }
    if (auto* filters = FilterEditsController()) {
      filters->Register(AKind.PropertiesClass, AKind.HelperClass);
      LedgerRegistration(L"FilterHelper", AKind.HelperClass, true);
    }
  } catch (...) {
  }
}

void UnregisterFilterHelper(const TEditorKind& AKind) {
  try {
    if (GFilterEdits && !GFilterEdits->FindHelper(AKind.PropertiesClass).empty()) {
      GFilterEdits->Unregister(AKind.PropertiesClass, AKind.HelperClass);
      LedgerRegistration(L"FilterHelper", AKind.HelperClass, false);
    }
  } catch (...) {
  }
}

} // namespace

// ---------------------------------------------------------------------------

void TkxEditPropertiesClasses::SetSorted(bool AValue) {
  FSorted = AValue;
  if (FSorted)
    Sort();
}

void TkxEditPropertiesClasses::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const TkxEditPropertiesClass& A, const TkxEditPropertiesClass& B) {
                     return CompareIgnoringCase(A.Description, B.Description) < 0;
                   });
}

void TkxEditPropertiesClasses::Register(const std::wstring& AClassName,
                                    const std::wstring& ADescription) {
  for (const auto& item : FItems)
    if (item.ClassName == AClassName)
      return;
  FItems.push_back({AClassName, ADescription});
  if (FSorted)
    Sort();
}

void TkxEditPropertiesClasses::Unregister(const std::wstring& AClassName) {
  FItems.erase(
      std::remove_if(FItems.begin(), FItems.end(),
                     [&](const TkxEditPropertiesClass& A) { return A.ClassName == AClassName; }),
      FItems.end());
}

std::vector<std::wstring> TkxEditPropertiesClasses::ClassNames() const {
  std::vector<std::wstring> names;
  for (const auto& item : FItems)
    names.push_back(item.ClassName);
  return names;
}

TkxEditPropertiesClasses* EditPropertiesClassRegistry() {
  if (!GPropertiesRegistry && !GEditFinalized) {
    GPropertiesRegistry = new TkxEditPropertiesClasses();
    GPropertiesRegistry->SetSorted(true);
  }
  return GPropertiesRegistry;
}

void TkxFilterEditsController::Register(const std::wstring& APropertiesClass,
                                        const std::wstring& AHelperClass) {
  for (auto& item : FItems)
    if (item.first == APropertiesClass) {
      item.second = AHelperClass;
      return;
    }
  FItems.emplace_back(APropertiesClass, AHelperClass);
}

void TkxFilterEditsController::Unregister(const std::wstring& APropertiesClass,
                                          const std::wstring& AHelperClass) {
  FItems.erase(
      std::remove(FItems.begin(), FItems.end(), std::make_pair(APropertiesClass, AHelperClass)),
      FItems.end());
}

std::wstring TkxFilterEditsController::FindHelper(const std::wstring& APropertiesClass) const {
  for (const auto& item : FItems)
    if (item.first == APropertiesClass)
      return item.second;
  return {};
}

TkxFilterEditsController* FilterEditsController() {
  if (!GFilterEdits && !GEditFinalized)
    GFilterEdits = new TkxFilterEditsController();
  return GFilterEdits;
}

TkxEditStyleController* DefaultEditStyleController() {
  return GDefaultStyleController;
}

TkxEditStyleController* GlobalContainerStyleController() {
  return GContainerStyleController;
}

std::vector<void*>* GlobalEditPropertiesList() {
  return GPropertiesList;
}

// ---------------------------------------------------------------------------
// The edit unit

void KxEditStartup() {
  try {
    GEditFinalized = false;
    if (Screen()->LoadModuleCursor(kkxMouseWheelCursorSlot, ModuleInstance(),
                                   L"KXEDIT_MOUSEWHEEL")) {
      GWheelCursor = true;
      LedgerRegistration(L"ScreenCursor", L"4101", true);
    }
    GDefaultStyleController = new TkxEditStyleController();
    GContainerStyleController = GDefaultStyleController;
    LedgerRegistration(L"StyleController", L"DefaultEditStyleController", true);
    GPropertiesList = new std::vector<void*>();
  } catch (...) {
  }
}

void KxEditShutdown() {
  try {
    GEditFinalized = true;
    if (GPropertiesRegistry) {
      // The registry goes as a whole, with the classes still in it.
      for (const auto& name : GPropertiesRegistry->ClassNames())
        LedgerRegistration(L"EditProperties", name.c_str(), false);
      delete GPropertiesRegistry;
      GPropertiesRegistry = nullptr;
    }
    if (GFilterEdits) {
      delete GFilterEdits;
      GFilterEdits = nullptr;
    }
    delete GPropertiesList;
    GPropertiesList = nullptr;
    if (GDefaultStyleController) {
      if (GContainerStyleController == GDefaultStyleController)
        GContainerStyleController = nullptr;
      delete GDefaultStyleController;
      GDefaultStyleController = nullptr;
      LedgerRegistration(L"StyleController", L"DefaultEditStyleController", false);
    }
    if (GWheelCursor) {
      GWheelCursor = false;
      Screen()->SetCursor(kkxMouseWheelCursorSlot, nullptr, TCursorOwnership::Shared);
      LedgerRegistration(L"ScreenCursor", L"4101", false);
    }
  } catch (...) {
  }
}

void KxTextEditStartup() {
  RegisterEditorKind(kTextEdit);
}

void KxTextEditShutdown() {
  UnregisterFilterHelper(kTextEdit);
}

void KxMemoStartup() {
  RegisterEditorKind(kMemo);
}

void KxMemoShutdown() {
  UnregisterFilterHelper(kMemo);
}
