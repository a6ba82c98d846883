#include "sector-flash-writers.h"
#include "sim-flash-target.h"
#include "tarvo-driver.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A processor driver whose run control, registers and memory are the
// simulated chip's, numbering the core registers its own way.
class TSimDriver : public TTarvoDriver {
public:
  static constexpr int32_t kPcIndex = 29, kSpIndex = 27, kXpsrIndex = 30;

  explicit TSimDriver(TSimFlashTarget& ATarget) : FTarget(ATarget) {}

  HRESULT ResetProcessor() override {
    ++Calls;
    FTarget.ResetProcessor();
    return S_OK;
  }
  HRESULT PauseProcessor() override {
    ++Calls;
    FTarget.PauseProcessor();
    return S_OK;
  }
  HRESULT ContinueProcessor() override {
    ++Calls;
    FTarget.ContinueProcessor();
    return S_OK;
  }
  HRESULT ProcessorIsRunning(TBoolean* AResult) override {
    ++Calls;
    if (RunControlFails) {
      *AResult = false;
      return E_FAIL;
    }
    *AResult = FTarget.ProcessorIsRunning();
    return S_OK;
  }
  HRESULT GetRegisterIndex_PC(int32_t* AResult) override {
    *AResult = kPcIndex;
    return S_OK;
  }
  HRESULT GetRegisterIndex_SP(int32_t* AResult) override {
    *AResult = kSpIndex;
    return S_OK;
  }
  HRESULT SetProcessorRegisterValue(int32_t AIndex, uint32_t AValue, TBoolean* AResult) override {
    Registers.emplace_back(AIndex, AValue);
    using R = IFlashTarget::TCoreRegister;
    const R r = AIndex == kPcIndex ? R::PC : AIndex == kSpIndex ? R::SP : R::XPSR;
    *AResult = FTarget.SetCoreRegister(r, AValue);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t ASpace, PMemoryArray ABuffer, int64_t AAddress,
                                       int32_t ACount, TLongBool* ASuccess) override {
    ++Calls;
    *ASuccess = FTarget.MemoryRead(uint32_t(ASpace), ABuffer, uint64_t(AAddress), uint32_t(ACount))
                    ? LongTrue
                    : LongFalse;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t ASpace, PMemoryArray ABuffer, int64_t AAddress,
                                        int32_t ACount, TLongBool* ASuccess) override {
    ++Calls;
    *ASuccess = FTarget.MemoryWrite(uint32_t(ASpace), ABuffer, uint64_t(AAddress), uint32_t(ACount))
                    ? LongTrue
                    : LongFalse;
    return S_OK;
  }

  std::vector<std::pair<int32_t, uint32_t>> Registers;
  // Every operation the target asked of the driver.
  int Calls = 0;
  // The run-control query answers failure, as a driver that lost its probe.
  bool RunControlFails = false;

private:
  TSimFlashTarget& FTarget;
};

TEST(DriverFlashTarget, StellarisWriteRunsThroughTheDriversOwnOperations) {
  TSimFlashTarget chip(8);
  chip.ScrambleSram(77);
  const std::vector<uint8_t> sram = chip.Sram();
  TSimDriver driver(chip);
  TTarvoDriverFlashTarget target(driver, TSimDriver::kXpsrIndex);
  auto writer = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_8", &target);
  ASSERT_TRUE(writer && writer->IsDriverLoaded());

  TDataChunkImage image;
  image.DataLen = 8192;
  for (uint32_t i = 0; i < image.DataLen; ++i)
    image.DataArray.push_back((i * 7 + 3) & 0xFF);
  EXPECT_EQ(writer->FlashWrite(0, image, false, false, false, true), 0u);
  const auto& flash = chip.Chip().Flash();
  EXPECT_TRUE(std::vector<uint32_t>(flash.begin(), flash.end()) == image.DataArray);
  EXPECT_TRUE(chip.Sram() == sram);
  // Each loader start: stack, Thumb state, then the entry, by the driver's indexes.
  ASSERT_GE(driver.Registers.size(), 3u);
  const std::vector<std::pair<int32_t, uint32_t>> start(driver.Registers.end() - 3,
                                                        driver.Registers.end());
  EXPECT_TRUE(start ==
              (std::vector<std::pair<int32_t, uint32_t>>{{TSimDriver::kSpIndex, 0x20000400},
                                                         {TSimDriver::kXpsrIndex, 0x01000000},
                                                         {TSimDriver::kPcIndex, 0x20000000}}));
}

TDataChunkImage CountingImage(uint32_t ACount) {
  TDataChunkImage image;
  image.DataLen = ACount;
  for (uint32_t i = 0; i < ACount; ++i)
    image.DataArray.push_back((i * 5 + 1) & 0xFF);
  return image;
}

// A driver hands its writer a target before the driver is complete: until
// bound, every operation answers failure without reaching any driver, and
// the writer built over it works once it is bound.
TEST(DriverFlashTarget, UnboundTargetAnswersFailureUntilTheDriverBindsIt) {
  TSimFlashTarget chip(8);
  TSimDriver driver(chip);
  TTarvoDriverFlashTarget target(TSimDriver::kXpsrIndex);
  auto writer = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_8", &target);
  ASSERT_TRUE(writer && writer->IsDriverLoaded());

  uint32_t unit = 0;
  EXPECT_FALSE(target.MemoryRead(0, &unit, 0x20000000, 1));
  EXPECT_FALSE(target.MemoryWrite(0, &unit, 0x20000000, 1));
  EXPECT_FALSE(target.SetCoreRegister(IFlashTarget::TCoreRegister::PC, 0x20000000));
  EXPECT_FALSE(target.ProcessorIsRunning());
  target.ResetProcessor();
  target.PauseProcessor();
  target.ContinueProcessor();
  target.AddSoftBreakpoint(0, 0x20000000);
  EXPECT_EQ(driver.Calls, 0);
  EXPECT_TRUE(driver.Registers.empty());

  target.Bind(driver);
  const TDataChunkImage image = CountingImage(2048);
  EXPECT_EQ(writer->FlashWrite(0, image, false, false, false, true), 0u);
  const auto& flash = chip.Chip().Flash();
  EXPECT_TRUE(std::vector<uint32_t>(flash.begin(), flash.begin() + 2048) == image.DataArray);
}

// A run control that cannot be asked must not pass for a loader that has
// finished: the preset result block would then read as the loader's answer.
TEST(DriverFlashTarget, FailingRunControlFailsTheCommandInsteadOfReadingItsResult) {
  TSimFlashTarget chip(8);
  TSimDriver driver(chip);
  TTarvoDriverFlashTarget target(driver, TSimDriver::kXpsrIndex);
  auto writer = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_8", &target);
  ASSERT_TRUE(writer && writer->IsDriverLoaded());
  driver.RunControlFails = true;
  int32_t status = -1;
  EXPECT_TRUE(FAILED(writer->EraseEntireDevice(0, &status)));
  EXPECT_NE(status, int32_t(BUSY));
}

} // namespace
