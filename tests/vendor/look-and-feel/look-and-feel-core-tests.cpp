// The painting library's core: the resource-string repository and the
// units loader, the version flags and conversions, the persistent bases
// and linked lists, the geometry helpers, and the components, timers and
// class registries.

#include "gx-core.h"
#include "kx-components.h"
#include "kx-geometry.h"
#include "kx-persistent.h"
#include "look-and-feel-units.h"

#include "graphics.h"
#include "ledger-balance.h"
#include "resource-ledger.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}

} // namespace

// ---- Resource strings ---------------------------------------------------------

namespace {

const TResourceString kAlpha{L"alpha text"};
const TResourceString kBeta{L"beta text"};
const TResourceString kGamma{L"gamma text"};

void AddAlphaBeta(TgxProductResourceStrings& AProduct) {
  AProduct.Add(L"sBeta", &kBeta);
  AProduct.Add(L"sAlpha", &kAlpha);
}
void AddGamma(TgxProductResourceStrings& AProduct) {
  AProduct.Add(L"sGamma", &kGamma);
}

class TCountingListener : public IgxLocalizerListener {
public:
  void TranslationChanged() override { ++Calls; }
  int Calls = 0;
};

} // namespace

TEST(ResourceStringsRepository, TranslateOffersEveryProductsStringsInOrderOnlyWithAHandler) {
  TgxResourceStringsRepository repository;
  repository.RegisterProduct(L"First", &AddAlphaBeta);
  repository.RegisterProduct(L"Second", &AddGamma);
  std::vector<std::pair<std::wstring, const TResourceString*>> offered;
  repository.Translate();
  EXPECT_TRUE(offered.empty());
  repository.OnTranslateResString = [&](const std::wstring& AName, const TResourceString* AString) {
    offered.emplace_back(AName, AString);
  };
  repository.Translate();
  const std::vector<std::pair<std::wstring, const TResourceString*>> expected = {
      {L"sAlpha", &kAlpha}, {L"sBeta", &kBeta}, {L"sGamma", &kGamma}};
  EXPECT_EQ(offered, expected) << "products in registration order, names sorted within one";
  offered.clear();
  TgxProductResourceStrings& first = repository.GetProduct(0);
  first.TranslateString(first.GetIndexByName(L"SBETA"));
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].second, &kBeta);
  EXPECT_EQ(first.GetStringValue(first.GetIndexByName(L"sbeta")), L"beta text");
  EXPECT_EQ(first.GetIndexByName(L"sDelta"), -1);
}

TEST(ResourceStringsRepository, AListenerIsListedOnceAndHearsEachNotification) {
  TgxResourceStringsRepository repository;
  TCountingListener listener, other;
  repository.AddListener(&listener);
  repository.AddListener(&listener);
  repository.RemoveListener(&other);
  repository.NotifyListeners();
  EXPECT_EQ(listener.Calls, 1);
  repository.RemoveListener(&listener);
  repository.NotifyListeners();
  EXPECT_EQ(listener.Calls, 1);
}

TEST(ResourceStringsRepository, ProductOfUnknownNameIsNotFoundAndUnregisteringItChangesNothing) {
  TgxResourceStringsRepository repository;
  repository.RegisterProduct(L"Only", &AddGamma);
  repository.UnRegisterProduct(L"Other");
  EXPECT_EQ(repository.ProductsCount(), 1);
  EXPECT_EQ(repository.GetProductIndexByName(L"Other"), -1);
  EXPECT_EQ(repository.GetOriginalValue(L"sMissing"), L"");
  repository.GetProduct(0).Clear();
  EXPECT_EQ(repository.GetProduct(0).ResStringsCount(), 0);
}

// ---- Units loader --------------------------------------------------------------

namespace {

std::vector<int> GCalls;
void InitOne() {
  GCalls.push_back(1);
}
void StopOne() {
  GCalls.push_back(-1);
}
void StopTwo() {
  GCalls.push_back(-2);
}

} // namespace

TEST(UnitsLoader, AStopProcedureAloneIsOnlyRecordedAndTakingBackAnUnknownOneCallsNothing) {
  GCalls.clear();
  TgxUnitsLoader loader;
  loader.AddUnit(nullptr, &StopOne);
  EXPECT_TRUE(GCalls.empty());
  EXPECT_EQ(loader.PendingFinalizations(), 1u);
  loader.RemoveUnit(&StopTwo);
  EXPECT_TRUE(GCalls.empty());
  loader.RemoveUnit(&StopOne);
  EXPECT_EQ(GCalls, (std::vector<int>{-1})) << "taken back, a stop runs once";
  EXPECT_EQ(loader.PendingFinalizations(), 0u);
}

TEST(UnitsLoader, FinalizeWithoutInitializationCallsNothingButEmptiesTheList) {
  GCalls.clear();
  TgxUnitsLoader loader;
  loader.Finalize(); // no initialisation has run
  loader.AddUnit(nullptr, &StopOne);
  loader.Finalize();
  EXPECT_TRUE(GCalls.empty());
  EXPECT_EQ(loader.PendingFinalizations(), 0u);
}

