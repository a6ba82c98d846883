// One scenario, two roads: a Stellaris driver of the real plug-in, taken
// through its export and driven by DISPID, once bound to a device whose
// port is a plain JTAG port (raw scans on the host's channel to the
// simulated chip) and once to a device on a J-Link port (the stand-in probe
// library over a simulated chip of its own). Both roads must give the same
// answers; the chips behind them must end in the same state.

#include "device-catalogue.h"
#include "host-call.h"
#include "jlink-library.h"
#include "jlink-standin.h"
#include "memory-access.h"
#include "plugin-library.h"
#include "sim-scan-target.h"
#include "test-host.h"
#include "chunk-image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DISPID kIdCode = 503379, kSetTarvoDevice = 503754, kSetRegister = 503766,
                 kGetRegister = 503767, kPause = 503797, kContinue = 503798, kStep = 503794,
                 kReset = 503796, kIsPaused = 503800;
constexpr DISPID kReadByte = 509033, kReadHalf = 509034, kReadWord = 509035, kWriteByte = 509036,
                 kWriteHalf = 509037, kWriteWord = 509038;
// The debug manager (reached through the driver), a hardware breakpoint.
constexpr DISPID kGetNewHardBreakpoint = 503949, kReleaseBreakpoint = 503952,
                 kHardBreakpointCount = 503972, kBreakpointEnable = 503453,
                 kBreakpointDisable = 503454, kBreakpointSetAddress = 508548;
// The flash writer and the image it is given.
constexpr DISPID kSelectedFlashWriter = 508744, kWriteFlashImage = 508719,
                 kCompareFlashImage = 508724;
constexpr int32_t kPcIndex = 29;
constexpr uint32_t kSram = 0x20000000;
const wchar_t* const kPart = L"LM3S9997-IQC80-C5"; // 256 KB, as the simulated chip

// What a road's chip shows when looked at past the road.
class TChipView {
public:
  virtual ~TChipView() = default;
  virtual uint32_t Word(uint32_t AAddress) = 0;
  virtual uint8_t Byte(uint32_t AAddress) = 0;
  virtual bool Halted() = 0;
  // The chip's identification code, read on the road's own way.
  virtual uint32_t ChainIdCode() = 0;
};

class TRawChipView : public TChipView {
public:
  TRawChipView(TSimChipTarget& AChip, TTestHost& AHost) : FChip(AChip), FHost(AHost) {}
  uint32_t Word(uint32_t AAddress) override {
    uint32_t value = 0;
    FChip.Sim().Chip().DebugRead(AAddress, 4, value);
    return value;
  }
  uint8_t Byte(uint32_t AAddress) override {
    uint32_t value = 0;
    FChip.Sim().Chip().DebugRead(AAddress, 1, value);
    return uint8_t(value);
  }
  bool Halted() override { return FChip.Sim().Chip().IsHalted(); }
  uint32_t ChainIdCode() override {
    TTestJtagChannel& channel = FHost.Channel();
    channel.OpenChannel();
    channel.MoveToState(0, 1);
    channel.MoveToState(1, 2);
    channel.SendInstruction(0xE, 0); // IDCODE of the debug port's TAP
    channel.MoveToState(2, 5);
    const uint32_t code = uint32_t(channel.ShiftDataCapture(0, 32, 0));
    channel.MoveToState(6, 2);
    channel.CloseChannel();
    return code;
  }

private:
  TSimChipTarget& FChip;
  TTestHost& FHost;
};

class TJlinkChipView : public TChipView {
public:
  explicit TJlinkChipView(TJlinkStandIn& AStandIn) : FStandIn(AStandIn) {}
  uint32_t Word(uint32_t AAddress) override { return FStandIn.ChipWord(AAddress); }
  uint8_t Byte(uint32_t AAddress) override { return FStandIn.ChipByte(AAddress); }
  bool Halted() override { return FStandIn.ChipHalted(); }
  uint32_t ChainIdCode() override {
    std::unique_ptr<TJlink> binding(TJlink::CreateJlinkDriver(FStandIn.Module()));
    if (binding->CreateDeviceInfoList() != kJlinkOk || binding->GetDeviceCount() < 1)
      return 0;
    return binding->GetDeviceInfo(0).Id;
  }

private:
  TJlinkStandIn& FStandIn;
};

