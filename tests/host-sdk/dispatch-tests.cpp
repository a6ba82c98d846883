// Incoming automation calls: a small contract driven through IDispatch::Invoke.

#include "dispatch.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

enum class TColour : uint8_t { Red, Green, Blue };

class TTestContract : public TAbstractSupportService {
public:
  std::vector<std::wstring> Calls;
  std::wstring LastText;
  int32_t LastInt = 0;
  uint32_t LastUnsigned = 0;
  int64_t LastInt64 = 0;
  VARIANT_BOOL LastFlag = 0;
  TColour LastColour = TColour::Red;
  TDispatchRecord LastObject;
  HRESULT Failure = S_OK;

  virtual HRESULT SetText(const std::wstring& AText) {
    Calls.push_back(L"SetText");
    LastText = AText;
    return Failure;
  }
  virtual HRESULT SetNumbers(int32_t AInt, uint32_t AUnsigned, int64_t AInt64) {
    Calls.push_back(L"SetNumbers");
    LastInt = AInt;
    LastUnsigned = AUnsigned;
    LastInt64 = AInt64;
    return S_OK;
  }
  virtual HRESULT SetFlag(VARIANT_BOOL AFlag) {
    LastFlag = AFlag;
    return S_OK;
  }
  virtual HRESULT SetColour(TColour AColour) {
    LastColour = AColour;
    return S_OK;
  }
  virtual HRESULT SetObject(const TDispatchRecord& AObject) {
    LastObject = AObject;
    return S_OK;
  }
  virtual HRESULT GetText(std::wstring* AResult) {
    *AResult = L"text";
    return S_OK;
  }
  virtual HRESULT GetDebugAddress(uint32_t* AResult) {
    *AResult = 0xE000EDF0;
    return S_OK;
  }
  virtual HRESULT GetWide(int64_t* AResult) {
    *AResult = 0x123456789LL;
    return S_OK;
  }
  virtual HRESULT GetBooleanTwo(TBoolean* AResult) {
    *AResult = TBoolean::FromByte(2);
    return S_OK;
  }
  virtual HRESULT GetBooleanZero(TBoolean* AResult) {
    *AResult = false;
    return S_OK;
  }
  virtual HRESULT GetReal(double* AResult) {
    *AResult = 2.5;
    return S_OK;
  }
  virtual HRESULT GetColour(TColour* AResult) {
    *AResult = TColour::Blue;
    return S_OK;
  }
  virtual HRESULT GetObject(TDispatchRecord* AResult) {
    *AResult = LastObject;
    return S_OK;
  }
  virtual HRESULT Twice(int32_t AValue, int32_t* AResult) {
    *AResult = 2 * AValue;
    return S_OK;
  }
  virtual HRESULT Fill(int32_t& AOut, int64_t& AWide, std::wstring& AText) {
    AOut = 52;
    AWide = -7;
    AText += L"!";
    return S_OK;
  }
  virtual HRESULT Throws(int32_t* AResult) {
    return Guarded([&] {
      *AResult = 1;
      throw std::runtime_error("inside");
    });
  }

  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override {
    ORV_DISPATCH_THROUGH(Table, TAbstractSupportService);
  }
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override {
    return ChainSupportsService(TAbstractSupportService::SupportsService(AName, AResult), AName,
                                L"TestContract", AResult);
  }

  static constexpr TDispEntry Table[] = {
      Op<&TTestContract::SetText>(100),        Op<&TTestContract::SetNumbers>(101),
      Op<&TTestContract::SetFlag>(102),        Op<&TTestContract::SetColour>(103),
      Op<&TTestContract::SetObject>(104),      Op<&TTestContract::GetText>(110),
      Op<&TTestContract::GetDebugAddress>(111), Op<&TTestContract::GetWide>(112),
      Op<&TTestContract::GetBooleanTwo>(113),  Op<&TTestContract::GetBooleanZero>(114),
      Op<&TTestContract::GetReal>(115),        Op<&TTestContract::GetColour>(116),
      Op<&TTestContract::GetObject>(117),      Op<&TTestContract::Twice>(120),
      Op<&TTestContract::Fill>(121),           Op<&TTestContract::Throws>(122),
  };
};

// A derived contract: its own table first, the rest through the parent.
class TTestDerived : public TTestContract {
public:
  virtual HRESULT GetLevel(int32_t* AResult) {
    *AResult = 2;
    return S_OK;
  }
  HRESULT GetText(std::wstring* AResult) override {
    *AResult = L"derived";
    return S_OK;
  }
  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override {
    ORV_DISPATCH_THROUGH(DerivedTable, TTestContract);
  }
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override {
    return ChainSupportsService(TTestContract::SupportsService(AName, AResult), AName,
                                L"TestDerived", AResult);
  }
  static constexpr TDispEntry DerivedTable[] = {Op<&TTestDerived::GetLevel>(200)};
};

