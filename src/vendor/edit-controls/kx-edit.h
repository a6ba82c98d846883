#pragma once

#include <string>
#include <vector>

// The editor family's process-wide registries: the edit-properties classes
// with their descriptions, the filter helpers of each properties class, the
// live properties objects and the default edit style controller. No editor
// control is made inside this module, so the classes are known by name.

// The screen-cursor slot of the mouse-wheel cursor.
constexpr int kkxMouseWheelCursorSlot = 4101;

struct TkxEditPropertiesClass {
  std::wstring ClassName;
  std::wstring Description;
};

// The edit-properties classes by name with their descriptions, optionally
// kept sorted by description (ignoring letter case); each class is added
// once. The kinds are known by name only, as no editor control is made.
class TkxEditPropertiesClasses {
public:
  void SetSorted(bool AValue);
  void Register(const std::wstring& AClassName, const std::wstring& ADescription);
  void Unregister(const std::wstring& AClassName);
  size_t Count() const { return FItems.size(); }
  const TkxEditPropertiesClass& Item(size_t AIndex) const { return FItems.at(AIndex); }
  // The entries' class names in their order.
  std::vector<std::wstring> ClassNames() const;

private:
  void Sort();
  std::vector<TkxEditPropertiesClass> FItems;
  bool FSorted = false;
};

// The registry of edit-properties classes, sorted by description; made on
// first use, nullptr after the edit unit's unload.
TkxEditPropertiesClasses* EditPropertiesClassRegistry();

// Maps an edit-properties class to its filter helper class.
class TkxFilterEditsController {
public:
  void Register(const std::wstring& APropertiesClass, const std::wstring& AHelperClass);
  void Unregister(const std::wstring& APropertiesClass, const std::wstring& AHelperClass);
  // The helper of the properties class; empty when none.
  std::wstring FindHelper(const std::wstring& APropertiesClass) const;
  size_t Count() const { return FItems.size(); }

private:
  std::vector<std::pair<std::wstring, std::wstring>> FItems;
};

// Made on first use; nullptr after the edit unit's unload.
TkxFilterEditsController* FilterEditsController();

// A style controller without owner shared by every standalone editor and
// container.
struct TkxEditStyleController {
  std::wstring ClassName = L"TkxEditStyleController";
};
TkxEditStyleController* DefaultEditStyleController();
// The default controller of plain container styles.
TkxEditStyleController* GlobalContainerStyleController();

// Every live edit-properties object; nullptr outside the edit unit's load.
std::vector<void*>* GlobalEditPropertiesList();