struct TRow {
  std::string Step;
  uint32_t Value;
  bool operator==(const TRow&) const = default;
};

std::ostream& operator<<(std::ostream& AStream, const TRow& ARow) {
  return AStream << ARow.Step << " = 0x" << std::hex << ARow.Value << std::dec;
}

int32_t Int(IDispatch* AObject, DISPID ADispId, std::initializer_list<THostArg> AArgs = {}) {
  THostResult result;
  EXPECT_EQ(HostCall(AObject, ADispId, AArgs, result), S_OK) << ADispId;
  return result.Type() == VT_BOOL ? (result.Bool() ? 1 : 0) : result.Int();
}

IDispatch* Object(IDispatch* AObject, DISPID ADispId, std::initializer_list<THostArg> AArgs = {}) {
  THostResult result;
  EXPECT_EQ(HostCall(AObject, ADispId, AArgs, result), S_OK) << ADispId;
  IDispatch* object = result.Object();
  if (object)
    object->AddRef();
  return object;
}

// The scenario; every answer the host reads goes into the rows.
std::vector<TRow> RunScenario(IDispatch* ADriver, TChipView& AChip) {
  std::vector<TRow> rows;
  const auto row = [&](std::string AStep, uint32_t AValue) { rows.push_back({AStep, AValue}); };
  const auto call = [&](DISPID ADispId, std::initializer_list<THostArg> AArgs = {}) {
    return uint32_t(Int(ADriver, ADispId, AArgs));
  };
  const auto setRegister = [&](int32_t AIndex, uint32_t AValue) {
    call(kSetRegister, {ArgI4(AIndex), ArgI4(int32_t(AValue))});
  };
  const auto pc = [&] { return call(kGetRegister, {ArgI4(kPcIndex)}); };

  // Identify: the driver's answer and the chip's own code.
  row("idcode answer", call(kIdCode));
  row("chip idcode", AChip.ChainIdCode());

  // Halt.
  call(kPause);
  row("paused after halt", call(kIsPaused));
  row("chip halted", AChip.Halted());

  // Every register row, after writes to the core words and the fields.
  const struct {
    int32_t Index;
    uint32_t Value;
  } writes[] = {
      {0, 0x11111111},  {1, 0x22222222},  {2, 0x33333333},  {3, 0x44444444},  {4, 0x55555555},
      {5, 0x66666666},  {6, 0x77777777},  {7, 0x88888888},  {8, 0x99999999},  {9, 0xAAAAAAAA},
      {10, 0xBBBBBBBB}, {11, 0xCCCCCCCC}, {12, 0xC0DEC0DE}, {14, 0xFFFFFFF9}, {25, 0x20001000},
      {26, 0x20000800}, {16, 0x81000000}, {24, 1},          {23, 0x80},
  };
  for (const auto& w : writes)
    setRegister(w.Index, w.Value);
  for (int32_t index = 0; index < 30; ++index)
    row("register " + std::to_string(index), call(kGetRegister, {ArgI4(index)}));

  // Memory units, aligned and not.
  call(kWriteWord, {ArgI4(kSram), ArgI4(0x44332211)});
  call(kWriteWord, {ArgI4(kSram + 4), ArgI4(int32_t(0x88776655))});
  const struct {
    const char* Name;
    DISPID Read;
    uint32_t Address;
  } reads[] = {
      {"byte +0", kReadByte, kSram},     {"byte +3", kReadByte, kSram + 3},
      {"half +0", kReadHalf, kSram},     {"half +2", kReadHalf, kSram + 2},
      {"half +3", kReadHalf, kSram + 3}, {"word +4", kReadWord, kSram + 4},
      {"word +1", kReadWord, kSram + 1},
  };
  for (const auto& r : reads)
    row(r.Name, call(r.Read, {ArgI4(int32_t(r.Address))}));
  call(kWriteByte, {ArgI4(kSram + 1), ArgI4(0xAB)});
  call(kWriteHalf, {ArgI4(kSram + 6), ArgI4(0xCDEF)});
  call(kWriteWord, {ArgI4(kSram + 9), ArgI4(0x12345678)});
  row("word +0 after writes", call(kReadWord, {ArgI4(kSram)}));
  row("word +4 after writes", call(kReadWord, {ArgI4(kSram + 4)}));
  row("word +9 after writes", call(kReadWord, {ArgI4(kSram + 9)}));
  row("chip word +8", AChip.Word(kSram + 8));

  // Blocks through the memory access interface, at an odd address.
  IMemoryAccess* memory = nullptr;
  ADriver->QueryInterface(IID_IMemoryAccess, reinterpret_cast<void**>(&memory));
  if (memory) {
    std::vector<uint32_t> out(37), in(40, 0xFFFF);
    for (size_t i = 0; i < out.size(); ++i)
      out[i] = uint32_t(i * 13 + 5) & 0xFF;
    TLongBool ok = LongFalse;
    memory->MemoryWrite(0, out.data(), kSram + 0x301, int32_t(out.size()), &ok);
    row("block written", bool(ok));
    memory->MemoryRead(0, in.data(), kSram + 0x300, int32_t(in.size()), &ok);
    row("block read", bool(ok));
    uint32_t sum = 0;
    for (size_t i = 0; i < in.size(); ++i)
      sum = sum * 31 + in[i];
    row("block read checksum", sum);
    row("chip byte +0x301", AChip.Byte(kSram + 0x301));
    row("chip byte +0x325", AChip.Byte(kSram + 0x325));
    memory->Release();
  } else {
    ADD_FAILURE() << "the driver offers no IMemoryAccess";
  }

  // Step, run and halt on a program in SRAM: NOPs, then a branch to itself.
  constexpr uint32_t kLoop = kSram + 0x100;
  for (uint32_t i = 0; i < 4; ++i)
    call(kWriteHalf, {ArgI4(int32_t(kLoop + 2 * i)), ArgI4(0xBF00)});
  call(kWriteHalf, {ArgI4(int32_t(kLoop + 8)), ArgI4(0xE7FE)});
  setRegister(kPcIndex, kLoop);
  call(kStep);
  row("pc after step", pc());
  call(kContinue);
  row("paused while running", call(kIsPaused));
  row("chip halted while running", AChip.Halted());
  call(kPause);
  row("paused after run", call(kIsPaused));
  row("pc after run", pc());

  // Reset: SP and PC from the vector table.
  call(kReset);
  row("paused after reset", call(kIsPaused));
  row("sp after reset", call(kGetRegister, {ArgI4(13)}));
  row("pc after reset", pc());
  row("vector sp", AChip.Word(0) & ~3u);
  row("vector pc", AChip.Word(4) & ~1u);

  // A hardware breakpoint on a program in flash (the comparators match
  // code fetches only), written through the flash controller.
  constexpr uint32_t kCode = 0x1000, kFma = 0x400FD000, kFmd = 0x400FD004, kFmc = 0x400FD008;
  for (uint32_t i = 0; i < 5; ++i) {
    const uint32_t word = i < 4 ? 0xBF00BF00 : 0xE7FEE7FE;
    call(kWriteWord, {ArgI4(int32_t(kFma)), ArgI4(int32_t(kCode + 4 * i))});
    call(kWriteWord, {ArgI4(int32_t(kFmd)), ArgI4(int32_t(word))});
    call(kWriteWord, {ArgI4(int32_t(kFmc)), ArgI4(int32_t(0xA4420001))});
  }
  row("code word", call(kReadWord, {ArgI4(int32_t(kCode))}));
  row("hardware breakpoints", call(kHardBreakpointCount));
  IDispatch* breakpoint = Object(ADriver, kGetNewHardBreakpoint);
  if (breakpoint) {
    HostCall(breakpoint, kBreakpointSetAddress, {ArgI8(kCode + 0xA)});
    row("breakpoint enabled", uint32_t(Int(breakpoint, kBreakpointEnable)));
    setRegister(kPcIndex, kCode);
    call(kContinue);
    bool paused = false;
    for (int i = 0; i < 20 && !paused; ++i)
      paused = call(kIsPaused) != 0;
    row("paused at breakpoint", paused);
    row("pc at breakpoint", pc());
    row("breakpoint disabled", uint32_t(Int(breakpoint, kBreakpointDisable)));
    call(kContinue);
    call(kPause);
    row("pc past breakpoint", pc());
    HostCall(ADriver, kReleaseBreakpoint, {ArgObject(breakpoint)});
    breakpoint->Release();
  } else {
    ADD_FAILURE() << "no hardware breakpoint";
  }

  // A flash image written by the loader and verified.
  IDispatch* writer = Object(ADriver, kSelectedFlashWriter);
  if (writer) {
    constexpr uint32_t kImage = 0x4000;
    std::vector<uint8_t> data(1536);
    for (size_t i = 0; i < data.size(); ++i)
      data[i] = uint8_t(i * 7 + 3);
    TChunkImage image(kImage, data);
    row("flash written", uint32_t(Int(writer, kWriteFlashImage,
                                      {ArgI4(0), ArgObject(&image), ArgBool(false), ArgBool(false),
                                       ArgBool(false), ArgBool(true)})));
    bool same = true;
    for (size_t i = 0; i < data.size(); ++i)
      same = same && AChip.Byte(kImage + uint32_t(i)) == data[i];
    row("chip flash holds the image", same);
    row("flash compared", uint32_t(Int(writer, kCompareFlashImage,
                                       {ArgI4(0), ArgObject(&image), ArgI4(int32_t(kImage)),
                                        ArgI4(int32_t(data.size())), ArgBool(false)})));
    data[100] ^= 0xFF;
    TChunkImage changed(kImage, data);
    row("changed image compared equal",
        uint32_t(Int(writer, kCompareFlashImage,
                     {ArgI4(0), ArgObject(&changed), ArgI4(int32_t(kImage)),
                      ArgI4(int32_t(data.size())), ArgBool(false)})) == 0);
    writer->Release();
  } else {
    ADD_FAILURE() << "no flash writer";
  }
  return rows;
}

