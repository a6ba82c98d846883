// Flash programming and software breakpoints on the simulated chip through
// the whole ARM road: the Stellaris writer drives its loader through the
// Cortex-M3 driver's own memory and run-control operations, every access a
// debug-port scan on the test host's channel.

#include "arm-test-support.h"
#include "armv7m-registers.h"
#include "dialog-hook.h"
#include "fake-host-object.h"
#include "image-loaders.h"
#include "sector-flash-writers.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSram = 0x20000000;
constexpr unsigned kFlashKb = 64;
// SRAM the writer's loader, command block and data buffer may touch, and
// some room beyond it.
constexpr uint32_t kWatchedSram = 0x2000;

TSimConfig ChipConfig(unsigned ASteps) {
  TSimConfig c;
  c.FlashKb = kFlashKb;
  c.StepsPerAccess = ASteps;
  return c;
}

std::vector<uint32_t> Pattern(uint32_t ACount, uint32_t ASeed) {
  std::vector<uint32_t> units(ACount);
  uint32_t x = ASeed * 2654435761u + 1;
  for (uint32_t& unit : units) {
    x = x * 1103515245u + 12345u;
    unit = (x >> 16) & 0xFF;
  }
  return units;
}

TDataChunkImage ImageOf(uint32_t AAddress, std::vector<uint32_t> AUnits) {
  TDataChunkImage image;
  image.TargetAddr = AAddress;
  image.DataLen = uint32_t(AUnits.size());
  image.DataArray = std::move(AUnits);
  return image;
}

std::wstring TempFile(const std::wstring& AName, const std::string& AContent) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  // Named by process: both architectures' test programs share one folder.
  const std::wstring path =
      std::wstring(dir) + std::to_wstring(GetCurrentProcessId()) + L"-" + AName;
  std::ofstream(path.c_str(), std::ios::binary) << AContent;
  return path;
}

// The image a file loader delivers, as one block from its lowest address.
TDataChunkImage LoadImage(const std::wstring& APath) {
  TDataChunkImage image;
  bool first = true;
  const bool loaded = LoadFile(APath, [&](int64_t AAddress, int64_t ASize, PMemoryArray ABuffer) {
    if (first)
      image.TargetAddr = uint32_t(AAddress);
    first = false;
    const uint32_t end = uint32_t(AAddress + ASize) - image.TargetAddr;
    if (image.DataArray.size() < end)
      image.DataArray.resize(end, 0xFF);
    for (int64_t i = 0; i < ASize; ++i)
      image.DataArray[uint32_t(AAddress - image.TargetAddr + i)] = ABuffer[i] & 0xFF;
  });
  EXPECT_TRUE(loaded);
  image.DataLen = uint32_t(image.DataArray.size());
  return image;
}

// ASteps: instructions the core runs per debug-port access.
template <unsigned ASteps> class TFlashOverArmOf : public ::testing::Test {
protected:
  TSimChipTarget Target{ChipConfig(ASteps)};
  TTestHost Host{Target};
  TDialogHook Dialogs;
  TTestCortexM3 Driver;
  TComPtr<TFLASH_LUMINARY> Writer;

  void SetUp() override {
    TBoolean bound;
    Driver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
    Writer = CreateStellarisFlashWriter(
        L"TFLASH_LUMINARY_64", ITarvoDriver::FromDispatch(static_cast<IDispatch*>(&Driver)));
    ASSERT_TRUE(Writer && Writer->IsDriverLoaded());
    // The RAM the loader borrows holds the user's data: a pattern no loader
    // leaves behind.
    for (uint32_t a = 0; a < kWatchedSram; a += 4)
      Target.Sim().Chip().DebugWrite(kSram + a, 4, 0x5A000000u ^ (a * 0x01010101u));
    Sram = SramNow();
  }

  std::vector<uint32_t> SramNow() {
    std::vector<uint32_t> words;
    for (uint32_t a = 0; a < kWatchedSram; a += 4) {
      uint32_t v = 0;
      Target.Sim().Chip().DebugRead(kSram + a, 4, v);
      words.push_back(v);
    }
    return words;
  }
  // Flash as the driver's memory read sees it, one byte a unit.
  std::vector<uint32_t> ReadThroughDriver(uint32_t AAddress, uint32_t ACount) {
    PMemoryArray buffer = AllocMemoryArray(ACount);
    TLongBool ok = LongFalse;
    EXPECT_EQ(Driver.MemoryRead(0, buffer, AAddress, int32_t(ACount), &ok), S_OK);
    EXPECT_NE(ok, LongFalse);
    std::vector<uint32_t> units(buffer, buffer + ACount);
    FreeMemoryArray(buffer);
    for (uint32_t& unit : units)
      unit &= 0xFF;
    return units;
  }
  std::vector<uint32_t> ChipFlash(uint32_t AAddress, uint32_t ACount) {
    const auto& flash = Target.Sim().Chip().Flash();
    return std::vector<uint32_t>(flash.begin() + AAddress, flash.begin() + AAddress + ACount);
  }
  void ExpectNoDialogs() {
    for (const auto& dialog : Dialogs.Dialogs())
      ADD_FAILURE() << "dialog: " << std::string(dialog.Text.begin(), dialog.Text.end());
  }

  std::vector<uint32_t> Sram;
};

