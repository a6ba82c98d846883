// The J-Link road of the Cortex-M3 driver against the test host's ports:
// which port's probe a driver adopts, the probe's breakpoint units, the
// adapter's breakpoint list and register numbers, and a driver that goes
// on after the library lacks a function or raises inside one.

#include "arm-test-support.h"
#include "client-access.h"
#include "host-modules.h"
#include "dialog-hook.h"
#include "jlink-cortex-m3.h"
#include "jlink-standin.h"

#include <gtest/gtest.h>

namespace {

constexpr DISPID kGetRegister = 503767, kPause = 503797, kIsPaused = 503800, kReadWord = 509035;
constexpr DISPID kGetNewHardBreakpoint = 503949, kBreakpointEnable = 503453,
                 kBreakpointSetAddress = 508548;
constexpr uint32_t kSram = 0x20000000;

class TTestJlinkCortexM3 : public TJlinkCortexM3 {
public:
  using TJlinkCortexM3::TJlinkCortexM3;
  using TJlinkCortexM3::UsesJlink;
};

class JlinkRoad : public ::testing::Test {
protected:
  TSimChipTarget Chip;
  TTestHost Host{Chip};
  TDialogHook Dialogs;
  TJlinkStandIn StandIn;

  void SetUp() override { ASSERT_TRUE(StandIn.Loaded()); }
  // The host's client and modules are cached process-wide, as the plug-in
  // keeps them while loaded; each test's host is a new one.
  void TearDown() override {
    ReleaseClientAccess();
    ReleaseHostModules();
  }
  static void Bind(TTestJlinkCortexM3& ADriver, TTestHost& AHost) {
    TBoolean bound;
    ADriver.SetTarvoDevice(ITarvoDevice::FromDispatch(AHost.Device(0).Dispatch()), &bound);
  }
  static uint32_t Call(IDispatch& ADriver, DISPID ADispId, std::vector<VARIANT> AArgs = {},
                       HRESULT AExpected = S_OK) {
    VARIANT result;
    EXPECT_EQ(InvokeDispId(ADriver, ADispId, std::move(AArgs), &result), AExpected) << ADispId;
    const uint32_t value = result.vt == VT_BOOL ? (result.boolVal ? 1 : 0) : uint32_t(result.lVal);
    VariantClear(&result);
    return value;
  }
  static int32_t HardBreakpoints(TTestJlinkCortexM3& ADriver) {
    return ADriver.DeviceDebugManager().GetHardBreakpointCount();
  }
};

TEST_F(JlinkRoad, WithoutAJlinkPortTheDriverTakesTheRawRoadAndBindsNoProbe) {
  TTestJlinkCortexM3 driver;
  Bind(driver, Host);
  EXPECT_FALSE(driver.UsesJlink());
  Call(driver, kIsPaused);
  EXPECT_TRUE(driver.Initialized()) << "connected over the raw road";
  EXPECT_EQ(driver.JlinkARM().Jlink(), nullptr);
  EXPECT_EQ(StandIn.Log(), "");
}

TEST_F(JlinkRoad, DriverOnAJlinkPortAdoptsThatPortsLibraryOnce) {
  Host.MakeJlinkPort(StandIn.Module());
  TTestJlinkCortexM3 driver;
  Bind(driver, Host);
  Call(driver, kPause);
  EXPECT_EQ(Call(driver, kIsPaused), 1u);
  TJlink* binding = driver.JlinkARM().Jlink();
  ASSERT_NE(binding, nullptr);
  EXPECT_EQ(binding->Handle(), StandIn.Module());
  EXPECT_TRUE(StandIn.ChipHalted());
  EXPECT_FALSE(driver.Initialized()) << "the raw road stays unconnected";
  EXPECT_EQ(Chip.Sim().Counters().DapTransactions, 0u);
  Call(driver, kGetRegister, {I4(29)});
  EXPECT_EQ(driver.JlinkARM().Jlink(), binding) << "the same binding is kept";
  EXPECT_EQ(binding->Handle(), StandIn.Module());
}

// A driver not yet bound is on no port: it adopts no probe, so the probe's
// breakpoint units are offered only once its own device is on the J-Link
// port.
TEST_F(JlinkRoad, UnboundDriverAdoptsNoProbeAndNoBreakpointUnits) {
  Host.MakeJlinkPort(StandIn.Module());
  TTestJlinkCortexM3 driver;
  EXPECT_FALSE(driver.UsesJlink());
  EXPECT_EQ(driver.JlinkARM().Jlink(), nullptr);
  EXPECT_FALSE(driver.JlinkInitialized());
  EXPECT_EQ(HardBreakpoints(driver), 0);
  Bind(driver, Host);
  Call(driver, kIsPaused);
  EXPECT_TRUE(driver.JlinkInitialized());
  const uint32_t fpCtrl = StandIn.ChipWord(TARM_Cortex_M3::FP_CTRL);
  const int32_t comparators = int32_t(((fpCtrl >> 8) & 0x70) | ((fpCtrl >> 4) & 0xF));
  EXPECT_GT(comparators, 0);
  EXPECT_EQ(HardBreakpoints(driver), comparators) << "one unit per comparator of the probe";
}

TEST_F(JlinkRoad, JlinkPortOfAnotherChainIsPassedOver) {
  TJlinkStandIn other(L"jlink-without-setbpex");
  ASSERT_TRUE(other.Loaded());
  {
    // Alone, it leaves the device on the raw road.
    TSimChipTarget chip;
    TTestHost host(chip);
    host.AddOtherJlinkPort(other.Module());
    TTestJlinkCortexM3 driver;
    Bind(driver, host);
    EXPECT_FALSE(driver.UsesJlink());
    Call(driver, kIsPaused);
    EXPECT_TRUE(driver.Initialized());
    EXPECT_EQ(driver.JlinkARM().Jlink(), nullptr);
    TearDown();
  }
  // Listed before the device's own J-Link port, it does not hide that port.
  Host.AddOtherJlinkPort(other.Module());
  Host.MakeJlinkPort(StandIn.Module());
  TTestJlinkCortexM3 driver;
  Bind(driver, Host);
  EXPECT_TRUE(driver.UsesJlink());
  ASSERT_NE(driver.JlinkARM().Jlink(), nullptr);
  EXPECT_EQ(driver.JlinkARM().Jlink()->Handle(), StandIn.Module());
  EXPECT_EQ(other.Log(), "");
}

TEST_F(JlinkRoad, BreakpointsAreKeptByTheirAddressText) {
  Host.MakeJlinkPort(StandIn.Module());
  TTestJlinkCortexM3 driver;
  Bind(driver, Host);
  Call(driver, kPause);
  TARMJlink& adapter = driver.JlinkARM();
  int32_t handle = 0;
  EXPECT_EQ(adapter.ARM_AddBreakpoint(kSram + 0x800, &handle), S_OK);
  EXPECT_GT(handle, 0);
  ASSERT_EQ(adapter.Breakpoints().size(), 1u);
  EXPECT_EQ(adapter.Breakpoints()[0].first, L"0x20000800");
  EXPECT_EQ(TARMJlink::BreakpointKey(0x800), L"0x00000800");
  EXPECT_EQ(StandIn.ChipWord(kSram + 0x800) & 0xFFFF, 0xBE00u) << "planted by the probe";
  TBoolean removed;
  EXPECT_EQ(adapter.ARM_RemoveBreakpoint(kSram + 0x800, &removed), S_OK);
  EXPECT_TRUE(bool(removed));
  EXPECT_TRUE(adapter.Breakpoints().empty());
  EXPECT_EQ(adapter.ARM_RemoveBreakpoint(kSram + 0x800, &removed), S_OK);
  EXPECT_FALSE(bool(removed)) << "a second removal finds nothing";
}

TEST_F(JlinkRoad, CoreRegisterNumbersGoToTheLibraryMapped) {
  struct TCase {
    int32_t Core;
    int Library;
  };
  const TCase v7m[] = {{0, 0},   {15, 15}, {16, 16}, {20, 20},
                       {25, 17}, {26, 18}, {24, 24}, {17, 21}};
  for (const TCase& c : v7m)
    EXPECT_EQ(TARMJlink::ArmV7MRegister(c.Core), c.Library) << c.Core;
  const TCase v4t[] = {{0, 0}, {8, 10}, {20, 10}, {15, 9}, {16, 8}, {33, 35}, {46, 17}, {47, 47}};
  for (const TCase& c : v4t)
    EXPECT_EQ(TARMJlink::ArmV4TRegister(c.Core), c.Library) << c.Core;

  Host.MakeJlinkPort(StandIn.Module());
  TTestJlinkCortexM3 driver;
  Bind(driver, Host);
  Call(driver, kPause);
  StandIn.ClearLog();
  driver.ReadCoreRegister(25);
  driver.ReadCoreRegister(20);
  EXPECT_NE(StandIn.Log().find("JLINKARM_ReadReg(17)"), std::string::npos) << StandIn.Log();
  EXPECT_NE(StandIn.Log().find("JLINKARM_ReadReg(20)"), std::string::npos) << StandIn.Log();
}

TEST_F(JlinkRoad, SetUpOnAManagerThatHoldsHardBreakpointsAddsNoneAndStillSucceeds) {
  Host.MakeJlinkPort(StandIn.Module());
  TTestJlinkCortexM3 driver;
  Bind(driver, Host);
  Call(driver, kIsPaused);
  const int32_t units = HardBreakpoints(driver);
  ASSERT_GT(units, 0);
  TARMJlink second;
  TBoolean open, ok;
  second.ARM_IsOpen(driver.GetJTagChannel(), &open);
  ASSERT_TRUE(bool(open));
  EXPECT_EQ(second.ARM_Initialize(driver.DeviceDebugManager(), &ok), S_OK);
  EXPECT_TRUE(bool(ok));
  EXPECT_EQ(HardBreakpoints(driver), units);
}

TEST_F(JlinkRoad, UnitDisabledBeforeAnyEnableAsksNothingAndFails) {
  TJlinkStandIn standIn;
  const std::unique_ptr<TJlink> binding(TJlink::CreateJlinkDriver(standIn.Module()));
  TComPtr<TARMJlinkHardBreakpoint> unit(new TARMJlinkHardBreakpoint(*binding));
  TBoolean ok = true;
  EXPECT_EQ(unit->Disable(&ok), S_OK);
  EXPECT_FALSE(bool(ok));
  EXPECT_EQ(standIn.Log(), "");
  unit->SetAddress(0x1001);
  EXPECT_EQ(unit->Enable(&ok), S_OK);
  EXPECT_TRUE(bool(ok));
  EXPECT_GT(unit->Id(), 0);
  EXPECT_NE(standIn.Log().find("JLINKARM_SetBPEx(0x00001000, 0xFFFFFF00)"), std::string::npos);
  EXPECT_EQ(unit->Disable(&ok), S_OK);
  EXPECT_TRUE(bool(ok));
  EXPECT_EQ(unit->Id(), -1);
}

// The driver goes on when the probe's library lacks a function or raises
// inside one: the call answers as a failed transfer does on the raw road.
TEST_F(JlinkRoad, DriverSurvivesAMissingAndARaisingFunction) {
  TJlinkStandIn withoutSetBPEx(L"jlink-without-setbpex");
  ASSERT_TRUE(withoutSetBPEx.Loaded());
  Host.MakeJlinkPort(withoutSetBPEx.Module());
  TTestJlinkCortexM3 driver;
  Bind(driver, Host);
  Call(driver, kPause);
  ASSERT_EQ(Call(driver, kIsPaused), 1u);

  // No JLINKARM_SetBPEx: every breakpoint request answers no handle.
  ASSERT_GT(HardBreakpoints(driver), 0);
  VARIANT unit;
  ASSERT_EQ(InvokeDispId(driver, kGetNewHardBreakpoint, {}, &unit), S_OK);
  ASSERT_EQ(unit.vt, VT_DISPATCH);
  ASSERT_NE(unit.pdispVal, nullptr);
  Call(*unit.pdispVal, kBreakpointSetAddress, {I8(0x1000)});
  EXPECT_EQ(Call(*unit.pdispVal, kBreakpointEnable), 0u);
  VariantClear(&unit);
  uint32_t handle = 5;
  EXPECT_EQ(driver.AddSoftBreakpoint(0, kSram + 0x40, &handle), S_OK);
  EXPECT_EQ(handle, 0u);
  int32_t adapterHandle = 9;
  int code = kJlinkOk;
  driver.JlinkARM().ARM_AddBreakpoint(kSram + 0x40, &adapterHandle, &code);
  EXPECT_EQ(code, kJlinkMissing);

  // A raising register read answers 0 and is counted; a raising memory read
  // fails its call; both work again afterwards.
  driver.WriteCoreRegister(1, 0x1234);
  withoutSetBPEx.SetRaising("JLINKARM_ReadReg");
  const unsigned dropped = driver.Diagnostics().DroppedReads;
  EXPECT_EQ(Call(driver, kGetRegister, {I4(1)}), 0u);
  EXPECT_GT(driver.Diagnostics().DroppedReads, dropped);
  withoutSetBPEx.SetRaising("JLINKARM_ReadMemU32");
  Call(driver, kReadWord, {I4(kSram)}, TARMBase::kTransferFailed);
  withoutSetBPEx.SetRaising("JLINKARM_Halt");
  Call(driver, kPause);
  withoutSetBPEx.SetRaising(nullptr);
  EXPECT_EQ(Call(driver, kGetRegister, {I4(1)}), 0x1234u);
  Call(driver, kReadWord, {I4(kSram)});
  EXPECT_TRUE(Dialogs.Dialogs().empty());
}

} // namespace
