// The flash loader image ("ARM_RD_LUMINARY.hex") running on the simulated
// Stellaris chip, driven the way the plug-in's flash writer drives it: the
// image copied to SRAM, a command block written, the processor reset, PC set
// to the loader through DCRDR/DCRSR, the processor let run through DHCSR and
// polled until it halts, the result block read back.

#include "intel-hex.h"
#include "loader-statuses.h"
#include "stellaris-sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

const char kLoaderHex[] =
#include "loader-image.inc"
    ;

enum : uint32_t {
  CMD_INIT = 40,
  CMD_PREPARE = 50,
  CMD_WRITE = 51,
  CMD_ERASE = 52,
  CMD_BLANK_CHECK = 53,
  CMD_COMPARE = 56,
  CMD_READ = 57,
  CMD_ERASE_ALL = 58,
};

constexpr uint32_t kLoaderBase = 0x20000000, kLoaderAreaSize = 0x400;
constexpr uint32_t kCommandBlock = 0x20000400, kResultBlock = 0x20000414;
constexpr uint32_t kDataBuffer = 0x20000434, kDataBufferSize = 512;
constexpr uint32_t kPage = 1024, kWriterClockKHz = 12000;

constexpr uint32_t kAircr = 0xE000ED0C, kDfsr = 0xE000ED30, kDhcsr = 0xE000EDF0,
                   kDcrsr = 0xE000EDF4, kDcrdr = 0xE000EDF8, kDemcr = 0xE000EDFC;
constexpr uint32_t kFma = 0x400FD000, kFmd = 0x400FD004, kFmc = 0x400FD008;
constexpr uint32_t kUsecrl = 0x400FE140, kFmppe0 = 0x400FE400;
constexpr uint32_t kDhcsrKey = 0xA05F0000, kAircrKey = 0x05FA0000, kFmcKey = 0xA4420000;
constexpr uint32_t kRegWrite = 0x10000, kRegPc = 15;

// Slices of instructions the chip may run before a command counts as hung:
// far more than the longest command here needs.
constexpr unsigned kMaxSlices = 200000;

struct TResult {
  uint32_t Status;
  std::array<uint32_t, 4> Words;
};

// One simulated chip with the loader installed, and the writer's moves.
class TLoaderBench {
public:
  explicit TLoaderBench(unsigned AFlashKb = 256, unsigned ASramKb = 64)
      : Sim(MakeConfig(AFlashKb, ASramKb)), Chip(Sim.Chip()) {}

  static TSimConfig MakeConfig(unsigned AFlashKb, unsigned ASramKb) {
    TSimConfig config;
    config.FlashKb = AFlashKb;
    config.SramKb = ASramKb;
    return config;
  }

  static const TIntelHexImage& Image() {
    static const TIntelHexImage image = TIntelHexImage::Parse(kLoaderHex);
    return image;
  }

  uint32_t Read(uint32_t AAddress) {
    uint32_t value = 0;
    EXPECT_TRUE(Chip.DebugRead(AAddress, 4, value)) << std::hex << AAddress;
    return value;
  }
  void Write(uint32_t AAddress, uint32_t AValue) {
    EXPECT_TRUE(Chip.DebugWrite(AAddress, 4, AValue)) << std::hex << AAddress;
  }
  void WriteBytes(uint32_t AAddress, const std::vector<uint8_t>& ABytes) {
    for (size_t i = 0; i < ABytes.size(); ++i)
      EXPECT_TRUE(Chip.DebugWrite(AAddress + uint32_t(i), 1, ABytes[i]));
  }
  std::vector<uint8_t> ReadBytes(uint32_t AAddress, uint32_t ACount) {
    std::vector<uint8_t> bytes(ACount);
    for (uint32_t i = 0; i < ACount; ++i) {
      uint32_t value = 0;
      EXPECT_TRUE(Chip.DebugRead(AAddress + i, 1, value));
      bytes[i] = uint8_t(value);
    }
    return bytes;
  }
  uint32_t FlashWord(uint32_t AAddress) const {
    const auto& flash = Chip.Flash();
    return uint32_t(flash[AAddress]) | uint32_t(flash[AAddress + 1]) << 8 |
           uint32_t(flash[AAddress + 2]) << 16 | uint32_t(flash[AAddress + 3]) << 24;
  }

