#include "vhdl-object.h"

#include <algorithm>

TVHDLObject::TVHDLObject(TVHDLParser* AParser) : Parser(AParser) {
  // A reader sets the position of what it creates; without one there is no
  // source text to point into.
}

std::wstring TVHDLObject::GetState_StringDescriptor() const {
  return {};
}

void TVHDLObjectList::Add(std::wstring AKey, std::unique_ptr<TVHDLObject> AObject) {
  auto at =
      std::upper_bound(FItems.begin(), FItems.end(), AKey,
                       [](const std::wstring& key, const auto& item) { return key < item.first; });
  FItems.emplace(at, std::move(AKey), std::move(AObject));
}

TVHDLObject* TVHDLObjectList::Find(std::wstring_view AKey) const {
  auto at =
      std::lower_bound(FItems.begin(), FItems.end(), AKey,
                       [](const auto& item, std::wstring_view key) { return item.first < key; });
  return (at != FItems.end() && at->first == AKey) ? at->second.get() : nullptr;
}

TEntity::TEntity(TVHDLParser* AParser) : TVHDLObject(AParser) {}
