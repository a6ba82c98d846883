// Every contract class driven through IDispatch::Invoke: each DISPID of the
// class and of its parents reaches its operation with its arguments in order
// and stores its result with the right VARTYPE; service names follow the
// parent chain; everything else answers E_NOTIMPL.

#include "contracts-recording.generated.h"
#include "host-args.h"
#include "recording-dispatch.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace {

const TContractClass* FindClass(const std::wstring& AName) {
  for (const TContractClass& c : ContractClasses())
    if (AName == c.Name)
      return &c;
  return nullptr;
}

// The class and every contract class above it.
std::vector<const TContractClass*> Chain(const TContractClass& AClass) {
  std::vector<const TContractClass*> chain;
  for (const TContractClass* c = &AClass; c; c = FindClass(c->Parent))
    chain.push_back(c);
  return chain;
}

// Holds an object for one test step.
struct TObject {
  explicit TObject(TAbstractSupportService* AObject) : Object(AObject) { Object->AddRef(); }
  ~TObject() { Object->Release(); }
  IDispatch* Dispatch() const { return static_cast<IDispatch*>(Object); }
  TAbstractSupportService* Object;
};

// Arguments of every kind for one operation, with the text the recording
// operation logs for them and the variables by-reference arguments point at.
class TOpArguments {
public:
  TOpArguments(const TContractOp& AOp, IDispatch* AHostObject) : FOp(AOp) {
    Expected = std::wstring(AOp.Name) + L"(";
    for (int i = 0; AOp.Args[i]; ++i) {
      if (i)
        Expected += L",";
      switch (AOp.Args[i]) {
      case 's':
        Args.Str(L"text" + std::to_wstring(i));
        Expected += L"text" + std::to_wstring(i);
        break;
      case 'i':
        Args.I4(-7 * (i + 1));
        Expected += std::to_wstring(-7 * (i + 1));
        break;
      case 'u': // only the low half of a 64-bit value arrives
        Args.I8((int64_t(1) << 32) + i + 5);
        Expected += std::to_wstring(i + 5);
        break;
      case 'l':
        Args.I8((int64_t(i) + 1) << 33 | 1);
        Expected += std::to_wstring((int64_t(i) + 1) << 33 | 1);
        break;
      case 'd':
        Args.R8(i + 0.5);
        Expected += ArgText(i + 0.5);
        break;
      case 'f':
        Args.Bool(VARIANT_TRUE);
        Expected += L"-1";
        break;
      case 'o':
        Args.Obj(AHostObject);
        Expected += L"obj";
        break;
      case 'I':
        Ints[i] = 7;
        Args.Ref(VT_I4, &Ints[i]);
        Expected += L"7";
        break;
      case 'U':
        Unsigneds[i] = 7;
        Args.Ref(VT_UI4, &Unsigneds[i]);
        Expected += L"7";
        break;
      case 'F': // the operation's own flag starts true, whatever the host's holds
        Flags[i] = VARIANT_FALSE;
        Args.Ref(VT_BOOL, &Flags[i]);
        Expected += L"1";
        break;
      case 'w':
        Args.Ref(VT_I4, &Ints[i]);
        Expected += PointerText(&Ints[i]);
        break;
      case 't': {
        uint8_t bytes[2] = {0x34, 0x12};
        Set = TComPtr<ITransportSet>(new TTransportSet(bytes, 2, true));
        Args.Obj(Set.Get(), VT_UNKNOWN);
        Expected += L"34:12";
        break;
      }
      default:
        ADD_FAILURE() << "unknown argument kind " << AOp.Args[i];
      }
    }
    Expected += L")";
  }

  void ExpectWrites() const {
    for (int i = 0; FOp.Args[i]; ++i) {
      if (FOp.Args[i] == 'I') {
        EXPECT_EQ(Ints[i], FilledInt(i)) << "argument " << i;
      }
      if (FOp.Args[i] == 'U') {
        EXPECT_EQ(Unsigneds[i], FilledUnsigned(i)) << "argument " << i;
      }
      if (FOp.Args[i] == 'F') {
        EXPECT_EQ(Flags[i], FilledFlag(i) ? VARIANT_TRUE : VARIANT_FALSE) << "argument " << i;
      }
    }
  }