  // Puts a word into flash through the flash controller, as a debugger does.
  void ProgramFlashWord(uint32_t AAddress, uint32_t AValue) {
    Write(kFma, AAddress);
    Write(kFmd, AValue);
    Write(kFmc, kFmcKey | 1);
  }

  // The writer's reset: the processor ends up halted at its reset vector.
  void ResetProcessor() {
    Write(kDhcsr, kDhcsrKey | TStellarisChip::C_DEBUGEN | TStellarisChip::C_HALT);
    Write(kDemcr, Read(kDemcr) | TStellarisChip::VC_CORERESET);
    Write(kAircr, kAircrKey | 1); // VECTRESET
    ASSERT_TRUE(Chip.IsHalted());
  }

  void Install() {
    ResetProcessor();
    for (const auto& [address, byte] : Image().Bytes)
      ASSERT_TRUE(Chip.DebugWrite(address, 1, byte));
  }

  void WriteCommandBlock(uint32_t ACommand, std::initializer_list<uint32_t> AParams) {
    Write(kCommandBlock, ACommand);
    auto p = AParams.begin();
    for (uint32_t i = 0; i < 4; ++i)
      Write(kCommandBlock + 4 + 4 * i, p != AParams.end() ? *p++ : 0);
  }

  // Starts the loader as the writer does: reset, PC := loader base (nothing
  // else), run.
  void Start() {
    ResetProcessor();
    Write(kDcrdr, kLoaderBase);
    Write(kDcrsr, kRegWrite | kRegPc);
    Continue();
  }
  void Continue() { Write(kDhcsr, kDhcsrKey | TStellarisChip::C_DEBUGEN); }

  // Lets the chip run until it halts; false when it did not within the bound.
  bool WaitHalted(unsigned AMaxSlices = kMaxSlices) {
    for (unsigned i = 0; i < AMaxSlices; ++i) {
      if (Read(kDhcsr) & TStellarisChip::S_HALT)
        return true;
      Chip.RunSlice();
    }
    return false;
  }

  TResult ReadResult() {
    TResult result{Read(kResultBlock), {}};
    for (uint32_t i = 0; i < 4; ++i)
      result.Words[i] = Read(kResultBlock + 4 + 4 * i);
    return result;
  }

  TResult RunCommand(uint32_t ACommand, std::initializer_list<uint32_t> AParams) {
    WriteCommandBlock(ACommand, AParams);
    Start();
    if (!WaitHalted()) {
      ADD_FAILURE() << "command " << ACommand << " did not stop (lockup " << Chip.IsLockedUp()
                    << ")";
      return {BUSY, {}};
    }
    EXPECT_TRUE(Read(kDfsr) & TStellarisChip::DFSR_BKPT) << "command " << ACommand;
    Write(kDfsr, 0x1F);
    return ReadResult();
  }

  uint32_t RunStatus(uint32_t ACommand, std::initializer_list<uint32_t> AParams) {
    return RunCommand(ACommand, AParams).Status;
  }

  // The writer's write of one image: prepare and erase each page, then per
  // half page prepare, fill the data buffer, write and verify.
  void WriteImageAsTheWriterDoes(uint32_t AAddress, const std::vector<uint8_t>& AImage) {
    const uint32_t first = AAddress / kPage,
                   last = (AAddress + uint32_t(AImage.size()) - 1) / kPage;
    ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {first, last}));
    for (uint32_t s = first; s <= last; ++s)
      ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_ERASE, {s * kPage, s * kPage + kPage}));
    for (uint32_t offset = 0; offset < AImage.size(); offset += kDataBufferSize) {
      const uint32_t address = AAddress + offset;
      ASSERT_EQ(CMD_SUCCESS,
                RunStatus(CMD_PREPARE, {address / kPage, (address + kDataBufferSize) / kPage}));
      WriteBytes(kDataBuffer, std::vector<uint8_t>(AImage.begin() + offset,
                                                   AImage.begin() + offset + kDataBufferSize));
      ASSERT_EQ(CMD_SUCCESS,
                RunStatus(CMD_WRITE, {address, kDataBuffer, kDataBufferSize, kWriterClockKHz}));
      ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_COMPARE, {address, kDataBuffer, kDataBufferSize}));
    }
  }

  bool FlashIs(uint32_t AAddress, const std::vector<uint8_t>& ABytes) const {
    return std::equal(ABytes.begin(), ABytes.end(), Chip.Flash().begin() + AAddress);
  }
  bool PageBlank(uint32_t AAddress) const {
    return FlashIs(AAddress, std::vector<uint8_t>(kPage, 0xFF));
  }

  static std::vector<uint8_t> Pattern(size_t ACount, uint8_t ASeed) {
    std::vector<uint8_t> bytes(ACount);
    for (size_t i = 0; i < ACount; ++i)
      bytes[i] = uint8_t(ASeed + i * 7 + (i >> 8));
    return bytes;
  }

  TStellarisSim Sim;
  TStellarisChip& Chip;
};

