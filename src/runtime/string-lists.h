#pragma once

#include "persistent.h"

// Included first on purpose: the system headers turn GetObject into a macro,
// and every user of this header must see the same name for the core.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class TStream;

// How text is written to a stream or file. `Auto` writes text that is all
// ASCII as plain bytes and anything else as UTF-16 with a byte-order mark,
// which every reader of text and ini files on the system understands.
enum class TTextEncoding { Auto, Utf8, Utf16 };

// An ordered list of strings, each with an object slot (a pointer the list
// keeps beside its string and never owns). The base class holds no strings:
// a descendant supplies the core (`Get`, `GetCount`, `Insert`, `Delete`,
// `Clear`, and `GetObject`/`Put`/`PutObject` where it keeps more), and
// everything else here is built on that core, so a descendant that keeps its
// strings elsewhere (a window, a list of pages) gets the rest for free.
class TStrings : public TPersistent {
public:
  std::wstring ClassName() const override { return L"TStrings"; }

  // --- The core ---
  virtual std::wstring Get(int AIndex) const = 0;
  virtual int GetCount() const = 0;
  // The base keeps no objects: nullptr.
  virtual void* GetObject(int AIndex) const;
  // The base replaces the entry: deletes it and inserts S with its object.
  virtual void Put(int AIndex, const std::wstring& S);
  // The base keeps no objects and ignores it.
  virtual void PutObject(int AIndex, void* AObject);
  virtual void Insert(int AIndex, const std::wstring& S) = 0;
  // Insert, then PutObject.
  virtual void InsertObject(int AIndex, const std::wstring& S, void* AObject);
  virtual void Delete(int AIndex) = 0;
  virtual void Clear() = 0;
  // Both answer the new entry's index.
  virtual int Add(const std::wstring& S);
  virtual int AddObject(const std::wstring& S, void* AObject);
  // Swaps two entries (strings and objects).
  virtual void Exchange(int AIndex1, int AIndex2);
  // Takes the entry's string and object, deletes it and inserts both at
  // ANewIndex, all inside one update bracket.
  virtual void Move(int ACurIndex, int ANewIndex);
  // The first entry equal to S by `CompareStrings`, or -1.
  virtual int IndexOf(const std::wstring& S) const;
  // Negative, 0 or positive; the base ignores case.
  virtual int CompareStrings(const std::wstring& S1, const std::wstring& S2) const;

  // --- Update state ---
  // Brackets nest; the outermost ones call SetUpdateState(true) and
  // SetUpdateState(false).
  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

  // --- Built on the core ---
  int Count() const { return GetCount(); }
  std::wstring Strings(int AIndex) const { return Get(AIndex); }
  void* Objects(int AIndex) const { return GetObject(AIndex); }
  int IndexOfObject(const void* AObject) const;
  // Appends every entry of AStrings (strings and objects) in one bracket.
  void AddStrings(const TStrings& AStrings);
  // Copies strings and objects from another string list.
  void Assign(const TPersistent* ASource) override;
  // Same count and the same strings, compared exactly.
  bool Equals(const TStrings& AStrings) const;

  // The lines joined with CR LF, no line break after the last.
  virtual std::wstring GetText() const;
  // Splits at CR LF, CR or LF; a line break at the very end makes no empty
  // last line, and an empty text makes an empty list.
  virtual void SetText(const std::wstring& AText);

  // "name=value" entries: the name is the part before the first "=".
  std::wstring Names(int AIndex) const;
  std::wstring ValueFromIndex(int AIndex) const;
  int IndexOfName(const std::wstring& AName) const;
  std::wstring Values(const std::wstring& AName) const;
  // An empty value deletes the entry; a new name is appended.
  void SetValue(const std::wstring& AName, const std::wstring& AValue);

