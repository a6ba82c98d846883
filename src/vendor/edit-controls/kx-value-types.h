#pragma once

#include <string>
#include <vector>

// How one kind of field value is held in a record buffer. Nothing in the
// module reads a value type beyond its registration, so each kind is known
// by its class name, caption, size in the buffer and variant type only.
struct TkxValueTypeClass {
  const wchar_t* ClassName;
  const wchar_t* Caption;
  unsigned DataSize;
  unsigned short VarType;
};

// The fifteen concrete kinds in their load order.
extern const TkxValueTypeClass kkxValueTypes[15];

// The registry of value-type classes, made on first use.
class TkxValueTypeClassList {
public:
  // Appends the class unless present.
  void RegisterItem(const TkxValueTypeClass* AItem);
  void UnregisterItem(const TkxValueTypeClass* AItem);
  // The first registered class whose caption equals ACaption exactly
  // (letter case counts); nullptr when none.
  const TkxValueTypeClass* ItemByCaption(const std::wstring& ACaption) const;
  size_t Count() const { return FItems.size(); }
  const TkxValueTypeClass* Item(size_t AIndex) const { return FItems.at(AIndex); }

private:
  std::vector<const TkxValueTypeClass*> FItems;
};

// The registry; nullptr after the data storage unit's unload until the next
// load.
TkxValueTypeClassList* ValueTypeClassList();
