#include "rtl-exceptions.h"
#include "streams.h"
#include "string-lists.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using TTexts = std::vector<std::wstring>;

TTexts Texts(const TStrings& AStrings) {
  TTexts texts;
  for (int i = 0; i < AStrings.Count(); ++i)
    texts.push_back(AStrings.Strings(i));
  return texts;
}

void AddAll(TStrings& AStrings, const TTexts& ATexts) {
  for (const auto& text : ATexts)
    AStrings.Add(text);
}

// --- Sorting, duplicates and searching -----------------------------------------

TEST(StringList, SortedListsPlaceEachAddByTheirDuplicatesPolicy) {
  struct TCase {
    TDuplicates Duplicates;
    bool CaseSensitive;
    TTexts Added;
    TTexts Expected;
    bool Raises;
  };
  const TCase cases[] = {
      {dupIgnore, false, {L"pear", L"Apple", L"apple", L"fig"}, {L"Apple", L"fig", L"pear"}, false},
      {dupAccept, false, {L"pear", L"Apple", L"apple"}, {L"Apple", L"apple", L"pear"}, false},
      {dupError, false, {L"pear", L"Apple", L"APPLE"}, {L"Apple", L"pear"}, true},
      // Case-sensitive: ordinal order, and "apple" is no duplicate of "Apple".
      {dupIgnore, true, {L"pear", L"apple", L"Apple"}, {L"Apple", L"apple", L"pear"}, false},
      {dupError, true, {L"b", L"B"}, {L"B", L"b"}, false},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.SetCaseSensitive(c.CaseSensitive);
    list.SetDuplicates(c.Duplicates);
    list.SetSorted(true);
    bool raised = false;
    for (const auto& text : c.Added) {
      try {
        list.Add(text);
      } catch (const EStringListError&) {
        raised = true;
      }
    }
    EXPECT_EQ(raised, c.Raises) << c.Added.back();
    EXPECT_EQ(Texts(list), c.Expected) << c.Added.back();
  }
}

TEST(StringList, DupIgnoreAnswersTheIndexOfTheEntryThatIsThere) {
  TStringList list;
  list.SetSorted(true);
  AddAll(list, {L"a", L"c", L"e"});
  EXPECT_EQ(list.Add(L"C"), 1);
  EXPECT_EQ(list.Count(), 3);
}

TEST(StringList, FindAnswersThePlaceOfAStringOrWhereItWouldGo) {
  struct TCase {
    bool CaseSensitive;
    const wchar_t* Wanted;
    bool Found;
    int Index;
  };
  const TCase cases[] = {
      {false, L"banana", true, 1},
      {false, L"BANANA", true, 1},
      {false, L"blueberry", false, 2},
      {false, L"aardvark", false, 0},
      {false, L"zucchini", false, 4},
      // Ordinal order puts capitals first: Banana, Cherry, apple, date.
      {true, L"banana", false, 3},
      {true, L"Banana", true, 0},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.SetCaseSensitive(c.CaseSensitive);
    list.SetDuplicates(dupAccept);
    list.SetSorted(true);
    AddAll(list, {L"date", L"Banana", L"apple", L"Cherry"});
    int index = -1;
    EXPECT_EQ(list.Find(c.Wanted, index), c.Found) << c.Wanted;
    EXPECT_EQ(index, c.Index) << c.Wanted;
  }
}

TEST(StringList, FindLandsOnTheFirstOfEqualEntries) {
  TStringList list;
  list.SetDuplicates(dupAccept);
  list.SetSorted(true);
  AddAll(list, {L"b", L"a", L"B", L"b", L"c"});
  int index = -1;
  ASSERT_TRUE(list.Find(L"b", index));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(list.IndexOf(L"B"), 1);
}

TEST(StringList, IndexOfIgnoresCaseUntilTheListIsCaseSensitive) {
  TStringList list;
  AddAll(list, {L"Alpha", L"beta", L"BETA"});
  EXPECT_EQ(list.IndexOf(L"ALPHA"), 0);
  EXPECT_EQ(list.IndexOf(L"BETA"), 1);
  list.SetCaseSensitive(true);
  EXPECT_EQ(list.IndexOf(L"ALPHA"), -1);
  EXPECT_EQ(list.IndexOf(L"BETA"), 2);
  EXPECT_EQ(list.IndexOf(L"gamma"), -1);
}

