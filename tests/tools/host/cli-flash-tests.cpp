// The command line's flash verb on a Cortex-M3 driver with the Stellaris
// writer, bound to the test host over the simulated chip: images of each
// format land in flash, and every failure ends with its message and a
// non-zero answer.

#include "arm-test-support.h"
#include "armv7m-registers.h"
#include "cli-flash.h"
#include "dialog-hook.h"
#include "sector-flash-writers.h"
#include "scratch-file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFmppe0 = 0x400FE134;

// An ELF32 ARM executable with one loadable segment.
std::string ElfText(uint32_t AAddress, const std::vector<uint8_t>& ABytes) {
  std::string f(52 + 32, '\0');
  auto put16 = [&](size_t AAt, uint32_t AValue) {
    f[AAt] = char(AValue);
    f[AAt + 1] = char(AValue >> 8);
  };
  auto put32 = [&](size_t AAt, uint32_t AValue) {
    put16(AAt, AValue & 0xFFFF);
    put16(AAt + 2, AValue >> 16);
  };
  f[0] = 0x7F, f[1] = 'E', f[2] = 'L', f[3] = 'F', f[4] = 1, f[5] = 1, f[6] = 1;
  put16(16, 2);  // executable
  put16(18, 40); // ARM
  put32(20, 1);
  put32(24, AAddress);
  put32(28, 52); // program headers
  put16(40, 52);
  put16(42, 32);
  put16(44, 1);
  put16(46, 40);
  put32(52 + 0, 1); // PT_LOAD
  put32(52 + 4, 84);
  put32(52 + 8, AAddress);
  put32(52 + 12, AAddress);
  put32(52 + 16, uint32_t(ABytes.size()));
  put32(52 + 20, uint32_t(ABytes.size()));
  put32(52 + 24, 5);
  put32(52 + 28, 4);
  return f + std::string(ABytes.begin(), ABytes.end());
}

// Named by process: the test programs of both architectures share one
// temporary folder and may run at once.
std::wstring TempPath(const std::wstring& AName) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + std::to_wstring(GetCurrentProcessId()) + L"-" + AName;
}

std::wstring WriteTemp(const std::wstring& AName, const std::string& AContent) {
  const std::wstring path = TempPath(AName);
  std::ofstream(path.c_str(), std::ios::binary) << AContent;
  return path;
}

// The chip with 64 KB of flash, a host over it, and a Cortex-M3 driver
// whose selected flash writer is the Stellaris one, bound as the plug-in's.
class FlashVerbOnSim : public ::testing::Test {
public:
  static TSimConfig Config() {
    TSimConfig c;
    c.FlashKb = 64;
    c.StepsPerAccess = 200000;
    return c;
  }
  class TFlashDriver : public TTestCortexM3 {
  public:
    explicit TFlashDriver(FlashVerbOnSim& ATest)
        : TTestCortexM3(eDeviceProcessor_CORE_ARM_CORTEX_M3, eDeviceProcessor_TYPE_HARD,
                        [&ATest](TTarvoProcessorDriver& ADriver) {
                          ATest.Writer = CreateStellarisFlashWriter(
                              L"TFLASH_LUMINARY_64",
                              ITarvoDriver::FromDispatch(static_cast<IDispatch*>(&ADriver)));
                          return TComPtr<TAbstractFlashWriter>(ATest.Writer.Get());
                        }) {}
  };

  TSimChipTarget Target{Config()};
  TTestHost Host{Target};
  TDialogHook Dialogs;
  TComPtr<TFLASH_LUMINARY> Writer;
  TFlashDriver Driver{*this};
  std::string Out, Err;
  std::vector<std::wstring> Files;

  void SetUp() override {
    TBoolean bound;
    Driver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
    ASSERT_TRUE(Writer && Writer->IsDriverLoaded());
  }
  void TearDown() override {
    Writer = {}; // the driver's writer list holds it until the driver goes
    for (const std::wstring& file : Files)
      DeleteFileW(file.c_str());
  }
  std::wstring File(const std::wstring& AName, const std::string& AContent) {
    Files.push_back(WriteTemp(AName, AContent));
    return Files.back();
  }
  int Flash(const std::wstring& APath, TFlashOptions AOptions = {}) {
    std::FILE* out = OpenScratchFile();
    std::FILE* err = OpenScratchFile();
    const int status = FlashDriver(Driver, APath, AOptions, out, err);
    Out = Contents(out);
    Err = Contents(err);
    std::fclose(out);
    std::fclose(err);
    return status;
  }
  std::vector<uint8_t> ChipFlash(uint32_t AAddress, size_t ACount) {
    const auto& flash = Target.Sim().Chip().Flash();
    return std::vector<uint8_t>(flash.begin() + AAddress, flash.begin() + AAddress + ACount);
  }
};

TEST_F(FlashVerbOnSim, EachImageFormatLandsAtItsAddressWithAProgressBar) {
  struct TCase {
    const wchar_t* Name;
    uint32_t Address;
    std::string (*Text)(uint32_t, const std::vector<uint8_t>&);
  };
  const TCase cases[] = {
      {L"orvandel-cli-flash.hex", 0x130, HexText},
      {L"orvandel-cli-flash.elf", 0x1800, ElfText},
      {L"orvandel-cli-flash.bin", 0,
       [](uint32_t, const std::vector<uint8_t>& ABytes) {
         return std::string(ABytes.begin(), ABytes.end());
       }},
  };
  uint32_t seed = 1;
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Name, c.Name + wcslen(c.Name)));
    const std::vector<uint8_t> bytes = PatternBytes(1500, seed++);
    EXPECT_EQ(Flash(File(c.Name, c.Text(c.Address, bytes))), 0) << Err;
    EXPECT_TRUE(ChipFlash(c.Address, bytes.size()) == bytes);
    EXPECT_NE(Out.find("1500 bytes in 1 block"), std::string::npos) << Out;
    EXPECT_NE(Out.find("program [########################################] 100%"),
              std::string::npos)
        << Out;
    EXPECT_NE(Out.find("verify  [########################################] 100%"),
              std::string::npos)
        << Out;
    EXPECT_NE(Out.find("programmed and verified"), std::string::npos);
    EXPECT_EQ(Err, "");
  }
  // The HEX image shared its first sector with nothing written before; the
  // raw image that followed at 0 must not have wiped the ELF's bytes.
  EXPECT_TRUE(ChipFlash(0x1800, 1500) == PatternBytes(1500, 2));
}