class TLoaderTest : public ::testing::Test, public TLoaderBench {
protected:
  void SetUp() override {
    Install();
    ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_INIT, {0, 32}));
  }
};

// ---- the image itself ----

TEST(LoaderImage, UsesOnlyDataLinearAddressAndEndRecords) {
  const auto& types = TLoaderBench::Image().RecordTypes;
  ASSERT_FALSE(types.empty());
  for (unsigned type : types)
    EXPECT_TRUE(type == 0x00 || type == 0x01 || type == 0x04) << type;
  EXPECT_EQ(0x01u, types.back());
}

TEST(LoaderImage, FillsTheLoaderAreaFromItsBase) {
  const auto& bytes = TLoaderBench::Image().Bytes;
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(kLoaderBase, bytes.begin()->first);
  EXPECT_LT(bytes.rbegin()->first, kLoaderBase + kLoaderAreaSize);
  EXPECT_EQ(bytes.size(), size_t(bytes.rbegin()->first - kLoaderBase + 1)) << "a gap in the image";
}

// ---- commands with good arguments ----

struct TGoodCase {
  const char* Name;
  uint32_t Command;
  std::vector<uint32_t> Params;
  std::array<uint32_t, 4> Words;
};

class TLoaderGoodArgumentsTest : public TLoaderTest,
                                 public ::testing::WithParamInterface<TGoodCase> {};

TEST_P(TLoaderGoodArgumentsTest, AnswersSuccessAndItsResultWords) {
  const TGoodCase& c = GetParam();
  // Sectors 2 and 3 prepared, erased-looking words at 0x20001000, and in
  // the result block what an earlier command may have left: it is cleared.
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {2, 3}));
  for (uint32_t a = 0x20001000; a < 0x20001200; a += 4)
    Write(a, 0xFFFFFFFF);
  for (uint32_t i = 0; i < 5; ++i)
    Write(kResultBlock + 4 * i, 0xDEADBEEF);
  WriteCommandBlock(c.Command, {});
  for (size_t i = 0; i < c.Params.size(); ++i)
    Write(kCommandBlock + 4 + 4 * uint32_t(i), c.Params[i]);
  Start();
  ASSERT_TRUE(WaitHalted());
  const TResult result = ReadResult();
  EXPECT_EQ(CMD_SUCCESS, result.Status);
  EXPECT_EQ(c.Words, result.Words);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, TLoaderGoodArgumentsTest,
    ::testing::Values(TGoodCase{"Init", CMD_INIT, {0, 32}, {256 * 1024, 0, 0, 0}},
                      TGoodCase{"Prepare", CMD_PREPARE, {0, 255}, {}},
                      TGoodCase{"PrepareUpToOnePastTheLastSector", CMD_PREPARE, {255, 256}, {}},
                      TGoodCase{"Write", CMD_WRITE, {0x800, kDataBuffer, 512, kWriterClockKHz}, {}},
                      TGoodCase{"WriteKeepingTheClock", CMD_WRITE, {0xC00, 0x20001000, 4, 0}, {}},
                      TGoodCase{"ErasePage", CMD_ERASE, {0x800, 0xC00}, {}},
                      TGoodCase{"ErasePages", CMD_ERASE, {0x800, 0x1000, kWriterClockKHz}, {}},
                      TGoodCase{"BlankCheck", CMD_BLANK_CHECK, {0xC00, 1024}, {}},
                      TGoodCase{
                          "BlankCheckOfTheLastWord", CMD_BLANK_CHECK, {256 * 1024 - 4, 4}, {}},
                      TGoodCase{"Compare", CMD_COMPARE, {0x1000, 0x20001000, 512}, {}},
                      TGoodCase{"Read", CMD_READ, {0x400, 512}, {}},
                      TGoodCase{"EraseAll", CMD_ERASE_ALL, {0}, {}},
                      TGoodCase{"EraseAllWithAClock", CMD_ERASE_ALL, {50000}, {}}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

// ---- every error status with its bad argument ----

struct TErrorCase {
  const char* Name;
  uint32_t Command;
  std::vector<uint32_t> Params;
  uint32_t Status;
};

class TLoaderErrorTest : public TLoaderTest, public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(TLoaderErrorTest, AnswersTheStatusAndLeavesFlashAlone) {
  const TErrorCase& c = GetParam();
  // Sectors 2 and 3 prepared, flash holding data that a wrong erase or
  // write would change.
  for (uint32_t a = 0; a < 0x2000; a += 0x100)
    ProgramFlashWord(a, 0x12345678 ^ a);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {2, 3}));
  const std::vector<uint8_t> flashBefore = Chip.Flash();

  WriteCommandBlock(c.Command, {});
  for (size_t i = 0; i < c.Params.size(); ++i)
    Write(kCommandBlock + 4 + 4 * uint32_t(i), c.Params[i]);
  Start();
  ASSERT_TRUE(WaitHalted());
  const TResult result = ReadResult();
  EXPECT_EQ(c.Status, result.Status);
  EXPECT_EQ((std::array<uint32_t, 4>{}), result.Words);
  EXPECT_TRUE(Chip.Flash() == flashBefore);
}

