#pragma once

#include <string>
#include <vector>

// A string list kept sorted by the platform's case-blind locale comparison;
// duplicates are kept.
class TSortedStringList {
public:
  TSortedStringList() = default;
  virtual ~TSortedStringList() = default;

  // Inserts the text in sort order and answers its index.
  int Add(const std::wstring& AText);
  // True and the index of the first equal entry, or False and the index
  // where the text would be inserted.
  bool Find(const std::wstring& AText, int& AIndex) const;
  // Index of the first equal entry, -1 when there is none.
  int IndexOf(const std::wstring& AText) const;
  void Delete(int AIndex);
  void Clear() { FItems.clear(); }

  int Count() const { return int(FItems.size()); }
  const std::wstring& Strings(int AIndex) const { return FItems.at(std::size_t(AIndex)); }
  const std::wstring& operator[](int AIndex) const { return Strings(AIndex); }
  auto begin() const { return FItems.begin(); }
  auto end() const { return FItems.end(); }

  // The list's ordering: <0, 0 or >0, letter case ignored.
  static int CompareStrings(const std::wstring& AS1, const std::wstring& AS2);

protected:
  explicit TSortedStringList(bool AUnique) : FUnique(AUnique) {}

private:
  bool FUnique = false;
  std::vector<std::wstring> FItems;
};

// The same list holding each text once: adding a text that is already there,
// in any letter case, changes nothing and answers the existing index.
class TSortedUniqueStringList : public TSortedStringList {
public:
  TSortedUniqueStringList() : TSortedStringList(true) {}
};
