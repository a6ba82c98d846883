#include "debug-manager.h"
#include "host-call.h"
#include "soft-breakpoint.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// DISPIDs the host uses on the manager and on breakpoints.
enum : DISPID {
  AddHardBreakPoint = 503948,
  GetNewHardBreakpoint = 503949,
  GetNewSoftBreakpoint = 503950,
  GetSystemBreakpoint = 503951,
  ReleaseBreakpoint = 503952,
  ReleaseAllBreakpoints = 503955,
  GetAllocatedSoftBreakPointCount = 503962,
  GetAllocatedHardBreakPointCount = 503963,
  SetBreakpointMode = 503966,
  SetDebuggerMode = 503967,
  SetSoftbreakpointsRequireHardware = 503968,
  GetBreakpointMode = 503969,
  GetHardBreakpointCount = 503972,
  AddressSupportsSoftBreakpoints = 508566,
  GetNewBreakpoint = 508567,
  GetBreakpointByAddress = 508568,
  GetBreakpointByData = 508569,
  BpGetReplaced = 503450,
  BpEnable = 503453,
  BpDisable = 503454,
  BpGetMemorySpace = 503455,
  BpGetAddress = 508547,
  BpSetAddress = 508548,
};

// ---- a byte-wide memory behind IMemoryAccess -------------------------------

enum class TMemoryKind {
  Ram,
  Rom,          // ignores writes
  FirstTwoOnly, // takes writes to its lowest two test addresses only
  ReadRefused,  // answers success False and leaves the buffer alone
  Failing,      // every call fails
};

class TMemoryFake : public IMemoryAccess {
public:
  explicit TMemoryFake(TMemoryKind AKind = TMemoryKind::Ram) : FKind(AKind) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override {
    if (!IsEqualIID(AIid, IID_IUnknown) && !IsEqualIID(AIid, IID_IMemoryAccess)) {
      *AObject = nullptr;
      return E_NOINTERFACE;
    }
    *AObject = static_cast<IMemoryAccess*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t, PMemoryArray ABuffer, int64_t AAddress,
                                       int32_t ACount, TLongBool* ASuccess) override {
    if (FKind == TMemoryKind::Failing)
      return E_FAIL;
    *ASuccess = LongFalse;
    if (FKind == TMemoryKind::ReadRefused)
      return S_OK;
    for (int32_t i = 0; i < ACount; ++i)
      ABuffer[i] = Byte(AAddress + i);
    *ASuccess = LongTrue;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t, PMemoryArray ABuffer, int64_t AAddress,
                                        int32_t ACount, TLongBool* ASuccess) override {
    if (FKind == TMemoryKind::Failing)
      return E_FAIL;
    ++FWrites;
    for (int32_t i = 0; i < ACount; ++i) {
      const bool takes = FKind == TMemoryKind::Ram || FKind == TMemoryKind::ReadRefused ||
                         (FKind == TMemoryKind::FirstTwoOnly && i < 2);
      if (takes)
        FBytes[AAddress + i] = uint8_t(ABuffer[i]);
    }
    *ASuccess = LongTrue;
    return S_OK;
  }

  // Unwritten memory reads as a pattern of its address.
  uint8_t Byte(int64_t AAddress) const {
    const auto it = FBytes.find(AAddress);
    return it != FBytes.end() ? it->second : uint8_t(0x30 + (AAddress & 0x0F));
  }
  std::vector<uint8_t> Bytes(int64_t AAddress, int ACount) const {
    std::vector<uint8_t> out;
    for (int i = 0; i < ACount; ++i)
      out.push_back(Byte(AAddress + i));
    return out;
  }
  void Poke(int64_t AAddress, uint8_t AValue) { FBytes[AAddress] = AValue; }
  int Writes() const { return FWrites; }

private:
  TMemoryKind FKind;
  std::map<int64_t, uint8_t> FBytes;
  int FWrites = 0;
};

// ---- a driver that plants Thumb BKPT halfwords through IMemoryAccess -------

constexpr uint8_t BkptLow = 0x00, BkptHigh = 0xBE;

