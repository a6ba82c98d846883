// The flash utility's data objects: the data chunk image as a flash writer
// reaches it, by DISPID through IDispatch::Invoke, and the unit converters
// of the utility's size and clock lists.

#include "data-chunk-image.h"
#include "flash-unit-converters.h"
#include "host-records.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// ---- building the calls ---------------------------------------------------------

// One argument as the host passes it.
struct TArg {
  enum TKind { I4, I8, UI4, Text, Real, ByRefI4, IntArray, Empty } Kind;
  int64_t Number = 0;
  const wchar_t* Chars = L"";
};
TArg I4(int32_t AValue) {
  return {TArg::I4, AValue};
}
TArg I8(int64_t AValue) {
  return {TArg::I8, AValue};
}
TArg UI4(uint32_t AValue) {
  return {TArg::UI4, AValue};
}
TArg Text(const wchar_t* AText) {
  return {TArg::Text, 0, AText};
}
TArg Real(int64_t AValue) {
  return {TArg::Real, AValue};
}
TArg ByRefI4(int32_t AValue) {
  return {TArg::ByRefI4, AValue};
}
TArg IntArray() {
  return {TArg::IntArray};
}
TArg Nothing() {
  return {TArg::Empty};
}

// Invokes ADispId with the arguments in call order (rgvarg holds them
// reversed) and keeps the answer.
struct TCall {
  HRESULT Result = E_FAIL;
  VARIANT Value;
  UINT ArgErr = UINT(-1);

  TCall(IDispatch* AObject, DISPID ADispId, const std::vector<TArg>& AArgs,
        WORD AFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
    VariantInit(&Value);
    std::vector<VARIANT> args(AArgs.size());
    std::vector<LONG> refs(AArgs.size());
    for (std::size_t i = 0; i < AArgs.size(); ++i) {
      VARIANT& v = args[AArgs.size() - 1 - i];
      VariantInit(&v);
      const TArg& a = AArgs[i];
      switch (a.Kind) {
      case TArg::I4:
        V_VT(&v) = VT_I4;
        V_I4(&v) = int32_t(a.Number);
        break;
      case TArg::I8:
        V_VT(&v) = VT_I8;
        V_I8(&v) = a.Number;
        break;
      case TArg::UI4:
        V_VT(&v) = VT_UI4;
        V_UI4(&v) = uint32_t(a.Number);
        break;
      case TArg::Text:
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(a.Chars);
        break;
      case TArg::Real:
        V_VT(&v) = VT_R8;
        V_R8(&v) = double(a.Number);
        break;
      case TArg::ByRefI4:
        refs[i] = LONG(a.Number);
        V_VT(&v) = VT_BYREF | VT_I4;
        V_I4REF(&v) = &refs[i];
        break;
      case TArg::IntArray: {
        SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
        V_VT(&v) = VT_ARRAY | VT_I4;
        V_ARRAY(&v) = array;
        break;
      }
      case TArg::Empty:
        break;
      }
    }
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, UINT(args.size()), 0};
    Result = AObject->Invoke(ADispId, IID_NULL, 0, AFlags, &params, &Value, nullptr, &ArgErr);
    for (VARIANT& v : args)
      VariantClear(&v);
  }
  ~TCall() { VariantClear(&Value); }
};

class TImage {
public:
  explicit TImage(TDataChunkImageInterface* AObject) : FObject(AObject) { FObject->AddRef(); }
  ~TImage() { FObject->Release(); }
  IDispatch* Dispatch() const { return FObject; }
  TDataChunkImageInterface* operator->() const { return FObject; }

private:
  TDataChunkImageInterface* FObject;
};

constexpr DISPID kGetTargetAddr = 508709, kSetTargetAddr = 508710, kGetDataLen = 508711,
                 kSetDataLen = 508712, kGetItem = 508713, kSetItem = 508714;

// ---- the data chunk image -------------------------------------------------------

// One step of a script run on one object: the call, what it answers, and
// (for getters) the 32-bit integer it gives back.
struct TStep {
  const char* What;
  DISPID DispId;
  std::vector<TArg> Args;
  HRESULT Expected;
  std::optional<int32_t> Value = std::nullopt;
  UINT ArgErr = UINT(-1);
};

void RunScript(IDispatch* AObject, const std::vector<TStep>& AScript) {
  for (const TStep& step : AScript) {
    SCOPED_TRACE(step.What);
    TCall call(AObject, step.DispId, step.Args);
    EXPECT_EQ(call.Result, step.Expected);
    if (step.Value) {
      EXPECT_EQ(V_VT(&call.Value), VT_I4);
      EXPECT_EQ(V_I4(&call.Value), *step.Value);
    } else {
      EXPECT_EQ(V_VT(&call.Value), VT_EMPTY);
    }
    if (step.ArgErr != UINT(-1)) {
      EXPECT_EQ(call.ArgErr, step.ArgErr);
    }
  }
}

