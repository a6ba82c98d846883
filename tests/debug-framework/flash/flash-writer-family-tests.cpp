#include "cfi-flash-writer.h"
#include "client-access.h"
#include "parallel-flash-writer.h"
#include "fake-host-object.h"
#include "serial-flash-writer.h"
#include "tarvo-driver.h"
#include "test-host.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The design workspace the stand-in workspace module hands out.
static TComPtr<TFakeHostObject> GWorkspace;

extern "C" __declspec(dllexport) HRESULT WINAPI FlashTest_GetWorkspace(IUnknown** AResult) {
  *AResult = nullptr;
  if (GWorkspace) {
    GWorkspace->AddRef();
    *AResult = GWorkspace->Dispatch();
  }
  return S_OK;
}

namespace {

// A processor driver whose loader is a C++ routine: it reads the command
// block in big-endian words, records the command and writes the status and
// result words the test scripts. The writer reaches it by DISPID and through
// its IMemoryAccess; it logs the DISPIDs it was asked.
class TScriptedTarget : public TTarvoDriver {
public:
  struct TCommand {
    uint32_t Code = 0;
    std::vector<uint32_t> Parameters;
  };
  using TLoader = std::function<std::vector<uint32_t>(const TCommand&)>; // status, results...

  TScriptedTarget(uint32_t AParamBase, uint32_t ACommandSize)
      : FParamBase(AParamBase), FCommandSize(ACommandSize) {}
  TLoader Loader = [](const TCommand&) { return std::vector<uint32_t>{0}; };
  std::vector<TCommand> Commands;
  std::map<uint64_t, uint8_t> Memory;

  uint32_t Word(uint64_t AAddress) {
    uint32_t w = 0;
    for (unsigned i = 0; i < 4; ++i)
      w = w << 8 | Memory[AAddress + i];
    return w;
  }
  void SetWord(uint64_t AAddress, uint32_t AValue) {
    for (unsigned i = 0; i < 4; ++i)
      Memory[AAddress + i] = uint8_t(AValue >> (8 * (3 - i)));
  }

  ITarvoDriver Driver() { return ITarvoDriver::FromDispatch(static_cast<IDispatch*>(this)); }
  std::vector<DISPID> DispIds;
  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override {
    DispIds.push_back(ADispId);
    return TTarvoDriver::DispatchInvoke(ADispId, AContext);
  }

  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t, PMemoryArray ABuffer, int64_t AAddress,
                                       int32_t ACount, TLongBool* ASuccess) override {
    for (int32_t i = 0; i < ACount; ++i)
      ABuffer[i] = Memory[uint64_t(AAddress) + i];
    *ASuccess = LongTrue;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t, PMemoryArray ABuffer, int64_t AAddress,
                                        int32_t ACount, TLongBool* ASuccess) override {
    for (int32_t i = 0; i < ACount; ++i)
      Memory[uint64_t(AAddress) + i] = uint8_t(ABuffer[i]);
    *ASuccess = LongTrue;
    return S_OK;
  }
  HRESULT ResetProcessor() override { return S_OK; }
  HRESULT PauseProcessor() override { return S_OK; }
  HRESULT ContinueProcessor() override {
    TCommand c;
    c.Code = Word(FParamBase);
    for (uint32_t k = 1; k < FCommandSize / 4; ++k)
      c.Parameters.push_back(Word(FParamBase + 4 * k));
    Commands.push_back(c);
    const std::vector<uint32_t> answer = Loader(c);
    for (size_t i = 0; i < answer.size(); ++i)
      SetWord(FParamBase + FCommandSize + 4 * i, answer[i]);
    return S_OK;
  }
  HRESULT ProcessorIsRunning(TBoolean* AResult) override {
    *AResult = false;
    return S_OK;
  }
  HRESULT GetRegisterIndex_PC(int32_t* AResult) override {
    *AResult = 15;
    return S_OK;
  }
  HRESULT SetProcessorRegisterValue(int32_t, uint32_t, TBoolean* AResult) override {
    *AResult = true;
    return S_OK;
  }

private:
  uint32_t FParamBase, FCommandSize;
};

constexpr uint32_t kLoaderBase = 0x1000, kParamBase = 0x2000, kDataBase = 0x2100;