// Arguments are given in declaration order and laid out reversed.
struct TCall {
  std::vector<VARIANT> Args;
  TCall() = default;
  ~TCall() {
    for (VARIANT& v : Args) VariantClear(&v);
  }
  TCall& Int(int32_t AValue) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = AValue;
    Args.push_back(v);
    return *this;
  }
  TCall& Text(const wchar_t* AValue) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(AValue);
    Args.push_back(v);
    return *this;
  }
  TCall& Raw(VARIANT AValue) {
    Args.push_back(AValue);
    return *this;
  }
  HRESULT Invoke(IDispatch* AObject, DISPID AId, VARIANT* AResult, UINT* AArgErr = nullptr) {
    std::vector<VARIANT> reversed(Args.rbegin(), Args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()),
                      0};
    const HRESULT hr =
        AObject->Invoke(AId, IID_NULL, 0, DISPATCH_METHOD, &params, AResult, nullptr, AArgErr);
    // The callee may have replaced by-reference contents; keep ours in step.
    for (size_t i = 0; i < Args.size(); ++i) Args[i] = reversed[Args.size() - 1 - i];
    return hr;
  }
};

class DispatchTest : public ::testing::Test {
protected:
  void SetUp() override {
    Object = new TTestDerived;
    Object->AddRef();
    VariantInit(&Result);
  }
  void TearDown() override {
    VariantClear(&Result);
    Object->Release();
  }
  IDispatch* Dispatch() { return static_cast<IDispatch*>(Object); }
  TTestDerived* Object = nullptr;
  VARIANT Result;
};

TEST_F(DispatchTest, NamesAndTypeInformationAreNotOffered) {
  UINT count = 77;
  EXPECT_EQ(Dispatch()->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(count, 77u);
  LPOLESTR name = const_cast<LPOLESTR>(L"GetText");
  DISPID id = 0;
  EXPECT_EQ(Dispatch()->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), E_NOTIMPL);
}

TEST_F(DispatchTest, QueryInterfaceOffersDispatchAndSupportService) {
  ISupportService* service = nullptr;
  ASSERT_EQ(Dispatch()->QueryInterface(IID_ISupportService, reinterpret_cast<void**>(&service)), S_OK);
  IUnknown* a = nullptr;
  IUnknown* b = nullptr;
  Dispatch()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
  service->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
  EXPECT_EQ(a, b) << "one identity";
  a->Release();
  b->Release();
  service->Release();
  EXPECT_EQ(Object->RefCount(), 1);
}

TEST_F(DispatchTest, ResultsArriveWithTheirVariantTypes) {
  struct TCase {
    DISPID Id;
    VARTYPE Type;
    int64_t Value;
  };
  const TCase cases[] = {
      {111, VT_I4, int32_t(0xE000EDF0)}, // unsigned above 0x7FFFFFFF reads negative
      {112, VT_I8, 0x123456789LL},
      {113, VT_BOOL, VARIANT_TRUE}, // a Boolean 2 is VARIANT_TRUE
      {114, VT_BOOL, VARIANT_FALSE},
      {116, VT_I4, 2}, // byte-sized enumeration
  };
  for (const TCase& c : cases) {
    VariantClear(&Result);
    ASSERT_EQ(TCall().Invoke(Dispatch(), c.Id, &Result), S_OK) << c.Id;
    ASSERT_EQ(V_VT(&Result), c.Type) << c.Id;
    const int64_t got = c.Type == VT_I8 ? V_I8(&Result) : c.Type == VT_BOOL ? V_BOOL(&Result) : V_I4(&Result);
    EXPECT_EQ(got, c.Value) << c.Id;
  }
  VariantClear(&Result);
  ASSERT_EQ(TCall().Invoke(Dispatch(), 115, &Result), S_OK);
  ASSERT_EQ(V_VT(&Result), VT_R8);
  EXPECT_EQ(V_R8(&Result), 2.5);
}

TEST_F(DispatchTest, DerivedOverrideAndParentTableBothServe) {
  ASSERT_EQ(TCall().Invoke(Dispatch(), 110, &Result), S_OK);
  EXPECT_STREQ(V_BSTR(&Result), L"derived");
  VariantClear(&Result);
  ASSERT_EQ(TCall().Invoke(Dispatch(), 200, &Result), S_OK);
  EXPECT_EQ(V_I4(&Result), 2);
}