TEST(DataChunkImage, CallsByDispidReadAndChangeTheImage) {
  TImage image(new TDataChunkImageInterface());
  RunScript(image.Dispatch(),
            {
                {"a new image is empty", kGetDataLen, {}, S_OK, 0},
                {"no address yet", kGetTargetAddr, {}, S_OK, 0},
                {"an empty array reads 0", kGetItem, {I4(0)}, S_OK, 0},
                {"at any index", kGetItem, {I4(1000)}, S_OK, 0},
                {"set the address", kSetTargetAddr, {I4(0x20000000)}, S_OK},
                {"read it back", kGetTargetAddr, {}, S_OK, 0x20000000},
                {"an address above 2^31 as VT_I8", kSetTargetAddr, {I8(0xFFFFF000)}, S_OK},
                {"comes back as the same 32 bits", kGetTargetAddr, {}, S_OK, int32_t(0xFFFFF000)},
                {"an address as VT_UI4", kSetTargetAddr, {UI4(0x80000000)}, S_OK},
                {"read", kGetTargetAddr, {}, S_OK, int32_t(0x80000000)},
                {"an address as text", kSetTargetAddr, {Text(L"4096")}, S_OK},
                {"read", kGetTargetAddr, {}, S_OK, 4096},
                {"set item 2 of nothing", kSetItem, {I4(2), I4(7)}, S_OK},
                {"grows the length to 3", kGetDataLen, {}, S_OK, 3},
                {"item 2", kGetItem, {I4(2)}, S_OK, 7},
                {"item 0 is new and 0", kGetItem, {I4(0)}, S_OK, 0},
                {"set item 5 of 3", kSetItem, {I4(5), UI4(0xDEADBEEF)}, S_OK},
                {"grows the length to 6", kGetDataLen, {}, S_OK, 6},
                {"item 3", kGetItem, {I4(3)}, S_OK, 0},
                {"item 4", kGetItem, {I4(4)}, S_OK, 0},
                {"item 5 as the same 32 bits", kGetItem, {I4(5)}, S_OK, int32_t(0xDEADBEEF)},
                {"an index by reference", kGetItem, {ByRefI4(2)}, S_OK, 7},
                {"an index as a real", kGetItem, {Real(2)}, S_OK, 7},
                {"a negative index counts as too large", kGetItem, {I4(-1)}, S_OK, 0},
                {"set an item inside", kSetItem, {I4(1), I4(-2)}, S_OK},
                {"keeps the length", kGetDataLen, {}, S_OK, 6},
                {"read", kGetItem, {I4(1)}, S_OK, -2},
                {"an empty index is index 0", kSetItem, {Nothing(), I4(9)}, S_OK},
                {"item 0", kGetItem, {I4(0)}, S_OK, 9},
                {"shorten to 2", kSetDataLen, {I4(2)}, S_OK},
                {"the length", kGetDataLen, {}, S_OK, 2},
                {"the cut item reads 0", kGetItem, {I4(5)}, S_OK, 0},
                {"lengthen to 4", kSetDataLen, {I4(4)}, S_OK},
                {"new units are 0", kGetItem, {I4(3)}, S_OK, 0},
                {"old ones stay", kGetItem, {I4(1)}, S_OK, -2},
                {"empty it", kSetDataLen, {I4(0)}, S_OK},
                {"the length is 0", kGetDataLen, {}, S_OK, 0},
                {"an item reads 0", kGetItem, {I4(1)}, S_OK, 0},
            });
}

