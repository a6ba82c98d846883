// The command line's debug verbs on a Cortex-M3 driver bound to the test
// host over the simulated chip: what each verb prints, what it does to the
// chip, and how it fails.

#include "arm-test-support.h"
#include "cli-debug.h"
#include "device-processor.h"
#include "dialog-hook.h"
#include "scratch-file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSram = 0x20000000;

std::string FileBytes(const std::string& APath) {
  std::ifstream in(APath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& APath, const std::string& ABytes) {
  std::ofstream(APath, std::ios::binary) << ABytes;
}

std::wstring Wide(const std::string& AText) {
  return std::wstring(AText.begin(), AText.end());
}

// The simulated chip, a host over it and a Cortex-M3 driver bound to its
// first chain device, as the command line binds the plug-in's driver.
struct TBench {
  explicit TBench(const std::function<void(TSimFaults&)>& AFaults = {}) {
    if (AFaults)
      AFaults(Target.Sim().Faults());
    TBoolean bound;
    Driver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
    // As the command line does once it has bound the driver.
    ServeProcessorFromDriver(Host.Device(0), Driver);
  }
  TSimChipTarget Target;
  TTestHost Host{Target};
  TDialogHook Dialogs;
  TTestCortexM3 Driver;
  std::string Out, Err;

  int Run(const std::wstring& AVerb, const std::vector<std::wstring>& AArgs) {
    std::FILE* out = OpenScratchFile();
    std::FILE* err = OpenScratchFile();
    const int status = RunDebugVerb(Driver, AVerb, AArgs, out, err, &Dialogs);
    Out = Contents(out);
    Err = Contents(err);
    std::fclose(out);
    std::fclose(err);
    return status;
  }
  uint32_t Word(uint32_t AAddress) {
    uint32_t value = 0;
    Target.Sim().Chip().DebugRead(AAddress, 4, value);
    return value;
  }
  uint8_t Byte(uint32_t AAddress) {
    uint32_t value = 0;
    Target.Sim().Chip().DebugRead(AAddress, 1, value);
    return uint8_t(value);
  }
};

class CliDebugOnSim : public ::testing::Test {
protected:
  TBench Bench;

  // Runs a verb that must succeed.
  std::string Ok(const std::wstring& AVerb, const std::vector<std::wstring>& AArgs) {
    EXPECT_EQ(Bench.Run(AVerb, AArgs), 0) << Bench.Err;
    EXPECT_EQ(Bench.Err, "");
    return Bench.Out;
  }
  // Two NOPs and a branch to itself at ALoop, the PC parked on the first.
  void LoadLoop(uint32_t ALoop) {
    char address[16];
    std::snprintf(address, sizeof address, "0x%08X", ALoop);
    Ok(L"mem", {L"write", Wide(address), L"00BF 00BF FEE7"});
    Ok(L"regs", {std::wstring(L"pc=") + Wide(address)});
  }
};

TEST_F(CliDebugOnSim, BadArgumentsFailWithTheirReasonAndTouchNothing) {
  WriteFile("cli-debug-empty.bin", "");
  struct TCase {
    const wchar_t* Verb;
    std::vector<std::wstring> Args;
    const char* Message;
  };
  const TCase cases[] = {
      {L"mem", {L"read", L"0x2000000G", L"4"}, "bad address \"0x2000000G\""},
      {L"mem", {L"read", L"4294967296", L"4"}, "bad address"},
      {L"mem", {L"read", L"-1", L"4"}, "bad address"},
      {L"mem", {L"read", L"0x20000000", L"0"}, "bad length 0"},
      {L"mem", {L"read", L"0x20000000", L"0x1000001"}, "bad length \"0x1000001\""},
      {L"mem", {L"read", L"0xFFFFFFF0", L"0x11"}, "pass the end of the address space"},
      {L"mem", {L"read", L"0x20000000"}, "usage: mem"},
      {L"mem", {L"read", L"0x20000000", L"4", L"--bogus"}, "unknown option \"--bogus\""},
      {L"mem", {L"read", L"0x20000000", L"4", L"--out"}, "--out needs a file name"},
      {L"mem", {L"write", L"0x20000000", L"ABC"}, "odd number of digits"},
      {L"mem", {L"write", L"0x20000000", L"12zz"}, "bad hex bytes \"12zz\""},
      {L"mem", {L"write", L"0x20000000"}, "usage: mem"},
      {L"mem", {L"write", L"0x20000000", L"--in", L"cli-debug-empty.bin"}, "bad length 0"},
      {L"mem", {L"write", L"0x20000000", L"--in", L"no-such-file.bin"}, "cannot open"},
      {L"mem", {L"verify", L"0x20000000", L"no-such-file.bin"}, "cannot open"},
      {L"mem", {L"peek", L"0x20000000"}, "usage: mem"},
      {L"mem", {}, "usage: mem"},
      {L"step", {L"0"}, "bad step count \"0\""},
      {L"step", {L"1000001"}, "bad step count"},
      {L"step", {L"1", L"2"}, "unexpected argument \"2\""},
      {L"halt", {L"now"}, "unexpected argument \"now\""},
      {L"regs", {L"FOO=1"}, "unknown register \"FOO\""},
      {L"regs", {L"R0"}, "bad register assignment \"R0\""},
      {L"regs", {L"R0="}, "bad value \"\""},
      {L"regs", {L"R0=0x100000000"}, "bad value \"0x100000000\" for R0 (32 bits"},
      {L"regs", {L"PRIMASK=0x100"}, "(8 bits"},
      {L"regs", {L"R0=12ab"}, "bad value \"12ab\""},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Bench.Run(c.Verb, c.Args), 1) << c.Message;
    EXPECT_NE(Bench.Err.find(c.Message), std::string::npos)
        << "wanted: " << c.Message << "\ngot: " << Bench.Err;
    EXPECT_EQ(Bench.Out, "") << c.Message;
  }
  EXPECT_TRUE(Bench.Dialogs.Dialogs().empty());
}