constexpr uint32_t kTop = 256 * 1024, kSramEnd = 0x20000000 + 64 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Commands, TLoaderErrorTest,
    ::testing::Values(
        TErrorCase{"UnknownCommand", 54, {}, INVALID_COMMAND},
        TErrorCase{"CommandZero", 0, {}, INVALID_COMMAND},
        TErrorCase{"InitWidth16", CMD_INIT, {0, 16}, INVALID_COMMAND},
        TErrorCase{"InitFlashStartNotZero", CMD_INIT, {0x400, 32}, DST_ADDR_NOT_MAPPED},
        TErrorCase{"ParameterNotTaken", CMD_BLANK_CHECK, {0xC00, 1024, 0, 1}, INVALID_COMMAND},
        TErrorCase{"EraseAllParameterNotTaken", CMD_ERASE_ALL, {0, 5}, INVALID_COMMAND},
        TErrorCase{
            "WriteClockTooHigh", CMD_WRITE, {0x800, kDataBuffer, 512, 256001}, INVALID_COMMAND},
        TErrorCase{"EraseClockTooHigh", CMD_ERASE, {0x800, 0xC00, 300000}, INVALID_COMMAND},
        TErrorCase{"EraseAllClockTooHigh", CMD_ERASE_ALL, {0xFFFFFFFF}, INVALID_COMMAND},
        TErrorCase{"PrepareFirstPastFlash", CMD_PREPARE, {256, 256}, INVALID_SECTOR},
        TErrorCase{"PrepareLastTwoPastFlash", CMD_PREPARE, {0, 257}, INVALID_SECTOR},
        TErrorCase{"PrepareLastBeforeFirst", CMD_PREPARE, {5, 4}, INVALID_SECTOR},
        TErrorCase{"WriteFlashUnaligned", CMD_WRITE, {0x802, kDataBuffer, 512, 0}, DST_ADDR_ERROR},
        TErrorCase{
            "WriteRamUnaligned", CMD_WRITE, {0x800, kDataBuffer + 1, 512, 0}, SRC_ADDR_ERROR},
        TErrorCase{"WriteCountZero", CMD_WRITE, {0x800, kDataBuffer, 0, 0}, COUNT_ERROR},
        TErrorCase{"WriteCountNotWords", CMD_WRITE, {0x800, kDataBuffer, 6, 0}, COUNT_ERROR},
        TErrorCase{"WritePastFlash", CMD_WRITE, {kTop - 4, kDataBuffer, 8, 0}, DST_ADDR_NOT_MAPPED},
        TErrorCase{
            "WriteWrapsAround", CMD_WRITE, {0xFFFFFFFC, kDataBuffer, 8, 0}, DST_ADDR_NOT_MAPPED},
        TErrorCase{"WriteFromFlash", CMD_WRITE, {0x800, 0x1000, 4, 0}, SRC_ADDR_NOT_MAPPED},
        TErrorCase{
            "WriteFromPastSram", CMD_WRITE, {0x800, kSramEnd - 4, 8, 0}, SRC_ADDR_NOT_MAPPED},
        TErrorCase{"WriteUnpreparedSector",
                   CMD_WRITE,
                   {0x400, kDataBuffer, 512, 0},
                   SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION},
        TErrorCase{"WriteRunningOutOfPreparedSectors",
                   CMD_WRITE,
                   {0xF00, kDataBuffer, 512, 0},
                   SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION},
        TErrorCase{"EraseStartNotOnAPage", CMD_ERASE, {0x804, 0xC00}, DST_ADDR_ERROR},
        TErrorCase{"EraseEndNotOnAPage", CMD_ERASE, {0x800, 0xC04}, DST_ADDR_ERROR},
        TErrorCase{"EraseEndAtStart", CMD_ERASE, {0x800, 0x800}, INVALID_SECTOR},
        TErrorCase{"EraseEndBeforeStart", CMD_ERASE, {0xC00, 0x800}, INVALID_SECTOR},
        TErrorCase{"ErasePastFlash", CMD_ERASE, {kTop - kPage, kTop + kPage}, DST_ADDR_NOT_MAPPED},
        TErrorCase{"EraseUnpreparedSector",
                   CMD_ERASE,
                   {0x400, 0x800},
                   SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION},
        TErrorCase{"EraseBeyondPreparedSectors",
                   CMD_ERASE,
                   {0x800, 0x1400},
                   SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION},
        TErrorCase{"BlankCheckUnaligned", CMD_BLANK_CHECK, {0xC01, 1024}, DST_ADDR_ERROR},
        TErrorCase{"BlankCheckCountZero", CMD_BLANK_CHECK, {0xC00, 0}, COUNT_ERROR},
        TErrorCase{"BlankCheckPastFlash", CMD_BLANK_CHECK, {kTop, 4}, DST_ADDR_NOT_MAPPED},
        TErrorCase{"CompareFlashUnaligned", CMD_COMPARE, {0x802, kDataBuffer, 512}, DST_ADDR_ERROR},
        TErrorCase{
            "CompareRamUnaligned", CMD_COMPARE, {0x800, kDataBuffer + 2, 512}, SRC_ADDR_ERROR},
        TErrorCase{"CompareCountNotWords", CMD_COMPARE, {0x800, kDataBuffer, 3}, COUNT_ERROR},
        TErrorCase{"CompareRamNotMapped", CMD_COMPARE, {0x800, 0x30000000, 4}, SRC_ADDR_NOT_MAPPED},
        TErrorCase{"ReadMoreThanTheBuffer", CMD_READ, {0x800, 516}, COUNT_ERROR},
        TErrorCase{"ReadUnaligned", CMD_READ, {0x801, 4}, DST_ADDR_ERROR},
        TErrorCase{"ReadPastFlash", CMD_READ, {kTop - 4, 8}, DST_ADDR_NOT_MAPPED}),
    [](const auto& AInfo) { return std::string(AInfo.param.Name); });