TEST(UnitsLoader, InAProgramAStartRunsAtOnceAndStopsRunLastFirst) {
  ASSERT_FALSE(IsLibraryModule()) << "the test program is no library";
  GCalls.clear();
  TgxUnitsLoader loader;
  loader.AddUnit(&InitOne, &StopOne);
  loader.AddUnit(nullptr, &StopTwo);
  EXPECT_EQ(GCalls, (std::vector<int>{1}));
  EXPECT_TRUE(UnitsInitialized());
  EXPECT_EQ(loader.PendingInitializations(), 0u);
  loader.Finalize();
  EXPECT_EQ(GCalls, (std::vector<int>{1, -2, -1}));
  EXPECT_FALSE(UnitsInitialized());
}

// ---- Version flags ---------------------------------------------------------------

TEST(OSVersionFlags, EachFlagFollowsPlatformAndVersion) {
  struct TCase {
    unsigned Platform, Major, Minor;
    const char*
        Expected; // 9x, 95, 98, Me, NT, 2000, 2000Up, XP, XPUp, 2000OrXP, Vista, VistaUp, 7Up
  };
  const TCase cases[] = {
      {1, 4, 0, "1100000000000"},  {1, 4, 10, "1010000000000"}, {1, 4, 90, "1001000000000"},
      {2, 4, 0, "0000100000000"},  {2, 5, 0, "0000111001000"},  {2, 5, 1, "0000101111000"},
      {2, 5, 2, "0000101111000"},  {2, 6, 0, "0000101010110"},  {2, 6, 1, "0000101010111"},
      {2, 10, 0, "0000101010011"},
  };
  for (const TCase& c : cases) {
    const TgxOSVersionFlags f = ComputeOSVersionFlags(c.Platform, c.Major, c.Minor);
    const bool got[] = {f.Win9xFamily, f.Win95,     f.Win98, f.WinMe,   f.NTFamily,
                        f.Win2000,     f.Win2000Up, f.WinXP, f.WinXPUp, f.Win2000OrXP,
                        f.Vista,       f.VistaUp,   f.Win7Up};
    std::string text;
    for (bool flag : got)
      text += flag ? '1' : '0';
    EXPECT_EQ(text, c.Expected) << c.Platform << " " << c.Major << "." << c.Minor;
  }
}

TEST(OSVersionFlags, TheRunningSystemIsOfTheNTFamily) {
  InitOSVersionFlags();
  EXPECT_TRUE(OSVersionFlags().NTFamily);
  EXPECT_FALSE(OSVersionFlags().Win9xFamily);
#ifdef _WIN64
  EXPECT_FALSE(OSVersionFlags().Wow64Process) << "a 64-bit process is no WOW64 process";
#endif
}

// ---- Conversions -----------------------------------------------------------------

TEST(Conversions, TextConvertsByCodePageAndLength) {
  struct TCase {
    const char* Bytes;
    UINT CodePage;
    int Length;
    const wchar_t* Wide;
  };
  const TCase cases[] = {
      {"plain", CP_ACP, -1, L"plain"},
      {"\xC3\xA9t\xC3\xA9", CP_UTF8, -1, L"\u00E9t\u00E9"},
      {"\xE9t\xE9", 1252, -1, L"\u00E9t\u00E9"},
      {"abcdef", 1252, 3, L"abc"},
      {"abc", 1252, 40, L"abc"}, // a length past the text stops at its end
      {"", CP_UTF8, -1, L""},
      {"abc", 1252, 0, L""},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(ConvertAnsiToWide(c.Bytes, c.CodePage, c.Length), c.Wide) << c.Bytes;
    if (c.Length < 0) {
      EXPECT_EQ(ConvertWideToAnsi(c.Wide, c.CodePage, c.Length), c.Bytes) << c.Bytes;
    }
  }
  EXPECT_EQ(ConvertWideToAnsi(L"abcdef", 1252, 2), "ab");
}

TEST(Conversions, AByteArrayVariantIsTakenByteForByteAndOthersAsText) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 3);
  ASSERT_NE(array, nullptr);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
  std::memcpy(data, "a\0b", 3);
  SafeArrayUnaccessData(array);
  VARIANT bytes;
  VariantInit(&bytes);
  V_VT(&bytes) = VT_ARRAY | VT_UI1;
  V_ARRAY(&bytes) = array;
  EXPECT_EQ(VariantToAnsiText(bytes), std::string("a\0b", 3));
  VariantClear(&bytes);

  VARIANT number;
  VariantInit(&number);
  V_VT(&number) = VT_I4;
  V_I4(&number) = -42;
  EXPECT_EQ(VariantToAnsiText(number), "-42");
  EXPECT_EQ(VariantToText(number), L"-42");
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = SysAllocString(L"\u20AC wide");
  EXPECT_EQ(VariantToWideText(text), L"\u20AC wide");
  VariantClear(&text);
}

TEST(Conversions, CharTypeAndSmallRoutines) {
  EXPECT_EQ(QueryCharType(L'A') & (C1_UPPER | C1_ALPHA), C1_UPPER | C1_ALPHA);
  EXPECT_EQ(QueryCharType(L'7') & C1_DIGIT, C1_DIGIT);
  int a = 1, b = 2;
  SwapIntegers(a, b);
  EXPECT_EQ(std::make_pair(a, b), std::make_pair(2, 1));
  auto* block = static_cast<unsigned char*>(AllocZeroedMemory(16));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::count(block, block + 16, 0), 16);
  CopyMemoryBlock(block, "xyz", 3);
  ZeroMemoryBlock(block + 1, 1);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), 3), std::string("x\0z", 3));
  FreeMemoryBlock(block);
  int fired = 0;
  InvokeNotifyEvent(nullptr, nullptr);
  InvokeNotifyEvent(nullptr, [&](TPersistent*) { ++fired; });
  EXPECT_EQ(fired, 1);
}