TEST_F(CliDebugOnSim, RegsWritesNothingWhenAnyAssignmentIsBad) {
  Ok(L"regs", {L"R1=5"});
  EXPECT_EQ(Bench.Run(L"regs", {L"R1=7", L"NOPE=1"}), 1);
  EXPECT_EQ(Bench.Out, "");
  EXPECT_NE(Ok(L"regs", {}).find("R1             0x00000005"), std::string::npos) << Bench.Out;
}

TEST_F(CliDebugOnSim, RegsHaltsWritesByAnyNameAndListsEveryRegister) {
  const std::string out =
      Ok(L"regs", {L"r0=0x12345678", L"Lr=4096", L"ip=0xC0DEC0DE", L"R3=0", L"primask=1"});
  EXPECT_TRUE(Bench.Target.Sim().Chip().IsHalted());
  const char* lines[] = {
      "R0             0x12345678\n", "R12/IP         0xC0DEC0DE\n", "R14/LR         0x00001000\n",
      "R3             0x00000000\n", "PRIMASK        0x01\n",       "TBIT (pseudo)  0x1\n",
  };
  for (const char* line : lines)
    EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 30) << out;
  EXPECT_EQ(Bench.Target.Sim().Chip().Core().ReadRegister(0), 0x12345678u);
}

TEST_F(CliDebugOnSim, MemoryWrittenUnalignedReadsBackAsHexDump) {
  Ok(L"mem", {L"write", L"0x20000000", std::wstring(40, L'0')});
  Ok(L"mem", {L"write", L"0x20000001", L"0x4142", L"43:44-45", L"46 47"});
  EXPECT_EQ(Bench.Word(kSram), 0x43424100u);
  EXPECT_EQ(Bench.Word(kSram + 4), 0x47464544u);
  EXPECT_EQ(Ok(L"mem", {L"read", L"536870912", L"20"}),
            "20000000  00 41 42 43 44 45 46 47  00 00 00 00 00 00 00 00  |.ABCDEFG........|\n"
            "20000010  00 00 00 00" +
                std::string(12 + 1 + 24, ' ') + "  |....|\n");
}