class TDriverFake : public IBreakpointDriver {
public:
  explicit TDriverFake(TMemoryFake& AMemory) : FMemory(AMemory) {}

  void OpenChannel() override { ++FOpen; }
  void CloseChannel() override { ++FClose; }
  uint32_t AddSoftBreakpoint(int32_t ASpace, int64_t AAddress) override {
    ++FAdds;
    if (FFailPlanting)
      throw std::runtime_error("no target");
    uint32_t unit[2] = {};
    TLongBool ok;
    CheckDriverResult(FMemory.MemoryRead(ASpace, unit, AAddress, 2, &ok));
    uint32_t bkpt[2] = {BkptLow, BkptHigh};
    CheckDriverResult(FMemory.MemoryWrite(ASpace, bkpt, AAddress, 2, &ok));
    return unit[0] | unit[1] << 8;
  }
  bool RemoveSoftBreakpoint(int32_t ASpace, int64_t AAddress, uint32_t AReplaced) override {
    ++FRemoves;
    uint32_t unit[2] = {AReplaced & 0xFF, (AReplaced >> 8) & 0xFF};
    TLongBool ok;
    CheckDriverResult(FMemory.MemoryWrite(ASpace, unit, AAddress, 2, &ok));
    return true;
  }
  ITarvoDevice GetTarvoDevice() override { return ITarvoDevice(); }
  TComPtr<IMemoryAccess> GetMemoryAccess() override { return TComPtr<IMemoryAccess>(&FMemory); }

  TMemoryFake& FMemory;
  int FOpen = 0, FClose = 0, FAdds = 0, FRemoves = 0;
  bool FFailPlanting = false;
};

// ---- a hardware breakpoint as the ARM layer hands them in -----------------

class THardBreakpointFake : public TAbstractHardBreakpoint {
public:
  explicit THardBreakpointFake(int64_t AData = 0) : FData(AData) {}
  HRESULT Enable(TBoolean* AResult) override {
    FEnabled = true;
    ++FEnables;
    *AResult = true;
    return S_OK;
  }
  HRESULT Disable(TBoolean* AResult) override {
    FEnabled = false;
    ++FDisables;
    *AResult = true;
    return S_OK;
  }
  HRESULT Reset() override {
    ++FResets;
    return S_OK;
  }
  HRESULT GetMemorySpace(int32_t* AResult) override {
    *AResult = FSpace;
    return S_OK;
  }
  HRESULT SetMemorySpace(int32_t ASpace) override {
    FSpace = ASpace;
    return S_OK;
  }
  HRESULT GetAddress(int64_t* AResult) override {
    *AResult = FAddress;
    return S_OK;
  }
  HRESULT SetAddress(int64_t AAddress) override {
    FAddress = AAddress;
    return S_OK;
  }
  HRESULT GetData(int64_t* AResult) override {
    *AResult = FData;
    return S_OK;
  }
  int64_t FData;
  int64_t FAddress = 0;
  int32_t FSpace = 0;
  bool FEnabled = false;
  int FEnables = 0, FDisables = 0, FResets = 0;
};

// ---- fixture: a manager reached by DISPID ----------------------------------

class DebugManager : public testing::Test {
protected:
  explicit DebugManager(TMemoryKind AKind = TMemoryKind::Ram) : FMemory(AKind) {}

  void SetUp() override {
    FDriver = std::make_shared<TDriverFake>(FMemory);
    FManager = new TDeviceDebugManager(FDriver);
    FManager->AddRef();
  }
  void TearDown() override {
    FManager->Release();
    for (THardBreakpointFake* h : FHard)
      h->Release();
  }

  IDispatch* Manager() { return static_cast<IDispatch*>(FManager); }

  THardBreakpointFake* RegisterHard(int64_t AData = 0) {
    auto* h = new THardBreakpointFake(AData);
    h->AddRef();
    FHard.push_back(h);
    EXPECT_EQ(HostCall(Manager(), AddHardBreakPoint, {ArgObject(static_cast<IDispatch*>(h))}),
              S_OK);
    return h;
  }