// Enough instructions per access that a loader command ends within a poll:
// the tests measure behaviour, not the core's pace.
using FlashOverArm = TFlashOverArmOf<200000>;
// A core so slow that the loader's own time budget never runs out first.
using FlashOverArmSlowCore = TFlashOverArmOf<64>;

TEST_F(FlashOverArm, WholeImagesReadBackIdenticalAndVerify) {
  for (const uint32_t size : {8u * 1024, 64u * 1024}) {
    SCOPED_TRACE(size);
    const TDataChunkImage image = ImageOf(0, Pattern(size, size));
    ASSERT_EQ(Writer->FlashWrite(0, image, false, false, false, true), 0u);
    EXPECT_TRUE(ReadThroughDriver(0, size) == image.DataArray);
    EXPECT_TRUE(ChipFlash(0, size) == image.DataArray);
    EXPECT_EQ(Writer->FlashCompare(0, image, 0, size, false), 0u);
    TDataChunkImage changed = image;
    changed.DataArray[size - 3] ^= 0x10;
    EXPECT_NE(Writer->FlashCompare(0, changed, 0, size, false), 0u)
        << "a changed byte must not verify";
    EXPECT_TRUE(SramNow() == Sram) << "the loader's RAM is restored byte for byte";
  }
  ExpectNoDialogs();
}

TEST_F(FlashOverArm, HexImageInsideASectorKeepsOrErasesTheRestOfIt) {
  const std::vector<uint32_t> hexBytes = Pattern(0x50, 9);
  const std::wstring path = TempFile(
      L"orvandel-flash-at-130.hex",
      HexText(0x130, std::vector<uint8_t>(hexBytes.begin(), hexBytes.end())));
  const TDataChunkImage hexImage = LoadImage(path);
  ASSERT_EQ(hexImage.TargetAddr, 0x130u);
  ASSERT_EQ(hexImage.DataLen, 0x50u);

  struct TCase {
    bool Preserve;
    bool KeepsOldBytes;
  };
  for (const TCase c : {TCase{true, true}, TCase{false, false}}) {
    SCOPED_TRACE(c.Preserve ? "preserving" : "not preserving");
    const std::vector<uint32_t> before = Pattern(2048, 3);
    ASSERT_EQ(Writer->FlashWrite(0, ImageOf(0, before), false, false, false, true), 0u);
    ASSERT_EQ(Writer->FlashWrite(0, hexImage, false, c.Preserve, false, true), 0u);

    const std::vector<uint32_t> flash = ReadThroughDriver(0, 2048);
    for (uint32_t a = 0; a < 2048; ++a) {
      uint32_t expected = before[a];
      if (a >= 0x130 && a < 0x180)
        expected = hexBytes[a - 0x130];
      else if (a < 0x400 && !c.KeepsOldBytes)
        expected = 0xFF;
      if (flash[a] != expected) {
        ADD_FAILURE() << "flash at 0x" << std::hex << a << " is 0x" << flash[a] << ", not 0x"
                      << expected;
        break;
      }
    }
    EXPECT_TRUE(SramNow() == Sram);
  }
  DeleteFileW(path.c_str());
  ExpectNoDialogs();
}