  THostArgs Args;
  std::wstring Expected;
  std::array<int32_t, 10> Ints{};
  std::array<uint32_t, 10> Unsigneds{};
  std::array<VARIANT_BOOL, 10> Flags{};
  TComPtr<ITransportSet> Set;

private:
  const TContractOp& FOp;
};

void ExpectCannedResult(const TContractOp& AOp, const VARIANT& AResult, IDispatch* AHostObject) {
  switch (AOp.Result) {
  case '0':
    EXPECT_EQ(V_VT(&AResult), VT_I4) << "no result: left untouched";
    EXPECT_EQ(V_I4(&AResult), 31);
    break;
  case 's':
    ASSERT_EQ(V_VT(&AResult), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&AResult), AOp.Name);
    break;
  case 'i':
    ASSERT_EQ(V_VT(&AResult), VT_I4);
    EXPECT_EQ(V_I4(&AResult), kCannedInt);
    break;
  case 'u':
    ASSERT_EQ(V_VT(&AResult), VT_I4);
    EXPECT_EQ(uint32_t(V_I4(&AResult)), kCannedUnsigned);
    break;
  case 'l':
    ASSERT_EQ(V_VT(&AResult), VT_I8);
    EXPECT_EQ(V_I8(&AResult), kCannedInt64);
    break;
  case 'd':
    ASSERT_EQ(V_VT(&AResult), VT_R8);
    EXPECT_EQ(V_R8(&AResult), kCannedDouble);
    break;
  case 'b':
    ASSERT_EQ(V_VT(&AResult), VT_BOOL);
    EXPECT_EQ(V_BOOL(&AResult), VARIANT_TRUE);
    break;
  case 'e':
    ASSERT_EQ(V_VT(&AResult), VT_I4);
    EXPECT_EQ(V_I4(&AResult), kCannedEnum);
    break;
  case 'o':
    ASSERT_EQ(V_VT(&AResult), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(&AResult), AHostObject);
    break;
  default:
    ADD_FAILURE() << "unknown result kind " << AOp.Result;
  }
}

class ContractTest : public ::testing::Test {
protected:
  void SetUp() override { Host->AddRef(); }
  void TearDown() override {
    EXPECT_EQ(Host->RefCount(), 1) << "every reference to a host object was given back";
    Host->Release();
  }
  IDispatch* HostDispatch() { return static_cast<IDispatch*>(Host); }
  TAbstractSupportService* Host = new TAbstractSupportService;
};

