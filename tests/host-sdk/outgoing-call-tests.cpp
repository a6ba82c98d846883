// Outgoing calls into the host: what reaches a recording host object and how
// its answers and failures come back.

#include "outgoing-call.h"
#include "recording-dispatch.h"

#include <gtest/gtest.h>

namespace {

constexpr THostCallDescriptor kCloseChannel{508600, VT_EMPTY, kCallMethod, 0, 0, {}};
constexpr THostCallDescriptor kSetPanelSize{1200, VT_EMPTY, kCallMethod, 3, 0, {VT_BSTR, VT_I4, VT_I4}};
constexpr THostCallDescriptor kGetIndex{1201, VT_I4, kCallMethod, 0, 0, {}};
constexpr THostCallDescriptor kGetWide{1202, VT_I8, kCallMethod, 1, 0, {VT_I8}};
constexpr THostCallDescriptor kGetText{1203, VT_BSTR, kCallMethod, 0, 0, {}};
constexpr THostCallDescriptor kGetObject{1204, VT_DISPATCH, kCallMethod, 0, 0, {}};
constexpr THostCallDescriptor kIsOn{1205, VT_BOOL, kCallMethod, 1, 0, {VT_BOOL}};
constexpr THostCallDescriptor kGetReal{1206, VT_R8, kCallMethod, 0, 0, {}};
constexpr THostCallDescriptor kFill{1207, VT_EMPTY, kCallMethod, 3, 0,
                                    {kArgByRef | VT_I4, kArgByRef | VT_BSTR, kArgByRef | VT_I8}};
constexpr THostCallDescriptor kPrograms{1208, VT_EMPTY, kCallMethod, 4, 0,
                                        {kArgProgramString, kArgByRef | kArgProgramString,
                                         kArgByRef | kArgNarrowString, kArgByRef | kArgProgramString}};
constexpr THostCallDescriptor kPassObject{1209, VT_EMPTY, kCallMethod, 1, 0, {VT_DISPATCH}};
constexpr THostCallDescriptor kPut{1210, VT_EMPTY, kCallPropertyPut, 1, 0, {VT_DISPATCH}};
constexpr THostCallDescriptor kOptional{1211, VT_EMPTY, kCallMethod, 2, 0, {VT_ERROR, VT_I4}};
constexpr THostCallDescriptor kBadKind{1212, VT_EMPTY, kCallMethod, 1, 0, {14}};

class OutgoingCallTest : public ::testing::Test {
protected:
  TRecordingDispatch Host;
  const TRecordingDispatch::TCall& Last() { return Host.Calls.back(); }
};

TEST_F(OutgoingCallTest, CallWithoutArgumentsGoesOutAsMethodAndPropertyGet) {
  HostCallVoid(&Host, kCloseChannel);
  ASSERT_EQ(Host.Calls.size(), 1u);
  EXPECT_EQ(Last().DispId, 508600);
  EXPECT_EQ(Last().Flags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  EXPECT_TRUE(Last().HadResult);
  EXPECT_TRUE(Last().Args.empty());
}

TEST_F(OutgoingCallTest, ArgumentsArriveReversed) {
  HostCallVoid(&Host, kSetPanelSize, std::wstring(L"Panel"), 640, 480);
  EXPECT_EQ(Last().Flags, DISPATCH_METHOD);
  ASSERT_EQ(Last().Types, (std::vector<VARTYPE>{VT_I4, VT_I4, VT_BSTR}));
  EXPECT_EQ(V_I4(&Last().Args[0]), 480);
  EXPECT_EQ(V_I4(&Last().Args[1]), 640);
  EXPECT_STREQ(V_BSTR(&Last().Args[2]), L"Panel");
}

TEST_F(OutgoingCallTest, EmptyWideStringIsANullBstrAndEmptyProgramStringTheSharedOne) {
  std::wstring a, b;
  std::string c;
  std::wstring d;
  HostCallVoid(&Host, kSetPanelSize, std::wstring(), 1, 2);
  EXPECT_TRUE(Last().NullStrings[2]);
  BSTR passed = nullptr;
  Host.OnInvoke = [&](DISPPARAMS& p) { passed = V_BSTR(&p.rgvarg[3]); };
  HostCallVoid(&Host, kPrograms, a, &b, &c, &d);
  EXPECT_EQ(passed, SharedEmptyBstr());
  EXPECT_NE(passed, nullptr);
}

TEST_F(OutgoingCallTest, BooleanArgumentIsVariantTrue) {
  Host.Result = {};
  V_VT(&Host.Result) = VT_BOOL;
  V_BOOL(&Host.Result) = 1;
  EXPECT_TRUE(HostCallBool(&Host, kIsOn, true));
  EXPECT_EQ(V_VT(&Last().Args[0]), VT_BOOL);
  EXPECT_EQ(V_BOOL(&Last().Args[0]), VARIANT_TRUE);
  V_BOOL(&Host.Result) = VARIANT_TRUE;
  EXPECT_TRUE(HostCallBool(&Host, kIsOn, false));
  EXPECT_EQ(V_BOOL(&Last().Args[0]), VARIANT_FALSE);
  V_BOOL(&Host.Result) = 0;
  EXPECT_FALSE(HostCallBool(&Host, kIsOn, false));
}

TEST_F(OutgoingCallTest, ResultsOfEveryDeclaredType) {
  V_VT(&Host.Result) = VT_I4;
  V_I4(&Host.Result) = -3;
  EXPECT_EQ(HostCallInt(&Host, kGetIndex), -3);
  V_VT(&Host.Result) = VT_I8;
  V_I8(&Host.Result) = 1LL << 40;
  EXPECT_EQ(HostCallInt64(&Host, kGetWide, int64_t(5)), 1LL << 40);
  EXPECT_EQ(V_VT(&Last().Args[0]), VT_I8);
  V_VT(&Host.Result) = VT_R8;
  V_R8(&Host.Result) = 0.25;
  EXPECT_EQ(HostCallReal(&Host, kGetReal), 0.25);
  VariantClear(&Host.Result);
  V_VT(&Host.Result) = VT_BSTR;
  V_BSTR(&Host.Result) = SysAllocString(L"answer");
  EXPECT_EQ(HostCallString(&Host, kGetText), L"answer");
}

TEST_F(OutgoingCallTest, EmptyAnswersReadAsZeroAndEmpty) {
  VariantClear(&Host.Result);
  EXPECT_EQ(HostCallInt(&Host, kGetIndex), 0);
  EXPECT_EQ(HostCallString(&Host, kGetText), L"");
  EXPECT_TRUE(HostCallRecord<TDispatchRecord>(&Host, kGetObject).IsEmpty());
}

TEST_F(OutgoingCallTest, WrongResultTypeIsAnErrorNotAMisreadValue) {
  V_VT(&Host.Result) = VT_I4;
  V_I4(&Host.Result) = 0x1234;
  EXPECT_THROW(HostCallString(&Host, kGetText), EHostResultError);
  EXPECT_THROW(HostCallRecord<TDispatchRecord>(&Host, kGetObject), EHostResultError);
  // A number of another width is converted.
  EXPECT_EQ(HostCallInt64(&Host, kGetWide, int64_t(0)), 0x1234);
  VariantClear(&Host.Result);
  V_VT(&Host.Result) = VT_BSTR;
  V_BSTR(&Host.Result) = SysAllocString(L"12");
  EXPECT_THROW(HostCallInt(&Host, kGetIndex), EHostResultError);
}

TEST_F(OutgoingCallTest, StringResultReplacesTheCallersValueWithoutLeaking) {
  V_VT(&Host.Result) = VT_BSTR;
  V_BSTR(&Host.Result) = SysAllocString(L"new");
  BSTR variable = SysAllocString(L"old");
  HostCall(&variable, &Host, kGetText);
  EXPECT_STREQ(variable, L"new");
  SysFreeString(variable);
}

TEST_F(OutgoingCallTest, InterfaceResultReleasesWhatTheVariableHeld) {
  TRecordingDispatch old, fresh;
  V_VT(&Host.Result) = VT_DISPATCH;
  V_DISPATCH(&Host.Result) = &fresh;
  fresh.AddRef();
  IDispatch* variable = &old;
  old.AddRef();
  HostCall(&variable, &Host, kGetObject);
  EXPECT_EQ(variable, &fresh);
  EXPECT_EQ(old.Refs, 1);
  variable->Release();
  VariantClear(&Host.Result);
  EXPECT_EQ(fresh.Refs, 1);
}

TEST_F(OutgoingCallTest, RecordResultHoldsExactlyOneReference) {
  TRecordingDispatch object;
  V_VT(&Host.Result) = VT_DISPATCH;
  V_DISPATCH(&Host.Result) = &object;
  object.AddRef();
  {
    TDispatchRecord r = HostCallRecord<TDispatchRecord>(&Host, kGetObject);
    EXPECT_EQ(r.Intf(), &object);
    EXPECT_EQ(object.Refs, 3); // ours, the scripted answer's, the record's
    TDispatchRecord copy = r;
    EXPECT_EQ(object.Refs, 4);
  }
  VariantClear(&Host.Result);
  EXPECT_EQ(object.Refs, 1);
}

TEST_F(OutgoingCallTest, DispatchArgumentIsPassedWithoutExtraReferences) {
  TRecordingDispatch object;
  TDispatchRecord r = TDispatchRecord::FromDispatch(&object);
  Host.OnInvoke = [&](DISPPARAMS& p) {
    EXPECT_EQ(V_VT(&p.rgvarg[0]), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&p.rgvarg[0]), &object);
  };
  HostCallVoid(&Host, kPassObject, r);
  r = TDispatchRecord();
  for (TRecordingDispatch::TCall& c : Host.Calls)
    for (VARIANT& v : c.Args) VariantClear(&v);
  Host.Calls.clear();
  EXPECT_EQ(object.Refs, 1);
}

TEST_F(OutgoingCallTest, ByReferenceArgumentsAreWrittenByTheHost) {
  Host.OnInvoke = [](DISPPARAMS& p) {
    // rgvarg[2] is the first argument.
    *V_I4REF(&p.rgvarg[2]) = 52;
    SysFreeString(*V_BSTRREF(&p.rgvarg[1]));
    *V_BSTRREF(&p.rgvarg[1]) = SysAllocString(L"path");
    *V_I8REF(&p.rgvarg[0]) = 503815;
  };
  int32_t a = 1;
  std::wstring b = L"in";
  int64_t c = 0;
  HostCallVoid(&Host, kFill, &a, &b, &c);
  EXPECT_EQ(Last().Types, (std::vector<VARTYPE>{VT_BYREF | VT_I8, VT_BYREF | VT_BSTR, VT_BYREF | VT_I4}));
  EXPECT_EQ(a, 52);
  EXPECT_EQ(b, L"path");
  EXPECT_EQ(c, 503815);
}

TEST_F(OutgoingCallTest, EveryByReferenceStringIsWrittenBackEvenAfterAnEmptyOne) {
  Host.OnInvoke = [](DISPPARAMS& p) {
    // Second argument becomes empty; third and fourth get values.
    *V_BSTRREF(&p.rgvarg[2]) = nullptr;
    *V_BSTRREF(&p.rgvarg[1]) = SysAllocString(L"narrow");
    *V_BSTRREF(&p.rgvarg[0]) = SysAllocString(L"fourth");
  };
  std::wstring first = L"by value", second = L"was here", fourth;
  std::string third;
  HostCallVoid(&Host, kPrograms, first, &second, &third, &fourth);
  EXPECT_EQ(second, L"");
  EXPECT_EQ(third, "narrow");
  EXPECT_EQ(fourth, L"fourth");
  EXPECT_EQ(first, L"by value");
}

TEST_F(OutgoingCallTest, FailedCallKeepsByReferenceProgramStrings) {
  Host.Answer = E_FAIL;
  Host.OnInvoke = [](DISPPARAMS& p) { *V_BSTRREF(&p.rgvarg[2]) = nullptr; };
  std::wstring first, second = L"kept", fourth = L"also";
  std::string third = "same";
  EXPECT_THROW(HostCallVoid(&Host, kPrograms, first, &second, &third, &fourth), EOleSysError);
  EXPECT_EQ(second, L"kept");
  EXPECT_EQ(third, "same");
}

TEST_F(OutgoingCallTest, FailuresRaiseWithTheirTexts) {
  Host.Answer = S_FALSE;
  try {
    HostCallInt(&Host, kGetIndex);
    FAIL() << "S_FALSE must raise";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), S_FALSE);
  }
  Host.Answer = DISP_E_EXCEPTION;
  Host.ExceptionText = L"Channel is closed";
  try {
    HostCallVoid(&Host, kCloseChannel);
    FAIL() << "DISP_E_EXCEPTION must raise";
  } catch (const EOleException& e) {
    EXPECT_EQ(e.Message(), L"Channel is closed");
    EXPECT_EQ(e.Source, L"Host");
    EXPECT_EQ(e.ErrorCode(), E_FAIL);
  }
  Host.Answer = HRESULT(0x80020003);
  try {
    HostCallVoid(&Host, kCloseChannel);
    FAIL();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), HRESULT(0x80020003));
    EXPECT_FALSE(e.Message().empty());
  }
}

