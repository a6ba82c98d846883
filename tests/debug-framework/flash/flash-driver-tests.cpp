// The writers reach their processor driver the way the host does: run
// control and registers by the driver's DISPIDs, target memory through the
// IMemoryAccess queried from the driver, breakpoints through the bound
// device; and they offer that memory interface themselves.

#include "dialog-hook.h"
#include "fake-host-object.h"
#include "parallel-flash-writer.h"
#include "sector-flash-writers.h"
#include "sim-flash-target.h"
#include "tarvo-driver.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

// The simulated chip's driver, logging the DISPIDs the writer asks and the
// memory interfaces it queries; its run-control query can be made to fail.
class TLoggingSimDriver : public TSimFlashTarget {
public:
  using TSimFlashTarget::TSimFlashTarget;
  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override {
    DispIds.insert(ADispId);
    return TSimFlashTarget::DispatchInvoke(ADispId, AContext);
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override {
    if (IsEqualIID(AIid, IID_IMemoryAccess))
      ++MemoryAccessQueries;
    return TSimFlashTarget::QueryInterface(AIid, AObject);
  }
  HRESULT ProcessorIsRunning(TBoolean* AResult) override {
    if (RunControlFails) {
      *AResult = false;
      return E_FAIL;
    }
    return TSimFlashTarget::ProcessorIsRunning(AResult);
  }

  std::set<DISPID> DispIds;
  int MemoryAccessQueries = 0;
  // The run-control query answers failure, as a driver that lost its probe.
  bool RunControlFails = false;
};

TDataChunkImage CountingImage(uint32_t ACount) {
  TDataChunkImage image;
  image.DataLen = ACount;
  for (uint32_t i = 0; i < ACount; ++i)
    image.DataArray.push_back((i * 5 + 1) & 0xFF);
  return image;
}

TEST(WriterAndDriver, StellarisWriteReachesTheDriverByDispidAndItsMemoryInterface) {
  TLoggingSimDriver chip(8);
  chip.ScrambleSram(77);
  const std::vector<uint8_t> sram = chip.Sram();
  auto writer = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_8", chip.Driver());
  ASSERT_TRUE(writer && writer->IsDriverLoaded());

  const TDataChunkImage image = CountingImage(8192);
  EXPECT_EQ(writer->FlashWrite(0, image, false, false, false, true), 0u);
  const auto& flash = chip.Chip().Flash();
  EXPECT_TRUE(std::vector<uint32_t>(flash.begin(), flash.end()) == image.DataArray);
  EXPECT_TRUE(chip.Sram() == sram);
  // Run control and registers by the driver's own DISPIDs, nothing else.
  const std::set<DISPID> expected = {503766, 503772, 503773, 503796, 503798, 503802};
  EXPECT_EQ(chip.DispIds, expected);
  EXPECT_GT(chip.MemoryAccessQueries, 0);
  // Each loader start: stack, Thumb state, then the entry, by the driver's indexes.
  using R = TSimFlashTarget::TCoreRegister;
  const auto& writes = chip.RegisterWrites();
  ASSERT_GE(writes.size(), 3u);
  const std::vector<std::pair<R, uint32_t>> start(writes.end() - 3, writes.end());
  EXPECT_TRUE(start == (std::vector<std::pair<R, uint32_t>>{
                           {R::SP, 0x20000400}, {R::XPSR, 0x01000000}, {R::PC, 0x20000000}}));
}

TEST(WriterAndDriver, WriterOffersTheDriversMemoryInterfaceAsItsOwn) {
  TSimFlashTarget chip(8);
  auto writer = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_8", chip.Driver());
  ASSERT_TRUE(writer);
  IMemoryAccess* access = nullptr;
  ASSERT_EQ(static_cast<IDispatch*>(writer.Get())
                ->QueryInterface(IID_IMemoryAccess, reinterpret_cast<void**>(&access)),
            S_OK);
  ASSERT_NE(access, nullptr);
  uint32_t units[4] = {0x11, 0x22, 0x33, 0x44};
  TLongBool ok = LongFalse;
  EXPECT_EQ(access->MemoryWrite(0, units, 0x20001000, 4, &ok), S_OK);
  EXPECT_EQ(ok, LongTrue);
  uint32_t word = 0;
  chip.Chip().DebugRead(0x20001000, 4, word);
  EXPECT_EQ(word, 0x44332211u);
  uint32_t back[4] = {};
  ok = LongFalse;
  EXPECT_EQ(access->MemoryRead(0, back, 0x20001000, 4, &ok), S_OK);
  EXPECT_EQ(ok, LongTrue);
  EXPECT_EQ(std::vector<uint32_t>(back, back + 4), std::vector<uint32_t>(units, units + 4));
  access->Release();

  // A driver without the memory interface transfers nothing and says so.
  auto bare = TFakeHostObject::Create({L"ITarvoDriver"});
  auto lone = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_8",
                                         ITarvoDriver::FromDispatch(bare->Dispatch()));
  ok = LongTrue;
  EXPECT_EQ(lone->MemoryRead(0, back, 0x20001000, 4, &ok), S_OK);
  EXPECT_EQ(ok, LongFalse);
  ok = LongTrue;
  EXPECT_EQ(lone->MemoryWrite(0, back, 0x20001000, 4, &ok), S_OK);
  EXPECT_EQ(ok, LongFalse);
}