// The plug-in, a host over the raw road's chip, and a second host whose
// channel's port is a J-Link port. The second host is the current one: its
// J-Link port serves another channel than the raw host's device, so the
// raw driver's search finds no port of its own and keeps the raw road.
class RoadScenario : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    FRawChip = new TSimChipTarget();
    FRawHost = new TTestHost(*FRawChip);
    FStandIn = new TJlinkStandIn();
    FJlinkChip = new TSimChipTarget();
    FJlinkHost = new TTestHost(*FJlinkChip);
    if (FStandIn->Loaded())
      FJlinkHost->MakeJlinkPort(FStandIn->Module());
    FPlugin = new TPluginLibrary();
    FLoaded = FPlugin->Load(DefaultPluginPath());
  }
  static void TearDownTestSuite() {
    delete FPlugin;
    delete FJlinkHost;
    delete FJlinkChip;
    delete FRawHost;
    delete FRawChip;
    delete FStandIn;
  }
  void SetUp() override {
    ASSERT_TRUE(FLoaded) << "the plug-in must load";
    ASSERT_TRUE(FStandIn->Loaded()) << "the stand-in JLINKARM.dll must load";
    // The host's J-Link port carries the module handle in 32 bits.
    ASSERT_EQ(uintptr_t(FStandIn->Module()) >> 16 >> 16, 0u);
  }

  static IDispatch* BoundDriver(TTestHost& AHost) {
    const std::optional<TDeviceKind> kind = FindDeviceKind(kPart);
    IDispatch* driver = nullptr;
    EXPECT_TRUE(kind.has_value());
    if (!kind)
      return nullptr;
    EXPECT_EQ(FPlugin->GetTarvoDriver_Plugin(int32_t(*kind), &driver), S_OK);
    if (driver) {
      EXPECT_EQ(Int(driver, kSetTarvoDevice, {ArgObject(AHost.Device(0).Dispatch())}), 1);
    }
    return driver;
  }

  static inline TSimChipTarget* FRawChip = nullptr;
  static inline TTestHost* FRawHost = nullptr;
  static inline TJlinkStandIn* FStandIn = nullptr;
  static inline TSimChipTarget* FJlinkChip = nullptr;
  static inline TTestHost* FJlinkHost = nullptr;
  static inline TPluginLibrary* FPlugin = nullptr;
  static inline bool FLoaded = false;
};

