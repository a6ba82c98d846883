#include "dc-strings.h"

#include "parser-utils.h"

TDCStrings& TDCStrings::operator=(const TDCStrings& AOther) {
  if (this != &AOther) {
    FItems = AOther.FItems;
    if (FSorted && !AOther.FSorted) {
      // Copied into a sorted list: sort and drop duplicates the same way Add does.
      std::vector<TItem> items;
      items.swap(FItems);
      for (const TItem& item : items) {
        std::int32_t index = 0;
        if (!Find(item.Text, index))
          FItems.insert(FItems.begin() + index, item);
      }
    }
    Changed();
  }
  return *this;
}

std::int32_t TDCStrings::AddObject(const std::wstring& AText, std::intptr_t AObject) {
  std::int32_t index = Count();
  if (FSorted) {
    if (Find(AText, index))
      return index;
    FItems.insert(FItems.begin() + index, TItem{AText, AObject});
  } else {
    FItems.push_back(TItem{AText, AObject});
  }
  Changed();
  return index;
}

void TDCStrings::Clear() {
  if (FItems.empty())
    return;
  FItems.clear();
  Changed();
}

void TDCStrings::Delete(std::int32_t AIndex) {
  if (AIndex < 0 || AIndex >= Count())
    RaiseErrorFmt(L"List index out of bounds (%d)", {std::int64_t(AIndex)});
  FItems.erase(FItems.begin() + AIndex);
  Changed();
}

bool TDCStrings::Find(const std::wstring& AText, std::int32_t& AIndex) const {
  if (!FSorted) {
    AIndex = IndexOf(AText);
    return AIndex >= 0;
  }
  std::int32_t low = 0;
  std::int32_t high = Count() - 1;
  bool found = false;
  while (low <= high) {
    const std::int32_t middle = (low + high) / 2;
    const int c = CompareTextAscii(FItems[std::size_t(middle)].Text, AText);
    if (c < 0) {
      low = middle + 1;
    } else {
      high = middle - 1;
      if (c == 0) {
        found = true;
        low = middle;
      }
    }
  }
  AIndex = low;
  return found;
}

std::int32_t TDCStrings::IndexOf(const std::wstring& AText) const {
  if (FSorted) {
    std::int32_t index = 0;
    return Find(AText, index) ? index : -1;
  }
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (SameTextAscii(FItems[i].Text, AText))
      return std::int32_t(i);
  return -1;
}

std::int32_t TDCStrings::IndexOfObject(std::intptr_t AObject) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].Object == AObject)
      return std::int32_t(i);
  return -1;
}

const std::wstring& TDCStrings::Strings(std::int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    RaiseErrorFmt(L"List index out of bounds (%d)", {std::int64_t(AIndex)});
  return FItems[std::size_t(AIndex)].Text;
}

std::intptr_t TDCStrings::Objects(std::int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    RaiseErrorFmt(L"List index out of bounds (%d)", {std::int64_t(AIndex)});
  return FItems[std::size_t(AIndex)].Object;
}

void TDCStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FChangedInUpdate) {
    FChangedInUpdate = false;
    if (OnChange)
      OnChange();
  }
}

void TDCStrings::Changed() {
  if (FUpdateCount > 0) {
    FChangedInUpdate = true;
    return;
  }
  if (OnChange)
    OnChange();
}

void FillStringsIndexed(TDCStrings& AStrings, const std::wstring_view* AWords, std::int32_t AHigh) {
  AStrings.BeginUpdate();
  try {
    AStrings.Clear();
    for (std::int32_t i = 0; i <= AHigh; ++i)
      AStrings.AddObject(std::wstring(AWords[i]), i);
  } catch (...) {
    AStrings.EndUpdate();
    throw;
  }
  AStrings.EndUpdate();
}