  // Calls a DISPID that answers an object; the identity of the answer.
  IUnknown* ObjectOf(DISPID ADispId, std::initializer_list<THostArg> AArgs = {}) {
    THostResult r;
    EXPECT_EQ(HostCall(Manager(), ADispId, AArgs, r), S_OK);
    if (r.Object())
      FKept.push_back(TComPtr<IDispatch>(r.Object()));
    return IdentityOf(r.Object());
  }
  IDispatch* DispatchOf(DISPID ADispId, std::initializer_list<THostArg> AArgs = {}) {
    THostResult r;
    EXPECT_EQ(HostCall(Manager(), ADispId, AArgs, r), S_OK);
    if (!r.Object())
      return nullptr;
    FKept.push_back(TComPtr<IDispatch>(r.Object()));
    return r.Object();
  }
  int32_t IntOf(DISPID ADispId, std::initializer_list<THostArg> AArgs = {}) {
    THostResult r;
    EXPECT_EQ(HostCall(Manager(), ADispId, AArgs, r), S_OK);
    return r.Int();
  }
  bool BoolOf(IDispatch* AObject, DISPID ADispId, std::initializer_list<THostArg> AArgs = {}) {
    THostResult r;
    EXPECT_EQ(HostCall(AObject, ADispId, AArgs, r), S_OK);
    EXPECT_EQ(r.Type(), VT_BOOL);
    return r.Bool();
  }
  static IUnknown* Id(THardBreakpointFake* AHard) {
    return IdentityOf(static_cast<IDispatch*>(AHard));
  }

  TMemoryFake FMemory;
  std::shared_ptr<TDriverFake> FDriver;
  TDeviceDebugManager* FManager = nullptr;
  std::vector<THardBreakpointFake*> FHard;
  std::vector<TComPtr<IDispatch>> FKept;
};

TEST_F(DebugManager, HandsOutHardBreakpointsInRegistrationOrderUntilNoneIsLeft) {
  THardBreakpointFake* first = RegisterHard();
  THardBreakpointFake* second = RegisterHard();
  EXPECT_EQ(ObjectOf(GetNewHardBreakpoint), Id(first));
  EXPECT_EQ(IntOf(GetHardBreakpointCount), 2);
  EXPECT_EQ(ObjectOf(GetNewHardBreakpoint), Id(second));
  EXPECT_EQ(ObjectOf(GetNewHardBreakpoint), nullptr);
  EXPECT_EQ(IntOf(GetHardBreakpointCount), 2);
  EXPECT_EQ(IntOf(GetAllocatedHardBreakPointCount), 2);
}

// What a "get new" request does in the other kind's mode.
struct TModeSwitchCase {
  const char* Name;
  TBreakpointMode StartMode;
  TDebuggerMode DebuggerMode;
  DISPID Request;
  bool Answered;
  TBreakpointMode ModeAfter;
};

class ModeSwitch : public DebugManager, public testing::WithParamInterface<TModeSwitchCase> {};