TEST_F(RoadScenario, JlinkRoadGivesTheRawRoadsAnswers) {
  IDispatch* rawDriver = BoundDriver(*FRawHost);
  IDispatch* jlinkDriver = BoundDriver(*FJlinkHost);
  ASSERT_NE(rawDriver, nullptr);
  ASSERT_NE(jlinkDriver, nullptr);

  TRawChipView rawChip(*FRawChip, *FRawHost);
  const std::vector<TRow> raw = RunScenario(rawDriver, rawChip);
  EXPECT_FALSE(FStandIn->Called("JLINKARM_Halt")) << "the raw road never asks the probe";

  FStandIn->ClearLog();
  TJlinkChipView jlinkChip(*FStandIn);
  const std::vector<TRow> jlink = RunScenario(jlinkDriver, jlinkChip);
  EXPECT_TRUE(FStandIn->Called("JLINKARM_Halt"));
  EXPECT_TRUE(FStandIn->Called("JLINKARM_SetBPEx"));
  EXPECT_EQ(FJlinkChip->Sim().Counters().DapTransactions, 0u)
      << "the J-Link road sends no debug-port scan on the host's channel";

  EXPECT_EQ(jlink, raw);
  // And the answers are the right ones.
  const auto value = [&](const std::string& AStep) {
    for (const TRow& r : jlink)
      if (r.Step == AStep)
        return r.Value;
    ADD_FAILURE() << "no step " << AStep;
    return 0xDEADBEEFu;
  };
  EXPECT_EQ(value("idcode answer"), 0x3BA00477u);
  EXPECT_EQ(value("chip idcode"), 0x3BA00477u);
  EXPECT_EQ(value("paused after halt"), 1u);
  EXPECT_EQ(value("register 0"), 0x11111111u);
  EXPECT_EQ(value("register 12"), 0xC0DEC0DEu);
  EXPECT_EQ(value("register 25"), 0x20001000u);
  EXPECT_EQ(value("register 26"), 0x20000800u);
  EXPECT_EQ(value("register 24"), 1u);
  EXPECT_EQ(value("register 23"), 0x80u);
  EXPECT_EQ(value("half +3"), 0x5544u);
  EXPECT_EQ(value("word +1"), 0x55443322u);
  EXPECT_EQ(value("word +0 after writes"), 0x4433AB11u);
  EXPECT_EQ(value("word +9 after writes"), 0x12345678u);
  EXPECT_EQ(value("block written"), 1u);
  EXPECT_EQ(value("chip byte +0x301"), 5u);
  EXPECT_EQ(value("pc after step"), kSram + 0x102);
  EXPECT_EQ(value("paused while running"), 0u);
  EXPECT_EQ(value("pc after run"), kSram + 0x108);
  EXPECT_EQ(value("sp after reset"), value("vector sp"));
  EXPECT_EQ(value("pc after reset"), value("vector pc"));
  EXPECT_GT(value("hardware breakpoints"), 0u);
  EXPECT_EQ(value("breakpoint enabled"), 1u);
  EXPECT_EQ(value("paused at breakpoint"), 1u);
  EXPECT_EQ(value("pc at breakpoint"), 0x100Au);
  EXPECT_EQ(value("breakpoint disabled"), 1u);
  EXPECT_EQ(value("pc past breakpoint"), 0x1010u);
  EXPECT_EQ(value("flash written"), 0u);
  EXPECT_EQ(value("chip flash holds the image"), 1u);
  EXPECT_EQ(value("flash compared"), 0u);
  EXPECT_EQ(value("changed image compared equal"), 0u);
  EXPECT_TRUE(FRawHost->Errors().empty());
  EXPECT_TRUE(FJlinkHost->Errors().empty());
}