// ---- flash contents ----

TEST_F(TLoaderTest, WriterSequenceLeavesTheImageInFlash) {
  const auto image = Pattern(3 * kPage, 0x21);
  WriteImageAsTheWriterDoes(0x1000, image);
  EXPECT_TRUE(FlashIs(0x1000, image));
  EXPECT_TRUE(PageBlank(0xC00));
  EXPECT_TRUE(PageBlank(0x1C00));
  // The write passed the writer's 12 MHz: USECRL holds MHz - 1.
  EXPECT_EQ(11u, Read(kUsecrl));
}

TEST_F(TLoaderTest, WriteOnlyClearsBitsSoVerifyFindsAPageNotErased) {
  ProgramFlashWord(0x1010, 0x0F0F0F0F);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {4, 4}));
  for (uint32_t i = 0; i < 8; ++i)
    Write(0x20001000 + 4 * i, 0xFFFF0000 + i);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_WRITE, {0x1000, 0x20001000, 32, kWriterClockKHz}));
  EXPECT_EQ(0x0F0F0004u, FlashWord(0x1010));
  const TResult result = RunCommand(CMD_COMPARE, {0x1000, 0x20001000, 32});
  EXPECT_EQ(COMPARE_ERROR, result.Status);
  EXPECT_EQ((std::array<uint32_t, 4>{0x1010, 0x0F0F0004, 0xFFFF0004, 0}), result.Words);
}