TEST_F(FlashOverArm, EraseOfARangeBlanksOnlyItsSectors) {
  const TDataChunkImage image = ImageOf(0, Pattern(8192, 5));
  ASSERT_EQ(Writer->FlashWrite(0, image, false, false, false, true), 0u);
  EXPECT_EQ(Writer->DoBlankCheckSectors(0, 1, 1), uint32_t(SECTOR_NOT_BLANK));

  ASSERT_EQ(Writer->FlashErase(0, 0x400, 0xBFF, false), 0u);
  const std::vector<uint32_t> flash = ReadThroughDriver(0, 8192);
  for (uint32_t a = 0; a < 8192; ++a) {
    const uint32_t expected = a >= 0x400 && a < 0xC00 ? 0xFF : image.DataArray[a];
    if (flash[a] != expected) {
      ADD_FAILURE() << "flash at 0x" << std::hex << a << " is 0x" << flash[a];
      break;
    }
  }
  struct TCase {
    uint32_t First, Last, Status;
  };
  // The writer checks one sector per call, the first one named.
  for (const TCase c :
       {TCase{1, 1, CMD_SUCCESS}, TCase{2, 2, CMD_SUCCESS}, TCase{0, 0, SECTOR_NOT_BLANK},
        TCase{3, 3, SECTOR_NOT_BLANK}, TCase{8, 8, CMD_SUCCESS}})
    EXPECT_EQ(Writer->DoBlankCheckSectors(0, c.First, c.Last), c.Status)
        << c.First << ".." << c.Last;
  EXPECT_TRUE(SramNow() == Sram);
  ExpectNoDialogs();
}

// A loader start whose xPSR the core's cache believes already set must still
// leave the core in Thumb state: a stale cache would start the loader in ARM
// state and fault.
TEST_F(FlashOverArm, LoaderStartsInThumbStateWhateverTheCoreHeldBefore) {
  Driver.PauseProcessor();
  uint32_t xpsr = 0;
  ASSERT_EQ(Driver.GetProcessorRegisterValue(kArmV7MRegisterIndexXPSR, &xpsr), S_OK);
  // The core loses its Thumb bit behind the cache's back.
  Target.Sim().Chip().Core().WriteRegister(TThumbCore::XPSR, xpsr & ~(1u << 24));
  const TDataChunkImage image = ImageOf(0, Pattern(1024, 11));
  EXPECT_EQ(Writer->FlashWrite(0, image, false, false, false, true), 0u);
  EXPECT_TRUE(ChipFlash(0, 1024) == image.DataArray);
}

// The flash memory utility's image object, answering by DISPID.
TComPtr<TFakeHostObject> HostImage(const TDataChunkImage& AImage) {
  auto image = TFakeHostObject::Create({L"IDataChunkImageInterface"});
  image->OnCall(508709, [AImage](TFakeInvocation& AInv) {
    AInv.ReturnInt(int32_t(AImage.TargetAddr));
    return S_OK;
  });
  image->OnCall(508711, [AImage](TFakeInvocation& AInv) {
    AInv.ReturnInt(int32_t(AImage.DataLen));
    return S_OK;
  });
  image->OnCall(508713, [AImage](TFakeInvocation& AInv) {
    AInv.ReturnInt(int32_t(AImage.DataArray.at(size_t(AInv.Int(0)))));
    return S_OK;
  });
  return image;
}

// Not counted by the argument: the caller keeps the object alive.
VARIANT Object(IDispatch* AValue) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = AValue;
  return v;
}