TEST(DataChunkImage, BadCallsAnswerTheirErrorAndChangeNothing) {
  TImage image(new TDataChunkImageInterface(
      0x100, std::make_shared<TDynamicLongWordArray>(TDynamicLongWordArray{1, 2, 3}), 3));
  const uint32_t tooMany = kMaxDataChunkUnits + 1;
  RunScript(
      image.Dispatch(),
      {
          {"an item without an index", kGetItem, {}, DISP_E_BADPARAMCOUNT},
          {"a set without a value", kSetItem, {I4(1)}, DISP_E_BADPARAMCOUNT},
          {"a length without a value", kSetDataLen, {}, DISP_E_BADPARAMCOUNT},
          {"an address without a value", kSetTargetAddr, {}, DISP_E_BADPARAMCOUNT},
          {"a length that is no number",
           kSetDataLen,
           {Text(L"abc")},
           DISP_E_TYPEMISMATCH,
           std::nullopt,
           0},
          {"an array for an index", kGetItem, {IntArray()}, DISP_E_TYPEMISMATCH, std::nullopt, 0},
          {"an array for a value",
           kSetItem,
           {I4(1), IntArray()},
           DISP_E_TYPEMISMATCH,
           std::nullopt,
           0},
          {"an array for the index of a set",
           kSetItem,
           {IntArray(), I4(1)},
           DISP_E_TYPEMISMATCH,
           std::nullopt,
           1},
          {"a length of -1 is 2^32 - 1 units: too many", kSetDataLen, {I4(-1)}, E_UNEXPECTED},
          {"one unit more than an image may hold", kSetDataLen, {UI4(tooMany)}, E_UNEXPECTED},
          {"index 2^32 - 1 would wrap to an empty array", kSetItem, {I4(-1), I4(5)}, E_UNEXPECTED},
          {"an index past the limit", kSetItem, {UI4(tooMany - 1), I4(5)}, E_UNEXPECTED},
          {"no such DISPID", 508715, {}, E_NOTIMPL},
          {"the length is unchanged", kGetDataLen, {}, S_OK, 3},
          {"the items too", kGetItem, {I4(2)}, S_OK, 3},
          {"the address too", kGetTargetAddr, {}, S_OK, 0x100},
      });
  EXPECT_EQ(image->DataArray()->size(), 3u);
}

TEST(DataChunkImage, ARecordsLengthWinsOverItsArraysLength) {
  TDataChunkImage record;
  record.TargetAddr = 0x8000;
  record.DataArray = {10, 20, 30, 40, 50};
  record.DataLen = 3;
  TImage image(new TDataChunkImageInterface(record));
  RunScript(image.Dispatch(),
            {
                {"the record's length", kGetDataLen, {}, S_OK, 3},
                {"the address", kGetTargetAddr, {}, S_OK, 0x8000},
                {"units past the length are still there", kGetItem, {I4(4)}, S_OK, 50},
            });
}

TEST(DataChunkImage, AnArrayHandedInIsSharedNotCopied) {
  auto units = std::make_shared<TDynamicLongWordArray>(TDynamicLongWordArray{1, 2});
  TImage image(new TDataChunkImageInterface(0, units, 2));
  TCall set(image.Dispatch(), kSetItem, {I4(0), I4(99)});
  ASSERT_EQ(set.Result, S_OK);
  EXPECT_EQ((*units)[0], 99u);
}

TEST(DataChunkImage, AFlashWriterReadsTheImageBackThroughItsRecord) {
  TDataChunkImage record;
  record.TargetAddr = 0x1000;
  record.DataArray = {0xAA, 0xBB, 0xCC};
  record.DataLen = 3;
  TImage image(new TDataChunkImageInterface(record));
  const IDataChunkImageInterface face = IDataChunkImageInterface::FromDispatch(image.Dispatch());
  EXPECT_EQ(face.GetTargetAddr(), 0x1000);
  ASSERT_EQ(face.GetDataLen(), 3);
  std::vector<int32_t> read;
  for (int32_t i = 0; i < 3; ++i)
    read.push_back(face.GetDataArrayItem(i));
  EXPECT_EQ(read, (std::vector<int32_t>{0xAA, 0xBB, 0xCC}));
}

TEST(DataChunkImage, ItOffersItsServiceIgnoringCase) {
  TImage image(new TDataChunkImageInterface());
  struct TCase {
    const wchar_t* Name;
    bool Offered;
  };
  for (const TCase& k :
       {TCase{L"DataChunkImageInterface", true}, TCase{L"datachunkimageINTERFACE", true},
        TCase{L"FlashWriter", false}, TCase{L"", false}}) {
    TCall call(image.Dispatch(), 1023, {Text(k.Name)});
    ASSERT_EQ(call.Result, S_OK);
    ASSERT_EQ(V_VT(&call.Value), VT_BOOL);
    EXPECT_EQ(V_BOOL(&call.Value), k.Offered ? VARIANT_TRUE : VARIANT_FALSE)
        << std::string(k.Name, k.Name + wcslen(k.Name));
  }
}

// ---- the unit converters --------------------------------------------------------