TEST_F(TLoaderTest, EraseClearsOnlyItsPages) {
  for (uint32_t a = 0x400; a < 0x1000; a += 4)
    ProgramFlashWord(a, a);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {2, 2}));
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_ERASE, {0x800, 0xC00}));
  EXPECT_TRUE(PageBlank(0x800));
  EXPECT_EQ(0x7FCu, FlashWord(0x7FC));
  EXPECT_EQ(0xC00u, FlashWord(0xC00));
}

TEST_F(TLoaderTest, OnePrepareCoversEachPageEraseOfItsRange) {
  for (uint32_t a = 0x400; a < 0x1000; a += 0x100)
    ProgramFlashWord(a, 0);
  // The writer erases 0x400..0xBFF as prepare [1, 2], then page by page.
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {1, 2}));
  EXPECT_EQ(CMD_SUCCESS, RunStatus(CMD_ERASE, {0x400, 0x800}));
  EXPECT_EQ(CMD_SUCCESS, RunStatus(CMD_ERASE, {0x800, 0xC00}));
  EXPECT_TRUE(PageBlank(0x400));
  EXPECT_TRUE(PageBlank(0x800));
  EXPECT_EQ(0u, FlashWord(0xC00));
}

TEST_F(TLoaderTest, RefusedPrepareLeavesNothingPrepared) {
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {0, 3}));
  ASSERT_EQ(INVALID_SECTOR, RunStatus(CMD_PREPARE, {3, 1}));
  EXPECT_EQ(SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION, RunStatus(CMD_ERASE, {0x400, 0x800}));
}

TEST_F(TLoaderTest, InitForgetsPreparedSectors) {
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {0, 3}));
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_INIT, {0, 32}));
  EXPECT_EQ(SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION, RunStatus(CMD_ERASE, {0x400, 0x800}));
}

TEST_F(TLoaderTest, MassEraseClearsTheWholeFlash) {
  for (uint32_t a = 0; a < 256 * 1024; a += 0x2000)
    ProgramFlashWord(a + 0x10, 0x5A5A5A5A);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_ERASE_ALL, {0}));
  EXPECT_TRUE(Chip.Flash() == std::vector<uint8_t>(256 * 1024, 0xFF));
}

TEST_F(TLoaderTest, BlankCheckReportsTheFirstWordNotErased) {
  ProgramFlashWord(0xD24, 0x00C0FFEE);
  ProgramFlashWord(0xE00, 0);
  const TResult result = RunCommand(CMD_BLANK_CHECK, {0xC00, 1024, 0});
  EXPECT_EQ(SECTOR_NOT_BLANK, result.Status);
  EXPECT_EQ((std::array<uint32_t, 4>{0xD24, 0x00C0FFEE, 0xFFFFFFFF, 0}), result.Words);
  EXPECT_EQ(CMD_SUCCESS, RunStatus(CMD_BLANK_CHECK, {0x1000, 1024, 0}));
}

TEST_F(TLoaderTest, CompareReportsTheFirstMismatch) {
  auto image = Pattern(kDataBufferSize, 3);
  WriteImageAsTheWriterDoes(0x2000, Pattern(kPage, 3));
  image[0x41] ^= 0x80;
  image[0x100] ^= 0x01;
  WriteBytes(kDataBuffer, image);
  const TResult result = RunCommand(CMD_COMPARE, {0x2000, kDataBuffer, kDataBufferSize});
  EXPECT_EQ(COMPARE_ERROR, result.Status);
  EXPECT_EQ(0x2040u, result.Words[0]);
  EXPECT_EQ(FlashWord(0x2040), result.Words[1]);
  EXPECT_EQ(Read(kDataBuffer + 0x40), result.Words[2]);
  EXPECT_EQ(result.Words[1] ^ 0x8000, result.Words[2]);
}