// ---- Colours and bitmap pixels ------------------------------------------------------

TEST(BitmapColors, BitsPerPixelFollowTheFormatAndFifteenBitsCountSixteen) {
  const std::pair<TPixelFormat, int> cases[] = {
      {TPixelFormat::pf1bit, 1},   {TPixelFormat::pf4bit, 4},   {TPixelFormat::pf8bit, 8},
      {TPixelFormat::pf15bit, 16}, {TPixelFormat::pf16bit, 16}, {TPixelFormat::pf24bit, 24},
      {TPixelFormat::pf32bit, 32},
  };
  for (const auto& [format, bits] : cases) {
    TBitmap bitmap(2, 2, format);
    EXPECT_EQ(GetBitmapBitsPerPixel(bitmap), bits) << int(format);
  }
  EXPECT_EQ(ColorToBgraQuad(TColor(0x00332211), 0x80), 0x80112233u);
  EXPECT_EQ(ColorToBgraQuad(TColor(0xFF000000 | COLOR_WINDOW)),
            ColorToBgraQuad(TColor(GetSysColor(COLOR_WINDOW))))
      << "a system colour is resolved";
}

TEST(BitmapColors, PixelsWrittenAreReadBackInEitherRowOrder) {
  TBitmap bitmap(3, 2, TPixelFormat::pf32bit);
  TRGBColors colors(6);
  for (size_t i = 0; i < colors.size(); ++i)
    colors[i] = RGBQUAD{BYTE(i), BYTE(10 + i), BYTE(20 + i), 0};
  ASSERT_TRUE(WriteBitmapColors(bitmap, colors, true));
  TRGBColors topDown, bottomUp;
  ASSERT_TRUE(ReadBitmapColors(bitmap, topDown, true));
  ASSERT_TRUE(ReadBitmapColors(bitmap, bottomUp, false));
  ASSERT_EQ(topDown.size(), 6u);
  ASSERT_EQ(bottomUp.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(topDown[i].rgbBlue, colors[i].rgbBlue) << i;
    EXPECT_EQ(topDown[i].rgbRed, colors[i].rgbRed) << i;
    EXPECT_EQ(bottomUp[(1 - i / 3) * 3 + i % 3].rgbGreen, colors[i].rgbGreen) << i;
  }
  EXPECT_FALSE(WriteBitmapColors(bitmap, TRGBColors(5), true)) << "too few colours are refused";
  TBitmap empty;
  EXPECT_FALSE(ReadBitmapColors(empty, topDown, true));
  EXPECT_FALSE(WriteBitmapColors(empty, colors, true));
}

TEST(BitmapColors, AlphaIsInUseOnlyInA32BitBitmapWithANonZeroFourthByte) {
  TBitmap deep(2, 2, TPixelFormat::pf32bit);
  TRGBColors colors(4, RGBQUAD{1, 2, 3, 0});
  ASSERT_TRUE(WriteBitmapColors(deep, colors, false));
  EXPECT_FALSE(BitmapUsesAlpha(deep));
  colors[3].rgbReserved = 7;
  ASSERT_TRUE(WriteBitmapColors(deep, colors, false));
  EXPECT_TRUE(BitmapUsesAlpha(deep));
  TBitmap shallow(2, 2, TPixelFormat::pf24bit);
  EXPECT_FALSE(BitmapUsesAlpha(shallow));
}

// ---- Persistent bases -------------------------------------------------------------------

namespace {

class TOwnedValue : public TkxOwnedPersistent {
public:
  using TkxOwnedPersistent::TkxOwnedPersistent;
  std::wstring ClassName() const override { return L"TOwnedValue"; }
  int Value = 0;

protected:
  bool IsOfOwnClass(const TPersistent* ASource) const override {
    return IsInstanceOf<TOwnedValue>(ASource);
  }
  void DoAssign(const TPersistent* ASource) override {
    Value = static_cast<const TOwnedValue*>(ASource)->Value;
  }
};
class TDerivedValue : public TOwnedValue {
public:
  using TOwnedValue::TOwnedValue;
};

} // namespace

TEST(OwnedPersistent, AssignCopiesFromItsOwnClassOrADerivedOneAndRefusesOthers) {
  TPersistent owner;
  TOwnedValue target(&owner), source(nullptr);
  TDerivedValue derived(nullptr);
  EXPECT_EQ(target.GetOwner(), &owner);
  source.Value = 5;
  target.Assign(&source);
  EXPECT_EQ(target.Value, 5);
  derived.Value = 9;
  target.Assign(&derived);
  EXPECT_EQ(target.Value, 9);
  TkxRect other;
  EXPECT_THROW(target.Assign(&other), EConvertError);
  EXPECT_THROW(target.Assign(nullptr), EConvertError);
}