TEST(StringList, TurningCaseSensitivityOnResortsASortedList) {
  TStringList list;
  list.SetDuplicates(dupAccept);
  list.SetSorted(true);
  AddAll(list, {L"b", L"a", L"B", L"A"});
  EXPECT_EQ(Texts(list), (TTexts{L"a", L"A", L"b", L"B"}));
  list.SetCaseSensitive(true);
  EXPECT_EQ(Texts(list), (TTexts{L"A", L"B", L"a", L"b"}));
}

TEST(StringList, ASortedListRefusesPlacedChangesAndLosesNothing) {
  TStringList list;
  list.SetSorted(true);
  AddAll(list, {L"a", L"b", L"c"});
  EXPECT_THROW(list.Insert(0, L"z"), EStringListError);
  EXPECT_THROW(list.Put(0, L"z"), EStringListError);
  EXPECT_THROW(list.Move(0, 2), EStringListError);
  EXPECT_EQ(Texts(list), (TTexts{L"a", L"b", L"c"}));
}

TEST(StringList, BadIndexesRaiseListErrors) {
  TStringList list;
  AddAll(list, {L"a", L"b"});
  EXPECT_THROW(list.Get(2), EStringListError);
  EXPECT_THROW(list.Get(-1), EStringListError);
  EXPECT_THROW(list.Delete(2), EStringListError);
  EXPECT_THROW(list.Objects(5), EStringListError);
  EXPECT_THROW(list.Insert(3, L"x"), EStringListError);
  EXPECT_THROW(list.Exchange(0, 2), EStringListError);
  EXPECT_NO_THROW(list.Insert(2, L"c")); // at the end
}

// --- Text, objects, move and exchange -------------------------------------------

TEST(StringList, TextJoinsLinesWithCrLf) {
  TStringList list;
  EXPECT_EQ(list.GetText(), L"");
  AddAll(list, {L"one", L"", L"three"});
  EXPECT_EQ(list.GetText(), L"one\r\n\r\nthree");
}

TEST(StringList, SettingTextSplitsAtEveryKindOfLineBreak) {
  struct TCase {
    const wchar_t* Text;
    TTexts Lines;
  };
  const TCase cases[] = {
      {L"", {}},
      {L"a", {L"a"}},
      {L"a\r\nb", {L"a", L"b"}},
      {L"a\r\nb\r\n", {L"a", L"b"}},
      {L"a\nb\rc", {L"a", L"b", L"c"}},
      {L"a\r\n\r\nb", {L"a", L"", L"b"}},
      {L"\r\n", {L""}},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.Add(L"old");
    list.SetText(c.Text);
    EXPECT_EQ(Texts(list), c.Lines) << c.Text;
  }
}

TEST(StringList, ObjectsTravelWithTheirStrings) {
  int first = 1, second = 2, third = 3;
  TStringList list;
  list.AddObject(L"a", &first);
  list.AddObject(L"b", &second);
  list.AddObject(L"c", &third);

  list.Move(0, 2);
  EXPECT_EQ(Texts(list), (TTexts{L"b", L"c", L"a"}));
  EXPECT_EQ(list.Objects(2), &first);

  list.Exchange(0, 1);
  EXPECT_EQ(Texts(list), (TTexts{L"c", L"b", L"a"}));
  EXPECT_EQ(list.Objects(0), &third);
  EXPECT_EQ(list.Objects(1), &second);

  list.Put(1, L"B");
  EXPECT_EQ(list.Objects(1), &second);
  EXPECT_EQ(list.IndexOfObject(&first), 2);

  TStringList copy;
  copy.Assign(&list);
  EXPECT_EQ(Texts(copy), Texts(list));
  EXPECT_EQ(copy.Objects(0), &third);
  EXPECT_TRUE(copy.Equals(list));
}

TEST(StringList, NameValueEntries) {
  TStringList list;
  AddAll(list, {L"Width=10", L"Caption=a=b", L"Plain"});
  EXPECT_EQ(list.Values(L"WIDTH"), L"10");
  EXPECT_EQ(list.Values(L"Caption"), L"a=b");
  EXPECT_EQ(list.Names(2), L"");
  list.SetValue(L"Width", L"20");
  list.SetValue(L"Height", L"5");
  list.SetValue(L"Caption", L"");
  EXPECT_EQ(Texts(list), (TTexts{L"Width=20", L"Plain", L"Height=5"}));
}

// --- Update state and announcements ----------------------------------------------