TEST_F(CliDebugOnSim, FileWrittenAcrossBlocksReadsBackAndVerifies) {
  std::string image(3001, '\0');
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = char((i * 7 + i / 256) & 0xFF);
  WriteFile("cli-debug-image.bin", image);
  Ok(L"mem", {L"write", L"0x20000103", L"--in", L"cli-debug-image.bin"});
  for (std::size_t i : {std::size_t(0), std::size_t(1), std::size_t(1023), std::size_t(1024),
                        std::size_t(2047), std::size_t(2048), std::size_t(3000)})
    EXPECT_EQ(Bench.Byte(kSram + 0x103 + uint32_t(i)), uint8_t(image[i])) << i;

  Ok(L"mem", {L"read", L"0x20000103", L"3001", L"--out=cli-debug-back.bin"});
  EXPECT_TRUE(FileBytes("cli-debug-back.bin") == image);
  EXPECT_NE(Ok(L"mem", {L"verify", L"0x20000103", L"cli-debug-image.bin"}).find("3001 bytes"),
            std::string::npos);

  Bench.Target.Sim().Chip().DebugWrite(kSram + 0x103 + 2500, 1, uint8_t(image[2500]) ^ 0x5A);
  EXPECT_EQ(Bench.Run(L"mem", {L"verify", L"0x20000103", L"cli-debug-image.bin"}), 1);
  char expected[120];
  std::snprintf(expected, sizeof expected,
                "MISMATCH at 0x%08X (file offset 2500): target 0x%02X, file 0x%02X",
                kSram + 0x103 + 2500, uint8_t(image[2500]) ^ 0x5A, uint8_t(image[2500]));
  EXPECT_NE(Bench.Out.find(expected), std::string::npos) << Bench.Out;
}

TEST_F(CliDebugOnSim, HaltStepRunAndResetReportThePc) {
  EXPECT_EQ(Ok(L"halt", {}).find("core halted, PC 0x"), 0u) << Bench.Out;
  LoadLoop(kSram + 0x100);
  EXPECT_EQ(Ok(L"step", {}), "stepped 1 instruction, PC 0x20000100 -> 0x20000102\n"
                             "instruction at 0x20000102: 0xBF00  nop\n");
  EXPECT_EQ(Ok(L"step", {L"0x3"}), "stepped 3 instructions, PC 0x20000102 -> 0x20000104\n"
                                   "instruction at 0x20000104: 0xE7FE  b 0x20000104\n");

  EXPECT_EQ(Ok(L"run", {}), "core running, resumed at PC 0x20000104\n");
  EXPECT_FALSE(Bench.Target.Sim().Chip().IsHalted());
  // A running core is halted before it steps.
  const std::string out = Ok(L"step", {});
  EXPECT_EQ(out.find("core halted to step\nstepped 1 instruction, PC 0x20000104 -> 0x20000104"), 0u)
      << out;

  Ok(L"reset", {});
  char expected[80];
  std::snprintf(expected, sizeof expected, "core reset, halted at PC 0x%08X\n",
                Bench.Word(4) & ~1u);
  EXPECT_EQ(Bench.Out, expected);
  EXPECT_TRUE(Bench.Dialogs.Dialogs().empty());
}

// A chip that does not answer shows a box in the plug-in; the verb stops
// there and fails instead of printing what it never read.
TEST(CliDebugFaults, AChipThatDoesNotAnswerFailsTheVerbAtTheBox) {
  struct TCase {
    const wchar_t* Verb;
    std::vector<std::wstring> Args;
  };
  const TCase cases[] = {
      {L"halt", {}},
      {L"regs", {L"R0=1"}},
      {L"mem", {L"read", L"0x20000000", L"16"}},
  };
  for (const TCase& c : cases) {
    TBench bench([](TSimFaults& AFaults) { AFaults.NoPowerAck = true; });
    EXPECT_EQ(bench.Run(c.Verb, c.Args), 1) << bench.Out;
    ASSERT_EQ(bench.Dialogs.Dialogs().size(), 1u);
    EXPECT_EQ(bench.Dialogs.Dialogs()[0].Text, L"Target is not responding.");
    EXPECT_NE(bench.Err.find("stopped at the plug-in's message"), std::string::npos) << bench.Err;
    EXPECT_EQ(bench.Out, "");
  }
}