TEST(FreeNotificator, HearsEachWatchedComponentFreedUntilItStopsWatching) {
  TkxFreeNotificator notificator(nullptr);
  std::vector<TComponent*> freed;
  auto* first = new TComponent(nullptr);
  auto* second = new TComponent(nullptr);
  auto* third = new TComponent(nullptr);
  notificator.AddSender(nullptr);
  notificator.AddSender(first);
  notificator.AddSender(second);
  notificator.AddSender(third);
  TComponent::Free(first); // no handler yet: only the inherited handling
  notificator.OnFreeNotification = [&](TComponent* AComponent) { freed.push_back(AComponent); };
  notificator.RemoveSender(third);
  notificator.RemoveSender(nullptr);
  TComponent* const secondAddress = second;
  TComponent::Free(second);
  TComponent::Free(third);
  EXPECT_EQ(freed, (std::vector<TComponent*>{secondAddress}));
}

// ---- Linked lists ------------------------------------------------------------------------

namespace {

int GLiveElements = 0;
class TCountedElement : public TkxDoublyLinkedObject {
public:
  TCountedElement() { ++GLiveElements; }
  ~TCountedElement() override { --GLiveElements; }
};
class TCountedList : public TkxDoublyLinkedObjectList {
protected:
  TkxDoublyLinkedObjectClass ItemClass() const override {
    return &MakeLinkedObject<TCountedElement>;
  }
};

// The elements from First by Next, and checks that Prev walks them back.
std::vector<TkxDoublyLinkedObject*> Walk(const TkxDoublyLinkedObjectList& AList) {
  std::vector<TkxDoublyLinkedObject*> forward;
  for (TkxDoublyLinkedObject* o = AList.First(); o; o = o->Next())
    forward.push_back(o);
  std::vector<TkxDoublyLinkedObject*> backward;
  for (TkxDoublyLinkedObject* o = AList.Last(); o; o = o->Prev())
    backward.insert(backward.begin(), o);
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(AList.Count(), int(forward.size()));
  return forward;
}

} // namespace

TEST(DoublyLinkedList, AnEmptyListHasNoFirstAndCountsZero) {
  TkxDoublyLinkedObjectList list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.First(), nullptr);
}

TEST(DoublyLinkedList, DeleteAndInsertKeepBothDirectionsAndTheLastElement) {
  GLiveElements = 0;
  {
    TCountedList list;
    TkxDoublyLinkedObject* a = list.Add();
    TkxDoublyLinkedObject* b = list.Add();
    TkxDoublyLinkedObject* c = list.Add();
    EXPECT_EQ(GLiveElements, 3) << "elements are of the list's item class";
    EXPECT_EQ(Walk(list), (std::vector<TkxDoublyLinkedObject*>{a, b, c}));

    list.Delete(c); // the last: its predecessor becomes last
    EXPECT_EQ(list.Last(), b);
    EXPECT_EQ(Walk(list), (std::vector<TkxDoublyLinkedObject*>{a, b}));
    list.InsertAfter(b, c); // after the last: the source becomes last
    EXPECT_EQ(list.Last(), c);
    list.Delete(a);
    list.InsertBefore(b, a); // before the first: the source is the new first
    EXPECT_EQ(list.First(), a);
    EXPECT_EQ(Walk(list), (std::vector<TkxDoublyLinkedObject*>{a, b, c}));
    list.Delete(b);
    list.InsertBefore(c, b);
    EXPECT_EQ(Walk(list), (std::vector<TkxDoublyLinkedObject*>{a, b, c}));
    list.Delete(b);
    list.InsertAfter(a, b);
    EXPECT_EQ(Walk(list), (std::vector<TkxDoublyLinkedObject*>{a, b, c}));

    list.Remove(b);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(GLiveElements, 2);
    EXPECT_EQ(Walk(list), (std::vector<TkxDoublyLinkedObject*>{a, c}));
  }
  EXPECT_EQ(GLiveElements, 0) << "the list frees what it holds";
}

TEST(DoublyLinkedList, DeletingTheOnlyElementEmptiesTheListAndClearFreesAll) {
  GLiveElements = 0;
  TCountedList list;
  TkxDoublyLinkedObject* only = list.Add();
  list.Delete(only);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Last(), nullptr);
  delete only;
  list.Add();
  list.Add();
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(GLiveElements, 0);
}

// ---- Geometry -------------------------------------------------------------------------------

namespace {

bool SameRect(const RECT& A, const RECT& B) {
  return RectsAreEqual(A, B);
}

std::string Show(const RECT& R) {
  return std::to_string(R.left) + "," + std::to_string(R.top) + "," + std::to_string(R.right) +
         "," + std::to_string(R.bottom);
}

} // namespace

TEST(GeometryRoutines, RectangleRoutinesGiveTheirTableResults) {
  const RECT r{10, 20, 30, 60};
  struct TCase {
    const char* Name;
    RECT Got, Expected;
  };
  const TCase cases[] = {
      {"InflateRectSides", InflateRectSides(r, 1, 2, 3, 4), {9, 18, 33, 64}},
      {"OffsetRectBy+", OffsetRectBy(r, 5, -5, true), {15, 15, 35, 55}},
      {"OffsetRectBy-", OffsetRectBy(r, 5, -5, false), {5, 25, 25, 65}},
      {"TransposeRect", TransposeRect(r), {20, 10, 60, 30}},
      {"RectFromPoints", RectFromPoints({1, 2}, {3, 4}), {1, 2, 3, 4}},
      {"PlaceRectHorz", PlaceRectHorz(r, 100, 7), {100, 20, 107, 60}},
      {"CenterRect even", CenterRect({0, 0, 10, 10}, 4, 6), {3, 2, 7, 8}},
      {"CenterRect odd", CenterRect({0, 0, 10, 10}, 3, 5), {3, 2, 6, 7}},
      {"CenterRect negative", CenterRect({0, 0, 0, 0}, 3, 1), {-2, -1, 1, 0}},
      {"CenterRect negative coordinates", CenterRect({-10, -10, -5, -4}, 2, 2), {-9, -8, -7, -6}},
  };
  for (const TCase& c : cases)
    EXPECT_TRUE(SameRect(c.Got, c.Expected)) << c.Name << ": " << Show(c.Got);

  const POINT p = OffsetPointBy({1, 2}, 10, 20, false);
  EXPECT_EQ(std::make_pair(p.x, p.y), std::make_pair(-9L, -18L));
  const POINT q = MakePoint(3, 4);
  EXPECT_EQ(std::make_pair(q.x, q.y), std::make_pair(3L, 4L));
}