TEST(StringList, ChangesAreAnnouncedOnceOutsideAndOncePerOutermostBracket) {
  TStringList list;
  std::vector<std::wstring> log;
  list.OnChanging = [&](TStringList*) { log.push_back(L"changing"); };
  list.OnChange = [&](TStringList* ASender) {
    log.push_back(L"changed " + std::to_wstring(ASender->Count()));
  };

  list.Add(L"a");
  EXPECT_EQ(log, (std::vector<std::wstring>{L"changing", L"changed 1"}));

  log.clear();
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(L"b");
  list.Delete(0);
  list.EndUpdate();
  list.Add(L"c");
  EXPECT_EQ(log, std::vector<std::wstring>{L"changing"});
  list.EndUpdate();
  EXPECT_EQ(log, (std::vector<std::wstring>{L"changing", L"changed 2"}));

  log.clear();
  list.EndUpdate(); // unbalanced: ignored
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(list.UpdateCount(), 0);
}

// --- The overridable core ---------------------------------------------------------

// A string list that keeps no strings of its own: its entries live in a
// list of "pages", as a page control's tab strings do. It logs every core
// call.
class TPageStrings : public TStrings {
public:
  struct TPage {
    std::wstring Caption;
    void* Data;
  };
  std::vector<TPage> Pages;
  std::vector<std::wstring> Log;

  std::wstring Get(int AIndex) const override { return Pages.at(size_t(AIndex)).Caption; }
  int GetCount() const override { return int(Pages.size()); }
  void* GetObject(int AIndex) const override { return Pages.at(size_t(AIndex)).Data; }
  void Put(int AIndex, const std::wstring& S) override {
    Log.push_back(L"put " + S);
    Pages.at(size_t(AIndex)).Caption = S;
  }
  void PutObject(int AIndex, void* AObject) override {
    Log.push_back(L"putobject " + std::to_wstring(AIndex));
    Pages.at(size_t(AIndex)).Data = AObject;
  }
  void Insert(int AIndex, const std::wstring& S) override { InsertObject(AIndex, S, nullptr); }
  void InsertObject(int AIndex, const std::wstring& S, void* AObject) override {
    Log.push_back(L"insert " + std::to_wstring(AIndex) + L" " + S);
    Pages.insert(Pages.begin() + AIndex, TPage{S, AObject});
  }
  void Delete(int AIndex) override {
    Log.push_back(L"delete " + std::to_wstring(AIndex));
    Pages.erase(Pages.begin() + AIndex);
  }
  void Clear() override {
    Log.push_back(L"clear");
    Pages.clear();
  }
  int CompareStrings(const std::wstring& S1, const std::wstring& S2) const override {
    // Pages match by caption without their accelerator marks.
    auto strip = [](std::wstring s) {
      s.erase(std::remove(s.begin(), s.end(), L'&'), s.end());
      return s;
    };
    return TStrings::CompareStrings(strip(S1), strip(S2));
  }

protected:
  void SetUpdateState(bool AUpdating) override { Log.push_back(AUpdating ? L"begin" : L"end"); }
};

TEST(StringsCore, EverythingElseIsBuiltOnTheCoreOperations) {
  int data = 7;
  TPageStrings pages;
  pages.AddObject(L"&First", &data);
  pages.Add(L"Second");
  EXPECT_EQ(pages.Log,
            (std::vector<std::wstring>{L"insert 0 &First", L"putobject 0", L"insert 1 Second"}));
  EXPECT_EQ(pages.IndexOf(L"first"), 0); // the descendant's comparison decides
  EXPECT_EQ(pages.GetText(), L"&First\r\nSecond");

  pages.Log.clear();
  pages.Move(0, 1);
  EXPECT_EQ(pages.Log,
            (std::vector<std::wstring>{L"begin", L"delete 0", L"insert 1 &First", L"end"}));
  EXPECT_EQ(pages.Objects(1), &data);

  pages.Log.clear();
  pages.Exchange(0, 1);
  EXPECT_EQ(Texts(pages), (TTexts{L"&First", L"Second"}));
  EXPECT_EQ(pages.Objects(0), &data);
  EXPECT_EQ(pages.Log.front(), L"begin");
  EXPECT_EQ(pages.Log.back(), L"end");

  TStringList source;
  AddAll(source, {L"x", L"y"});
  pages.Log.clear();
  pages.Assign(&source);
  EXPECT_EQ(pages.Log, (std::vector<std::wstring>{L"begin", L"clear", L"insert 0 x", L"putobject 0",
                                                  L"insert 1 y", L"putobject 1", L"end"}));
}