TEST_P(ModeSwitch, GetNewSwitchesTheModeOnlyInAutoDebuggerMode) {
  const TModeSwitchCase& c = GetParam();
  RegisterHard();
  ASSERT_EQ(HostCall(Manager(), SetBreakpointMode, {ArgI4(c.StartMode)}), S_OK);
  ASSERT_EQ(HostCall(Manager(), SetDebuggerMode, {ArgI4(c.DebuggerMode)}), S_OK);
  EXPECT_EQ(ObjectOf(c.Request) != nullptr, c.Answered);
  EXPECT_EQ(IntOf(GetBreakpointMode), c.ModeAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ModeSwitch,
    testing::Values(TModeSwitchCase{"HardInSoftModeManual", eBreakpointMode_SOFT,
                                    eDebuggerMode_MANUAL, GetNewHardBreakpoint, false,
                                    eBreakpointMode_SOFT},
                    TModeSwitchCase{"HardInSoftModeAuto", eBreakpointMode_SOFT, eDebuggerMode_AUTO,
                                    GetNewHardBreakpoint, true, eBreakpointMode_ANY},
                    TModeSwitchCase{"SoftInHardModeManual", eBreakpointMode_HARD,
                                    eDebuggerMode_MANUAL, GetNewSoftBreakpoint, false,
                                    eBreakpointMode_HARD},
                    TModeSwitchCase{"SoftInHardModeAuto", eBreakpointMode_HARD, eDebuggerMode_AUTO,
                                    GetNewSoftBreakpoint, true, eBreakpointMode_SOFT},
                    TModeSwitchCase{"HardInAnyMode", eBreakpointMode_ANY, eDebuggerMode_MANUAL,
                                    GetNewHardBreakpoint, true, eBreakpointMode_ANY},
                    TModeSwitchCase{"SoftInAnyMode", eBreakpointMode_ANY, eDebuggerMode_MANUAL,
                                    GetNewSoftBreakpoint, true, eBreakpointMode_ANY}),
    [](const testing::TestParamInfo<TModeSwitchCase>& AInfo) {
      return std::string(AInfo.param.Name);
    });

// SetBreakpointMode and where the system breakpoint ends up.
struct TSetModeCase {
  const char* Name;
  bool RequireHard;
  int HardCount;
  int32_t FirstMode; // set before the tested call; -1 for none
  int32_t Mode;
  bool Ok;
  TBreakpointMode ModeAfter;
  bool SystemHeld;
  int Available; // GetHardBreakpointCount afterwards
};

class SetMode : public DebugManager, public testing::WithParamInterface<TSetModeCase> {};

TEST_P(SetMode, SetBreakpointModeMovesTheSystemBreakpoint) {
  const TSetModeCase& c = GetParam();
  for (int i = 0; i < c.HardCount; ++i)
    RegisterHard();
  ASSERT_EQ(HostCall(Manager(), SetSoftbreakpointsRequireHardware, {ArgBool(c.RequireHard)}), S_OK);
  if (c.FirstMode >= 0) {
    ASSERT_EQ(HostCall(Manager(), SetBreakpointMode, {ArgI4(c.FirstMode)}), S_OK);
  }
  THostResult ok;
  ASSERT_EQ(HostCall(Manager(), SetBreakpointMode, {ArgI4(c.Mode)}, ok), S_OK);
  EXPECT_EQ(ok.Bool(), c.Ok);
  EXPECT_EQ(IntOf(GetBreakpointMode), c.ModeAfter);
  EXPECT_EQ(ObjectOf(GetSystemBreakpoint) != nullptr, c.SystemHeld);
  EXPECT_EQ(IntOf(GetHardBreakpointCount), c.Available);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SetMode,
    testing::Values(TSetModeCase{"SameModeIsOk", false, 0, -1, eBreakpointMode_ANY, true,
                                 eBreakpointMode_ANY, false, 0},
                    TSetModeCase{"HardWithoutHardware", false, 0, -1, eBreakpointMode_HARD, false,
                                 eBreakpointMode_ANY, false, 0},
                    TSetModeCase{"HardWithHardware", false, 1, -1, eBreakpointMode_HARD, true,
                                 eBreakpointMode_HARD, false, 1},
                    TSetModeCase{"SoftNeedingHardwareHoldsOne", true, 2, eBreakpointMode_HARD,
                                 eBreakpointMode_SOFT, true, eBreakpointMode_SOFT, true, 1},
                    TSetModeCase{"SoftNeedingHardwareWithoutAny", true, 0, -1, eBreakpointMode_SOFT,
                                 false, eBreakpointMode_ANY, false, 0},
                    // The only hardware breakpoint is held back for SOFT; HARD gives it
                    // up and then finds it available.
                    TSetModeCase{"HardGivesUpTheSystemBreakpoint", true, 1, eBreakpointMode_SOFT,
                                 eBreakpointMode_HARD, true, eBreakpointMode_HARD, false, 1},
                    TSetModeCase{"UnknownMode", false, 1, -1, 7, false, eBreakpointMode_ANY, false,
                                 1}),
    [](const testing::TestParamInfo<TSetModeCase>& AInfo) {
      return std::string(AInfo.param.Name);
    });

TEST_F(DebugManager, HardModeTakesBackTheBreakpointHeldForSoftBreakpoints) {
  RegisterHard();
  ASSERT_EQ(HostCall(Manager(), SetSoftbreakpointsRequireHardware, {ArgBool(true)}), S_OK);
  ASSERT_NE(ObjectOf(GetNewSoftBreakpoint), nullptr); // holds the only one
  EXPECT_EQ(IntOf(GetHardBreakpointCount), 0);
  // HARD gives the held one up first, so it finds one available.
  THostResult ok;
  ASSERT_EQ(HostCall(Manager(), SetBreakpointMode, {ArgI4(eBreakpointMode_HARD)}, ok), S_OK);
  EXPECT_TRUE(ok.Bool());
  EXPECT_EQ(ObjectOf(GetSystemBreakpoint), nullptr);
  EXPECT_EQ(IntOf(GetHardBreakpointCount), 1);
}

struct TReleaseCase {
  const char* Name;
  TDebuggerMode DebuggerMode;
  bool SystemReturned;
};

class ReleaseLastSoft : public DebugManager, public testing::WithParamInterface<TReleaseCase> {};

TEST_P(ReleaseLastSoft, ReturnsTheSystemBreakpointOnlyInAutoMode) {
  const TReleaseCase& c = GetParam();
  THardBreakpointFake* only = RegisterHard();
  ASSERT_EQ(HostCall(Manager(), SetSoftbreakpointsRequireHardware, {ArgBool(true)}), S_OK);
  ASSERT_EQ(HostCall(Manager(), SetDebuggerMode, {ArgI4(c.DebuggerMode)}), S_OK);
  IDispatch* soft = DispatchOf(GetNewSoftBreakpoint);
  ASSERT_NE(soft, nullptr);
  EXPECT_EQ(ObjectOf(GetSystemBreakpoint), Id(only));
  EXPECT_EQ(IntOf(GetHardBreakpointCount), 0);
  ASSERT_EQ(HostCall(Manager(), ReleaseBreakpoint, {ArgObject(soft)}), S_OK);
  EXPECT_EQ(IntOf(GetAllocatedSoftBreakPointCount), 0);
  EXPECT_EQ(ObjectOf(GetSystemBreakpoint), c.SystemReturned ? nullptr : Id(only));
  EXPECT_EQ(IntOf(GetHardBreakpointCount), c.SystemReturned ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Table, ReleaseLastSoft,
                         testing::Values(TReleaseCase{"Auto", eDebuggerMode_AUTO, true},
                                         TReleaseCase{"Manual", eDebuggerMode_MANUAL, false}),
                         [](const testing::TestParamInfo<TReleaseCase>& AInfo) {
                           return std::string(AInfo.param.Name);
                         });

TEST_F(DebugManager, ReleasedHardBreakpointIsDisabledResetAndAvailableAgain) {
  THardBreakpointFake* first = RegisterHard();
  RegisterHard();
  ASSERT_EQ(ObjectOf(GetNewHardBreakpoint), Id(first));
  ASSERT_EQ(HostCall(Manager(), ReleaseBreakpoint, {ArgObject(static_cast<IDispatch*>(first))}),
            S_OK);
  EXPECT_EQ(first->FDisables, 1);
  EXPECT_EQ(first->FResets, 1);
  EXPECT_EQ(IntOf(GetAllocatedHardBreakPointCount), 0);
  // It went to the end of the available list.
  EXPECT_NE(ObjectOf(GetNewHardBreakpoint), Id(first));
  EXPECT_EQ(ObjectOf(GetNewHardBreakpoint), Id(first));
}

TEST_F(DebugManager, ReleasingAnUnknownBreakpointChangesNothing) {
  THardBreakpointFake* registered = RegisterHard();
  THardBreakpointFake* stranger = new THardBreakpointFake;
  stranger->AddRef();
  EXPECT_EQ(HostCall(Manager(), ReleaseBreakpoint, {ArgObject(static_cast<IDispatch*>(stranger))}),
            S_OK);
  EXPECT_EQ(stranger->FDisables + stranger->FResets, 0);
  EXPECT_EQ(IntOf(GetHardBreakpointCount), 1);
  EXPECT_EQ(ObjectOf(GetNewHardBreakpoint), Id(registered));
  stranger->Release();
}

TEST_F(DebugManager, GetNewBreakpointOnAKnownAddressAnswersThatBreakpointAgain) {
  IDispatch* first = DispatchOf(GetNewBreakpoint, {ArgI4(0), ArgI8(0x100)});
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(ObjectOf(GetNewBreakpoint, {ArgI4(3), ArgI8(0x100)}), IdentityOf(first));
  EXPECT_EQ(IntOf(GetAllocatedSoftBreakPointCount), 1);
  THostResult space;
  ASSERT_EQ(HostCall(first, BpGetMemorySpace, {}, space), S_OK);
  EXPECT_EQ(space.Int(), 3);
}

TEST_F(DebugManager, BreakpointsAreFoundByAddressSoftFirstAndByData) {
  THardBreakpointFake* hard = RegisterHard(0x55);
  ASSERT_EQ(ObjectOf(GetNewHardBreakpoint), Id(hard));
  hard->FAddress = 0x200;
  EXPECT_EQ(ObjectOf(GetBreakpointByAddress, {ArgI4(0), ArgI8(0x200)}), Id(hard));
  IDispatch* soft = DispatchOf(GetNewSoftBreakpoint);
  ASSERT_EQ(HostCall(soft, BpSetAddress, {ArgI8(0x200)}), S_OK);
  EXPECT_EQ(ObjectOf(GetBreakpointByAddress, {ArgI4(1), ArgI8(0x200)}), IdentityOf(soft));
  EXPECT_EQ(ObjectOf(GetBreakpointByAddress, {ArgI4(0), ArgI8(0x1000000200LL)}), nullptr);
  EXPECT_EQ(ObjectOf(GetBreakpointByData, {ArgI8(0x55)}), Id(hard));
  EXPECT_EQ(ObjectOf(GetBreakpointByData, {ArgI8(0x56)}), nullptr);
}

TEST_F(DebugManager, ReleaseAllRestoresMemoryAndKeepsTheSystemBreakpoint) {
  THardBreakpointFake* system = RegisterHard();
  THardBreakpointFake* user = RegisterHard();
  ASSERT_EQ(HostCall(Manager(), SetSoftbreakpointsRequireHardware, {ArgBool(true)}), S_OK);
  IDispatch* soft = DispatchOf(GetNewBreakpoint, {ArgI4(0), ArgI8(0x40)});
  ASSERT_NE(soft, nullptr);
  EXPECT_EQ(ObjectOf(GetSystemBreakpoint), Id(system));
  ASSERT_EQ(ObjectOf(GetNewHardBreakpoint), Id(user));
  const std::vector<uint8_t> before = FMemory.Bytes(0x40, 2);
  ASSERT_TRUE(BoolOf(soft, BpEnable));
  EXPECT_EQ(FMemory.Bytes(0x40, 2), (std::vector<uint8_t>{BkptLow, BkptHigh}));
  ASSERT_EQ(HostCall(Manager(), ReleaseAllBreakpoints), S_OK);
  EXPECT_EQ(FMemory.Bytes(0x40, 2), before);
  EXPECT_EQ(user->FDisables, 1);
  EXPECT_EQ(IntOf(GetAllocatedSoftBreakPointCount), 0);
  EXPECT_EQ(IntOf(GetAllocatedHardBreakPointCount), 0);
  EXPECT_EQ(ObjectOf(GetSystemBreakpoint), Id(system));
}

// ---- AddressSupportsSoftBreakpoints over memories that behave differently --

struct TWritableCase {
  const char* Name;
  TMemoryKind Kind;
  HRESULT Result;
  bool Writable;
  bool Touched; // whether any write reached the memory
};

class WritableProbe : public testing::TestWithParam<TWritableCase> {};

TEST_P(WritableProbe, AnswersWhetherMemoryTakesWritesAndLeavesItAsItWas) {
  const TWritableCase& c = GetParam();
  TMemoryFake memory(c.Kind);
  memory.Poke(0x1000, 0xFF); // wraps to 0 in the test pattern
  auto driver = std::make_shared<TDriverFake>(memory);
  TComPtr<IDispatch> manager(static_cast<IDispatch*>(new TDeviceDebugManager(driver)));
  const std::vector<uint8_t> before = memory.Bytes(0x1000, 4);
  THostResult r;
  EXPECT_EQ(HostCall(manager.Get(), AddressSupportsSoftBreakpoints, {ArgI4(0), ArgI8(0x1000)}, r),
            c.Result);
  if (c.Result == S_OK) {
    EXPECT_EQ(r.Bool(), c.Writable);
  }
  EXPECT_EQ(memory.Bytes(0x1000, 4), before);
  EXPECT_EQ(memory.Writes() > 0, c.Touched);
  EXPECT_EQ(driver->FOpen, 1);
  EXPECT_EQ(driver->FClose, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WritableProbe,
    testing::Values(TWritableCase{"Ram", TMemoryKind::Ram, S_OK, true, true},
                    TWritableCase{"Rom", TMemoryKind::Rom, S_OK, false, true},
                    TWritableCase{"TakesPartOfThePattern", TMemoryKind::FirstTwoOnly, S_OK, false,
                                  true},
                    TWritableCase{"ReadRefused", TMemoryKind::ReadRefused, S_OK, false, false},
                    TWritableCase{"AccessFails", TMemoryKind::Failing, E_UNEXPECTED, false, false}),
    [](const testing::TestParamInfo<TWritableCase>& AInfo) {
      return std::string(AInfo.param.Name);
    });

struct TNewBreakpointCase {
  const char* Name;
  TMemoryKind Kind;
  int HardCount;
  const char* Expected; // "soft", "hard" or "none"
};

class NewBreakpointKind : public testing::TestWithParam<TNewBreakpointCase> {};

TEST_P(NewBreakpointKind, GetNewBreakpointPrefersSoftWhereMemoryIsWritable) {
  const TNewBreakpointCase& c = GetParam();
  TMemoryFake memory(c.Kind);
  auto driver = std::make_shared<TDriverFake>(memory);
  TComPtr<IDispatch> manager(static_cast<IDispatch*>(new TDeviceDebugManager(driver)));
  std::vector<TComPtr<IDispatch>> hard;
  for (int i = 0; i < c.HardCount; ++i) {
    hard.emplace_back(static_cast<IDispatch*>(new THardBreakpointFake));
    ASSERT_EQ(HostCall(manager.Get(), AddHardBreakPoint, {ArgObject(hard.back().Get())}), S_OK);
  }
  THostResult r;
  ASSERT_EQ(HostCall(manager.Get(), GetNewBreakpoint, {ArgI4(2), ArgI8(0x300)}, r), S_OK);
  const std::string expected = c.Expected;
  if (expected == "none") {
    EXPECT_EQ(r.Object(), nullptr);
    return;
  }
  ASSERT_NE(r.Object(), nullptr);
  EXPECT_EQ(IdentityOf(r.Object()) == IdentityOf(hard.empty() ? nullptr : hard[0].Get()),
            expected == "hard");
  THostResult address, space;
  ASSERT_EQ(HostCall(r.Object(), BpGetAddress, {}, address), S_OK);
  ASSERT_EQ(HostCall(r.Object(), BpGetMemorySpace, {}, space), S_OK);
  EXPECT_EQ(address.Int64(), 0x300);
  EXPECT_EQ(space.Int(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NewBreakpointKind,
    testing::Values(TNewBreakpointCase{"RamGivesSoft", TMemoryKind::Ram, 1, "soft"},
                    TNewBreakpointCase{"RomGivesHard", TMemoryKind::Rom, 1, "hard"},
                    TNewBreakpointCase{"RomWithoutHardwareGivesNone", TMemoryKind::Rom, 0, "none"}),
    [](const testing::TestParamInfo<TNewBreakpointCase>& AInfo) {
      return std::string(AInfo.param.Name);
    });

// ---- software breakpoints in memory ----------------------------------------

class SoftBreakpoint : public DebugManager {
protected:
  IDispatch* NewAt(int64_t AAddress) {
    IDispatch* bp = DispatchOf(GetNewBreakpoint, {ArgI4(0), ArgI8(AAddress)});
    EXPECT_NE(bp, nullptr);
    return bp;
  }
  uint32_t Replaced(IDispatch* ABreakpoint) {
    THostResult r;
    EXPECT_EQ(HostCall(ABreakpoint, BpGetReplaced, {}, r), S_OK);
    return uint32_t(r.Int());
  }
};

TEST_F(SoftBreakpoint, EnablePlantsAndDisableRestoresTheReplacedWord) {
  FMemory.Poke(0x80, 0x12);
  FMemory.Poke(0x81, 0x34);
  IDispatch* bp = NewAt(0x80);
  ASSERT_TRUE(BoolOf(bp, BpEnable));
  EXPECT_EQ(FMemory.Bytes(0x80, 2), (std::vector<uint8_t>{BkptLow, BkptHigh}));
  EXPECT_EQ(Replaced(bp), 0x3412u);
  ASSERT_TRUE(BoolOf(bp, BpDisable));
  EXPECT_EQ(FMemory.Bytes(0x80, 2), (std::vector<uint8_t>{0x12, 0x34}));
  EXPECT_EQ(FDriver->FOpen, FDriver->FClose);
}

TEST_F(SoftBreakpoint, EnablingTwiceKeepsTheOriginalWord) {
  const std::vector<uint8_t> before = FMemory.Bytes(0x80, 2);
  IDispatch* bp = NewAt(0x80);
  ASSERT_TRUE(BoolOf(bp, BpEnable));
  EXPECT_TRUE(BoolOf(bp, BpEnable));
  EXPECT_EQ(FDriver->FAdds, 1);
  EXPECT_EQ(Replaced(bp), uint32_t(before[0] | before[1] << 8));
  ASSERT_TRUE(BoolOf(bp, BpDisable));
  EXPECT_EQ(FMemory.Bytes(0x80, 2), before);
}

TEST_F(SoftBreakpoint, DisablingABreakpointNeverEnabledDoesNotTouchTheDriver) {
  IDispatch* bp = NewAt(0x80);
  const int opens = FDriver->FOpen, writes = FMemory.Writes();
  EXPECT_FALSE(BoolOf(bp, BpDisable));
  EXPECT_EQ(FDriver->FOpen, opens);
  EXPECT_EQ(FDriver->FRemoves, 0);
  EXPECT_EQ(FMemory.Writes(), writes);
}

TEST_F(SoftBreakpoint, DisableRestoresWhereItWasPlantedAfterTheAddressMoved) {
  const std::vector<uint8_t> at80 = FMemory.Bytes(0x80, 2), at90 = FMemory.Bytes(0x90, 2);
  IDispatch* bp = NewAt(0x80);
  ASSERT_TRUE(BoolOf(bp, BpEnable));
  ASSERT_EQ(HostCall(bp, BpSetAddress, {ArgI8(0x90)}), S_OK);
  ASSERT_TRUE(BoolOf(bp, BpDisable));
  EXPECT_EQ(FMemory.Bytes(0x80, 2), at80);
  EXPECT_EQ(FMemory.Bytes(0x90, 2), at90);
}

TEST_F(SoftBreakpoint, FailedPlantingAnswersUnexpectedAndClosesTheChannel) {
  IDispatch* bp = NewAt(0x80);
  FDriver->FFailPlanting = true;
  THostResult r;
  EXPECT_EQ(HostCall(bp, BpEnable, {}, r), E_UNEXPECTED);
  EXPECT_EQ(FDriver->FOpen, FDriver->FClose);
  FDriver->FFailPlanting = false;
  // Not enabled: a later Disable writes nothing back.
  EXPECT_FALSE(BoolOf(bp, BpDisable));
  EXPECT_EQ(FDriver->FRemoves, 0);
}

} // namespace