TEST(GeometryRoutines, PointsOnTheRightOrBottomEdgeAreOutsideAndFlatRectanglesAreEmpty) {
  struct TCase {
    RECT Rect;
    int X, Y;
    bool Inside, Empty;
  };
  const TCase cases[] = {
      {{0, 0, 10, 10}, 0, 0, true, false},   {{0, 0, 10, 10}, 9, 9, true, false},
      {{0, 0, 10, 10}, 10, 5, false, false}, {{0, 0, 10, 10}, 5, 10, false, false},
      {{0, 0, 10, 10}, -1, 5, false, false}, {{5, 0, 5, 10}, 5, 5, false, true},
      {{0, 5, 10, 4}, 5, 4, false, true},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(PointInRect(c.Rect, c.X, c.Y), c.Inside) << Show(c.Rect) << " " << c.X << "," << c.Y;
    EXPECT_EQ(RectIsEmpty(c.Rect), c.Empty) << Show(c.Rect);
  }
  EXPECT_TRUE(SameRect(NullRect, {0, 0, 0, 0}));
  EXPECT_TRUE(SameRect(UnitRect, {1, 1, 1, 1}));
  EXPECT_EQ(std::make_pair(InvalidPoint.x, InvalidPoint.y), std::make_pair(-1L, -1L));
  EXPECT_EQ(UnitSize.cx + UnitSize.cy + NullSize.cx + NullPoint.y, 2);
}

TEST(GeometryRect, EachChangeFiresOnceAndAnUnchangedValueFiresNothing) {
  struct TCase {
    const char* Name;
    void (*Change)(TkxRect&);
    RECT Expected;
    int Events;
  };
  const TCase cases[] = {
      {"same rectangle",
       [](TkxRect& R) {
         R.SetRect({1, 2, 3, 4});
       },
       {1, 2, 3, 4},
       0},
      {"new rectangle",
       [](TkxRect& R) {
         R.SetRect({0, 0, 3, 4});
       },
       {0, 0, 3, 4},
       1},
      {"left", [](TkxRect& R) { R.SetLeft(0); }, {0, 2, 3, 4}, 1},
      {"same bottom", [](TkxRect& R) { R.SetValue(3, 4); }, {1, 2, 3, 4}, 0},
      {"index 4", [](TkxRect& R) { R.SetValue(4, 99); }, {1, 2, 3, 4}, 0},
      {"top right",
       [](TkxRect& R) {
         R.SetTopRight({9, 0});
       },
       {1, 0, 9, 4},
       1},
      {"bottom left",
       [](TkxRect& R) {
         R.SetBottomLeft({-1, 8});
       },
       {-1, 2, 3, 8},
       1},
      {"width", [](TkxRect& R) { R.SetWidth(10); }, {1, 2, 11, 4}, 1},
      {"height", [](TkxRect& R) { R.SetHeight(2); }, {1, 2, 3, 4}, 0},
  };
  for (const TCase& c : cases) {
    TkxRect rect;
    rect.SetRect({1, 2, 3, 4});
    int events = 0;
    TPersistent* sender = nullptr;
    rect.OnChange = [&](TPersistent* ASender) {
      ++events;
      sender = ASender;
    };
    c.Change(rect);
    EXPECT_TRUE(rect.IsEqual(c.Expected)) << c.Name << ": " << Show(rect.Rect());
    EXPECT_EQ(events, c.Events) << c.Name;
    if (c.Events) {
      EXPECT_EQ(sender, &rect) << c.Name;
    }
  }
}

TEST(GeometryRect, ValuesCornersAndAssignment) {
  TkxRect rect;
  rect.SetRect({1, 2, 5, 9});
  EXPECT_EQ(rect.GetValue(0), 1);
  EXPECT_EQ(rect.GetValue(2), 5);
  EXPECT_EQ(rect.GetValue(7), 9) << "any other index reads the bottom";
  EXPECT_EQ(rect.Width(), 4);
  EXPECT_EQ(rect.Height(), 7);
  EXPECT_EQ(rect.BottomRight().x, 5);
  EXPECT_EQ(rect.TopLeft().y, 2);
  EXPECT_EQ(rect.GetDataLength(), 16u);
  EXPECT_EQ(rect.GetDataAddress(), static_cast<const void*>(&rect.Rect()));
  TkxRect copy;
  int events = 0;
  copy.OnChange = [&](TPersistent*) { ++events; };
  copy.Assign(&rect);
  EXPECT_TRUE(copy.IsEqual(rect));
  EXPECT_EQ(events, 1);
  EXPECT_TRUE(TkxRect().IsEmpty());
}