TEST_F(TLoaderTest, ReadCopiesFlashIntoTheDataBuffer) {
  const auto image = Pattern(kPage, 0x77);
  WriteImageAsTheWriterDoes(0x3000, image);
  WriteBytes(kDataBuffer, std::vector<uint8_t>(kDataBufferSize, 0));
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_READ, {0x3100, 256}));
  const auto buffer = ReadBytes(kDataBuffer, kDataBufferSize);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 256, image.begin() + 0x100));
  EXPECT_EQ(std::vector<uint8_t>(256, 0), std::vector<uint8_t>(buffer.begin() + 256, buffer.end()));
}

TEST_F(TLoaderTest, ProtectedPageIsRefusedWithItsAddress) {
  // Clearing FMPPE0 bit 1 protects 0x800..0xFFF against programming and erasing.
  Write(kFmppe0, 0xFFFFFFFD);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {1, 3}));
  TResult result = RunCommand(CMD_ERASE, {0x400, 0x1000});
  EXPECT_EQ(SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION, result.Status);
  EXPECT_EQ(0x800u, result.Words[0]);
  result = RunCommand(CMD_WRITE, {0x7F8, 0x20001000, 16, 0});
  EXPECT_EQ(SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION, result.Status);
  EXPECT_EQ(0x800u, result.Words[0]);
}

// ---- how it runs ----

TEST_F(TLoaderTest, StatusReadsBusyUntilTheCommandEnds) {
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {4, 4}));
  WriteCommandBlock(CMD_WRITE, {0x1000, kDataBuffer, kDataBufferSize, kWriterClockKHz});
  Start();
  Chip.RunSlice();
  Chip.RunSlice();
  ASSERT_FALSE(Chip.IsHalted());
  EXPECT_EQ(BUSY, Read(kResultBlock));
  ASSERT_TRUE(WaitHalted());
  EXPECT_EQ(CMD_SUCCESS, Read(kResultBlock));
}

TEST_F(TLoaderTest, StopsAtItsBreakpointAndAgainWhenResumed) {
  const TResult first = RunCommand(CMD_BLANK_CHECK, {0, 4});
  ASSERT_EQ(CMD_SUCCESS, first.Status);
  Write(kDcrsr, kRegPc);
  const uint32_t pc = Read(kDcrdr);
  EXPECT_GE(pc, kLoaderBase);
  EXPECT_LT(pc, kLoaderBase + kLoaderAreaSize);
  Write(kResultBlock, 0x55);
  Continue();
  ASSERT_TRUE(WaitHalted(100));
  Write(kDcrsr, kRegPc);
  EXPECT_EQ(pc, Read(kDcrdr));
  EXPECT_EQ(0x55u, Read(kResultBlock));
}

TEST_F(TLoaderTest, SetsItsOwnStackWhateverTheResetLoaded) {
  // A user program in flash whose reset vector points the stack into RAM the
  // loader must not touch.
  ProgramFlashWord(0, 0x20008000);
  ProgramFlashWord(4, 0x00000101);
  for (uint32_t a = 0x20007F00; a < 0x20008000; a += 4)
    Write(a, 0xA5A5A5A5);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_BLANK_CHECK, {0x400, 1024}));
  for (uint32_t a = 0x20007F00; a < 0x20008000; a += 4)
    EXPECT_EQ(0xA5A5A5A5u, Read(a)) << a;
}

TEST_F(TLoaderTest, TouchesNoRamOutsideItsAreaTheBlocksAndTheBuffer) {
  // The writer saves and restores only the loader area and the data buffer.
  const uint32_t gap = kResultBlock + 20, beyond = kDataBuffer + kDataBufferSize;
  for (uint32_t a = gap; a < kDataBuffer; a += 4)
    Write(a, 0x3C3C3C3C);
  for (uint32_t a = beyond; a < beyond + 0x400; a += 4)
    Write(a, 0x3C3C3C3C);
  WriteImageAsTheWriterDoes(0x4000, Pattern(kPage, 9));
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_READ, {0x4000, kDataBufferSize}));
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_ERASE_ALL, {0}));
  for (uint32_t a = gap; a < kDataBuffer; a += 4)
    EXPECT_EQ(0x3C3C3C3Cu, Read(a)) << a;
  for (uint32_t a = beyond; a < beyond + 0x400; a += 4)
    EXPECT_EQ(0x3C3C3C3Cu, Read(a)) << a;
}