TEST_F(OutgoingCallTest, UnknownArgumentKindFailsBeforeTheCall) {
  EXPECT_THROW(HostCallVoid(&Host, kBadKind, 1), EVariantDispatchError);
  EXPECT_TRUE(Host.Calls.empty());
}

TEST_F(OutgoingCallTest, OmittedArgumentTakesNoCallerValue) {
  HostCallVoid(&Host, kOptional, 9);
  ASSERT_EQ(Last().Types, (std::vector<VARTYPE>{VT_I4, VT_ERROR}));
  EXPECT_EQ(V_ERROR(&Last().Args[1]), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(V_I4(&Last().Args[0]), 9);
}

TEST_F(OutgoingCallTest, PropertyPutOfAnObjectGoesByReference) {
  TRecordingDispatch object;
  Host.OnInvoke = [](DISPPARAMS& p) {
    ASSERT_EQ(p.cNamedArgs, 1u);
    EXPECT_EQ(p.rgdispidNamedArgs[0], DISPID_PROPERTYPUT);
  };
  HostCallVoid(&Host, kPut, static_cast<IDispatch*>(&object));
  EXPECT_EQ(Last().Flags, DISPATCH_PROPERTYPUTREF);
  EXPECT_EQ(Last().DispId, 1210);
}

TEST(DispRecord, ConversionsKeepReferencesBalanced) {
  TRecordingDispatch object;
  {
    TDispatchRecord a = TDispatchRecord::FromPointer(&object);
    EXPECT_EQ(object.Refs, 2);
    EXPECT_EQ(a.ToPointer(), &object);
    EXPECT_EQ(object.Refs, 2);
    {
      TComPtr<IDispatch> d = a.ToDispatch();
      EXPECT_EQ(object.Refs, 3);
      TComPtr<IUnknown> u = a.AsInterface();
      EXPECT_EQ(object.Refs, 4);
    }
    TDispatchRecord b = TDispatchRecord::FromInterface(&object);
    EXPECT_EQ(object.Refs, 3);
    b = a;
    EXPECT_EQ(object.Refs, 3);
  }
  EXPECT_EQ(object.Refs, 1);
  EXPECT_TRUE(TDispatchRecord::FromDispatch(nullptr).IsEmpty());
  EXPECT_TRUE(TDispatchRecord::FromInterface(nullptr).IsEmpty());
  EXPECT_FALSE(TDispatchRecord().ToDispatch());
}

TEST(DispRecord, FromInterfaceWithoutDispatchRaises) {
  struct TPlain : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** AObject) override {
      *AObject = nullptr;
      return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
  } plain;
  try {
    TDispatchRecord::FromInterface(&plain);
    FAIL();
  } catch (const EIntfCastError& e) {
    EXPECT_EQ(e.Message(), L"Interface not supported");
  }
}

} // namespace