TEST(GeometryUnit, TheRectangleClassCanBeMadeByNameWhileTheUnitIsLoaded) {
  kxGeometryStartup();
  std::unique_ptr<TPersistent> made(TClassRegistry::CreateObject(L"TkxRect"));
  EXPECT_NE(dynamic_cast<TkxRect*>(made.get()), nullptr);
  kxGeometryShutdown();
  EXPECT_FALSE(TClassRegistry::IsRegistered(L"TkxRect"));
}

// ---- Timers ----------------------------------------------------------------------------------

namespace {

// The classes unit started for the test and stopped after it, so its
// timer window and list go with each test.
class TimerTest : public TLedgerBalancedTest {
protected:
  void SetUp() override {
    TLedgerBalancedTest::SetUp();
    kxClassesStartup();
  }
  void ReleaseShared() override { kxClassesShutdown(); }
};

// Runs the thread's messages until ADone holds; a bounded wait, not a
// measure of time.
template <typename TDone> bool PumpUntil(TDone ADone) {
  for (int round = 0; round < 2000 && !ADone(); ++round) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return ADone();
}

} // namespace

TEST_F(TimerTest, TwoTimersFireIndependentlyOnTheOneHiddenWindow) {
  int firstTicks = 0, secondTicks = 0;
  TPersistent* sender = nullptr;
  TkxTimer first(nullptr), second(nullptr);
  first.SetInterval(1);
  second.SetInterval(2);
  first.SetOnTimer([&](TPersistent* ASender) {
    ++firstTicks;
    sender = ASender;
  });
  second.SetOnTimer([&](TPersistent*) { ++secondTicks; });
  EXPECT_EQ(first.EventID(), reinterpret_cast<UINT_PTR>(&first));
  EXPECT_EQ(kxRunningTimerCount(), 2u);
  ASSERT_NE(kxTimerWindow(), nullptr);
  EXPECT_FALSE(IsWindowVisible(kxTimerWindow()));
  ASSERT_TRUE(PumpUntil([&] { return firstTicks > 0 && secondTicks > 0; }));
  EXPECT_EQ(sender, &first);
  second.SetEnabled(false);
  EXPECT_FALSE(second.TimerOn());
  const int stopped = secondTicks;
  const int started = firstTicks;
  ASSERT_TRUE(PumpUntil([&] { return firstTicks > started + 2; }));
  EXPECT_EQ(secondTicks, stopped) << "a disabled timer no longer fires";
}

TEST_F(TimerTest, ATimerWithoutHandlerNeverStartsAndAHandlerStartsIt) {
  TkxTimer timer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.TimerOn());
  EXPECT_EQ(kxTimerWindow(), nullptr) << "no window before a timer runs";
  timer.SetOnTimer([](TPersistent*) {});
  EXPECT_TRUE(timer.TimerOn());
  EXPECT_TRUE(timer.Enabled());
  timer.SetInterval(0);
  EXPECT_EQ(timer.Interval(), 1000u) << "an interval of 0 is ignored";
  EXPECT_TRUE(timer.TimerOn());
  timer.SetOnTimer(nullptr);
  EXPECT_FALSE(timer.TimerOn());
  EXPECT_EQ(kxRunningTimerCount(), 0u);
}

TEST_F(TimerTest, ATimerMessageOfAnUnknownIdIsSwallowed) {
  int ticks = 0;
  std::unique_ptr<TkxTimer> timer(CreateTimer(60000, true, [&](TPersistent*) { ++ticks; }));
  ASSERT_NE(kxTimerWindow(), nullptr);
  EXPECT_EQ(SendMessageW(kxTimerWindow(), WM_TIMER, WPARAM(0x1234), 0), 0);
  EXPECT_EQ(ticks, 0);
  SendMessageW(kxTimerWindow(), WM_TIMER, WPARAM(timer->EventID()), 0);
  EXPECT_EQ(ticks, 1);
  const UINT_PTR id = timer->EventID();
  timer.reset();
  SendMessageW(kxTimerWindow(), WM_TIMER, WPARAM(id), 0);
  EXPECT_EQ(ticks, 1) << "a freed timer's id is no running timer";
}

// ---- Components --------------------------------------------------------------------------------

namespace {

class TRescaled : public TkxScalableComponent {
public:
  using TkxScalableComponent::TkxScalableComponent;
  std::vector<std::pair<int, int>> Changes;

protected:
  void ChangeScale(int ANewDPI, int AOldDPI) override { Changes.emplace_back(ANewDPI, AOldDPI); }
};

} // namespace

TEST(ScalableComponent, LoadedRescalesFromTheStoredDPIOnlyWhenScalable) {
  const int screen = KxScreenDPI();
  struct TCase {
    int Stored;
    bool Scalable;
    bool Rescaled;
  };
  for (const TCase& c : {TCase{screen * 2, true, true}, TCase{screen * 2, false, false},
                         TCase{screen, true, false}}) {
    TRescaled component(nullptr);
    EXPECT_EQ(component.PixelsPerInch(), screen);
    component.SetPixelsPerInch(c.Stored);
    component.SetScalable(c.Scalable);
    component.Loaded();
    EXPECT_EQ(component.Changes.size(), c.Rescaled ? 1u : 0u) << c.Stored << c.Scalable;
    if (c.Rescaled) {
      EXPECT_EQ(component.Changes[0], std::make_pair(screen, c.Stored));
    }
    EXPECT_EQ(component.PixelsPerInch(), screen);
  }
}