TEST_F(TLoaderTest, StackUseStaysInTheLast128BytesOfTheArea) {
  // The image ends in its stack, at least 128 bytes up to the command block:
  // mark them, run the deepest command, and find the lowest mark untouched.
  const uint32_t bottom = kCommandBlock - 128;
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {4, 4}));
  for (uint32_t a = bottom; a < kCommandBlock; a += 4)
    Write(a, 0xE7E7E7E7);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_WRITE, {0x1000, kDataBuffer, 8, kWriterClockKHz}));
  EXPECT_EQ(0xE7E7E7E7u, Read(bottom));
  EXPECT_NE(0xE7E7E7E7u, Read(kCommandBlock - 4)) << "the loader did not use this stack";
}

// ---- the seven flash sizes ----

struct TSizeCase {
  unsigned FlashKb;
  unsigned SramKb;
};

class TLoaderSizeTest : public ::testing::TestWithParam<TSizeCase>, public TLoaderBench {
protected:
  TLoaderSizeTest() : TLoaderBench(GetParam().FlashKb, GetParam().SramKb) {}
  void SetUp() override { Install(); }
  uint32_t Size() const { return GetParam().FlashKb * 1024; }
  uint32_t Sectors() const { return Size() / kPage; }
};

TEST_P(TLoaderSizeTest, InitReportsTheFlashSize) {
  const TResult result = RunCommand(CMD_INIT, {0, 32});
  EXPECT_EQ(CMD_SUCCESS, result.Status);
  EXPECT_EQ(Size(), result.Words[0]);
}

TEST_P(TLoaderSizeTest, WriterFillsTheTopPage) {
  const auto image = Pattern(kPage, 0x40);
  // The second half's prepare names the sector one past the last.
  WriteImageAsTheWriterDoes(Size() - kPage, image);
  EXPECT_TRUE(FlashIs(Size() - kPage, image));
  EXPECT_TRUE(PageBlank(Size() - 2 * kPage));
}

TEST_P(TLoaderSizeTest, NothingPastTheTopIsPreparedOrWritten) {
  EXPECT_EQ(INVALID_SECTOR, RunStatus(CMD_PREPARE, {Sectors(), Sectors()}));
  EXPECT_EQ(INVALID_SECTOR, RunStatus(CMD_PREPARE, {Sectors() - 1, Sectors() + 1}));
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {Sectors() - 1, Sectors()}));
  EXPECT_EQ(DST_ADDR_NOT_MAPPED, RunStatus(CMD_WRITE, {Size(), kDataBuffer, 4, 0}));
  EXPECT_EQ(DST_ADDR_NOT_MAPPED, RunStatus(CMD_ERASE, {Size(), Size() + kPage}));
  EXPECT_EQ(DST_ADDR_NOT_MAPPED, RunStatus(CMD_BLANK_CHECK, {Size() - 4, 8}));
  EXPECT_EQ(CMD_SUCCESS, RunStatus(CMD_BLANK_CHECK, {Size() - kPage, kPage}));
}

TEST_P(TLoaderSizeTest, MassEraseClearsEveryPage) {
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_PREPARE, {0, 0}));
  ProgramFlashWord(0, 0);
  ProgramFlashWord(Size() - 4, 0);
  ASSERT_EQ(CMD_SUCCESS, RunStatus(CMD_ERASE_ALL, {0}));
  EXPECT_TRUE(Chip.Flash() == std::vector<uint8_t>(Size(), 0xFF));
}

INSTANTIATE_TEST_SUITE_P(Stellaris, TLoaderSizeTest,
                         ::testing::Values(TSizeCase{8, 2}, TSizeCase{16, 4}, TSizeCase{32, 8},
                                           TSizeCase{64, 16}, TSizeCase{96, 32}, TSizeCase{128, 32},
                                           TSizeCase{256, 64}),
                         [](const auto& AInfo) {
                           return std::to_string(AInfo.param.FlashKb) + "K";
                         });

} // namespace