  // Reading recognises a UTF-16 (little- or big-endian) or UTF-8 byte-order
  // mark; text without one is UTF-8 when it is valid UTF-8, else the ANSI
  // code page's. Raises EReadError / EWriteError (or the file stream's
  // errors) when the stream or file fails.
  void LoadFromStream(TStream& AStream);
  void SaveToStream(TStream& AStream, TTextEncoding AEncoding = TTextEncoding::Auto) const;
  void LoadFromFile(const std::wstring& AFileName);
  void SaveToFile(const std::wstring& AFileName,
                  TTextEncoding AEncoding = TTextEncoding::Auto) const;

protected:
  // Told when the outermost bracket opens (true) and closes (false).
  virtual void SetUpdateState(bool /*AUpdating*/) {}

private:
  int FUpdateCount = 0;
};

// Only sorted lists look at it: whether Add takes a string that is there.
enum TDuplicates {
  dupIgnore, // Add answers the existing entry's index and adds nothing
  dupAccept, // Add adds it beside the equal ones
  dupError   // Add raises EStringListError
};

// A string list that holds its strings. Every change outside an update
// bracket is announced by `Changing` before and `Changed` after it; a
// bracket announces once, at its ends. Bad indexes raise EStringListError.
class TStringList : public TStrings {
public:
  using TEvent = std::function<void(TStringList* ASender)>;

  TStringList() = default;
  TStringList(const TStringList&) = delete;
  TStringList& operator=(const TStringList&) = delete;

  std::wstring ClassName() const override { return L"TStringList"; }

  std::wstring Get(int AIndex) const override;
  int GetCount() const override { return int(FList.size()); }
  void* GetObject(int AIndex) const override;
  // A sorted list refuses Put with EStringListError.
  void Put(int AIndex, const std::wstring& S) override;
  void PutObject(int AIndex, void* AObject) override;
  // A sorted list refuses Insert with EStringListError; Add finds the place.
  void Insert(int AIndex, const std::wstring& S) override;
  void InsertObject(int AIndex, const std::wstring& S, void* AObject) override;
  void Delete(int AIndex) override;
  void Clear() override;
  int Add(const std::wstring& S) override;
  int AddObject(const std::wstring& S, void* AObject) override;
  void Exchange(int AIndex1, int AIndex2) override;
  // A sorted list refuses Move with EStringListError.
  void Move(int ACurIndex, int ANewIndex) override;
  // Sorted lists search by halves.
  int IndexOf(const std::wstring& S) const override;
  // Ordinal when CaseSensitive, else ignoring case.
  int CompareStrings(const std::wstring& S1, const std::wstring& S2) const override;

  // Binary search of a sorted list: true when S is there, AIndex then the
  // first equal entry; otherwise AIndex is where S would go. In an unsorted
  // list the answer is meaningless, as for any halving search.
  virtual bool Find(const std::wstring& S, int& AIndex) const;
  // Orders the entries by CompareStrings (equal ones keep their order).
  virtual void Sort();
  // Orders by ACompare(list, index1, index2).
  void CustomSort(const std::function<int(TStringList*, int, int)>& ACompare);

  bool Sorted() const { return FSorted; }
  // Sorting on sorts at once.
  void SetSorted(bool AValue);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates AValue) { FDuplicates = AValue; }
  bool CaseSensitive() const { return FCaseSensitive; }
  // A sorted list sorts again under the new comparison.
  void SetCaseSensitive(bool AValue);

  // Announcements; they fire only outside update brackets.
  virtual void Changing();
  virtual void Changed();

  TEvent OnChange;
  TEvent OnChanging;

protected:
  // Inserts without any check of the sorted state: the one place that
  // adds an entry, so descendants that keep more per entry hook it.
  virtual void InsertItem(int AIndex, const std::wstring& S, void* AObject);
  void SetUpdateState(bool AUpdating) override;
  [[noreturn]] void ListError(const wchar_t* AWhat, int AIndex) const;

private:
  struct TStringItem {
    std::wstring FString;
    void* FObject;
  };
  void CheckIndex(int AIndex) const;

  std::vector<TStringItem> FList;
  bool FSorted = false;
  bool FCaseSensitive = false;
  TDuplicates FDuplicates = dupIgnore;
};
