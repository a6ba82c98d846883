#pragma once

// The string list of the parser support library: lines of text, each with
// an integer object (a reserved word's identifier), optionally kept sorted
// with letter case folded for a to z, and a change event that an update
// bracket holds back to one call at its end.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TDCStrings {
public:
  struct TItem {
    std::wstring Text;
    std::intptr_t Object = 0;
  };

  TDCStrings() = default;
  // A sorted list ignores letter case (a to z) and drops a text equal to
  // one already present.
  explicit TDCStrings(bool ASorted) : FSorted(ASorted) {}
  TDCStrings(const TDCStrings& AOther) : FSorted(AOther.FSorted), FItems(AOther.FItems) {}
  TDCStrings& operator=(const TDCStrings& AOther);

  // Answers the index of the new line; in a sorted list that already holds
  // the text, the existing index and nothing changes.
  std::int32_t AddObject(const std::wstring& AText, std::intptr_t AObject);
  std::int32_t Add(const std::wstring& AText) { return AddObject(AText, 0); }
  void Clear();
  void Delete(std::int32_t AIndex);
  // Sorted lists: True and the index of the equal text, or False and the
  // index where it would go.
  bool Find(const std::wstring& AText, std::int32_t& AIndex) const;
  std::int32_t IndexOf(const std::wstring& AText) const;
  std::int32_t IndexOfObject(std::intptr_t AObject) const;

  std::int32_t Count() const { return std::int32_t(FItems.size()); }
  const std::wstring& Strings(std::int32_t AIndex) const;
  std::intptr_t Objects(std::int32_t AIndex) const;
  bool Sorted() const { return FSorted; }

  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  std::function<void()> OnChange;

private:
  void Changed();

  bool FSorted = false;
  std::int32_t FUpdateCount = 0;
  bool FChangedInUpdate = false;
  std::vector<TItem> FItems;
};

// Within one update bracket (one change notification at its end): clears
// AStrings and adds AWords[0..AHigh] in order, each with its index as its
// object.
void FillStringsIndexed(TDCStrings& AStrings, const std::wstring_view* AWords, std::int32_t AHigh);
template <std::size_t N>
void FillStringsIndexed(TDCStrings& AStrings, const std::wstring_view (&AWords)[N]) {
  FillStringsIndexed(AStrings, AWords, std::int32_t(N) - 1);
}
template <class TArray> void FillStringsIndexedFrom(TDCStrings& AStrings, const TArray& AWords) {
  FillStringsIndexed(AStrings, AWords.data(), std::int32_t(AWords.size()) - 1);
}