TEST_F(DispatchTest, OldResultContentIsReleased) {
  // An old BSTR in the result is freed (no leak to see here, but the
  // VARIANT must come back holding only the new value).
  V_VT(&Result) = VT_BSTR;
  V_BSTR(&Result) = SysAllocString(L"old");
  ASSERT_EQ(TCall().Invoke(Dispatch(), 111, &Result), S_OK);
  EXPECT_EQ(V_VT(&Result), VT_I4);

  // An old interface in the result is released.
  auto* other = new TTestContract;
  other->AddRef();
  other->AddRef();
  V_VT(&Result) = VT_DISPATCH;
  V_DISPATCH(&Result) = other;
  ASSERT_EQ(TCall().Invoke(Dispatch(), 111, &Result), S_OK);
  EXPECT_EQ(other->RefCount(), 1);
  other->Release();
}

TEST_F(DispatchTest, ArgumentsAreReadInReverseOrderAndCoerced) {
  ASSERT_EQ(TCall().Int(-5).Int(-1).Text(L"123456789012").Invoke(Dispatch(), 101, nullptr), S_OK);
  EXPECT_EQ(Object->LastInt, -5);
  EXPECT_EQ(Object->LastUnsigned, 0xFFFFFFFFu) << "u32 given as VT_I4 -1";
  EXPECT_EQ(Object->LastInt64, 123456789012LL);

  ASSERT_EQ(TCall().Int(42).Invoke(Dispatch(), 100, nullptr), S_OK);
  EXPECT_EQ(Object->LastText, L"42") << "numbers format as text";

  ASSERT_EQ(TCall().Text(L"42").Invoke(Dispatch(), 120, &Result), S_OK);
  EXPECT_EQ(V_I4(&Result), 84) << "text coerces to a number";
}