// Through the plug-in by DISPID: a function the library lacks and one that
// raises make their operations fail or answer nothing, and the driver goes
// on as before once the library answers again.
TEST_F(RoadScenario, PluginSurvivesAMissingAndARaisingLibraryFunction) {
  IDispatch* driver = BoundDriver(*FJlinkHost);
  ASSERT_NE(driver, nullptr);
  Int(driver, kPause);
  ASSERT_EQ(Int(driver, kIsPaused), 1);
  Int(driver, kSetRegister, {ArgI4(3), ArgI4(0x3333)});
  Int(driver, kWriteWord, {ArgI4(int32_t(kSram + 0x40)), ArgI4(0x5A5A)});

  struct TCase {
    const char* Function;
    DISPID DispId;
    std::initializer_list<THostArg> Args;
    HRESULT Expected;
  };
  const TCase cases[] = {
      {"JLINKARM_ReadReg", kGetRegister, {ArgI4(3)}, S_OK},
      {"JLINKARM_ReadMemU32", kReadWord, {ArgI4(int32_t(kSram + 0x40))}, E_FAIL},
      {"JLINKARM_WriteU32", kWriteWord, {ArgI4(int32_t(kSram + 0x40)), ArgI4(1)}, E_FAIL},
      {"JLINKARM_Step", kStep, {}, S_OK},
      {"JLINKARM_IsHalted", kIsPaused, {}, S_OK},
  };
  for (const TCase& c : cases) {
    FStandIn->SetRaising(c.Function);
    FStandIn->ClearLog();
    THostResult result;
    EXPECT_EQ(HostCall(driver, c.DispId, c.Args, result), c.Expected) << c.Function;
    EXPECT_TRUE(FStandIn->Called(c.Function)) << c.Function;
    FStandIn->SetRaising(nullptr);
    EXPECT_EQ(Int(driver, kGetRegister, {ArgI4(3)}), 0x3333) << "after " << c.Function;
    EXPECT_EQ(Int(driver, kReadWord, {ArgI4(int32_t(kSram + 0x40))}), 0x5A5A)
        << "after " << c.Function;
  }

  // A library without JLINKARM_SetBPEx, on a host of its own.
  TJlinkStandIn withoutSetBPEx(L"jlink-without-setbpex");
  ASSERT_TRUE(withoutSetBPEx.Loaded());
  TSimChipTarget chip;
  TTestHost host(chip);
  host.MakeJlinkPort(withoutSetBPEx.Module());
  IDispatch* second = BoundDriver(host);
  ASSERT_NE(second, nullptr);
  Int(second, kPause);
  ASSERT_EQ(Int(second, kIsPaused), 1);
  ASSERT_GT(Int(second, kHardBreakpointCount), 0);
  IDispatch* breakpoint = Object(second, kGetNewHardBreakpoint);
  ASSERT_NE(breakpoint, nullptr);
  HostCall(breakpoint, kBreakpointSetAddress, {ArgI8(0x1000)});
  EXPECT_EQ(Int(breakpoint, kBreakpointEnable), 0) << "no handle without JLINKARM_SetBPEx";
  HostCall(second, kReleaseBreakpoint, {ArgObject(breakpoint)});
  breakpoint->Release();
  EXPECT_FALSE(withoutSetBPEx.Called("JLINKARM_SetBPEx"));
  Int(second, kSetRegister, {ArgI4(3), ArgI4(0x4444)});
  EXPECT_EQ(Int(second, kGetRegister, {ArgI4(3)}), 0x4444);
  EXPECT_TRUE(host.Errors().empty());
}

} // namespace