// A string list that keeps a record per entry, as a list box keeps check
// and selection state: every entry comes in through InsertItem.
class TRecordStrings : public TStringList {
public:
  std::vector<std::wstring> Log;
  int ChangedCalls = 0;

  void Changed() override {
    ++ChangedCalls;
    TStringList::Changed();
  }

protected:
  void InsertItem(int AIndex, const std::wstring& S, void* AObject) override {
    Log.push_back(L"record for " + S + L" at " + std::to_wstring(AIndex));
    TStringList::InsertItem(AIndex, S, AObject);
  }
};

TEST(StringsCore, AddsInsertsAndMovesAllComeThroughInsertItem) {
  TRecordStrings list;
  list.Add(L"b");
  list.Insert(0, L"a");
  list.Move(0, 1);
  list.SetSorted(true);
  list.Add(L"c");
  EXPECT_EQ(list.Log, (std::vector<std::wstring>{L"record for b at 0", L"record for a at 0",
                                                 L"record for a at 1", L"record for c at 2"}));
  EXPECT_EQ(Texts(list), (TTexts{L"a", L"b", L"c"}));
  EXPECT_GT(list.ChangedCalls, 0);
}

// --- Streams and files ----------------------------------------------------------

std::vector<uint8_t> Bytes(TMemoryStream& AStream) {
  auto* data = static_cast<const uint8_t*>(AStream.Memory());
  return std::vector<uint8_t>(data, data + AStream.GetSize());
}

TEST(StringsStreams, PlainTextIsWrittenAsBytesAndOtherTextAsUtf16) {
  TStringList list;
  AddAll(list, {L"ab", L"c"});
  TMemoryStream plain;
  list.SaveToStream(plain);
  EXPECT_EQ(Bytes(plain), (std::vector<uint8_t>{'a', 'b', '\r', '\n', 'c'}));

  list.Add(L"\u00e9");
  TMemoryStream wide;
  list.SaveToStream(wide);
  auto bytes = Bytes(wide);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);

  wide.SetPosition(0);
  TStringList back;
  back.LoadFromStream(wide);
  EXPECT_EQ(Texts(back), (TTexts{L"ab", L"c", L"\u00e9"}));
}

TEST(StringsStreams, ReadingRecognisesByteOrderMarksAndUtf8) {
  struct TCase {
    std::vector<uint8_t> Bytes;
    TTexts Lines;
  };
  const TCase cases[] = {
      {{0xEF, 0xBB, 0xBF, 'a', '\r', '\n', 0xC3, 0xA9}, {L"a", L"\u00e9"}},
      {{'a', '\n', 0xC3, 0xA9}, {L"a", L"\u00e9"}},
      {{0xFF, 0xFE, 'x', 0, '\n', 0, 0xE9, 0}, {L"x", L"\u00e9"}},
      {{0xFE, 0xFF, 0, 'x', 0, '\r', 0x20, 0xAC}, {L"x", L"\u20ac"}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    TMemoryStreamReadOnly stream(c.Bytes.data(), c.Bytes.size());
    TStringList list;
    list.LoadFromStream(stream);
    EXPECT_EQ(Texts(list), c.Lines) << c.Bytes.size();
  }
  // Bytes that are no UTF-8 are read in the ANSI code page: one character
  // per byte, nothing lost.
  const uint8_t ansi[] = {'a', 0xE9, 'b'};
  TMemoryStreamReadOnly stream(ansi, sizeof ansi);
  TStringList list;
  list.LoadFromStream(stream);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0).size(), 3u);
}

TEST(StringsStreams, AFileRoundTripKeepsEveryLine) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::wstring fileName = std::wstring(folder) + L"orvandel-strings-" +
                          std::to_wstring(GetCurrentProcessId()) + L".txt";
  TStringList list;
  AddAll(list, {L"first", L"", L"\u00fcber", L"last"});
  list.SaveToFile(fileName, TTextEncoding::Utf8);
  TStringList back;
  back.LoadFromFile(fileName);
  DeleteFileW(fileName.c_str());
  EXPECT_EQ(Texts(back), Texts(list));
  EXPECT_ANY_THROW(back.LoadFromFile(fileName)); // gone now
}

} // namespace