VARIANT Bool(bool AValue) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = AValue ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// The AHB-AP answers a bus error for one word of the RAM the loader will
// cover while the writer saves that RAM: the host's write must fail with
// the writer's message, leave every byte of RAM as the user had it (no
// loader, no "restore" of what was never read) and touch no flash.
TEST_F(FlashOverArm, BusErrorWhileSavingRamFailsTheWriteAndLeavesRamByteIdentical) {
  constexpr DISPID kWriteFlashImage = 508719;
  struct TCase {
    const char* Name;
    uint32_t Address;
  };
  const TCase cases[] = {
      {"under the loader", kSram + 0x100},
      {"under the command block", kSram + 0x400 + 0x18},
      {"under the data buffer", kSram + 0x434 + 0x40},
  };
  const TDataChunkImage image = ImageOf(0, Pattern(1024, 21));
  auto hostImage = HostImage(image);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<uint32_t> flashBefore = ChipFlash(0, kFlashKb * 1024);
    const TSimCounters countersBefore = Target.Sim().Counters();
    const size_t dialogsBefore = Dialogs.Dialogs().size();

    Target.Sim().Faults().BusErrorEnabled = true;
    Target.Sim().Faults().BusErrorAddress = c.Address;
    VARIANT result;
    const HRESULT hr = InvokeDispId(
        *static_cast<IDispatch*>(Writer.Get()), kWriteFlashImage,
        {I4(0), Object(hostImage.Get()), Bool(false), Bool(false), Bool(false), Bool(true)},
        &result);
    VariantClear(&result);
    // Disarmed before looking: the switch faults the simulator's own reads too.
    Target.Sim().Faults().BusErrorEnabled = false;

    EXPECT_EQ(hr, E_UNEXPECTED);
    ASSERT_EQ(Dialogs.Dialogs().size(), dialogsBefore + 1);
    EXPECT_EQ(Dialogs.Dialogs().back().Caption, L"Error");
    const std::wstring& text = Dialogs.Dialogs().back().Text;
    EXPECT_EQ(text.find(L"The flash loader was not installed: saving the target RAM"), 0u)
        << std::string(text.begin(), text.end());
    EXPECT_NE(text.find(L"target RAM is unchanged"), std::wstring::npos);
    EXPECT_TRUE(SramNow() == Sram) << "target RAM changed";
    EXPECT_FALSE(Writer->IsDriverInstalled());
    EXPECT_TRUE(ChipFlash(0, kFlashKb * 1024) == flashBefore);
    EXPECT_EQ(Target.Sim().Counters().FlashWordPrograms, countersBefore.FlashWordPrograms);
    EXPECT_EQ(Target.Sim().Counters().FlashPageErases, countersBefore.FlashPageErases);
    EXPECT_EQ(Target.Sim().Counters().FlashMassErases, countersBefore.FlashMassErases);
  }
}

// The loader's own wait on a stuck controller polls it over a million times
// before giving up, whatever the flash clock; a command
// that ends after far fewer instructions was ended by the writer's limit.
constexpr uint64_t kFewerThanTheLoadersOwnBudget = 1000000;