std::wstring LoaderFile() {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  const std::wstring path = std::wstring(folder) + L"orvandel-flash-family-" +
                            std::to_wstring(GetCurrentProcessId()) + L".bin";
  FILE* f = _wfopen(path.c_str(), L"wb");
  const unsigned char code[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::fwrite(code, 1, sizeof code, f);
  std::fclose(f);
  return path;
}

// The writers load no loader of their own; these give them one and a
// flash memory space, as a descendant for a real board would.
template <class TBase> class TLoaded : public TBase {
public:
  TLoaded(const ITarvoDriver& ADriver, bool AEnable, uint32_t AFlashStart, uint32_t AWidth)
      : TBase(ADriver, AEnable), FFlashStart(AFlashStart), FWidth(AWidth) {}
  bool LoadAndInitDriver() override {
    this->InitDriver(LoaderFile(), kLoaderBase, kLoaderBase, kParamBase, kDataBase, 0);
    int32_t ignored = 0;
    this->AddFlashMemorySpace(0, FFlashStart, FFlashStart + 0x1000000, FWidth, &ignored);
    return false;
  }

private:
  uint32_t FFlashStart, FWidth;
};

std::vector<uint32_t> Params(std::initializer_list<uint32_t> AValues, size_t ACount = 4) {
  std::vector<uint32_t> p(AValues);
  p.resize(ACount, 0);
  return p;
}

// ---- parallel ----------------------------------------------------------------------

TEST(ParallelFlashWriter, ChecksumMakesTheVectorWordsSumToZeroOnlyForImagesAtZero) {
  TScriptedTarget target(kParamBase, 20);
  auto writer =
      TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TRemoteExecuteBaseDriverParallelFlash>(
          target.Driver(), true);
  struct TCase {
    uint32_t TargetAddr;
    std::vector<uint32_t> Expected; // units 0x14..0x17
  };
  const TCase cases[] = {{0, {0x88, 0xA9, 0xCB, 0xED}}, {0x100, {0x55, 0x55, 0x55, 0x55}}};
  for (const TCase& c : cases) {
    TDataChunkImage image;
    image.TargetAddr = c.TargetAddr;
    image.DataArray.assign(0x20, 0);
    image.DataLen = 0x20;
    // 0x12345678 in the word at 0, the checksum slot holding junk.
    image.DataArray[0] = 0x78;
    image.DataArray[1] = 0x56;
    image.DataArray[2] = 0x34;
    image.DataArray[3] = 0x12;
    for (unsigned i = 0; i < 4; ++i)
      image.DataArray[0x14 + i] = 0x55;
    writer->InjectChecksum(image);
    EXPECT_EQ(std::vector<uint32_t>(image.DataArray.begin() + 0x14, image.DataArray.begin() + 0x18),
              c.Expected)
        << c.TargetAddr;
  }
  // Without a loader every operation answers 1.
  EXPECT_FALSE(writer->IsDriverLoaded());
  EXPECT_EQ(writer->DoBlankCheckSectors(0, 0, 0), 1u);
  EXPECT_EQ(writer->RemoteDriverDeviceTitle(), L"S29GLXXXA/M/N");
  EXPECT_TRUE(target.Commands.empty());
}

TEST(ParallelFlashWriter, SectorsAreCountedFromTheFlashStartAndTheLoaderGetsOffsets) {
  TScriptedTarget target(kParamBase, 20);
  auto writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<
      TLoaded<TRemoteExecuteBaseDriverParallelFlash>>(target.Driver(), true, 0x10000000u, 16u);
  EXPECT_EQ(writer->FlashSectorFromAddress(0, 0x10040000), 2u);
  EXPECT_EQ(writer->FlashAddressFromSector(0, 2), 0x10040000u);
  EXPECT_EQ(writer->GetFlashPageFromAddress(0, 0x10000400), 0x80002u);

  EXPECT_EQ(writer->FlashErase(0, 0x10000000, 0x1005FFFF, false), 0u);
  const std::vector<std::pair<uint32_t, std::vector<uint32_t>>> expected = {
      {40, Params({0x10000000, 16})},
      {50, Params({0, 2})},
      {52, Params({0, 0, 12000})},
      {52, Params({0x20000, 0x20000, 12000})},
      {52, Params({0x40000, 0x40000, 12000})},
  };
  ASSERT_EQ(target.Commands.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(target.Commands[i].Code, expected[i].first) << i;
    EXPECT_EQ(target.Commands[i].Parameters, expected[i].second) << i;
  }

  target.Commands.clear();
  TDataChunkImage image;
  image.TargetAddr = 0x10000000;
  image.DataArray.assign(1024, 0x5A);
  image.DataLen = 1024;
  EXPECT_EQ(writer->FlashWrite(0, image, false, false, false, true), 0u);
  std::vector<uint32_t> codes;
  for (const auto& c : target.Commands)
    codes.push_back(c.Code);
  EXPECT_EQ(codes, (std::vector<uint32_t>{40, 50, 52, 50, 51, 56}));
  EXPECT_EQ(target.Commands[4].Parameters, Params({0, kDataBase, 1024, 12000}));
  EXPECT_EQ(target.Commands[5].Parameters, Params({0, kDataBase, 1024}));
  // The blank check names the sector's offset and size.
  target.Commands.clear();
  EXPECT_EQ(writer->DoBlankCheckSectors(0, 3, 9), 0u);
  EXPECT_EQ(target.Commands.back().Parameters, Params({0x60000, 0x20000}));
}

// ---- CFI ------------------------------------------------------------------------------

TEST(CfiFlashWriter, RegionsGiveSectorsOfTheirOwnSize) {
  TScriptedTarget target(kParamBase, 20);
  auto writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TRemoteExecuteBaseDriverCFIFlash>(
      target.Driver(), true);
  EXPECT_EQ(writer->RemoteDriverDeviceTitle(), L"CFI Flash Device");
  writer->SetGeometry(0, 3, {0x00200007, 0x0100001E});
  struct TCase {
    uint32_t Address, Sector;
  };
  for (const TCase& c : {TCase{0, 0}, TCase{0x2000, 1}, TCase{0x10000, 8}, TCase{0x30000, 10},
                         TCase{0x1FFFFF, 38}, TCase{0x200000, 39}})
    EXPECT_EQ(writer->FlashSectorFromAddress(0, c.Address), c.Sector) << c.Address;
  EXPECT_EQ(writer->FlashAddressFromSector(0, 10), 0x30000u);
  EXPECT_EQ(writer->FlashAddressFromSector(0, 7), 0xE000u);
  EXPECT_EQ(writer->FlashAddressFromSector(0, 39), 0u); // beyond all regions: the base
  EXPECT_EQ(writer->GetSectorSize(7), 0x2000u);
  EXPECT_EQ(writer->GetSectorSize(8), 0x10000u);
  EXPECT_EQ(writer->GetSectorSize(39), 0u);
  struct TWidth {
    int32_t Width;
    bool Supported;
  };
  for (const TWidth& w : {TWidth{8, true}, TWidth{16, true}, TWidth{32, false}, TWidth{64, false},
                          TWidth{4, false}}) {
    TBoolean supported;
    writer->IsFlashWidthSupported(w.Width, &supported);
    EXPECT_EQ(bool(supported), w.Supported) << w.Width;
  }
  int32_t width = 0;
  writer->GetDefaultFlashWidth(&width);
  EXPECT_EQ(width, 8);
}

TEST(CfiFlashWriter, QueryTakesTheGeometryFromTheLoaderOrLeavesNone) {
  struct TCase {
    const char* Name;
    std::vector<uint32_t> Answer; // status, command set, size log2, widths, regions, words...
    bool Ok;
    uint32_t Regions;
  };
  const TCase cases[] = {
      {"four regions", {0, 2, 22, 2, 4, 0x00200007, 0x0100001E, 0x00400001, 0x00800003}, true, 4},
      {"failed query", {7, 2, 22, 2, 2, 0x00200007, 0x0100001E}, false, 0},
  };
  for (const TCase& c : cases) {
    TScriptedTarget target(kParamBase, 20);
    target.Loader = [&](const TScriptedTarget::TCommand& ACommand) {
      return ACommand.Code == 41 ? c.Answer : std::vector<uint32_t>{0};
    };
    auto writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<
        TLoaded<TRemoteExecuteBaseDriverCFIFlash>>(target.Driver(), true, 0x08000000u, 16u);
    TRemoteCommandResult result;
    EXPECT_EQ(writer->QueryFlash(result), c.Ok) << c.Name;
    EXPECT_EQ(writer->QueryOk(), c.Ok) << c.Name;
    EXPECT_EQ(writer->NumberOfEraseBlockRegions(), c.Regions) << c.Name;
    if (c.Ok) {
      EXPECT_EQ(writer->CommandSet(), 2u);
      EXPECT_EQ(writer->Size(), 1 << 22);
      EXPECT_EQ(writer->BaseAddress(), 0x08000000);
      for (uint32_t i = 0; i < c.Regions; ++i)
        EXPECT_EQ(writer->EraseBlockRegions()[i], c.Answer[5 + i]) << i;
      // The query names the flash's start.
      EXPECT_EQ(target.Commands.back().Code, 41u);
      EXPECT_EQ(target.Commands.back().Parameters, Params({0x08000000}));
    }
  }
}

// ---- serial ---------------------------------------------------------------------------

TEST(SerialFlashWriter, SelectingADeviceSetsItsGeometryAndSpace) {
  TScriptedTarget target(kParamBase, 16);
  auto writer =
      TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TRemoteExecuteBaseDriverSerialFlash>(
          target.Driver(), true);
  EXPECT_EQ(writer->Kind(), eM25P80);
  EXPECT_EQ(writer->RemoteDriverDeviceTitle(), L"Embedded Flash - M25P80");
  struct TCase {
    const wchar_t* Name;
    TSerialDeviceKind Kind;
    uint32_t SectorSize, Sectors, PageSize;
  };
  const TCase cases[] = {
      {L"Embedded Flash - M25P128", eM25P128, 262144, 64, 256},
      {L"m25p40", eM25P40, 65536, 8, 256},
      {L"no such flash", eM25P40, 65536, 8, 256}, // unchanged
      {L"M25P05", eM25P05, 32768, 1, 128},
  };
  for (const TCase& c : cases) {
    writer->SetSelectedDevice(c.Name);
    EXPECT_EQ(writer->Kind(), c.Kind);
    EXPECT_EQ(writer->GetDeviceSectorSize(), c.SectorSize);
    EXPECT_EQ(writer->GetDeviceSectorNum(), c.Sectors);
    EXPECT_EQ(writer->GetDevicePageSize(), c.PageSize);
    EXPECT_EQ(writer->GetDeviceSize(), c.SectorSize * c.Sectors);
    EXPECT_EQ(writer->RemoteDriverDeviceTitle(),
              TRemoteExecuteBaseDriverSerialFlash::GetDeviceName(c.Kind));
    ASSERT_EQ(writer->FlashMemorySpaces().size(), 1u);
    EXPECT_EQ(writer->FlashMemorySpaces()[0].endAddress, c.SectorSize * c.Sectors);
    EXPECT_EQ(writer->FlashMemorySpaces()[0].widthInBits, 8u);
  }
  // The host gets the nine names as a string list.
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  ASSERT_EQ(writer->Invoke(508837, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            S_OK);
  ASSERT_EQ(V_VT(&result), VT_DISPATCH);
  IDispatch* list = V_DISPATCH(&result);
  auto call = [&](DISPID ADispId, VARIANT* AArg, VARIANT& AOut) {
    DISPPARAMS params{AArg, nullptr, AArg ? 1u : 0u, 0};
    VariantInit(&AOut);
    return list->Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD, &params, &AOut, nullptr, nullptr);
  };
  VARIANT count;
  ASSERT_EQ(call(660, nullptr, count), S_OK);
  EXPECT_EQ(V_I4(&count), 9);
  for (const auto& [index, name] :
       {std::pair{0, L"Embedded Flash - M25P05"}, std::pair{8, L"Embedded Flash - M25P128"}}) {
    VARIANT arg, item;
    VariantInit(&arg);
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = index;
    ASSERT_EQ(call(661, &arg, item), S_OK);
    EXPECT_EQ(std::wstring(V_BSTR(&item)), name);
    VariantClear(&item);
  }
  VariantClear(&result);
}

TEST(SerialFlashWriter, LoaderGetsTheControllerSettingsAndReadsFlashOneBufferAtATime) {
  TScriptedTarget target(kParamBase, 16);
  auto writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<
      TLoaded<TRemoteExecuteBaseDriverSerialFlash>>(target.Driver(), true, 0u, 8u);
  writer->AddSPI(L"SPI1", {L"50000000", L"0xFF000000", L"2500000"});
  writer->SetSelectedSPI(L"SPI1");
  const uint32_t settings = writer->SettingsAddress();
  // RAM the writer uses holds the user's data before and after.
  for (uint32_t a = 0; a < 24; ++a)
    target.Memory[settings + a] = uint8_t(0xC0 + a);
  ASSERT_EQ(writer->DoInstallDriver(), 1);
  const std::vector<uint32_t> expected = {0xFF000000, 2500000, 50000000, 65536, 256, 0};
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(target.Word(settings + 4 * i), expected[i]) << i;
  std::vector<uint32_t> buffer(1000);
  EXPECT_EQ(writer->InternalFlashRead(0, buffer.data(), 0x3000, 1000), 0u);
  ASSERT_EQ(target.Commands.size(), 2u);
  EXPECT_EQ(target.Commands[0].Parameters, Params({0x3000, 512}, 3));
  EXPECT_EQ(target.Commands[1].Parameters, Params({0x3200, 488}, 3));
  writer->DoUninstallDriver();
  for (uint32_t a = 0; a < 24; ++a)
    EXPECT_EQ(target.Memory[settings + a], uint8_t(0xC0 + a)) << a;
}

// Flash the loader could not read back is unknown: a write that keeps the
// rest of a sector stops before erasing it, and a compare does not count it.
TEST(SerialFlashWriter, FailedReadBackStopsTheWriteBeforeAnythingIsErased) {
  TScriptedTarget target(kParamBase, 16);
  target.Loader = [](const TScriptedTarget::TCommand& ACommand) {
    return std::vector<uint32_t>{ACommand.Code == 57 ? 4u : 0u};
  };
  auto writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<
      TLoaded<TRemoteExecuteBaseDriverSerialFlash>>(target.Driver(), true, 0u, 8u);
  TDataChunkImage image;
  image.TargetAddr = 0x100;
  image.DataArray.assign(16, 0x5A);
  image.DataLen = 16;
  EXPECT_THROW(writer->FlashWrite(0, image, false, true, false, false), EFlashWriterError);
  for (const auto& c : target.Commands)
    EXPECT_TRUE(c.Code == 57) << "command " << c.Code << " after the failed read-back";
  EXPECT_FALSE(writer->IsDriverInstalled());
  EXPECT_THROW(writer->FlashCompare(0, image, 0x100, 16, false), EFlashWriterError);
}

// ---- the design's flash and SPI controllers, from the host's fakes ---------------

// An embedded project with its software platform: instances of peripheral
// kinds, their cores, options and what is stacked on them.
struct TFakePlatform {
  struct TInstance {
    std::wstring Kind, Core;
    std::map<std::wstring, std::wstring> Options;
    std::vector<std::wstring> Stacked;
  };
  std::vector<std::wstring> Kinds = {L"per_uart", L"PER_SPI"};
  std::map<std::wstring, std::vector<std::wstring>> InstancesOfKind;
  std::map<std::wstring, TInstance> Instances;

  TComPtr<TFakeHostObject> Project = TFakeHostObject::Create({L"IProject", L"IEmbeddedProject"});
  TComPtr<TFakeHostObject> Link = TFakeHostObject::Create({L"IDeviceLink"});
  TComPtr<TFakeHostObject> Stack = TFakeHostObject::Create({L"IEmbeddedStack"});
  TComPtr<TFakeHostObject> Sync = TFakeHostObject::Create({L"IEmbeddedStackSync"});

  TFakePlatform() {
    Link->OnCall(504082, [this](TFakeInvocation& AInv) {
      AInv.ReturnObject(Project.Get());
      return S_OK;
    });
    Project->OnCall(501469, [](TFakeInvocation& AInv) {
      AInv.ReturnText(L"design.SwPlatform");
      return S_OK;
    });
    Stack->OnCall(508788, [this](TFakeInvocation& AInv) {
      AInv.ReturnObject(Sync.Get());
      return S_OK;
    });
    Sync->OnCall(508773, [](TFakeInvocation& AInv) {
      AInv.ReturnText(L"50000000");
      return S_OK;
    });
    Sync->OnCall(508754, [this](TFakeInvocation& AInv) {
      AInv.ReturnInt(int32_t(Kinds.size()));
      return S_OK;
    });
    Sync->OnCall(508755, [this](TFakeInvocation& AInv) {
      AInv.ReturnText(Kinds.at(size_t(AInv.Int(0))));
      return S_OK;
    });
    Sync->OnCall(508758, [](TFakeInvocation& AInv) {
      AInv.ReturnBool(true);
      return S_OK;
    });
    Sync->OnCall(508763, [this](TFakeInvocation& AInv) {
      AInv.ReturnInt(int32_t(InstancesOfKind[AInv.Text(0)].size()));
      return S_OK;
    });
    Sync->OnCall(508764, [this](TFakeInvocation& AInv) {
      AInv.ReturnText(InstancesOfKind[AInv.Text(0)].at(size_t(AInv.Int(1))));
      return S_OK;
    });
    Sync->OnCall(508767, [this](TFakeInvocation& AInv) {
      AInv.ReturnText(Instances[AInv.Text(0)].Core);
      return S_OK;
    });
    Sync->OnCall(508768, [this](TFakeInvocation& AInv) {
      AInv.ReturnText(Instances[AInv.Text(0)].Options[AInv.Text(1)]);
      return S_OK;
    });
    Sync->OnCall(508770, [this](TFakeInvocation& AInv) {
      AInv.ReturnInt(int32_t(Instances[AInv.Text(0)].Stacked.size()));
      return S_OK;
    });
    Sync->OnCall(508771, [this](TFakeInvocation& AInv) {
      AInv.ReturnText(Instances[AInv.Text(0)].Stacked.at(size_t(AInv.Int(1))));
      return S_OK;
    });
    Sync->OnCall(508772, [this](TFakeInvocation& AInv) {
      AInv.ReturnText(Instances[AInv.Text(0)].Kind);
      return S_OK;
    });
  }
  // A peripheral of kind "PER_SPI" with its driver and device, if named.
  void AddSpi(const std::wstring& AName, const std::wstring& ACore, const std::wstring& ABase,
              const std::wstring& ADriverKind = L"", const std::wstring& ADeviceKind = L"",
              std::map<std::wstring, std::wstring> AOptions = {}) {
    InstancesOfKind[L"PER_SPI"].push_back(AName);
    TInstance& i = Instances[AName];
    i.Core = ACore;
    i.Options = std::move(AOptions);
    i.Options[L"baseaddress"] = ABase;
    if (!ADriverKind.empty()) {
      i.Stacked.push_back(AName + L"_DRV");
      TInstance& d = Instances[AName + L"_DRV"];
      d.Kind = ADriverKind;
      d.Options[L"spi_frequency"] = L"1000000";
      if (!ADeviceKind.empty()) {
        d.Stacked.push_back(AName + L"_DEV");
        Instances[AName + L"_DEV"].Kind = ADeviceKind;
      }
    }
  }
};

TEST(SerialFlashWriter, FindsTheDesignsSpiControllersUntilOneFailsItsChecks) {
  struct TCase {
    const char* Name;
    std::function<void(TFakePlatform&)> Build;
    bool Found;
    std::vector<std::wstring> Listed;
    TSPIData Selected;
    bool ClockPresent;
  };
  const TCase cases[] = {
      {"second controller's driver of another kind",
       [](TFakePlatform& P) {
         P.AddSpi(L"SPI1", L"WB_SPI", L"0xFF000000", L"drv_spi", L"drv_m25px0");
         P.AddSpi(L"SPI2", L"WB_SPI", L"0xFF100000", L"drv_uart", L"drv_m25px0");
       },
       true,
       {L"SPI1"},
       {L"50000000", L"0xFF000000", L"1000000"},
       true},
      {"bootloader without a driver gets the default clock",
       [](TFakePlatform& P) {
         P.AddSpi(L"GPIO", L"WB_PRTIO", L"0xFF200000");
         P.AddSpi(L"BOOT", L"wb_bootloader", L"0xFF300000");
       },
       true,
       {L"BOOT"},
       {L"50000000", L"0xFF300000", L"2500000"},
       false},
      {"multiplexed bootloader ends the search",
       [](TFakePlatform& P) {
         P.AddSpi(L"BOOT", L"WB_BOOTLOADER_V2", L"0xFF300000", L"", L"",
                  {{L"Option_IsQuorrelix", L"True"}});
         P.AddSpi(L"SPI1", L"WB_SPI", L"0xFF000000", L"drv_spi", L"drv_m25px0");
       },
       false,
       {},
       {},
       false},
      {"driver without a device ends the search",
       [](TFakePlatform& P) { P.AddSpi(L"SPI1", L"WB_SPI", L"0xFF000000", L"drv_spi"); },
       false,
       {},
       {},
       false},
  };
  for (const TCase& c : cases) {
    TFakePlatform platform;
    c.Build(platform);
    TScriptedTarget target(kParamBase, 16);
    auto writer =
        TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TRemoteExecuteBaseDriverSerialFlash>(
            target.Driver(), true);
    std::wstring askedFor;
    writer->SetEmbeddedStackLookup([&](const std::wstring& AFile) {
      askedFor = AFile;
      return IEmbeddedStack::FromDispatch(platform.Stack.Get());
    });
    bool platformPresent = false, clockPresent = false;
    EXPECT_EQ(writer->GetSPIData(IDeviceLink::FromDispatch(platform.Link.Get()), platformPresent,
                                 clockPresent),
              c.Found)
        << c.Name;
    EXPECT_EQ(askedFor, L"design.SwPlatform") << c.Name;
    EXPECT_TRUE(platformPresent) << c.Name;
    EXPECT_EQ(clockPresent, c.ClockPresent) << c.Name;
    std::vector<std::wstring> listed;
    for (const auto& entry : writer->SPIList())
      listed.push_back(entry.first);
    EXPECT_EQ(listed, c.Listed) << c.Name;
    EXPECT_EQ(writer->SelectedSPI().FProcessorClockFreq, c.Selected.FProcessorClockFreq) << c.Name;
    EXPECT_EQ(writer->SelectedSPI().FSPIBaseAddress, c.Selected.FSPIBaseAddress) << c.Name;
    EXPECT_EQ(writer->SelectedSPI().FSPIClockFreq, c.Selected.FSPIClockFreq) << c.Name;
  }
  // Without a device link nothing is looked at.
  TScriptedTarget target(kParamBase, 16);
  auto writer =
      TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TRemoteExecuteBaseDriverSerialFlash>(
          target.Driver(), true);
  bool platformPresent = true, clockPresent = false;
  EXPECT_FALSE(writer->GetSPIData(IDeviceLink(), platformPresent, clockPresent));
  EXPECT_FALSE(platformPresent);
}

// Left to itself the writer asks the host for the platform document: the
// client's open document of the project's platform file.
TEST(SerialFlashWriter, FindsTheDesignThroughTheHostsPlatformDocument) {
  ReleaseClientAccess();
  {
    TTestHost host;
    TFakePlatform platform;
    platform.AddSpi(L"SPI1", L"WB_SPI", L"0xFF000000", L"drv_spi", L"drv_m25px0");
    std::wstring askedFor;
    host.Client().OnCall(491, [&](TFakeInvocation& AInv) {
      askedFor = AInv.Text(0);
      AInv.ReturnObject(platform.Stack.Get());
      return S_OK;
    });
    TScriptedTarget target(kParamBase, 16);
    auto writer =
        TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TRemoteExecuteBaseDriverSerialFlash>(
            target.Driver(), true);
    bool platformPresent = false, clockPresent = false;
    EXPECT_TRUE(writer->GetSPIData(IDeviceLink::FromDispatch(platform.Link.Get()), platformPresent,
                                   clockPresent));
    EXPECT_EQ(askedFor, L"design.SwPlatform");
    EXPECT_TRUE(platformPresent);
    ASSERT_EQ(writer->SPIList().size(), 1u);
    EXPECT_EQ(writer->SelectedSPI().FSPIBaseAddress, L"0xFF000000");
    for (const std::wstring& error : host.Errors())
      ADD_FAILURE() << std::string(error.begin(), error.end());
  }
  ReleaseClientAccess();
}

TEST(ParallelFlashWriter, TakesBaseAndSizeFromTheProjectsFirstParallelFlash) {
  struct TMemory {
    const wchar_t* Type;
    int64_t Base, Size;
  };
  struct TCase {
    const char* Name;
    std::vector<TMemory> Memories;
    bool Found;
    int64_t Base, Size;
  };
  const TCase cases[] = {
      {"second memory",
       {{L"sram", 0x20000000, 0x1000}, {L"PFlash", 0x10000000, 0x400000}, {L"pflash", 1, 2}},
       true,
       0x10000000,
       0x400000},
      {"none", {{L"sram", 0x20000000, 0x1000}}, false, -1, -1},
  };
  for (const TCase& c : cases) {
    auto project = TFakeHostObject::Create({L"IProject", L"IEmbeddedProject"});
    auto manager = TFakeHostObject::Create({L"IEmbeddedMemoryManager"});
    auto memories = TFakeHostObject::Create({L"IEmbeddedMemories"});
    std::vector<TComPtr<TFakeHostObject>> items;
    for (const TMemory& m : c.Memories) {
      auto item = TFakeHostObject::Create({L"IEmbeddedMemory"});
      item->OnCall(508602, [m](TFakeInvocation& AInv) {
        AInv.ReturnText(m.Type);
        return S_OK;
      });
      item->OnCall(508609, [m](TFakeInvocation& AInv) {
        AInv.ReturnInt64(m.Base);
        return S_OK;
      });
      item->OnCall(508610, [m](TFakeInvocation& AInv) {
        AInv.ReturnInt64(m.Size);
        return S_OK;
      });
      items.push_back(item);
    }
    int32_t category = -1;
    manager->OnCall(508622, [&](TFakeInvocation& AInv) {
      category = AInv.Int(0);
      AInv.ReturnObject(memories.Get());
      return S_OK;
    });
    bool loaded = false;
    memories->OnCall(508617, [&](TFakeInvocation& AInv) {
      loaded = AInv.Object(0) == project.Get() && AInv.Bool(1);
      return S_OK;
    });
    memories->OnCall(508615, [&](TFakeInvocation& AInv) {
      AInv.ReturnInt(int32_t(items.size()));
      return S_OK;
    });
    memories->OnCall(508614, [&](TFakeInvocation& AInv) {
      AInv.ReturnObject(items.at(size_t(AInv.Int(0))).Get());
      return S_OK;
    });
    TScriptedTarget target(kParamBase, 20);
    auto writer =
        TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TRemoteExecuteBaseDriverParallelFlash>(
            target.Driver(), true);
    writer->SetEmbeddedMemoryManagerLookup(
        [&] { return IEmbeddedMemoryManager::FromDispatch(manager.Get()); });
    EXPECT_EQ(writer->GetFlashData(IProject::FromDispatch(project.Get())), c.Found) << c.Name;
    EXPECT_EQ(category, 2) << c.Name;
    EXPECT_TRUE(loaded) << c.Name;
    EXPECT_EQ(writer->BaseAddress(), c.Base) << c.Name;
    EXPECT_EQ(writer->Size(), c.Size) << c.Name;
  }
}

// Left to itself the writer asks the host's design workspace, which answers
// as the embedded-memory manager.
TEST(ParallelFlashWriter, TakesTheFlashFromTheHostsWorkspace) {
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring module = program;
  module = module.substr(0, module.find_last_of(L'\\') + 1) + L"flash-test-workspace\\Ombrel.DLL";
  ASSERT_NE(LoadLibraryW(module.c_str()), nullptr) << "the stand-in workspace module";

  GWorkspace = TFakeHostObject::Create({L"IWorkspace", L"IEmbeddedMemoryManager"});
  auto memories = TFakeHostObject::Create({L"IEmbeddedMemories"});
  auto memory = TFakeHostObject::Create({L"IEmbeddedMemory"});
  GWorkspace->OnCall(508622, [&](TFakeInvocation& AInv) {
    AInv.ReturnObject(memories.Get());
    return S_OK;
  });
  memories->OnCall(508617, [](TFakeInvocation&) { return S_OK; });
  memories->OnCall(508615, [](TFakeInvocation& AInv) {
    AInv.ReturnInt(1);
    return S_OK;
  });
  memories->OnCall(508614, [&](TFakeInvocation& AInv) {
    AInv.ReturnObject(memory.Get());
    return S_OK;
  });
  memory->OnCall(508602, [](TFakeInvocation& AInv) {
    AInv.ReturnText(L"pflash");
    return S_OK;
  });
  memory->OnCall(508609, [](TFakeInvocation& AInv) {
    AInv.ReturnInt64(0x10000000);
    return S_OK;
  });
  memory->OnCall(508610, [](TFakeInvocation& AInv) {
    AInv.ReturnInt64(0x800000);
    return S_OK;
  });
  auto project = TFakeHostObject::Create({L"IProject", L"IEmbeddedProject"});
  project->OnCall(501469, [](TFakeInvocation& AInv) {
    AInv.ReturnText(L"design.SwPlatform");
    return S_OK;
  });
  TScriptedTarget target(kParamBase, 20);
  auto writer =
      TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TRemoteExecuteBaseDriverParallelFlash>(
          target.Driver(), true);
  EXPECT_TRUE(writer->GetFlashData(IProject::FromDispatch(project.Get())));
  EXPECT_EQ(writer->BaseAddress(), 0x10000000);
  EXPECT_EQ(writer->Size(), 0x800000);
  GWorkspace = {};
}

} // namespace