// A run control that cannot be asked must not pass for a loader that has
// finished: the preset result block would then read as the loader's answer.
TEST(WriterAndDriver, FailingRunControlFailsTheCommandWithAMessage) {
  TLoggingSimDriver chip(8);
  auto writer = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_8", chip.Driver());
  ASSERT_TRUE(writer && writer->IsDriverLoaded());
  chip.RunControlFails = true;
  TDialogHook hook;
  int32_t status = -1;
  EXPECT_TRUE(FAILED(writer->EraseEntireDevice(0, &status)));
  EXPECT_NE(status, int32_t(BUSY));
  ASSERT_EQ(hook.Dialogs().size(), 1u);
  EXPECT_EQ(hook.Dialogs()[0].Caption, L"Error");
}

// A writer that plants breakpoints in its loader's halt loops, as the base
// writer does.
class TBreakpointWriter : public TRemoteExecuteBaseDriverParallelFlash {
public:
  TBreakpointWriter(const ITarvoDriver& ADriver, bool AEnable, std::wstring AFile)
      : TRemoteExecuteBaseDriverParallelFlash(ADriver, AEnable), FFile(std::move(AFile)) {}
  bool LoadAndInitDriver() override {
    InitDriver(FFile, 0x20000000, 0x20000000, 0x20000400, 0x20000434, 0);
    int32_t ignored = 0;
    AddFlashMemorySpace(0, 0, 0x10000, 16, &ignored);
    return false;
  }
  void SetDriverBreakpoints() override {
    TVEKAbstractRemoteExecuteBaseDriver::SetDriverBreakpoints();
  }

private:
  std::wstring FFile;
};

TEST(WriterAndDriver, LoaderBreakpointsArePlantedThroughTheBoundDevice) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring file = std::wstring(folder) + L"orvandel-bp-loader-" +
                            std::to_wstring(GetCurrentProcessId()) + L".bin";
  // A halt loop ("b .", big-endian) at offset 8.
  const unsigned char code[16] = {1, 2, 3, 4, 5, 6, 7, 8, 0xEA, 0xFF, 0xFF, 0xFE, 9, 9, 9, 9};
  FILE* f = _wfopen(file.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(code, 1, sizeof code, f);
  std::fclose(f);

  TLoggingSimDriver chip(8);
  auto device = TFakeHostObject::Create({L"ITarvoDevice"});
  auto breakpoint = TFakeHostObject::Create({L"ISoftBreakpoint"});
  std::vector<std::pair<int32_t, int64_t>> planted;
  device->OnCall(508550, [&](TFakeInvocation& AInv) {
    planted.emplace_back(AInv.Int(0), AInv.Int64(1));
    AInv.ReturnObject(breakpoint->Dispatch());
    return S_OK;
  });
  TBoolean bound;
  chip.SetTarvoDevice(ITarvoDevice::FromDispatch(device->Dispatch()), &bound);
  auto writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TBreakpointWriter>(chip.Driver(),
                                                                                     true, file);
  DeleteFileW(file.c_str());
  ASSERT_TRUE(writer->IsDriverLoaded());
  EXPECT_EQ(writer->DriverBreakPointArray(), (std::vector<uint32_t>{0, 8}));
  // A command's start plants them, before the loader is let run.
  writer->InitRemoteCommand(eRemoteCmd_BlankCheck, {0, 0, 0});
  ASSERT_GE(planted.size(), 2u);
  EXPECT_EQ(planted[0], (std::pair<int32_t, int64_t>{0, 0x20000000}));
  EXPECT_EQ(planted[1], (std::pair<int32_t, int64_t>{0, 0x20000008}));
  // Not by the driver's own breakpoint operation.
  EXPECT_EQ(chip.DispIds.count(508552), 0u);
}

} // namespace
