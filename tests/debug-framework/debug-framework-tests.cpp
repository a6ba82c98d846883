#include "actions.h"
#include "dispatch-objects.h"
#include "host-utilities.h"
#include "io-standard-table.h"
#include "pin-bases.h"
#include "rack-form.h"
#include "text-utils.h"

#include <gtest/gtest.h>

#include <oleauto.h>

#include <map>
#include <string>
#include <vector>

namespace {

// Host-side call of one DISPID without arguments.
HRESULT InvokeNoArgs(IDispatch* AObject, DISPID ADispId, VARIANT* AResult) {
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  return AObject->Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD, &params, AResult, nullptr, nullptr);
}

HRESULT InvokeOneInt(IDispatch* AObject, DISPID ADispId, int32_t AArg, VARIANT* AResult) {
  VARIANT arg;
  VariantInit(&arg);
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = AArg;
  DISPPARAMS params{&arg, nullptr, 1, 0};
  return AObject->Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD, &params, AResult, nullptr, nullptr);
}

std::wstring TextOf(VARIANT& AValue) {
  EXPECT_EQ(V_VT(&AValue), VT_BSTR);
  return V_VT(&AValue) == VT_BSTR ? std::wstring(V_BSTR(&AValue), SysStringLen(V_BSTR(&AValue)))
                                  : std::wstring();
}

// ---- reference counting ---------------------------------------------------

int GDestroyed = 0;

class TCountedProbe : public TReferencedObject {
public:
  // Takes and drops a reference to itself, as a constructor that registers
  // the new object somewhere may.
  TCountedProbe() {
    AddRef();
    Release();
  }
  ~TCountedProbe() override { ++GDestroyed; }
};

class TDispatchProbe : public TDispatchObject {
public:
  ~TDispatchProbe() override { ++GDestroyed; }
};

class TNoRefProbe : public TDispatchObjectNoRef {
public:
  ~TNoRefProbe() override { ++GDestroyed; }
};

class ReferenceCounting : public ::testing::Test {
protected:
  void SetUp() override { GDestroyed = 0; }
};

TEST_F(ReferenceCounting, ObjectSurvivesSelfReferenceInConstructorAndStartsAtZero) {
  TCountedProbe* probe = TReferencedObject::Create<TCountedProbe>();
  EXPECT_EQ(GDestroyed, 0);
  EXPECT_EQ(probe->RefCount(), 0);
  EXPECT_EQ(probe->AddRef(), 1u);
  EXPECT_EQ(probe->Release(), 0u);
  EXPECT_EQ(GDestroyed, 1);
}

TEST_F(ReferenceCounting, LastReleaseDestroysOnlyAtZero) {
  TCountedProbe* probe = TReferencedObject::Create<TCountedProbe>();
  probe->AddRef();
  probe->AddRef();
  EXPECT_EQ(probe->Release(), 1u);
  EXPECT_EQ(GDestroyed, 0);
  EXPECT_EQ(probe->Release(), 0u);
  EXPECT_EQ(GDestroyed, 1);
}

TEST_F(ReferenceCounting, FreeWhileReferencedRaisesInvalidPointerAndKeepsObject) {
  TCountedProbe* probe = TReferencedObject::Create<TCountedProbe>();
  probe->AddRef();
  try {
    probe->Free();
    FAIL() << "Free succeeded with a reference held";
  } catch (const EInvalidPointer& e) {
    EXPECT_EQ(e.Message(), L"Invalid Pointer");
  }
  EXPECT_EQ(GDestroyed, 0);
  EXPECT_EQ(probe->Release(), 0u);
  EXPECT_EQ(GDestroyed, 1);
}

TEST_F(ReferenceCounting, FreeWithoutReferencesDestroys) {
  TCountedProbe* probe = TReferencedObject::Create<TCountedProbe>();
  probe->Free();
  EXPECT_EQ(GDestroyed, 1);
}