TEST_F(DispatchTest, UncoercibleArgumentFailsWithoutCallingTheOperation) {
  UINT argErr = 99;
  EXPECT_EQ(TCall().Int(1).Text(L"x").Int(3).Invoke(Dispatch(), 101, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u) << "index within rgvarg";
  EXPECT_TRUE(Object->Calls.empty());
}

TEST_F(DispatchTest, TooFewArgumentsIsABadParameterCount) {
  EXPECT_EQ(TCall().Int(1).Invoke(Dispatch(), 101, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(TCall().Invoke(Dispatch(), 100, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_TRUE(Object->Calls.empty());
}

TEST_F(DispatchTest, BooleanFlagAndEnumerationArguments) {
  VARIANT flag;
  VariantInit(&flag);
  V_VT(&flag) = VT_BOOL;
  V_BOOL(&flag) = VARIANT_TRUE;
  ASSERT_EQ(TCall().Raw(flag).Invoke(Dispatch(), 102, nullptr), S_OK);
  EXPECT_EQ(Object->LastFlag, VARIANT_TRUE);
  ASSERT_EQ(TCall().Text(L"2").Invoke(Dispatch(), 103, nullptr), S_OK);
  EXPECT_EQ(Object->LastColour, TColour::Blue);
}

TEST_F(DispatchTest, ObjectArgumentsAcceptOnlyInterfaces) {
  auto* other = new TTestContract;
  other->AddRef();
  struct TCase {
    VARTYPE Type;
    HRESULT Expected;
  };
  IDispatch* asDispatch = other;
  const TCase cases[] = {{VT_DISPATCH, S_OK},
                         {VT_UNKNOWN, S_OK},
                         {VT_BYREF | VT_DISPATCH, S_OK},
                         {VT_I4, DISP_E_TYPEMISMATCH},
                         {VT_BSTR, DISP_E_TYPEMISMATCH}};
  for (const TCase& c : cases) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = c.Type;
    if (c.Type == VT_DISPATCH || c.Type == VT_UNKNOWN) V_DISPATCH(&v) = other;
    else if (c.Type == (VT_BYREF | VT_DISPATCH)) V_DISPATCHREF(&v) = &asDispatch;
    else if (c.Type == VT_I4) V_I4(&v) = 1234;
    else V_BSTR(&v) = nullptr;
    std::vector<VARIANT> args{v};
    DISPPARAMS params{args.data(), nullptr, 1, 0};
    EXPECT_EQ(Dispatch()->Invoke(104, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              c.Expected)
        << c.Type;
  }
  EXPECT_EQ(Object->LastObject.Intf(), static_cast<IDispatch*>(other));
  EXPECT_EQ(other->RefCount(), 2) << "the record holds one reference";
  ASSERT_EQ(TCall().Invoke(Dispatch(), 117, &Result), S_OK);
  EXPECT_EQ(V_VT(&Result), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(&Result), static_cast<IDispatch*>(other));
  VariantClear(&Result);
  Object->LastObject = TDispatchRecord();
  EXPECT_EQ(other->RefCount(), 1);
  other->Release();
}

TEST_F(DispatchTest, ByReferenceArgumentsNeedTheirOwnTypeAndAreWritten) {
  int32_t out = 0;
  int64_t wide = 0;
  BSTR text = SysAllocString(L"hi");
  VARIANT a, b, c;
  VariantInit(&a);
  VariantInit(&b);
  VariantInit(&c);
  V_VT(&a) = VT_BYREF | VT_I4;
  V_I4REF(&a) = reinterpret_cast<LONG*>(&out);
  V_VT(&b) = VT_BYREF | VT_I8;
  V_I8REF(&b) = reinterpret_cast<LONGLONG*>(&wide);
  V_VT(&c) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&c) = &text;
  {
    VARIANT args[] = {c, b, a};
    DISPPARAMS params{args, nullptr, 3, 0};
    ASSERT_EQ(Dispatch()->Invoke(121, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
              S_OK);
  }
  EXPECT_EQ(out, 52);
  EXPECT_EQ(wide, -7);
  EXPECT_STREQ(text, L"hi!");
  SysFreeString(text);

  // A by-value integer where a reference is expected is refused, never
  // written through.
  VARIANT byValue;
  VariantInit(&byValue);
  V_VT(&byValue) = VT_I4;
  V_I4(&byValue) = 0x1000;
  VARIANT args[] = {c, b, byValue};
  DISPPARAMS params{args, nullptr, 3, 0};
  UINT argErr = 0;
  EXPECT_EQ(Dispatch()->Invoke(121, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 2u);
}

TEST_F(DispatchTest, FailuresComeBackAsTheirHresult) {
  Object->Failure = E_ACCESSDENIED;
  EXPECT_EQ(TCall().Text(L"a").Invoke(Dispatch(), 100, nullptr), E_ACCESSDENIED);
  V_VT(&Result) = VT_I4;
  V_I4(&Result) = 5;
  EXPECT_EQ(TCall().Invoke(Dispatch(), 122, &Result), E_UNEXPECTED) << "an exception inside";
  EXPECT_EQ(V_I4(&Result), 5) << "result untouched after a failure";
}

TEST_F(DispatchTest, UnknownDispidLeavesTheResultUntouched) {
  V_VT(&Result) = VT_I4;
  V_I4(&Result) = 31;
  EXPECT_EQ(TCall().Invoke(Dispatch(), 4242, &Result), E_NOTIMPL);
  EXPECT_EQ(V_VT(&Result), VT_I4);
  EXPECT_EQ(V_I4(&Result), 31);
}

TEST_F(DispatchTest, NullResultVariantDropsTheResult) {
  EXPECT_EQ(TCall().Invoke(Dispatch(), 110, nullptr), S_OK);
  EXPECT_EQ(TCall().Text(L"A").Invoke(Dispatch(), 1023, nullptr), S_OK);
}

TEST_F(DispatchTest, SupportsServiceFollowsTheChainIgnoringAsciiCase) {
  struct TCase {
    const wchar_t* Name;
    VARIANT_BOOL Expected;
  };
  const TCase cases[] = {
      {L"TestDerived", VARIANT_TRUE},  {L"testcontract", VARIANT_TRUE},
      {L"TESTcontract", VARIANT_TRUE}, {L"TestContractX", VARIANT_FALSE},
      {L"", VARIANT_FALSE},           {L"T\u00C9stContract", VARIANT_FALSE},
  };
  for (const TCase& c : cases) {
    VariantClear(&Result);
    ASSERT_EQ(TCall().Text(c.Name).Invoke(Dispatch(), 1023, &Result), S_OK);
    EXPECT_EQ(V_VT(&Result), VT_BOOL);
    EXPECT_EQ(V_BOOL(&Result), c.Expected) << c.Name;
  }
}

TEST(SupportServiceBase, PlainObjectSupportsNothing) {
  auto* base = new TAbstractSupportService;
  base->AddRef();
  VARIANT result;
  VariantInit(&result);
  ASSERT_EQ(TCall().Text(L"").Invoke(base, 1023, &result), S_OK);
  EXPECT_EQ(V_BOOL(&result), VARIANT_FALSE);
  EXPECT_EQ(TCall().Invoke(base, 1, &result), E_NOTIMPL);
  base->Release();
}

TEST(SupportServiceFunctions, AnswerForAnyObject) {
  auto* object = new TTestDerived;
  object->AddRef();
  EXPECT_TRUE(SupportsService(static_cast<IDispatch*>(object), L"TESTDERIVED"));
  TComPtr<IUnknown> found(static_cast<IDispatch*>(object));
  EXPECT_FALSE(SupportsService(static_cast<IDispatch*>(object), L"Other", found));
  EXPECT_FALSE(found) << "cleared on False";
  EXPECT_TRUE(SupportsService(static_cast<IDispatch*>(object), L"testcontract", found));
  EXPECT_EQ(found.Get(), static_cast<IUnknown*>(static_cast<IDispatch*>(object)));
  EXPECT_EQ(object->RefCount(), 2);
  found.Reset();
  EXPECT_FALSE(SupportsService(nullptr, L"x"));
  object->Release();
}

} // namespace