TEST_F(FlashOverArmSlowCore, LoaderThatNeverFinishesIsHaltedAndAnswersBusy) {
  // Limits far shorter than a healthy write needs on this core; the short
  // commands before the stuck one end by the first poll, which comes before
  // any limit is looked at. The core moves only with debug-port accesses, so
  // however slow the machine, the loader cannot reach its own budget first.
  Writer->SetCommandTimeLimits(400, 400);
  Target.Sim().Faults().FlashStuckBusy = true;
  struct TCase {
    const char* Name;
    uint32_t (*Run)(TFLASH_LUMINARY&);
  };
  const TCase cases[] = {
      {"erase", [](TFLASH_LUMINARY& W) { return W.FlashErase(0, 0x400, 0x7FF, false); }},
      // One limit and one message for the whole range, not one per sector.
      {"erase of three sectors",
       [](TFLASH_LUMINARY& W) { return W.FlashErase(0, 0x400, 0xFFF, false); }},
      {"erase all", [](TFLASH_LUMINARY& W) { return W.DoEraseEntireDevice(0); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const size_t dialogsBefore = Dialogs.Dialogs().size();
    const uint64_t instructionsBefore = Target.Sim().Counters().Instructions;
    EXPECT_EQ(c.Run(*Writer.Get()), uint32_t(BUSY));
    EXPECT_TRUE(Target.Sim().Chip().IsHalted()) << "the loader is stopped";
    EXPECT_LT(Target.Sim().Counters().Instructions - instructionsBefore,
              kFewerThanTheLoadersOwnBudget)
        << "the loader gave up by itself: the writer's limit was never met";
    ASSERT_EQ(Dialogs.Dialogs().size(), dialogsBefore + 1);
    const std::wstring& text = Dialogs.Dialogs().back().Text;
    EXPECT_NE(text.find(L"did not finish"), std::wstring::npos);
    EXPECT_NE(text.find(L"BUSY"), std::wstring::npos);
    EXPECT_TRUE(SramNow() == Sram);
  }
  EXPECT_STREQ(RemoteStatusText(BUSY), L"BUSY");
  // With the controller healthy again the same writer programs, given the
  // time a healthy command takes on this core.
  Target.Sim().Faults().FlashStuckBusy = false;
  Writer->SetCommandTimeLimits(TFLASH_LUMINARY::kDefaultCommandTimeLimitMs,
                               TFLASH_LUMINARY::kDefaultEraseAllTimeLimitMs);
  const size_t dialogsBefore = Dialogs.Dialogs().size();
  const TDataChunkImage image = ImageOf(0x800, Pattern(1024, 2));
  EXPECT_EQ(Writer->FlashWrite(0, image, false, false, false, true), 0u);
  EXPECT_TRUE(ChipFlash(0x800, 1024) == image.DataArray);
  EXPECT_EQ(Dialogs.Dialogs().size(), dialogsBefore);
}

// ---- software breakpoints by DISPID ------------------------------------------

constexpr DISPID kGetNewBreakpoint = 508567, kBpGetReplaced = 503450, kBpEnable = 503453,
                 kBpDisable = 503454, kSetRegister = 503766, kGetRegister = 503767, kPause = 503797,
                 kContinue = 503798, kIsPaused = 503800;
constexpr uint32_t kThumbNop = 0xBF00, kThumbBkpt = 0xBE00, kBranchToSelf = 0xE7FE;

class SoftBreakpointOnArm : public FlashOverArm {
protected:
  VARIANT Call(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
    VARIANT result;
    EXPECT_EQ(InvokeDispId(AObject, ADispId, std::move(AArgs), &result), S_OK) << ADispId;
    return result;
  }
  uint32_t Value(IDispatch& AObject, DISPID ADispId, std::vector<VARIANT> AArgs = {}) {
    VARIANT result = Call(AObject, ADispId, std::move(AArgs));
    const uint32_t value = result.vt == VT_BOOL ? (result.boolVal ? 1 : 0) : uint32_t(result.lVal);
    VariantClear(&result);
    return value;
  }
  uint32_t Halfword(uint32_t AAddress) {
    uint32_t v = 0;
    Target.Sim().Chip().DebugRead(AAddress, 2, v);
    return v;
  }
  // Six NOPs, then a branch to itself.
  void LoadProgram(uint32_t AAddress) {
    for (uint32_t i = 0; i < 6; ++i)
      Target.Sim().Chip().DebugWrite(AAddress + 2 * i, 2, kThumbNop);
    Target.Sim().Chip().DebugWrite(AAddress + 12, 2, kBranchToSelf);
  }
  TComPtr<IDispatch> NewBreakpoint(uint32_t AAddress) {
    VARIANT result = Call(Driver, kGetNewBreakpoint, {I4(0), I4(int32_t(AAddress))});
    EXPECT_EQ(result.vt, VT_DISPATCH);
    TComPtr<IDispatch> breakpoint;
    if (result.vt == VT_DISPATCH)
      breakpoint = TComPtr<IDispatch>(result.pdispVal);
    VariantClear(&result);
    return breakpoint;
  }
  // Runs from AStart until the core halts, within a bounded number of polls.
  bool RunUntilHalted(uint32_t AStart) {
    Value(Driver, kSetRegister, {I4(kArmV7MRegisterIndexPC), I4(int32_t(AStart))});
    Value(Driver, kContinue);
    for (int poll = 0; poll < 20; ++poll)
      if (Value(Driver, kIsPaused))
        return true;
    return false;
  }
};

TEST_F(SoftBreakpointOnArm, ProgramStopsAtItAndDisableRestoresTheHalfword) {
  constexpr uint32_t program = kSram + 0x1000, at = program + 6;
  Value(Driver, kPause);
  LoadProgram(program);
  TComPtr<IDispatch> breakpoint = NewBreakpoint(at);
  ASSERT_TRUE(breakpoint);

  EXPECT_EQ(Value(*breakpoint.Get(), kBpEnable), 1u);
  EXPECT_EQ(Halfword(at), kThumbBkpt) << "a software breakpoint patches memory";
  EXPECT_EQ(Value(*breakpoint.Get(), kBpEnable), 1u) << "enabling again answers True";
  EXPECT_EQ(Value(*breakpoint.Get(), kBpGetReplaced), kThumbNop)
      << "enabling again must not take the breakpoint for the program's code";

  ASSERT_TRUE(RunUntilHalted(program));
  EXPECT_EQ(Value(Driver, kGetRegister, {I4(kArmV7MRegisterIndexPC)}), at);

  EXPECT_EQ(Value(*breakpoint.Get(), kBpDisable), 1u);
  EXPECT_EQ(Halfword(at), kThumbNop);
  for (uint32_t i = 0; i < 6; ++i)
    EXPECT_EQ(Halfword(program + 2 * i), kThumbNop) << i;

  // Without the breakpoint the program runs on to its loop.
  ASSERT_FALSE(RunUntilHalted(program));
  Value(Driver, kPause);
  EXPECT_EQ(Value(Driver, kGetRegister, {I4(kArmV7MRegisterIndexPC)}), program + 12);
  ExpectNoDialogs();
}

} // namespace