TEST_F(ContractTest, EveryDispidOfTheClassAndItsParentsReachesItsOperation) {
  size_t checked = 0;
  for (const TContractClass& cls : ContractClasses()) {
    for (const TContractClass* link : Chain(cls)) {
      for (const TContractOp& op : link->Ops) {
        SCOPED_TRACE(Narrow(cls.Name) + " DISPID " + std::to_string(op.DispId));
        TRecordingObject recording = cls.CreateRecording();
        TObject object(recording.Object);
        recording.Recorder->ObjectResult = TDispatchRecord::FromDispatch(HostDispatch());
        TOpArguments args(op, HostDispatch());
        TResultVariant result;
        ASSERT_EQ(args.Args.Invoke(object.Dispatch(), op.DispId, &result.Value), S_OK);
        ASSERT_EQ(recording.Recorder->Calls.size(), 1u);
        EXPECT_EQ(Narrow(recording.Recorder->Calls[0]), Narrow(args.Expected));
        ExpectCannedResult(op, result.Value, HostDispatch());
        args.ExpectWrites();
        recording.Recorder->ObjectResult = TDispatchRecord();
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 0u);
}

TEST_F(ContractTest, OperationsWithoutAnImplementationAnswerNotImplemented) {
  for (const TContractClass& cls : ContractClasses()) {
    TObject object(cls.CreatePlain());
    for (const TContractClass* link : Chain(cls)) {
      for (const TContractOp& op : link->Ops) {
        if (op.Custom)
          continue;
        SCOPED_TRACE(Narrow(cls.Name) + " DISPID " + std::to_string(op.DispId));
        TOpArguments args(op, HostDispatch());
        TResultVariant result;
        EXPECT_EQ(args.Args.Invoke(object.Dispatch(), op.DispId, &result.Value), E_NOTIMPL);
        EXPECT_TRUE(result.Untouched());
      }
    }
  }
}

TEST_F(ContractTest, DispidsOutsideTheChainAnswerNotImplementedAndCallNothing) {
  std::set<DISPID> all = {0, -1, 1, 1022, 1024, 503425, 508555, 0x7FFFFFFF};
  for (const TContractClass& cls : ContractClasses())
    for (const TContractOp& op : cls.Ops)
      all.insert(op.DispId);
  for (const TContractClass& cls : ContractClasses()) {
    std::set<DISPID> served;
    for (const TContractClass* link : Chain(cls))
      for (const TContractOp& op : link->Ops)
        served.insert(op.DispId);
    TRecordingObject recording = cls.CreateRecording();
    TObject object(recording.Object);
    for (DISPID id : all) {
      if (served.count(id))
        continue;
      SCOPED_TRACE(Narrow(cls.Name) + " DISPID " + std::to_string(id));
      THostArgs args;
      args.I4(1).I4(2).I4(3);
      TResultVariant result;
      EXPECT_EQ(args.Invoke(object.Dispatch(), id, &result.Value), E_NOTIMPL);
      EXPECT_TRUE(result.Untouched());
    }
    EXPECT_TRUE(recording.Recorder->Calls.empty());
  }
}

// Asks through DISPID 1023, as the host does.
bool AnswersService(IDispatch* AObject, const std::wstring& AName) {
  THostArgs args;
  args.Str(AName);
  TResultVariant result;
  EXPECT_EQ(args.Invoke(AObject, 1023, &result.Value), S_OK);
  EXPECT_EQ(V_VT(&result.Value), VT_BOOL);
  EXPECT_TRUE(V_BOOL(&result.Value) == VARIANT_TRUE || V_BOOL(&result.Value) == VARIANT_FALSE);
  return V_BOOL(&result.Value) == VARIANT_TRUE;
}

std::wstring MixCase(std::wstring AName) {
  for (size_t i = 0; i < AName.size(); ++i)
    AName[i] = i % 2 ? towlower(AName[i]) : towupper(AName[i]);
  return AName;
}

TEST_F(ContractTest, ServiceNamesAreTheClassesOwnAndInheritedOnes) {
  std::set<std::wstring> allNames;
  for (const TContractClass& cls : ContractClasses())
    for (const wchar_t* s : cls.Services)
      allNames.insert(s);
  for (const TContractClass& cls : ContractClasses()) {
    std::set<std::wstring> own;
    for (const TContractClass* link : Chain(cls))
      for (const wchar_t* s : link->Services)
        own.insert(s);
    TObject object(cls.CreatePlain());
    for (const std::wstring& name : allNames) {
      SCOPED_TRACE(Narrow(cls.Name) + " asked for " + Narrow(name));
      EXPECT_EQ(AnswersService(object.Dispatch(), name), own.count(name) == 1);
    }
    for (const std::wstring& name : own) {
      SCOPED_TRACE(Narrow(cls.Name) + " asked for " + Narrow(name));
      EXPECT_TRUE(AnswersService(object.Dispatch(), MixCase(name)));
      EXPECT_FALSE(AnswersService(object.Dispatch(), name + L"x"));
      EXPECT_TRUE(SupportsService(object.Dispatch(), name)) << "through ISupportService";
    }
    EXPECT_FALSE(AnswersService(object.Dispatch(), L""));
  }
}

TEST_F(ContractTest, ServiceNamesNamedForTheHostAreAnswered) {
  struct TCase {
    const wchar_t* Class;
    const wchar_t* Name;
    bool Expected;
  };
  const TCase cases[] = {
      {L"TAbstractHardBreakpoint", L"SoftBreakpoint", true},
      {L"TAbstractHardBreakpoint", L"HardBreakpoint", true},
      {L"TAbstractSoftBreakpoint", L"HardBreakpoint", false},
      {L"TAbstractTarvoDriver", L"DeviceInformation", true},
      {L"TAbstractTarvoDriver", L"deviceINFORMATION", true},
      {L"TAbstractTarvoDriver", L"DeviceInformationX", false},
      {L"TAbstractDeviceInformation", L"TarvoDriver", false},
      {L"TAbstractDevicePin", L"DevicePin", true},
      {L"TAbstractDevicePin", L"DeviceInformation", false},
      {L"TAbstractFlashWriter", L"RemoteExecuteBaseDriver", true},
      {L"TAbstractScanPin", L"BSDLObject", true},
      {L"TAbstractScanPin", L"BSDLEntity", false},
      {L"TAbstractSDKServerView", L"ExternalForm", true},
      {L"TAbstractSDKServerView", L"DragDropTarget", true},
      {L"TAbstractSDKServerView", L"ServerView", true},
      {L"TAbstractJlinkDriver", L"JlinkDriver", true},
      {L"TAbstractJlinkDriver", L"TarvoDriver", false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(Narrow(c.Class) + " / " + Narrow(c.Name));
    const TContractClass* cls = FindClass(c.Class);
    ASSERT_NE(cls, nullptr);
    TObject object(cls->CreatePlain());
    EXPECT_EQ(AnswersService(object.Dispatch(), c.Name), c.Expected);
  }
}

TEST_F(ContractTest, SupportsServiceWithoutAnAnswerSlotFails) {
  TObject object(FindClass(L"TAbstractHardBreakpoint")->CreatePlain());
  BSTR name = SysAllocString(L"SoftBreakpoint");
  EXPECT_EQ(object.Object->SupportsService(name, nullptr), E_POINTER);
  SysFreeString(name);
}

// ---- by-reference arguments ---------------------------------------------------

class ByReferenceTest : public ContractTest {
protected:
  TRecordingObject Make(const wchar_t* AClass) {
    TRecordingObject r = FindClass(AClass)->CreateRecording();
    r.Object->AddRef();
    Made.push_back(r.Object);
    return r;
  }
  void TearDown() override {
    for (TAbstractSupportService* o : Made)
      o->Release();
    ContractTest::TearDown();
  }
  std::vector<TAbstractSupportService*> Made;
};

TEST_F(ByReferenceTest, GetBoundsWritesThroughTheFourPointers) {
  TRecordingObject form = Make(L"TAbstractExternalForm");
  int32_t bounds[4] = {-1, -1, -1, -1};
  THostArgs args;
  for (int32_t& b : bounds)
    args.Ref(VT_I4, &b);
  ASSERT_EQ(args.Invoke(static_cast<IDispatch*>(form.Object), 52, nullptr), S_OK);
  EXPECT_EQ(form.Recorder->Calls.at(0), L"GetBounds(-1,-1,-1,-1)");
  EXPECT_EQ(bounds[0], 100) << "left";
  EXPECT_EQ(bounds[1], 101) << "top";
  EXPECT_EQ(bounds[2], 102) << "width";
  EXPECT_EQ(bounds[3], 103) << "height";
}

TEST_F(ByReferenceTest, GetBoundsRefusesValuesWhereReferencesBelong) {
  TRecordingObject form = Make(L"TAbstractExternalForm");
  int32_t bounds[3] = {};
  THostArgs args;
  args.Ref(VT_I4, &bounds[0]).Ref(VT_I4, &bounds[1]).Ref(VT_I4, &bounds[2]).I4(0x1000);
  UINT argErr = 99;
  EXPECT_EQ(args.Invoke(static_cast<IDispatch*>(form.Object), 52, nullptr, &argErr),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u) << "the last argument is rgvarg[0]";
  EXPECT_TRUE(form.Recorder->Calls.empty());
}

TEST_F(ByReferenceTest, CustomActionStateWritesItsThreeFlagsAndPassesTheDataPointers) {
  TRecordingObject driver = Make(L"TAbstractTarvoDriver");
  // The host's flags start with the opposite of what comes back.
  VARIANT_BOOL flags[3] = {VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE};
  int32_t extra1 = 0, extra2 = 0;
  THostArgs args;
  args.I4(4)
      .Ref(VT_BOOL, &flags[0])
      .Ref(VT_BOOL, &flags[1])
      .Ref(VT_BOOL, &flags[2])
      .Ref(VT_I4, &extra1)
      .Ref(VT_I4, &extra2);
  ASSERT_EQ(args.Invoke(static_cast<IDispatch*>(driver.Object), 503815, nullptr), S_OK);
  EXPECT_EQ(driver.Recorder->Calls.at(0), L"CustomAction_GetState(4,1,1,1," + PointerText(&extra1) +
                                              L"," + PointerText(&extra2) + L")")
      << "every own flag starts true; the data pointers arrive unchanged";
  EXPECT_EQ(flags[0], VARIANT_FALSE) << "written false";
  EXPECT_EQ(flags[1], VARIANT_TRUE) << "written 5: any non-zero value is true";
  EXPECT_EQ(flags[2], VARIANT_TRUE) << "left alone: counts as true";
  EXPECT_EQ(extra1, 0);
  EXPECT_EQ(extra2, 0);
}

TEST_F(ByReferenceTest, CustomActionStateWritesFlagsIntoByReferenceVariants) {
  TRecordingObject driver = Make(L"TAbstractTarvoDriver");
  VARIANT flags[3];
  for (VARIANT& v : flags) {
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"old");
  }
  int32_t extra = 0;
  THostArgs args;
  args.I4(1)
      .Ref(VT_VARIANT, &flags[0])
      .Ref(VT_VARIANT, &flags[1])
      .Ref(VT_VARIANT, &flags[2])
      .Ref(VT_I4, &extra)
      .Ref(VT_I4, &extra);
  ASSERT_EQ(args.Invoke(static_cast<IDispatch*>(driver.Object), 503815, nullptr), S_OK);
  const VARIANT_BOOL expected[3] = {VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(V_VT(&flags[i]), VT_BOOL) << i;
    EXPECT_EQ(V_BOOL(&flags[i]), expected[i]) << i;
    VariantClear(&flags[i]);
  }
}

TEST_F(ByReferenceTest, CustomActionStateRefusesAFlagThatIsNoReference) {
  TRecordingObject driver = Make(L"TAbstractTarvoDriver");
  VARIANT_BOOL flag = 0;
  int32_t extra = 0;
  const VARTYPE wrongKinds[] = {VT_BOOL, VT_I4, VT_BYREF | VT_I4};
  for (VARTYPE wrong : wrongKinds) {
    THostArgs args;
    args.I4(1).Ref(VT_BOOL, &flag);
    if (wrong == VT_BOOL)
      args.Bool(VARIANT_TRUE);
    else if (wrong == VT_I4)
      args.I4(0x1234);
    else
      args.Ref(VT_I4, &extra);
    args.Ref(VT_BOOL, &flag).Ref(VT_I4, &extra).Ref(VT_I4, &extra);
    EXPECT_EQ(args.Invoke(static_cast<IDispatch*>(driver.Object), 503815, nullptr),
              DISP_E_TYPEMISMATCH)
        << wrong;
  }
  EXPECT_TRUE(driver.Recorder->Calls.empty());
}

TEST_F(ByReferenceTest, GetFlashMemorySpaceWritesItsFourResults) {
  TRecordingObject writer = Make(L"TAbstractFlashWriter");
  uint32_t out[4] = {9, 9, 9, 9};
  THostArgs args;
  args.I4(2).Ref(VT_UI4, &out[0]).Ref(VT_I4, &out[1]).Ref(VT_UI4, &out[2]).Ref(VT_UI4, &out[3]);
  ASSERT_EQ(args.Invoke(static_cast<IDispatch*>(writer.Object), 508746, nullptr), S_OK);
  EXPECT_EQ(writer.Recorder->Calls.at(0), L"GetFlashMemorySpace(2,9,9,9,9)");
  EXPECT_EQ(out[0], 0xF0000001u) << "global memory-space index";
  EXPECT_EQ(out[1], 0xF0000002u) << "start address";
  EXPECT_EQ(out[2], 0xF0000003u) << "end address";
  EXPECT_EQ(out[3], 0xF0000004u) << "width in bits";

  THostArgs byValue;
  byValue.I4(2).Ref(VT_UI4, &out[0]).I4(0x1000).Ref(VT_UI4, &out[2]).Ref(VT_UI4, &out[3]);
  EXPECT_EQ(byValue.Invoke(static_cast<IDispatch*>(writer.Object), 508746, nullptr),
            DISP_E_TYPEMISMATCH);
  THostArgs wideReference;
  int64_t wide = 0;
  wideReference.I4(2)
      .Ref(VT_UI4, &out[0])
      .Ref(VT_I8, &wide)
      .Ref(VT_UI4, &out[2])
      .Ref(VT_UI4, &out[3]);
  EXPECT_EQ(wideReference.Invoke(static_cast<IDispatch*>(writer.Object), 508746, nullptr),
            DISP_E_TYPEMISMATCH)
      << "an eight-byte variable is not written as four";
  EXPECT_EQ(writer.Recorder->Calls.size(), 1u);
}

// ---- the transport set of DISPID 13 ---------------------------------------------

TEST_F(ByReferenceTest, DropQueryImportsTheTwoByteSet) {
  TRecordingObject view = Make(L"TAbstractSDKServerView");
  uint8_t bytes[4] = {0xCD, 0xAB, 0x77, 0x66}; // only the first two belong to the set
  TComPtr<ITransportSet> set(new TTransportSet(bytes, 4, true));
  THostArgs args;
  args.Obj(HostDispatch()).I4(5).Obj(set.Get(), VT_UNKNOWN);
  TResultVariant result;
  ASSERT_EQ(args.Invoke(static_cast<IDispatch*>(view.Object), 13, &result.Value), S_OK);
  EXPECT_EQ(view.Recorder->Calls.at(0), L"DropQuery(obj,5,CD:AB)");
}

TEST_F(ByReferenceTest, DropQueryWithoutATransportSetIsAnErrorNotACrash) {
  TRecordingObject view = Make(L"TAbstractSDKServerView");
  struct TCase {
    const char* What;
    VARTYPE Type;
    IUnknown* Object;
    HRESULT Expected;
  };
  const TCase cases[] = {
      {"null interface", VT_UNKNOWN, nullptr, E_POINTER},
      {"null dispatch", VT_DISPATCH, nullptr, E_POINTER},
      {"object without ITransportSet", VT_DISPATCH, HostDispatch(), E_NOINTERFACE},
  };
  for (const TCase& c : cases) {
    THostArgs args;
    args.Obj(HostDispatch()).I4(0).Obj(c.Object, c.Type);
    TResultVariant result;
    UINT argErr = 99;
    EXPECT_EQ(args.Invoke(static_cast<IDispatch*>(view.Object), 13, &result.Value, &argErr),
              c.Expected)
        << c.What;
    EXPECT_EQ(argErr, 0u) << c.What;
    EXPECT_TRUE(result.Untouched()) << c.What;
  }
  THostArgs number;
  number.Obj(HostDispatch()).I4(0).I4(0x12345678);
  EXPECT_EQ(number.Invoke(static_cast<IDispatch*>(view.Object), 13, nullptr), DISP_E_TYPEMISMATCH)
      << "a number is never taken for an interface";
  EXPECT_TRUE(view.Recorder->Calls.empty());
}

TEST_F(ByReferenceTest, DropQueryPassesOnTheSetsOwnFailure) {
  struct TFailingSet : TTransportSet {
    TFailingSet() : TTransportSet(nullptr, 0, true) {}
    HRESULT STDMETHODCALLTYPE GetData(uint32_t*, uint32_t*, uint32_t*, uint32_t*, uint32_t*,
                                      uint32_t*, uint32_t*, uint32_t*) override {
      return E_ACCESSDENIED;
    }
  };
  TRecordingObject view = Make(L"TAbstractSDKServerView");
  TComPtr<ITransportSet> set(new TFailingSet);
  THostArgs args;
  args.Obj(HostDispatch()).I4(0).Obj(set.Get(), VT_UNKNOWN);
  EXPECT_EQ(args.Invoke(static_cast<IDispatch*>(view.Object), 13, nullptr), E_ACCESSDENIED);
  EXPECT_TRUE(view.Recorder->Calls.empty());
}

// ---- failures and the server view's own behaviour ------------------------------

TEST_F(ContractTest, AFailingOperationReturnsItsHresultAndLeavesTheResult) {
  TRecordingObject r = FindClass(L"TAbstractTarvoDriver")->CreateRecording();
  TObject object(r.Object);
  r.Recorder->Answer = E_ACCESSDENIED;
  TResultVariant result;
  EXPECT_EQ(THostArgs().Invoke(object.Dispatch(), 503380, &result.Value), E_ACCESSDENIED);
  EXPECT_TRUE(result.Untouched());
}

class TTestServerView : public TAbstractSDKServerView {
public:
  using TAbstractSDKServerView::TAbstractSDKServerView;
  std::wstring Current = L"layout=2";
  std::vector<std::wstring> SetStates;
  HRESULT GetCurrentViewState(std::wstring* AResult) override {
    *AResult = Current;
    return S_OK;
  }
  HRESULT SetViewState(const std::wstring& AState) override {
    SetStates.push_back(AState);
    return S_OK;
  }
  const std::wstring& KeptState() const { return FViewState; }
};

TEST_F(ContractTest, ServerViewKeepsTheStateItHandsOut) {
  auto* view = new TTestServerView(L"Boundary Scan");
  TObject object(view);
  TResultVariant name, state, stateEx;
  ASSERT_EQ(THostArgs().Invoke(object.Dispatch(), 61, &name.Value), S_OK);
  EXPECT_STREQ(V_BSTR(&name.Value), L"Boundary Scan");
  ASSERT_EQ(THostArgs().Invoke(object.Dispatch(), 62, &state.Value), S_OK);
  EXPECT_STREQ(V_BSTR(&state.Value), L"layout=2");
  EXPECT_EQ(view->KeptState(), L"layout=2");

  view->Current = L"layout=3";
  int32_t unused = 0;
  THostArgs ex;
  ex.Ref(VT_I4, &unused);
  ASSERT_EQ(ex.Invoke(object.Dispatch(), 65, &stateEx.Value), S_OK);
  EXPECT_STREQ(V_BSTR(&stateEx.Value), L"layout=3") << "GetViewStateEx answers GetViewState";
  EXPECT_EQ(view->KeptState(), L"layout=3");

  THostArgs setEx;
  setEx.Str(L"restored");
  ASSERT_EQ(setEx.Invoke(object.Dispatch(), 66, nullptr), S_OK);
  EXPECT_EQ(view->SetStates, std::vector<std::wstring>{L"restored"});
}

TEST_F(ContractTest, DefaultServerViewRefusesDropsAndShowsTheNoDropCursor) {
  TObject object(new TAbstractSDKServerView(L"View"));
  TRecordingDispatch dragObject;
  {
    THostArgs drag;
    drag.Obj(&dragObject);
    ASSERT_EQ(drag.Invoke(object.Dispatch(), 9, nullptr), S_OK);
  }
  ASSERT_EQ(dragObject.Calls.size(), 1u);
  EXPECT_EQ(dragObject.Calls[0].DispId, 6) << "SetDragCursor";
  ASSERT_EQ(dragObject.Calls[0].Args.size(), 1u);
  EXPECT_EQ(V_VT(&dragObject.Calls[0].Args[0]), VT_I4);
  EXPECT_EQ(uint32_t(V_I4(&dragObject.Calls[0].Args[0])),
            uint32_t(reinterpret_cast<uintptr_t>(LoadCursorW(nullptr, IDC_NO))));

  for (DISPID id : {10, 11, 12}) {
    THostArgs notify;
    notify.Obj(&dragObject);
    EXPECT_EQ(notify.Invoke(object.Dispatch(), id, nullptr), S_OK) << id;
  }
  EXPECT_EQ(dragObject.Calls.size(), 1u) << "the notifications do nothing";

  uint8_t bytes[2] = {1, 0};
  TComPtr<ITransportSet> set(new TTransportSet(bytes, 2, true));
  {
    THostArgs drop;
    drop.Obj(&dragObject).I4(0).Obj(set.Get(), VT_UNKNOWN);
    TResultVariant result;
    ASSERT_EQ(drop.Invoke(object.Dispatch(), 13, &result.Value), S_OK);
    EXPECT_EQ(V_VT(&result.Value), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result.Value), VARIANT_FALSE);
  }

  THostArgs state;
  TResultVariant stateResult;
  ASSERT_EQ(state.Invoke(object.Dispatch(), 62, &stateResult.Value), S_OK);
  EXPECT_STREQ(V_BSTR(&stateResult.Value), L"") << "no current state by default";
  EXPECT_EQ(THostArgs().Invoke(object.Dispatch(), 60, &stateResult.Value), E_NOTIMPL)
      << "whether it docks is for each view to say";
  EXPECT_EQ(dragObject.Refs, 1) << "references to the drag object were all given back";
}

TEST_F(ContractTest, DragQueryWithoutADragObjectDoesNothing) {
  TObject object(new TAbstractSDKServerView(L"View"));
  THostArgs drag;
  drag.Obj(nullptr);
  EXPECT_EQ(drag.Invoke(object.Dispatch(), 9, nullptr), S_OK);
}

TEST_F(ContractTest, DragQueryReportsAFailingHostAsUnexpected) {
  TObject object(new TAbstractSDKServerView(L"View"));
  TRecordingDispatch dragObject;
  dragObject.Answer = E_FAIL;
  THostArgs drag;
  drag.Obj(&dragObject);
  EXPECT_EQ(drag.Invoke(object.Dispatch(), 9, nullptr), E_UNEXPECTED);
}

} // namespace
