#include "sorted-string-list.h"

#include <windows.h>

#include "exceptions.h"

int TSortedStringList::CompareStrings(const std::wstring& AS1, const std::wstring& AS2) {
  const int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, AS1.data(), int(AS1.size()),
                               AS2.data(), int(AS2.size()));
  return r - CSTR_EQUAL;
}

bool TSortedStringList::Find(const std::wstring& AText, int& AIndex) const {
  // Lower bound, so the first of several equal entries is found.
  int low = 0;
  int high = Count();
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (CompareStrings(FItems[std::size_t(mid)], AText) < 0)
      low = mid + 1;
    else
      high = mid;
  }
  AIndex = low;
  return low < Count() && CompareStrings(FItems[std::size_t(low)], AText) == 0;
}

int TSortedStringList::Add(const std::wstring& AText) {
  int index = 0;
  if (Find(AText, index) && FUnique)
    return index;
  FItems.insert(FItems.begin() + index, AText);
  return index;
}

int TSortedStringList::IndexOf(const std::wstring& AText) const {
  int index = 0;
  return Find(AText, index) ? index : -1;
}

void TSortedStringList::Delete(int AIndex) {
  if (AIndex < 0 || AIndex >= Count())
    throw Exception(L"List index out of bounds (" + std::to_wstring(AIndex) + L")");
  FItems.erase(FItems.begin() + AIndex);
}