TEST(FlashUnitConverters, TheListsHoldTheirUnitsInOrder) {
  std::vector<std::wstring> sizes, clocks;
  for (const TUnitListItem& item : FlashSizeUnits())
    sizes.push_back(item.Text);
  for (const TUnitListItem& item : ClockFrequencyUnits())
    clocks.push_back(item.Text);
  EXPECT_EQ(sizes,
            (std::vector<std::wstring>{L"Byte", L"KByte", L"MByte", L"Bit", L"KBit", L"MBit"}));
  EXPECT_EQ(clocks, (std::vector<std::wstring>{L"Hz", L"KHz", L"MHz"}));
  EXPECT_EQ(MakeUnitConvertor(L"GHz"), nullptr);
  EXPECT_EQ(MakeUnitConvertor(L"mhz"), nullptr);
  EXPECT_EQ(MakeUnitConvertor(L""), nullptr);
}

TEST(FlashUnitConverters, EachUnitGivesBytesOrHertz) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  struct TCase {
    const wchar_t* Unit;
    int64_t Value;
    int64_t Expected;
  };
  const TCase cases[] = {
      {L"MHz", 50, 50000000},
      {L"KHz", 2500, 2500000},
      {L"Hz", 16, 16},
      {L"Byte", 4096, 4096},
      {L"KByte", 64, 65536},
      {L"MByte", 1, 0x100000},
      {L"MByte", 256, 0x10000000},
      {L"Bit", 8, 1},
      {L"Bit", 12, 2}, // a part byte counts as a whole one
      {L"Bit", 1, 1},
      {L"KBit", 8, 1024},
      {L"MBit", 2, 0x40000},
      {L"MBit", 64, 0x800000},
      {L"Hz", kMax, kMax},
      {L"Bit", kMax, kMax / 8 + 1},
      {L"MHz", kMax / 1000000, kMax / 1000000 * 1000000},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(std::string(k.Unit, k.Unit + wcslen(k.Unit)) + " " + std::to_string(k.Value));
    const auto convertor = MakeUnitConvertor(k.Unit);
    ASSERT_NE(convertor, nullptr);
    EXPECT_EQ(convertor->Convert(k.Value), k.Expected);
  }
}

TEST(FlashUnitConverters, ZeroAndNegativeInputsGiveZeroInEveryUnit) {
  for (const auto units : {FlashSizeUnits(), ClockFrequencyUnits()})
    for (const TUnitListItem& item : units)
      for (const int64_t value : {int64_t(0), int64_t(-1), std::numeric_limits<int64_t>::min()})
        EXPECT_EQ(item.Make()->Convert(value), 0)
            << std::string(item.Text, item.Text + wcslen(item.Text)) << " " << value;
}

TEST(FlashUnitConverters, AResultBeyond64BitsIsRefusedNotWrapped) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  struct TCase {
    const wchar_t* Unit;
    int64_t Value;
  };
  const TCase cases[] = {
      {L"KHz", kMax / 1000 + 1},       {L"MHz", kMax / 1000000 + 1}, {L"KByte", kMax / 1024 + 1},
      {L"MByte", kMax / 0x100000 + 1}, {L"KBit", kMax / 128 + 1},    {L"MBit", kMax / 0x20000 + 1},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(std::string(k.Unit, k.Unit + wcslen(k.Unit)) + " " + std::to_string(k.Value));
    EXPECT_THROW(MakeUnitConvertor(k.Unit)->Convert(k.Value), EConvertError);
    EXPECT_NO_THROW(MakeUnitConvertor(k.Unit)->Convert(k.Value - 1));
  }
  EXPECT_THROW(MakeUnitConvertor(L"MHz")->Convert(kMax), EConvertError);
}

TEST(FlashUnitConverters, TypedTextIsParsedThenConverted) {
  struct TCase {
    const wchar_t* Text;
    const wchar_t* Unit;
    bool Ok;
    int64_t Expected;
  };
  const TCase cases[] = {
      {L"50", L"MHz", true, 50000000},
      {L"0x10", L"KByte", true, 16384},
      {L"4k", L"Byte", true, 4096},
      {L"1_000", L"KHz", true, 1000000},
      {L"2m", L"Bit", true, 0x40000},
      {L"", L"Hz", true, 0},
      {L"-5", L"KHz", true, 0},
      {L"abc", L"Hz", false, 0},
      {L"12.5", L"MHz", false, 0},
      {L"0xG1", L"Byte", false, 0},
      {L"99999999999999999999", L"Hz", false, 0},
      {L"9223372036854775807", L"KHz", false, 0},
      {L"9223372036854775807", L"Hz", true, std::numeric_limits<int64_t>::max()},
      {L"9007199254740992k", L"MByte", false, 0},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(std::string(k.Text, k.Text + wcslen(k.Text)));
    int64_t value = -1;
    EXPECT_EQ(TryConvertUnitText(k.Text, *MakeUnitConvertor(k.Unit), value), k.Ok);
    EXPECT_EQ(value, k.Expected);
  }
}

} // namespace