TEST_F(FlashVerbOnSim, EraseAllBlanksWhatTheImageDoesNotCover) {
  const std::vector<uint8_t> old = PatternBytes(4096, 9);
  ASSERT_EQ(Flash(File(L"orvandel-cli-old.bin", std::string(old.begin(), old.end()))), 0) << Err;
  const std::vector<uint8_t> bytes = PatternBytes(100, 4);
  ASSERT_EQ(Flash(File(L"orvandel-cli-new.hex", HexText(0x200, bytes)), {true, true}), 0) << Err;
  EXPECT_TRUE(ChipFlash(0x200, 100) == bytes);
  EXPECT_TRUE(ChipFlash(0, 0x200) == std::vector<uint8_t>(0x200, 0xFF));
  EXPECT_TRUE(ChipFlash(0x264, 4096 - 0x264) == std::vector<uint8_t>(4096 - 0x264, 0xFF));
  EXPECT_NE(Out.find("erase   ["), std::string::npos) << Out;
}

TEST_F(FlashVerbOnSim, NoVerifySkipsTheCompare) {
  const std::vector<uint8_t> bytes = PatternBytes(64, 3);
  ASSERT_EQ(
      Flash(File(L"orvandel-cli-nv.bin", std::string(bytes.begin(), bytes.end())), {false, false}),
      0)
      << Err;
  EXPECT_EQ(Out.find("verify"), std::string::npos) << Out;
  EXPECT_TRUE(ChipFlash(0, 64) == bytes);
}

// The fixture's chip, host and driver made anew inside a test.
struct TFreshBench : FlashVerbOnSim {
  void TestBody() override {}
};

TEST_F(FlashVerbOnSim, EachFailureAnswersOneWithItsMessage) {
  const std::vector<uint8_t> bytes = PatternBytes(256, 5);
  struct TCase {
    const char* Name;
    std::function<std::wstring(FlashVerbOnSim&)> Arrange;
    const char* Message;
  };
  const std::string good(bytes.begin(), bytes.end());
  const TCase cases[] = {
      {"missing file", [](FlashVerbOnSim&) { return TempPath(L"orvandel-no-such-image.hex"); },
       "no such file"},
      {"bad image",
       [](FlashVerbOnSim& T) {
         return T.File(L"orvandel-cli-bad.hex", ":10000000000102030405060708090A0B0C0D0E0F00\n");
       },
       "is not a valid image"},
      {"empty image", [](FlashVerbOnSim& T) { return T.File(L"orvandel-cli-empty.bin", ""); },
       "holds no data"},
      {"protected flash",
       [&](FlashVerbOnSim& T) {
         T.Target.Sim().Chip().DebugWrite(kFmppe0, 4, 0xFFFFFFFE);
         return T.File(L"orvandel-cli-prot.bin", good);
       },
       "programming 0x00000000..0x000000FF failed"},
      {"loader timeout",
       [&](FlashVerbOnSim& T) {
         T.Writer->SetCommandTimeLimits(400, 400);
         T.Target.Sim().Faults().FlashStuckBusy = true;
         return T.File(L"orvandel-cli-busy.bin", good);
       },
       "did not finish in time (BUSY)"},
      {"target not responding",
       [&](FlashVerbOnSim& T) {
         T.Target.Sim().Faults().NeverShowHalted = true;
         return T.File(L"orvandel-cli-nr.bin", good);
       },
       "target is not responding"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    // A fresh chip, host and driver for each failure.
    auto fresh = std::make_unique<TFreshBench>();
    fresh->SetUp();
    const std::wstring path = c.Arrange(*fresh);
    EXPECT_EQ(fresh->Flash(path), 1);
    EXPECT_NE(fresh->Err.find(c.Message), std::string::npos) << fresh->Err;
    EXPECT_EQ(fresh->Out.find("programmed"), std::string::npos) << fresh->Out;
    fresh->TearDown();
  }
}

TEST(FlashVerbArguments, UsageErrorsAnswerOne) {
  TSimChipTarget target;
  TTestHost host(target);
  TPluginLibrary plugin; // not loaded: no argument error may reach it
  struct TCase {
    std::vector<std::wstring> Arguments;
    const char* Message;
  };
  const TCase cases[] = {
      {{}, "usage: orvandel flash"},
      {{L"LM3S811"}, "usage: orvandel flash"},
      {{L"LM3S811", L"a.hex", L"extra"}, "usage: orvandel flash"},
      {{L"LM3S811", L"a.hex", L"--verify-twice"}, "unknown option --verify-twice"},
  };
  for (const TCase& c : cases) {
    std::FILE* err = OpenScratchFile();
    EXPECT_EQ(FlashVerb(plugin, host, c.Arguments, stdout, err), 1);
    EXPECT_NE(Contents(err).find(c.Message), std::string::npos) << c.Message;
    std::fclose(err);
  }
}

} // namespace
