// The J-Link library binding over the stand-in JLINKARM.dll: functions
// bound by name, the wrapper codes for a missing and a raising function,
// the probe's readiness and the chain's devices; and the structured-
// exception guard the wrappers call through.

#include "jlink-library.h"

#include "arm-test-support.h"
#include "jlink-arm.h"
#include "jlink-standin.h"
#include "structured-guard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>

namespace {

// ---- the guard ------------------------------------------------------------------

void Returns(void* AContext) {
  *static_cast<int*>(AContext) = 42;
}
void RaisesException(void*) {
  RaiseException(0xE0123456, 0, 0, nullptr);
}
void WritesThroughNull(void* AContext) {
  int* volatile target = static_cast<int*>(AContext);
  *target = 1;
}

TEST(StructuredGuard, CallThatRaisesEndsAtTheGuardAndTheProgramGoesOn) {
  struct TCase {
    const char* Name;
    void (*Thunk)(void*);
    bool NullContext;
    bool Returned;
  };
  const TCase cases[] = {
      {"returns", &Returns, false, true},
      {"RaiseException", &RaisesException, false, false},
      {"access violation", &WritesThroughNull, true, false},
  };
  for (int round = 0; round < 2; ++round)
    for (const TCase& c : cases) {
      int value = 0;
      EXPECT_EQ(CallStructuredGuarded(c.Thunk, c.NullContext ? nullptr : &value), c.Returned)
          << c.Name;
      if (c.Returned) {
        EXPECT_EQ(value, 42) << c.Name;
      }
    }
}

TEST(StructuredGuard, CppExceptionsStillWorkAfterARaisedCall) {
  EXPECT_FALSE(CallStructuredGuarded(&RaisesException, nullptr));
  bool caught = false;
  try {
    throw std::runtime_error("after the guard");
  } catch (const std::runtime_error&) {
    caught = true;
  }
  EXPECT_TRUE(caught);
}

// ---- the binding ------------------------------------------------------------------

std::unique_ptr<TJlink> Bind(const TJlinkStandIn& AStandIn) {
  return std::unique_ptr<TJlink>(TJlink::CreateJlinkDriver(AStandIn.Module()));
}

TEST(JlinkBinding, EveryFunctionIsBoundByNameInTableOrder) {
  TJlinkStandIn standIn;
  ASSERT_TRUE(standIn.Loaded());
  const auto binding = Bind(standIn);
  ASSERT_EQ(binding->Functions().size(), 57u);
  EXPECT_EQ(binding->Functions()[0].Name, "JLINKARM_Open");
  EXPECT_EQ(binding->Functions()[52].Name, "JLINKARM_SetBPEx");
  EXPECT_EQ(binding->Functions()[56].Name, "JLINKARM_EMU_GetList");
  for (const TJlinkFunctionEntry& entry : binding->Functions())
    EXPECT_NE(entry.Func, nullptr) << entry.Name;
  uint32_t handle = 0;
  EXPECT_EQ(binding->GetJlinkHandle(&handle), S_OK);
  EXPECT_EQ(handle, uint32_t(uintptr_t(standIn.Module())));
}

// The host shares the probe library through the J-Link driver face: the
// binding answers its module handle, the core adapter none.
TEST(JlinkBinding, HostReadsTheLibraryHandleByDispid) {
  constexpr DISPID kGetJlinkHandle = 503880, kSupportsService = 1023;
  TJlinkStandIn standIn;
  ASSERT_TRUE(standIn.Loaded());
  const auto binding = Bind(standIn);
  TARMJlink adapter;
  const struct {
    IDispatch* Object;
    uint32_t Handle;
  } cases[] = {{binding.get(), uint32_t(uintptr_t(standIn.Module()))}, {&adapter, 0}};
  for (const auto& c : cases) {
    VARIANT result;
    ASSERT_EQ(InvokeDispId(*c.Object, kGetJlinkHandle, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(uint32_t(result.lVal), c.Handle);
    for (const auto& [service, supported] :
         {std::pair{L"jlinkdriver", true}, std::pair{L"TarvoDriver", false}}) {
      VARIANT name;
      name.vt = VT_BSTR;
      name.bstrVal = SysAllocString(service);
      ASSERT_EQ(InvokeDispId(*c.Object, kSupportsService, {name}, &result), S_OK);
      VariantClear(&name);
      EXPECT_EQ(result.vt, VT_BOOL);
      EXPECT_EQ(result.boolVal != VARIANT_FALSE, supported) << service;
    }
  }
}

TEST(JlinkBinding, MissingFunctionAnswers224AndLeavesItsResult) {
  TJlinkStandIn standIn(L"jlink-without-setbpex");
  ASSERT_TRUE(standIn.Loaded());
  const auto binding = Bind(standIn);
  for (const TJlinkFunctionEntry& entry : binding->Functions())
    EXPECT_EQ(entry.Func == nullptr, entry.Name == "JLINKARM_SetBPEx") << entry.Name;
  int handle = 77;
  EXPECT_EQ(binding->JLINKARM_SetBPEx(0x800, kJlinkBpTypeHardware, &handle), kJlinkMissing);
  EXPECT_EQ(handle, 77);
  EXPECT_FALSE(standIn.Called("JLINKARM_SetBPEx"));
  uint8_t halted = 9;
  EXPECT_EQ(binding->JLINKARM_IsHalted(&halted), kJlinkOk) << "the other functions are there";
}

TEST(JlinkBinding, IsConnectedAndResetNoHaltNeverReachTheLibrary) {
  TJlinkStandIn standIn;
  const auto binding = Bind(standIn);
  EXPECT_EQ(binding->JLINKARM_IsConnected(), kJlinkMissing);
  EXPECT_EQ(binding->JLINKARM_ResetNoHalt(), kJlinkMissing);
  EXPECT_EQ(standIn.Log(), "");
}

TEST(JlinkBinding, FunctionThatRaisesAnswers225AndTheNextCallsGoThrough) {
  TJlinkStandIn standIn;
  const auto binding = Bind(standIn);
  struct TCase {
    const char* Function;
    int (*Call)(TJlink&, uint32_t&);
  };
  const TCase cases[] = {
      {"JLINKARM_ReadReg", [](TJlink& J, uint32_t& R) { return J.JLINKARM_ReadReg(15, &R); }},
      {"JLINKARM_GetId", [](TJlink& J, uint32_t& R) { return J.JLINKARM_GetId(&R); }},
      {"JLINKARM_ReadMemU32",
       [](TJlink& J, uint32_t& R) {
         uint8_t status = 0;
         return J.JLINKARM_ReadMemU32(0x20000000, 1, &R, &status);
       }},
      {"JLINKARM_SetBPEx",
       [](TJlink& J, uint32_t& R) {
         int handle = int(R);
         const int code = J.JLINKARM_SetBPEx(0x20000100, kJlinkBpTypeSoftware, &handle);
         R = uint32_t(handle);
         return code;
       }},
  };
  for (const TCase& c : cases) {
    standIn.SetRaising(c.Function);
    uint32_t result = 0xA5A5A5A5;
    EXPECT_EQ(c.Call(*binding, result), kJlinkRaised) << c.Function;
    EXPECT_EQ(result, 0xA5A5A5A5u) << c.Function << ": untouched";
    EXPECT_TRUE(standIn.Called(c.Function)) << c.Function;
    standIn.SetRaising(nullptr);
    EXPECT_EQ(c.Call(*binding, result), kJlinkOk) << c.Function;
  }
}

TEST(JlinkBinding, ProbeIsReadyOnlyWithATargetSupplyAboveHalfAVolt) {
  struct TCase {
    int Probes;
    int Millivolts;
    bool Ready;
  };
  const TCase cases[] = {{1, 500, false}, {1, 501, true}, {1, 3300, true}, {0, 3300, false}};
  for (const TCase& c : cases) {
    TJlinkStandIn standIn;
    standIn.SetProbeCount(c.Probes);
    standIn.SetTargetMillivolts(c.Millivolts);
    const auto binding = Bind(standIn);
    EXPECT_EQ(binding->Initialize(), c.Ready) << c.Probes << " " << c.Millivolts;
    EXPECT_EQ(standIn.Called("JLINKARM_Open"), c.Probes > 0) << c.Probes << " " << c.Millivolts;
  }
  // Once ready, each check reads the supply again.
  TJlinkStandIn standIn;
  const auto binding = Bind(standIn);
  ASSERT_TRUE(binding->Initialize());
  standIn.SetTargetMillivolts(300);
  EXPECT_FALSE(binding->Initialize());
}

TEST(JlinkBinding, ChainDevicesComeFromTheJtagChainThenFromTheSerialWireCore) {
  {
    TJlinkStandIn standIn;
    const auto binding = Bind(standIn);
    ASSERT_EQ(binding->CreateDeviceInfoList(), kJlinkOk);
    ASSERT_EQ(binding->GetDeviceCount(), 2);
    EXPECT_EQ(binding->GetDeviceInfo(0).Id, 0x3BA00477u);
    EXPECT_EQ(binding->GetDeviceInfo(0).IRLen, 4u);
    EXPECT_EQ(binding->GetDeviceInfo(1).Id, 0x0A0B0C0Du);
    EXPECT_EQ(binding->GetDeviceInfo(1).IRLen, 5u);
  }
  struct TCase {
    uint32_t Core;
    int Devices;
    uint32_t Id;
  };
  const TCase cases[] = {
      {kJlinkCoreCortexM3, 1, 0x3BA00477},
      {kJlinkCoreCortexM0, 1, 0x0BB11477},
      {0x12345678, 0, 0},
  };
  for (const TCase& c : cases) {
    TJlinkStandIn standIn;
    standIn.SetChain(0, c.Core);
    const auto binding = Bind(standIn);
    binding->CreateDeviceInfoList();
    ASSERT_EQ(binding->GetDeviceCount(), c.Devices) << std::hex << c.Core;
    if (c.Devices > 0) {
      EXPECT_EQ(binding->GetDeviceInfo(0).Id, c.Id);
    } else {
      EXPECT_FALSE(binding->Initialized()) << "an unknown core leaves the probe unready";
    }
    EXPECT_TRUE(standIn.Called("JLINKARM_TIF_Select"));
  }
}

// No module, or a handle that names no loaded module (one cut to 32 bits in
// a 64-bit process): nothing is bound and every wrapper answers 224.
TEST(JlinkBinding, HandleOfNoLoadedModuleBindsNothing) {
  TJlinkStandIn standIn;
  const HMODULE handles[] = {nullptr, reinterpret_cast<HMODULE>(uintptr_t(0x1234)),
                             reinterpret_cast<HMODULE>(uintptr_t(standIn.Module()) + 0x1000)};
  for (HMODULE handle : handles) {
    const std::unique_ptr<TJlink> binding(TJlink::CreateJlinkDriver(handle));
    ASSERT_EQ(binding->Functions().size(), 57u);
    for (const TJlinkFunctionEntry& entry : binding->Functions())
      EXPECT_EQ(entry.Func, nullptr) << entry.Name;
    uint8_t halted = 3;
    EXPECT_EQ(binding->JLINKARM_IsHalted(&halted), kJlinkMissing);
    EXPECT_EQ(halted, 3);
    EXPECT_FALSE(binding->Initialize());
  }
}

} // namespace