TEST_F(ReferenceCounting, QueryInterfaceHandsOutDeclaredInterfacesWithOneIdentity) {
  TDispatchProbe* probe = TReferencedObject::Create<TDispatchProbe>();
  IUnknown* unknown = nullptr;
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(static_cast<IDispatch*>(probe)->QueryInterface(IID_IUnknown,
                                                           reinterpret_cast<void**>(&unknown)),
            S_OK);
  ASSERT_EQ(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  IUnknown* again = nullptr;
  ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
  EXPECT_EQ(again, unknown);
  EXPECT_EQ(probe->RefCount(), 3);

  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);

  again->Release();
  dispatch->Release();
  EXPECT_EQ(GDestroyed, 0);
  unknown->Release();
  EXPECT_EQ(GDestroyed, 1);
}

TEST_F(ReferenceCounting, PlainReferencedObjectIsNotADispatch) {
  TCountedProbe* probe = TReferencedObject::Create<TCountedProbe>();
  void* dispatch = nullptr;
  EXPECT_EQ(probe->QueryInterface(IID_IDispatch, &dispatch), E_NOINTERFACE);
  probe->Free();
}

TEST_F(ReferenceCounting, UncountedObjectAnswersZeroAndIsNeverDestroyedByRelease) {
  TNoRefProbe* probe = TReferencedObject::Create<TNoRefProbe>();
  IDispatch* dispatch = probe;
  EXPECT_EQ(dispatch->AddRef(), 0u);
  EXPECT_EQ(dispatch->AddRef(), 0u);
  EXPECT_EQ(dispatch->Release(), 0u);
  EXPECT_EQ(dispatch->Release(), 0u);
  EXPECT_EQ(dispatch->Release(), 0u);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(dispatch->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  unknown->Release();
  EXPECT_EQ(GDestroyed, 0);
  probe->Free();
  EXPECT_EQ(GDestroyed, 1);
}

TEST_F(ReferenceCounting, DispatchObjectServesNothingAndLeavesResultUntouched) {
  TDispatchProbe* probe = TReferencedObject::Create<TDispatchProbe>();
  probe->AddRef();
  for (DISPID id : {DISPID(0), DISPID(1), DISPID(1023), DISPID(503519), DISPID(-1)}) {
    VARIANT result;
    VariantInit(&result);
    V_VT(&result) = VT_I4;
    V_I4(&result) = 0x5A5A;
    EXPECT_EQ(InvokeNoArgs(probe, id, &result), E_NOTIMPL) << id;
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 0x5A5A);
  }
  UINT count = 77;
  EXPECT_EQ(probe->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(count, 77u);
  DISPID dispId = 55;
  LPOLESTR name = const_cast<LPOLESTR>(L"Anything");
  EXPECT_EQ(probe->GetIDsOfNames(IID_NULL, &name, 1, 0, &dispId), E_NOTIMPL);
  EXPECT_EQ(dispId, 55);
  probe->Release();
}

// ---- device pins ------------------------------------------------------------

constexpr DISPID DispIdUniqueDifferentialID = 503547;
constexpr DISPID DispIdIsPosPinOfDiffPair = 503548;
constexpr DISPID DispIdIsNegPinOfDiffPair = 503549;

// A pin whose answers are set by name; it logs every question it is asked.
class TFakePin : public TTarvoAbstractDevicePin {
public:
  std::map<std::wstring, bool> Flags;
  std::wstring Bank = L"B1", DiffId, ClkDiffId;
  std::wstring Failing; // the question that answers E_FAIL
  std::vector<std::wstring> Asked;

  HRESULT GetIOBank(std::wstring* AResult) override { return Text(L"IOBank", Bank, AResult); }
  HRESULT GetDifferentialId(std::wstring* AResult) override {
    return Text(L"DifferentialId", DiffId, AResult);
  }
  HRESULT GetClkDifferentialId(std::wstring* AResult) override {
    return Text(L"ClkDifferentialId", ClkDiffId, AResult);
  }
  HRESULT GetIsDiffP_Pin(TBoolean* AResult) override { return Flag(L"DiffP", AResult); }
  HRESULT GetIsHDiffP_Pin(TBoolean* AResult) override { return Flag(L"HDiffP", AResult); }
  HRESULT GetIsDCIP_Pin(TBoolean* AResult) override { return Flag(L"DCIP", AResult); }
  HRESULT GetIsClkDiffP_Pin(TBoolean* AResult) override { return Flag(L"ClkDiffP", AResult); }
  HRESULT GetIsDiffN_Pin(TBoolean* AResult) override { return Flag(L"DiffN", AResult); }
  HRESULT GetIsHDiffN_Pin(TBoolean* AResult) override { return Flag(L"HDiffN", AResult); }
  HRESULT GetIsDCIN_Pin(TBoolean* AResult) override { return Flag(L"DCIN", AResult); }
  HRESULT GetIsClkDiffN_Pin(TBoolean* AResult) override { return Flag(L"ClkDiffN", AResult); }

private:
  HRESULT Text(const wchar_t* AName, const std::wstring& AValue, std::wstring* AResult) {
    Asked.push_back(AName);
    if (Failing == AName)
      return E_FAIL;
    *AResult = AValue;
    return S_OK;
  }
  HRESULT Flag(const wchar_t* AName, TBoolean* AResult) {
    Asked.push_back(AName);
    if (Failing == AName)
      return E_FAIL;
    *AResult = Flags[AName];
    return S_OK;
  }
};

bool AskFlag(TFakePin& APin, DISPID ADispId) {
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(InvokeNoArgs(&APin, ADispId, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_BOOL);
  return V_BOOL(&result) != VARIANT_FALSE;
}

struct TPairCase {
  const wchar_t* Set; // the one question answering True, or nullptr
  bool Positive;
  bool Negative;
};

class DevicePinPairs : public ::testing::TestWithParam<TPairCase> {};

TEST_P(DevicePinPairs, PairSideFollowsAnyOfTheFourQuestions) {
  TFakePin pin;
  if (GetParam().Set)
    pin.Flags[GetParam().Set] = true;
  EXPECT_EQ(AskFlag(pin, DispIdIsPosPinOfDiffPair), GetParam().Positive);
  EXPECT_EQ(AskFlag(pin, DispIdIsNegPinOfDiffPair), GetParam().Negative);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DevicePinPairs,
    ::testing::Values(TPairCase{nullptr, false, false}, TPairCase{L"DiffP", true, false},
                      TPairCase{L"HDiffP", true, false}, TPairCase{L"DCIP", true, false},
                      TPairCase{L"ClkDiffP", true, false}, TPairCase{L"DiffN", false, true},
                      TPairCase{L"HDiffN", false, true}, TPairCase{L"DCIN", false, true},
                      TPairCase{L"ClkDiffN", false, true}));

TEST(DevicePin, PositiveAnswerStopsAtFirstTrueQuestion) {
  TFakePin pin;
  pin.Flags[L"DiffP"] = true;
  pin.Flags[L"ClkDiffP"] = true;
  EXPECT_TRUE(AskFlag(pin, DispIdIsPosPinOfDiffPair));
  EXPECT_EQ(pin.Asked, std::vector<std::wstring>{L"DiffP"});
}

TEST(DevicePin, NegativeQuestionsAreAskedInOrder) {
  TFakePin pin;
  EXPECT_FALSE(AskFlag(pin, DispIdIsNegPinOfDiffPair));
  EXPECT_EQ(pin.Asked, (std::vector<std::wstring>{L"DiffN", L"HDiffN", L"DCIN", L"ClkDiffN"}));
}

TEST(DevicePin, UniqueDifferentialIdJoinsBankAndBothIds) {
  TFakePin pin;
  pin.Bank = L"3";
  pin.DiffId = L"L12";
  pin.ClkDiffId = L"GCLK4";
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(InvokeNoArgs(&pin, DispIdUniqueDifferentialID, &result), S_OK);
  EXPECT_EQ(TextOf(result), L"3|L12|GCLK4");
  VariantClear(&result);

  pin.DiffId.clear();
  pin.ClkDiffId.clear();
  ASSERT_EQ(InvokeNoArgs(&pin, DispIdUniqueDifferentialID, &result), S_OK);
  EXPECT_EQ(TextOf(result), L"3||");
  VariantClear(&result);
}

TEST(DevicePin, FailingInnerAnswerEndsWithUnexpected) {
  for (const wchar_t* failing : {L"IOBank", L"DifferentialId", L"ClkDifferentialId"}) {
    TFakePin pin;
    pin.Failing = failing;
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(InvokeNoArgs(&pin, DispIdUniqueDifferentialID, &result), E_UNEXPECTED) << failing;
    EXPECT_EQ(V_VT(&result), VT_EMPTY);
  }
  TFakePin pin;
  pin.Failing = L"HDiffP";
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(InvokeNoArgs(&pin, DispIdIsPosPinOfDiffPair, &result), E_UNEXPECTED);
}

TEST(DevicePin, UnimplementedQuestionOfDescendantIsAFailure) {
  struct TBarePin : TTarvoAbstractDevicePin {};
  TBarePin pin;
  TBoolean answer;
  EXPECT_EQ(pin.GetIsPosPinOfDiffPair(&answer), E_UNEXPECTED);
  EXPECT_EQ(pin.GetIsPosPinOfDiffPair(nullptr), E_POINTER);
}

TEST(DevicePin, InterfaceReferencesNeverFreeThePin) {
  TFakePin* pin = new TFakePin;
  EXPECT_EQ(pin->AddRef(), ULONG(-1));
  EXPECT_EQ(pin->Release(), ULONG(-1));
  EXPECT_EQ(pin->Release(), ULONG(-1));
  IUnknown* unknown = nullptr;
  ASSERT_EQ(pin->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  unknown->Release();
  // Still alive: its answers still come.
  EXPECT_FALSE(AskFlag(*pin, DispIdIsPosPinOfDiffPair));
  delete pin;
}

// ---- I/O standards ----------------------------------------------------------

constexpr DISPID DispIdDisplayName = 503519;
constexpr DISPID DispIdParamName = 503520;
constexpr DISPID DispIdSlewCount = 503521;
constexpr DISPID DispIdSlewValue = 503522;
constexpr DISPID DispIdDriveCount = 503523;
constexpr DISPID DispIdDriveStrength = 503524;

class TFakeIOStandard : public TTarvoAbstractDeviceIOStandard {
public:
  explicit TFakeIOStandard(uint8_t AId) : FId(AId) {}
  HRESULT FResult = S_OK;
  HRESULT GetStandardId(uint8_t* AResult) override {
    *AResult = FId;
    return FResult;
  }

private:
  uint8_t FId;
};

struct TStandardCase {
  uint8_t Id;
  const wchar_t* ParamName;
  const wchar_t* DisplayName;
};

class IOStandardNames : public ::testing::TestWithParam<TStandardCase> {};

TEST_P(IOStandardNames, NamesComeFromTheRowOfTheStandardId) {
  TFakeIOStandard standard(GetParam().Id);
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(InvokeNoArgs(&standard, DispIdDisplayName, &result), S_OK);
  EXPECT_EQ(TextOf(result), GetParam().DisplayName);
  VariantClear(&result);
  ASSERT_EQ(InvokeNoArgs(&standard, DispIdParamName, &result), S_OK);
  EXPECT_EQ(TextOf(result), GetParam().ParamName);
  VariantClear(&result);
}

// Rows checked by hand, including the two odd texts users already know.
INSTANTIATE_TEST_SUITE_P(
    Table, IOStandardNames,
    ::testing::Values(TStandardCase{0, L"LVTTL15", L"LVTTL 1.5V"},
                      TStandardCase{9, L"PCI33_3", L"PCI 33Mhz 3.3V"},
                      TStandardCase{21, L"GTLP", L"GTL+"}, TStandardCase{69, L"LVDS", L"LVDS"},
                      TStandardCase{94, L"LVCMOS33_1", L"LVCMOS 3.3V (24mA)"},
                      TStandardCase{141, L"3.3V GTL", L"Gunning Transceiver Logic 3.3 V"},
                      TStandardCase{159, L"DSSTL18IIT_DCI", L"DSSTL 1.8V Classs II T DCI"},
                      TStandardCase{165, L"DSSTL25I", L"Differential 2.5-V SSTL Class I"},
                      TStandardCase{166, L"DSSTL25II", L"Differential 2.5-V SSTL Class I"},
                      TStandardCase{185, L"RSDS25E", L"Emulated RSDS 2.5V"},
                      TStandardCase{186, L"", L""}, TStandardCase{255, L"", L""}));

TEST(IOStandardTable, HasEveryRowWithDistinctParameterNames) {
  ASSERT_EQ(IOStandardCount, 186u);
  std::map<std::wstring, int> seen;
  for (std::size_t i = 0; i < IOStandardCount; ++i) {
    ASSERT_NE(IOStandardTable[i].ParamName, nullptr);
    ASSERT_NE(IOStandardTable[i].DisplayName, nullptr);
    EXPECT_NE(*IOStandardTable[i].ParamName, L'\0') << i;
    EXPECT_NE(*IOStandardTable[i].DisplayName, L'\0') << i;
    EXPECT_TRUE(seen.emplace(IOStandardTable[i].ParamName, int(i)).second)
        << "parameter name of row " << i << " repeats";
  }
  EXPECT_EQ(FindIOStandard(185), &IOStandardTable[185]);
  EXPECT_EQ(FindIOStandard(186), nullptr);
}

TEST(IOStandard, HasNoSlewRatesOrDriveStrengthsWhateverTheIndex) {
  TFakeIOStandard standard(7);
  for (DISPID id : {DispIdSlewCount, DispIdDriveCount}) {
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(InvokeNoArgs(&standard, id, &result), S_OK);
    EXPECT_EQ(V_VT(&result), VT_I4);
    EXPECT_EQ(V_I4(&result), 0);
  }
  for (DISPID id : {DispIdSlewValue, DispIdDriveStrength})
    for (int32_t index : {0, 3, -1}) {
      VARIANT result;
      VariantInit(&result);
      ASSERT_EQ(InvokeOneInt(&standard, id, index, &result), S_OK);
      EXPECT_EQ(TextOf(result), L"");
      VariantClear(&result);
    }
}

TEST(IOStandard, FailingStandardIdEndsWithUnexpected) {
  TFakeIOStandard standard(3);
  standard.FResult = E_FAIL;
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(InvokeNoArgs(&standard, DispIdDisplayName, &result), E_UNEXPECTED);
  EXPECT_EQ(InvokeNoArgs(&standard, DispIdParamName, &result), E_UNEXPECTED);
  EXPECT_EQ(V_VT(&result), VT_EMPTY);
}

TEST(IOStandard, IsReferenceCounted) {
  TFakeIOStandard* standard = new TFakeIOStandard(1);
  EXPECT_EQ(standard->AddRef(), 1u);
  EXPECT_EQ(standard->AddRef(), 2u);
  EXPECT_EQ(standard->Release(), 1u);
  EXPECT_EQ(standard->Release(), 0u); // destroyed here
}

// ---- actions ----------------------------------------------------------------

struct TActionCase {
  const wchar_t* Text;
  int Index;
};

class ActionIndex : public ::testing::TestWithParam<TActionCase> {};

TEST_P(ActionIndex, TextSelectsAction) {
  EXPECT_EQ(GetActionIndex(GetParam().Text), GetParam().Index) << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ActionIndex,
    ::testing::Values(TActionCase{L"None", 0}, TActionCase{L"PauseProcessor", 1},
                      TActionCase{L"verifyprogram", 31}, TActionCase{L"VERIFYPROGRAM", 31},
                      TActionCase{L"ShowCurrentSense", 24}, TActionCase{L"CustomAction", 26},
                      TActionCase{L"Flash_ChooseAndDownload", 20},
                      TActionCase{L"Action=ResetDevice", 11},
                      TActionCase{L"Target=U1|Action=resetdevice|Other=1", 11},
                      TActionCase{L"Action=", 0}, TActionCase{L"Action=NoSuchThing", 0},
                      TActionCase{L" PauseProcessor ", 0}, TActionCase{L"", 0},
                      TActionCase{L"Reserved25", 0}, TActionCase{L"Pause", 0}));

TEST(Actions, EveryNamedActionFindsItsOwnIndex) {
  for (int i = 0; i < ActionCount; ++i) {
    if (i == int(TTarvoAction::Reserved25)) {
      EXPECT_EQ(ActionName(i), nullptr);
      continue;
    }
    ASSERT_NE(ActionName(i), nullptr) << i;
    EXPECT_EQ(GetActionIndex(ActionName(i)), i) << i;
  }
  EXPECT_EQ(ActionName(-1), nullptr);
  EXPECT_EQ(ActionName(ActionCount), nullptr);
  EXPECT_EQ(GetAction(L"Action=ShowViewer"), TTarvoAction::ShowViewer);
}

TEST(Actions, ToolchainNameIsReadFromItsParameter) {
  std::wstring value = L"stale";
  EXPECT_TRUE(GetToolchainNameParameter(L"Action=CompileProgram|ToolchainName=GCC-ARM", value));
  EXPECT_EQ(value, L"GCC-ARM");
  value = L"stale";
  EXPECT_FALSE(GetToolchainNameParameter(L"Action=CompileProgram", value));
  EXPECT_EQ(value, L"");
}

// ---- text conversions ---------------------------------------------------------

TEST(TextConversions, HexForWidthKeepsWidthDigitsButNeverCutsTheValue) {
  struct TCase {
    uint32_t Value;
    int Width;
    const wchar_t* Text;
  } cases[] = {{0x1F, 8, L"1F"}, {0x1F, 12, L"01F"},   {0x12345, 8, L"12345"},
               {0, 1, L"0"},     {0, 32, L"00000000"}, {0xFFFFFFFF, 4, L"FFFFFFFF"},
               {0xA, 1, L"A"},   {0xA, 5, L"0A"},      {0xdeadbeef, 32, L"DEADBEEF"}};
  for (const TCase& c : cases)
    EXPECT_EQ(IntToHexForWidth(c.Value, c.Width), c.Text) << c.Value << "/" << c.Width;
}

TEST(TextConversions, FixedTwoDecimalsUseAPoint) {
  EXPECT_EQ(FloatToStrFixed2(12.5), L"12.50");
  EXPECT_EQ(FloatToStrFixed2(0), L"0.00");
  EXPECT_EQ(FloatToStrFixed2(3.14159), L"3.14");
  EXPECT_EQ(FloatToStrFixed2(-1.5), L"-1.50");
  EXPECT_EQ(FloatToStrFixed2(1000000), L"1000000.00");
}

TEST(TextConversions, BitStringsReadMostSignificantFirst) {
  struct TCase {
    const wchar_t* Text;
    bool Ok;
    uint32_t Value;
  } cases[] = {
      {L"1011", true, 0xB},
      {L"b1011", true, 0xB},
      {L"B1011", true, 0xB},
      {L"10-11", true, 0xB},
      {L"1 0 1 1", true, 0xB},
      {L"", true, 0},
      {L"b", true, 0},
      {L"1021", false, 0},
      {L"11x", false, 0},
      {L"bb1", false, 0},
      // 33 bits: the leading 1 falls off.
      {L"100000000000000000000000000000001", true, 1},
      {L"11111111111111111111111111111111", true, 0xFFFFFFFF},
  };
  for (const TCase& c : cases) {
    uint32_t value = 0x55;
    EXPECT_EQ(BinStrToInt(c.Text, value), c.Ok) << c.Text;
    EXPECT_EQ(value, c.Value) << c.Text;
  }
}

} // namespace

// ---- the rack form's window class ---------------------------------------------

TEST(RackForm, ItsClassGoesWithTheLibrarysUnloadAndTheNextFormRegistersItAfresh) {
  constexpr wchar_t kClassName[] = L"OrvandelControl";
  auto registered = [&] {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    return GetClassInfoExW(GetModuleInstance(), kClassName, &windowClass) != FALSE;
  };
  {
    THardDeviceViewerForm form{ITarvoDevice(), IJTagDevice()};
    const HWND window = form.Handle();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(HINSTANCE(GetClassLongPtrW(window, GCLP_HMODULE)), GetModuleInstance());
  }
  ASSERT_TRUE(registered());

  // The library's unloading: forms first, then the framework's classes.
  FinalizeForms();
  FinalizeFramework();
  EXPECT_FALSE(registered()) << "no class of the library outlives its unload";

  // As in a library loaded again: the next form registers its class anew.
  THardDeviceViewerForm again{ITarvoDevice(), IJTagDevice()};
  EXPECT_NE(again.Handle(), nullptr);
  EXPECT_TRUE(registered());
}