TEST(ObjectLinks, ALinkIsClearedWhenItsComponentGoesAndTheControllerLivesWhileLinksAre) {
  EXPECT_EQ(CreateObjectLink(nullptr), nullptr);
  auto* component = new TkxComponent(nullptr);
  int other = 0;
  TkxObjectLink* first = CreateObjectLink(component);
  TkxObjectLink* second = CreateObjectLink(&other);
  EXPECT_TRUE(ObjectLinkControllerExists());
  TComponent::Free(component);
  EXPECT_EQ(first->Ref, nullptr);
  EXPECT_EQ(second->Ref, &other);
  ReleaseObjectLink(first);
  EXPECT_TRUE(ObjectLinkControllerExists());
  ReleaseObjectLink(nullptr);
  ReleaseObjectLink(second);
  EXPECT_FALSE(ObjectLinkControllerExists());
}

TEST(ObjectList, AnOwningListFreesItsObjectsAndFreeAndRemoveOfAStrangerFreesNothing) {
  struct TCounted : TPersistent {
    explicit TCounted(int& ALive) : Live(ALive) { ++Live; }
    ~TCounted() override { --Live; }
    int& Live;
  };
  int live = 0;
  TCounted stranger(live);
  {
    TkxObjectList owning(true);
    owning.Add(new TCounted(live));
    owning.Add(new TCounted(live));
    EXPECT_EQ(owning.FreeAndRemove(&stranger), -1);
    EXPECT_EQ(live, 3);
    EXPECT_EQ(owning.FreeAndRemove(owning.GetItem(1)), 1);
    EXPECT_EQ(live, 2);
    owning.Add(new TCounted(live));
  }
  EXPECT_EQ(live, 1);
  TkxObjectList plain(false);
  plain.Add(&stranger);
  plain.Add(new TCounted(live));
  plain.FreeAndDelete(1);
  plain.Clear();
  EXPECT_EQ(live, 1) << "a list that does not own frees only on FreeAndDelete";
}

namespace {

struct TRecorder {
  std::vector<std::pair<int, intptr_t>>* Calls;
  int Id;
  void Handle(TPersistent*, const void* AArgs) {
    Calls->emplace_back(Id, *static_cast<const intptr_t*>(AArgs));
  }
};

} // namespace

TEST(EventHandlerCollection, AHandlerAddedTwiceIsCalledOnceInOrderOfAdding) {
  std::vector<std::pair<int, intptr_t>> calls;
  TRecorder a{&calls, 1}, b{&calls, 2};
  const TkxEventHandler ha = TkxEventHandler::Of<TRecorder, &TRecorder::Handle>(&a);
  const TkxEventHandler hb = TkxEventHandler::Of<TRecorder, &TRecorder::Handle>(&b);
  TkxEventHandlerCollection events;
  events.Add(ha);
  events.Add(hb);
  events.Add(ha);
  EXPECT_EQ(events.Count(), 2);
  const intptr_t args = 77;
  events.CallEvents(nullptr, &args);
  events.CallEvents(nullptr);
  EXPECT_EQ(calls, (std::vector<std::pair<int, intptr_t>>{{1, 77}, {2, 77}, {1, 0}, {2, 0}}));
  events.Delete(5);
  events.Delete(-1);
  EXPECT_EQ(events.Count(), 2);
  events.Remove(ha);
  events.Remove(ha);
  EXPECT_EQ(events.Count(), 1);
  calls.clear();
  events.CallEvents(nullptr);
  EXPECT_EQ(calls, (std::vector<std::pair<int, intptr_t>>{{2, 0}}));
}

// ---- Class registries
// ------------------------------------------------------------------------------

namespace {

const TkxClassInfo kBase{L"TBase", nullptr, nullptr};
const TkxClassInfo kMiddle{L"TMiddle", &kBase, nullptr};
const TkxClassInfo kLeaf{L"TLeaf", &kMiddle, nullptr};
const TkxClassInfo kOther{L"TOther", nullptr, nullptr};
const TkxClassInfo kPainterA{L"TPainterA", nullptr, nullptr};
const TkxClassInfo kPainterB{L"TPainterB", nullptr, nullptr};
const TkxClassInfo kPainterC{L"TPainterC", nullptr, nullptr};

} // namespace

TEST(RegisteredClassList, FindClassAnswersTheNearestAncestorsLatestRegistration) {
  TkxRegisteredClassList list;
  list.Register(&kMiddle, &kPainterB);
  list.Register(&kBase, &kPainterA); // goes before its descendant's entry
  EXPECT_EQ(list.ItemClass(0), &kBase);
  struct TCase {
    TkxClass Asked, Expected;
  };
  for (const TCase& c : {TCase{&kLeaf, &kPainterB}, TCase{&kMiddle, &kPainterB},
                         TCase{&kBase, &kPainterA}, TCase{&kOther, nullptr}})
    EXPECT_EQ(list.FindClass(c.Asked), c.Expected) << Narrow(c.Asked->Name);
  list.Register(&kMiddle, &kPainterC);
  EXPECT_EQ(list.FindClass(&kLeaf), &kPainterC) << "the newer registration wins";
  list.Unregister(&kMiddle, &kPainterC);
  EXPECT_EQ(list.FindClass(&kLeaf), &kPainterB);
  int index = 0;
  EXPECT_FALSE(list.Find(&kOther, index));
  list.Unregister(&kMiddle, &kPainterB);
  list.Unregister(&kBase, &kPainterA);
  EXPECT_EQ(list.Count(), 0);
}