TEST(CliDebugFaults, ACoreThatNeverShowsHaltedFailsHalt) {
  TBench bench([](TSimFaults& AFaults) { AFaults.NeverShowHalted = true; });
  EXPECT_EQ(bench.Run(L"halt", {}), 1);
  EXPECT_NE((bench.Out + bench.Err).find("did not halt"), std::string::npos)
      << bench.Out << bench.Err;
}

TEST(CliNumbers, DecimalAndHexWithinTheirBound) {
  struct TCase {
    const wchar_t* Text;
    uint64_t Max;
    std::optional<uint64_t> Value;
  };
  const TCase cases[] = {
      {L"0", 0xFFFFFFFF, 0},
      {L"4294967295", 0xFFFFFFFF, 0xFFFFFFFF},
      {L"4294967296", 0xFFFFFFFF, std::nullopt},
      {L"0xffffffff", 0xFFFFFFFF, 0xFFFFFFFF},
      {L"0X1_0", 0xFFFFFFFF, std::nullopt},
      {L"0x", 0xFFFFFFFF, std::nullopt},
      {L"", 0xFFFFFFFF, std::nullopt},
      {L"99999999999999999999999", 0xFFFFFFFF, std::nullopt},
      {L"0x100000000", 0xFFFFFFFF, std::nullopt},
      {L"255", 255, 255},
      {L"256", 255, std::nullopt},
      {L"2", 1, std::nullopt},
      {L"1a", 0xFFFFFFFF, std::nullopt},
      {L" 1", 0xFFFFFFFF, std::nullopt},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ParseCliNumber(c.Text, c.Max), c.Value)
        << std::string(c.Text, c.Text + wcslen(c.Text));
}

} // namespace

// The instruction the core stopped at, as the driver's controller panel
// shows it: read through the host's device object, disassembled by the
// host's ARM library.
TEST_F(CliDebugOnSim, HaltAndStepShowTheInstructionAtThePc) {
  // bl +4; movw r1, #0x1234; bx lr; the PC on the BL.
  Ok(L"mem", {L"write", L"0x20000200", L"00F002F8 41F23421 7047"});
  Ok(L"regs", {L"pc=0x20000200"});
  EXPECT_EQ(Ok(L"halt", {}), "core halted, PC 0x20000200\n"
                             "instruction at 0x20000200: 0xF000  bl 0x20000208\n");
  EXPECT_EQ(Ok(L"step", {}), "stepped 1 instruction, PC 0x20000200 -> 0x20000208\n"
                             "instruction at 0x20000208: 0x4770  bx lr\n");
  Ok(L"regs", {L"pc=0x20000204"});
  EXPECT_NE(Ok(L"step", {}).find("instruction at 0x20000208: 0x4770  bx lr\n"), std::string::npos);
  // A new instruction at the same address is disassembled anew.
  Ok(L"mem", {L"write", L"0x20000208", L"00BF"});
  Ok(L"regs", {L"pc=0x20000204"});
  EXPECT_NE(Ok(L"step", {}).find("instruction at 0x20000208: 0xBF00  nop\n"), std::string::npos)
      << Bench.Out;
  // The panel was let go after each verb.
  EXPECT_EQ(Bench.Driver.GetRackForm(), nullptr);
  EXPECT_TRUE(Bench.Dialogs.Dialogs().empty());
}

// An instruction the target does not give is not shown as one.
TEST_F(CliDebugOnSim, AnUnreadableInstructionIsSaidSo) {
  Ok(L"regs", {L"pc=0x1FFF0000"});
  EXPECT_EQ(Ok(L"halt", {}), "core halted, PC 0x1FFF0000\n"
                             "instruction at 0x1FFF0000: not readable\n");
}