TEST(RegisteredClasses, DescriptionsHintsSortingAndLookups) {
  TkxRegisteredClasses classes;
  classes.Register(&kPainterB, L"beta|The second");
  classes.Register(&kPainterA, L"Alpha");
  classes.Register(&kPainterB, L"again"); // already listed
  EXPECT_EQ(classes.Count(), 2);
  EXPECT_EQ(classes.GetHintByClass(&kPainterA), L"Alpha") << "no bar: the whole text";
  EXPECT_EQ(classes.GetHintByClass(&kPainterB), L"The second");
  EXPECT_EQ(classes.GetDescriptionByClass(&kPainterB), L"beta");
  EXPECT_EQ(classes.GetDescriptionByClass(&kOther), L"");
  classes.SetSorted(true);
  EXPECT_EQ(classes.GetRegisteredClass(0), &kPainterA) << "sorted ignoring case";
  classes.Register(&kPainterC, L"ALPHA 2");
  EXPECT_EQ(classes.GetRegisteredClass(1), &kPainterC);
  EXPECT_EQ(classes.FindByClassName(L"TPainterB"), &kPainterB);
  EXPECT_EQ(classes.FindByClassName(L"tpainterb"), nullptr);
  EXPECT_EQ(classes.FindByDescription(L"beta"), &kPainterB);
  EXPECT_EQ(classes.FindByDescription(L""), nullptr);
  classes.Unregister(&kPainterA);
  EXPECT_EQ(classes.GetIndexByClass(&kPainterA), -1);
}

TEST(RegisteredClasses, RegisteringClassesAlsoMakesThemByName) {
  static const TkxClassInfo kMade{
      L"TkxTestMadeRect", nullptr,
      [](TComponent* AOwner) -> TPersistent* { return new TkxRect(AOwner); }};
  {
    TkxRegisteredClasses classes(true);
    classes.Register(&kMade, L"A rectangle");
    std::unique_ptr<TPersistent> made(TClassRegistry::CreateObject(L"TkxTestMadeRect"));
    EXPECT_NE(dynamic_cast<TkxRect*>(made.get()), nullptr);
    classes.Unregister(&kMade);
  }
  EXPECT_TRUE(TClassRegistry::IsRegistered(L"TkxTestMadeRect"))
      << "the streaming registration stays";
  TClassRegistry::Unregister(L"TkxTestMadeRect");
}

// ---- Small routines
// ------------------------------------------------------------------------------

TEST(SmallRoutines, MidpointsRoundDownAndSignsAndCharacterLengths) {
  const std::tuple<int, int, int> midpoints[] = {
      {1, 2, 1}, {-1, -2, -2}, {0, 0, 0}, {-3, 0, -2}, {2147483647, 2147483647, 2147483647}};
  for (const auto& [a, b, mid] : midpoints)
    EXPECT_EQ(RangeMidpoint(a, b), mid) << a << " " << b;
  EXPECT_EQ(DirectionSign(0), 1);
  EXPECT_EQ(DirectionSign(-5), -1);
  const std::wstring text = L"ab";
  EXPECT_EQ(GetCharByteLength(text, 1), 2);
  EXPECT_EQ(GetCharByteLength(text, 2), 2);
  EXPECT_EQ(GetCharByteLength(text, 3), 0) << "past the text";
  EXPECT_EQ(GetCharByteLength(text, 0), 0);
  const SIZE size = MakeSize(3, 4);
  EXPECT_EQ(size.cx * size.cy, 12);
  TkxRect owned(nullptr);
  EXPECT_EQ(GetPersistentOwner(&owned), nullptr);
}

// ---- The library's load and unload
// ---------------------------------------------------------------

TEST(LookAndFeelCoreUnload, TimersLinksAndRegistrationsLeaveTheLedgerAsItWas) {
  const size_t handles = TResourceLedger::Total();
  const size_t registrations = TResourceLedger::Registrations();
  {
    TUnitStepRunner runner(kLookAndFeelUnits, unsigned(std::size(kLookAndFeelUnits)));
    runner.Startup();
    EXPECT_TRUE(TClassRegistry::IsRegistered(L"TkxRect"));
    std::unique_ptr<TkxTimer> timer(CreateTimer(50000, true, [](TPersistent*) {}));
    EXPECT_TRUE(timer->TimerOn());
    TkxObjectLink* link = CreateObjectLink(timer.get());
    ClearObjectLinks(timer.get());
    ReleaseObjectLink(link);
    runner.Shutdown();
    EXPECT_EQ(kxTimerWindow(), nullptr);
    EXPECT_EQ(kxRunningTimerCount(), 0u);
    EXPECT_FALSE(TClassRegistry::IsRegistered(L"TkxRect"));
  }
  FinalizeGraphics();
  EXPECT_EQ(TResourceLedger::Total(), handles);
  EXPECT_EQ(TResourceLedger::Registrations(), registrations);
  kxClassesStartup(); // the unit as a later test would find it
}
