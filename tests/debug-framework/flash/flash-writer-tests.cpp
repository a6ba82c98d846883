#include "dialog-hook.h"
#include "fake-host-object.h"
#include "flash-image-ops.h"
#include "flash-writer.h"
#include "image-collector.h"
#include "sector-flash-writers.h"
#include "sim-flash-target.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using TCoreRegister = TSimFlashTarget::TCoreRegister;
using TMisbehaviour = TSimFlashTarget::TMisbehaviour;

// ---- helpers ------------------------------------------------------------------

std::wstring TempPath(const std::wstring& AName) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"orvandel-flash-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         AName;
}

std::string HexRecord(uint8_t AType, uint16_t AAddress, const std::vector<uint8_t>& AData) {
  std::vector<uint8_t> bytes = {uint8_t(AData.size()), uint8_t(AAddress >> 8), uint8_t(AAddress),
                                AType};
  bytes.insert(bytes.end(), AData.begin(), AData.end());
  uint8_t sum = 0;
  for (uint8_t b : bytes)
    sum = uint8_t(sum + b);
  bytes.push_back(uint8_t(-sum));
  std::string line = ":";
  char hex[3];
  for (uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    line += hex;
  }
  return line + "\r\n";
}

// An Intel HEX file of one block of bytes inside one 64 KB segment.
void WriteHexFile(const std::wstring& APath, uint32_t AAddress, const std::vector<uint8_t>& AData) {
  std::string text = HexRecord(4, 0, {uint8_t(AAddress >> 24), uint8_t(AAddress >> 16)});
  for (size_t i = 0; i < AData.size(); i += 16) {
    std::vector<uint8_t> line(AData.begin() + i, AData.begin() + std::min(AData.size(), i + 16));
    text += HexRecord(0, uint16_t(AAddress + i), line);
  }
  text += HexRecord(1, 0, {});
  FILE* f = _wfopen(APath.c_str(), L"wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// What the image loaders deliver for a file, as one image at its address.
TDataChunkImage LoadImage(const std::wstring& APath) {
  TDataChunkImage image;
  bool first = true;
  EXPECT_TRUE(LoadFile(APath, [&](int64_t AAddress, int64_t ASize, PMemoryArray ABuffer) {
    if (first)
      image.TargetAddr = uint32_t(AAddress);
    first = false;
    image.DataArray.insert(image.DataArray.end(), ABuffer, ABuffer + ASize);
  }));
  image.DataLen = uint32_t(image.DataArray.size());
  return image;
}

std::vector<uint32_t> Pattern(size_t ACount, uint32_t ASeed) {
  std::vector<uint32_t> units(ACount);
  uint32_t x = ASeed | 1;
  for (auto& u : units) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    u = x & 0xFF;
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

VARIANT IntArg(int32_t AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = AValue;
  return v;
}

VARIANT BoolArg(bool AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = AValue ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT ObjectArg(IDispatch* AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = AValue;
  return v;
}

// The host's call by DISPID; the arguments in declaration order. Answers
// the integer result.
int32_t InvokeInt(IDispatch* AObject, DISPID ADispId, std::vector<VARIANT> AArgs,
                  HRESULT* AHResult = nullptr) {
  std::vector<VARIANT> reversed(AArgs.rbegin(), AArgs.rend());
  DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr =
      AObject->Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
  if (AHResult)
    *AHResult = hr;
  else
    EXPECT_EQ(hr, S_OK) << "DISPID " << ADispId;
  const int32_t value = V_VT(&result) == VT_I4     ? V_I4(&result)
                        : V_VT(&result) == VT_BOOL ? (V_BOOL(&result) ? 1 : 0)
                                                   : -12345;
  VariantClear(&result);
  return value;
}

// The flash memory utility's image object, answering by DISPID.
TComPtr<TFakeHostObject> FakeImage(const TDataChunkImage& AImage) {
  auto image = TFakeHostObject::Create({L"IDataChunkImageInterface"});
  const TDataChunkImage copy = AImage;
  image->OnCall(508709, [copy](TFakeInvocation& AInv) {
    AInv.ReturnInt(int32_t(copy.TargetAddr));
    return S_OK;
  });
  image->OnCall(508711, [copy](TFakeInvocation& AInv) {
    AInv.ReturnInt(int32_t(copy.DataLen));
    return S_OK;
  });
  image->OnCall(508713, [copy](TFakeInvocation& AInv) {
    AInv.ReturnInt(int32_t(copy.DataArray.at(size_t(AInv.Int(0)))));
    return S_OK;
  });
  return image;
}

// The utility's progress and abort callback: records each position and
// answers the scripted abort answers in turn (then False).
struct TFakeCallback {
  TComPtr<TFakeHostObject> Object = TFakeHostObject::Create({L"IFlashWriterCallback"});
  std::vector<int32_t> Progress;
  std::vector<bool> AbortAnswers;
  unsigned AbortQueries = 0;

  TFakeCallback() {
    Object->OnCall(508715, [this](TFakeInvocation& AInv) {
      Progress.push_back(AInv.Int(0));
      return S_OK;
    });
    Object->OnCall(508716, [this](TFakeInvocation& AInv) {
      const bool answer = AbortQueries < AbortAnswers.size() && AbortAnswers[AbortQueries];
      ++AbortQueries;
      AInv.ReturnBool(answer);
      return S_OK;
    });
  }
  IFlashWriterCallback Record() const { return IFlashWriterCallback::FromDispatch(Object.Get()); }
};

// A Cortex-M3 writer whose loader file the test names.
class TTestCortexWriter : public TFLASH_CORTEXM3 {
public:
  TTestCortexWriter(const ITarvoDriver& ADriver, bool AEnable, std::wstring AFile)
      : TFLASH_CORTEXM3(ADriver, AEnable), FFile(std::move(AFile)) {}
  std::wstring GetDriverFileName() override { return FFile; }

private:
  std::wstring FFile;
};

// A driver that only counts every call by DISPID and every transfer: a
// writer that must not touch the target.
class TCountingTarget : public TTarvoDriver {
public:
  unsigned Calls = 0;
  ITarvoDriver Driver() { return ITarvoDriver::FromDispatch(static_cast<IDispatch*>(this)); }
  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override {
    ++Calls;
    return TTarvoDriver::DispatchInvoke(ADispId, AContext);
  }
  HRESULT STDMETHODCALLTYPE MemoryRead(int32_t, PMemoryArray, int64_t, int32_t,
                                       TLongBool* ASuccess) override {
    ++Calls;
    *ASuccess = LongTrue;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE MemoryWrite(int32_t, PMemoryArray, int64_t, int32_t,
                                        TLongBool* ASuccess) override {
    ++Calls;
    *ASuccess = LongTrue;
    return S_OK;
  }
};

// ---- image collector, progress reporter --------------------------------------

TEST(ImageCollector, PlacesEachPieceRelativeToTheCollectedData) {
  struct TPiece {
    int64_t Address, Size;
  };
  struct TCase {
    const char* Name;
    std::vector<TPiece> Pieces;
    size_t Length;
    size_t ZeroFrom, ZeroTo; // units expected 0 in between (empty when equal)
  };
  const TCase cases[] = {
      {"gap within one piece's length keeps its distance", {{0, 16}, {32, 16}}, 48, 16, 32},
      {"piece far above follows directly", {{0, 16}, {100, 16}}, 32, 0, 0},
      {"single high piece lands at position 0", {{0x20000000, 300}}, 300, 0, 0},
      {"empty piece changes nothing", {{0, 16}, {16, 0}}, 16, 0, 0},
  };
  for (const TCase& c : cases) {
    TLoadFileCallBackHelper helper(&LoadFile);
    for (const TPiece& p : c.Pieces) {
      std::vector<uint32_t> units(size_t(p.Size), 0xA5);
      helper.Callback(p.Address, p.Size, units.data());
    }
    const auto& buffer = helper.GetBuffer();
    EXPECT_EQ(buffer.size(), c.Length) << c.Name;
    for (size_t i = 0; i < buffer.size(); ++i)
      EXPECT_EQ(buffer[i], (i >= c.ZeroFrom && i < c.ZeroTo) ? 0u : 0xA5u)
          << c.Name << " unit " << i;
  }
}

TEST(ProgressReporter, ReportsTheStartAndEveryStepAsAPosition) {
  TFakeCallback callback;
  TProgressUpdaterHelper progress(callback.Record(), 0);
  progress.UpdateStep(50);
  progress.UpdateStep(50);
  progress.UpdateStep(225);
  EXPECT_EQ(callback.Progress, (std::vector<int32_t>{0, 50, 100, 325}));
}

TEST(StatusTexts, NameEveryLoaderStatus) {
  const wchar_t* expected[] = {L"CMD_SUCCESS",         L"INVALID_COMMAND",
                               L"SRC_ADDR_ERROR",      L"DST_ADDR_ERROR",
                               L"SRC_ADDR_NOT_MAPPED", L"DST_ADDR_NOT_MAPPED",
                               L"COUNT_ERROR",         L"INVALID_SECTOR",
                               L"SECTOR_NOT_BLANK",    L"SECTOR_NOT_PREPARED_FOR_WRITE_OPERATION",
                               L"COMPARE_ERROR",       L"BUSY"};
  for (uint32_t s = 0; s < 12; ++s)
    EXPECT_EQ(std::wstring(RemoteStatusText(s)), expected[s]);
  EXPECT_EQ(FlashWriteErrorQuestion(10), L"Error: COMPARE_ERROR\r\n OK to continue?");
}

// ---- the loader image ----------------------------------------------------------

TEST(LoaderImage, HaltLoopScanListsOffsetZeroAndEveryMatchInEitherByteOrder) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Bytes;
    std::vector<uint32_t> Offsets;
  };
  const TCase cases[] = {
      {"no halt loop", std::vector<uint8_t>(16, 0x11), {0}},
      {"reversed at 8", {1, 2, 3, 4, 5, 6, 7, 8, 0xEA, 0xFF, 0xFF, 0xFE, 9, 9, 9, 9}, {0, 8}},
      {"own order at 4 and 12",
       {0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xEA, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xEA},
       {0, 4, 12}},
      {"unaligned match ignored", {0, 0xFE, 0xFF, 0xFF, 0xEA, 0, 0, 0}, {0}},
  };
  TCountingTarget target;
  int n = 0;
  for (const TCase& c : cases) {
    const std::wstring file = TempPath(L"scan" + std::to_wstring(n++) + L".hex");
    WriteHexFile(file, 0x20000000, c.Bytes);
    auto writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TTestCortexWriter>(
        target.Driver(), true, file);
    EXPECT_TRUE(writer->IsDriverLoaded()) << c.Name;
    EXPECT_EQ(writer->DriverBreakPointArray(), c.Offsets) << c.Name;
    EXPECT_EQ(writer->DriverImage().DataLen, c.Bytes.size()) << c.Name;
    DeleteFileW(file.c_str());
  }
  EXPECT_EQ(target.Calls, 0u);
}

TEST(LoaderImage, MissingLoaderAnswersOneWithoutTouchingTheTarget) {
  TCountingTarget target;
  auto writer = TVEKAbstractRemoteExecuteBaseDriver::CreateWriter<TTestCortexWriter>(
      target.Driver(), true, TempPath(L"absent.hex"));
  EXPECT_FALSE(writer->IsDriverLoaded());
  EXPECT_TRUE(writer->IsInitialized());
  EXPECT_EQ(InvokeInt(writer.Get(), 508717, {}), 0); // InstallDriver
  auto image = FakeImage(ImageOf(0x130, Pattern(100, 1)));
  EXPECT_EQ(InvokeInt(writer.Get(), 508719,
                      {IntArg(0), ObjectArg(image.Get()), BoolArg(false), BoolArg(true),
                       BoolArg(false), BoolArg(true)}),
            1);
  EXPECT_EQ(InvokeInt(writer.Get(), 508720, {IntArg(0), IntArg(0), IntArg(0)}), 1);
  EXPECT_EQ(InvokeInt(writer.Get(), 508721, {IntArg(0)}), 1);
  EXPECT_EQ(InvokeInt(writer.Get(), 508722, {IntArg(0), IntArg(0), IntArg(0x3FF), BoolArg(false)}),
            1);
  EXPECT_EQ(InvokeInt(writer.Get(), 508722, {IntArg(0), IntArg(0), IntArg(0x3FF), BoolArg(true)}),
            1);
  EXPECT_EQ(writer->FlashCompare(0, ImageOf(0, Pattern(16, 2)), 0, 16, false), 1u);
  EXPECT_EQ(target.Calls, 0u);
}

// ---- writer properties ------------------------------------------------------------

TEST(StellarisWriters, DescribeTheirFlashBySize) {
  struct TCase {
    const wchar_t* ClassName;
    uint32_t SizeKB;
    const wchar_t* SizeText;
  };
  const TCase cases[] = {
      {L"TFLASH_LUMINARY_8", 8, L"8K"},       {L"TFLASH_LUMINARY_16", 16, L"16K"},
      {L"TFLASH_LUMINARY_32", 32, L"32K"},    {L"TFLASH_LUMINARY_64", 64, L"64K"},
      {L"TFLASH_LUMINARY_96", 96, L"96K"},    {L"TFLASH_LUMINARY_128", 128, L"128K"},
      {L"TFLASH_LUMINARY_256", 256, L"256K"},
  };
  TCountingTarget target;
  for (const TCase& c : cases) {
    auto writer = CreateStellarisFlashWriter(c.ClassName, target.Driver());
    ASSERT_TRUE(writer) << c.SizeKB;
    EXPECT_TRUE(writer->IsDriverLoaded()) << "the loader template is beside the program";
    EXPECT_EQ(writer->GetFlashSize(), c.SizeKB * 1024);
    EXPECT_EQ(writer->GetFlashSizeText(), c.SizeText);
    EXPECT_EQ(writer->RemoteDriverDeviceName(), std::wstring(L"Stellaris Family/") + c.SizeText);
    EXPECT_EQ(writer->RemoteDriverDeviceTitle(), L"Luminary Micro Stellaris Flash Memory");
    ASSERT_EQ(writer->FlashMemorySpaces().size(), 1u);
    const TFlashMemorySpace& space = writer->FlashMemorySpaces()[0];
    EXPECT_EQ(space.globalMemorySpaceIndex, 0u);
    EXPECT_EQ(space.startAddress, 0u);
    EXPECT_EQ(space.endAddress, c.SizeKB * 1024);
    EXPECT_EQ(space.widthInBits, 32u);
  }
  EXPECT_FALSE(CreateStellarisFlashWriter(L"TFLASH_LUMINARY_48", target.Driver()));
  EXPECT_EQ(target.Calls, 0u);
}

TEST(StellarisWriters, AnswerTheHostsQuestionsByDispid) {
  TCountingTarget target;
  auto writer = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_64", target.Driver());
  IDispatch* w = writer.Get();
  struct TCase {
    const char* Name;
    DISPID DispId;
    std::vector<VARIANT> Args;
    int32_t Expected;
  };
  const TCase cases[] = {
      {"sector of 0x3FF", 508730, {IntArg(0), IntArg(0x3FF)}, 0},
      {"sector of 0x400", 508730, {IntArg(0), IntArg(0x400)}, 1},
      {"address of sector 5", 508729, {IntArg(0), IntArg(5)}, 0x1400},
      {"width 16", 508733, {IntArg(16)}, 0},
      {"width 32", 508733, {IntArg(32)}, 1},
      {"default width", 508734, {}, 32},
      {"action 40", 508735, {IntArg(40)}, 1},
      {"action 41", 508735, {IntArg(41)}, 0},
      {"action 50", 508735, {IntArg(50)}, 0},
      {"action 57", 508735, {IntArg(57)}, 1},
      {"action 58", 508735, {IntArg(58)}, 1},
      {"end of space is inside", 508731, {IntArg(0), IntArg(65536)}, 1},
      {"past the end", 508731, {IntArg(0), IntArg(65537)}, 0},
      {"unknown space", 508731, {IntArg(3), IntArg(0)}, 0},
      {"space count", 508726, {}, 1},
      {"loader base", 508699, {}, 0x20000000},
      {"parameter base", 508701, {}, 0x20000400},
      {"data base", 508702, {}, 0x20000434},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(InvokeInt(w, c.DispId, c.Args), c.Expected) << c.Name;
  // An empty title gives vendor and device name.
  writer->SetRemoteDriverDeviceTitle(L"");
  writer->SetRemoteDriverVendorName(L"A");
  writer->SetRemoteDriverDeviceName(L"B");
  EXPECT_EQ(writer->RemoteDriverDeviceTitle(), L"A B");
  EXPECT_EQ(target.Calls, 0u);
}

// ---- against the simulated chip ---------------------------------------------------

class TSimWriterTest : public ::testing::Test {
protected:
  void Make(unsigned AFlashKB) {
    FWriter = {}; // before the driver it holds
    FTarget = std::make_unique<TSimFlashTarget>(AFlashKB);
    FTarget->ScrambleSram(0x5EED + AFlashKB);
    FSramBefore = FTarget->Sram();
    FWriter = CreateStellarisFlashWriter(L"TFLASH_LUMINARY_" + std::to_wstring(AFlashKB),
                                         FTarget->Driver());
    ASSERT_TRUE(FWriter);
    ASSERT_TRUE(FWriter->IsDriverLoaded());
  }
  void ExpectRamRestored() {
    EXPECT_FALSE(FWriter->IsDriverInstalled());
    EXPECT_TRUE(FTarget->Sram() == FSramBefore) << "target RAM changed";
  }
  std::vector<uint32_t> Flash(uint32_t AAddress, uint32_t ACount) {
    const auto& flash = FTarget->Chip().Flash();
    return std::vector<uint32_t>(flash.begin() + AAddress, flash.begin() + AAddress + ACount);
  }
  // Programs a whole image directly, as the starting state of a test.
  void Program(const TDataChunkImage& AImage) {
    ASSERT_EQ(FWriter->FlashWrite(0, AImage, false, false, false, true), 0u);
  }

  std::unique_ptr<TSimFlashTarget> FTarget;
  TComPtr<TFLASH_LUMINARY> FWriter;
  std::vector<uint8_t> FSramBefore;
};

TEST_F(TSimWriterTest, ImageInsideASectorIsWrittenWithAndWithoutTheRestOfItsSector) {
  Make(64);
  const std::vector<uint32_t> old = Pattern(1024, 7);
  Program(ImageOf(0, old));
  const std::vector<uint8_t> bytes = [] {
    std::vector<uint8_t> b;
    for (uint32_t u : Pattern(100, 9))
      b.push_back(uint8_t(u));
    return b;
  }();
  const std::wstring file = TempPath(L"image.hex");
  WriteHexFile(file, 0x130, bytes);
  const TDataChunkImage image = LoadImage(file);
  DeleteFileW(file.c_str());
  ASSERT_EQ(image.TargetAddr, 0x130u);
  ASSERT_EQ(image.DataLen, 100u);

  for (const bool preserve : {true, false}) {
    Program(ImageOf(0, old));
    auto host = FakeImage(image);
    EXPECT_EQ(InvokeInt(FWriter.Get(), 508719,
                        {IntArg(0), ObjectArg(host.Get()), BoolArg(false), BoolArg(preserve),
                         BoolArg(false), BoolArg(true)}),
              0);
    const std::vector<uint32_t> flash = Flash(0, 1024);
    for (uint32_t a = 0; a < 1024; ++a) {
      const bool inside = a >= 0x130 && a < 0x194;
      const uint32_t expected = inside ? image.DataArray[a - 0x130] : preserve ? old[a] : 0xFF;
      ASSERT_EQ(flash[a], expected) << "preserve " << preserve << " at " << a;
    }
    // Only the image's sector was erased.
    const auto erases = FTarget->CommandsOf(eRemoteCmd_Erase);
    EXPECT_EQ(erases.back().Parameters, (std::vector<uint32_t>{0, 0x400, 0, 0}));
    ExpectRamRestored();
  }
}

TEST_F(TSimWriterTest, EraseOfTwoSectorsPreparesThemAndErasesEach) {
  Make(64);
  const std::vector<uint32_t> old = Pattern(4096, 3);
  Program(ImageOf(0, old));
  const size_t before = FTarget->Commands().size();
  EXPECT_EQ(
      InvokeInt(FWriter.Get(), 508722, {IntArg(0), IntArg(0x400), IntArg(0xBFF), BoolArg(false)}),
      0);
  const std::vector<TSimFlashTarget::TCommand> sent(FTarget->Commands().begin() + before,
                                                    FTarget->Commands().end());
  ASSERT_EQ(sent.size(), 4u);
  EXPECT_EQ(sent[0].Code, 40u); // the loader's init when it is installed
  EXPECT_EQ(sent[0].Parameters, (std::vector<uint32_t>{0, 32, 0, 0}));
  EXPECT_EQ(sent[1].Code, 50u);
  EXPECT_EQ(sent[1].Parameters, (std::vector<uint32_t>{1, 2, 0, 0}));
  EXPECT_EQ(sent[2].Code, 52u);
  EXPECT_EQ(sent[2].Parameters, (std::vector<uint32_t>{0x400, 0x800, 0, 0}));
  EXPECT_EQ(sent[3].Code, 52u);
  EXPECT_EQ(sent[3].Parameters, (std::vector<uint32_t>{0x800, 0xC00, 0, 0}));
  const std::vector<uint32_t> flash = Flash(0, 4096);
  for (uint32_t a = 0; a < 4096; ++a)
    ASSERT_EQ(flash[a], (a >= 0x400 && a < 0xC00) ? 0xFFu : old[a]) << a;
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, EraseByWritingKeepsTheRestOfTheSectorsAndErasesTheLastUnit) {
  Make(16);
  const std::vector<uint32_t> old = Pattern(2048, 4);
  Program(ImageOf(0, old));
  EXPECT_EQ(
      InvokeInt(FWriter.Get(), 508722, {IntArg(0), IntArg(0x100), IntArg(0x4FF), BoolArg(true)}),
      0);
  const std::vector<uint32_t> flash = Flash(0, 2048);
  for (uint32_t a = 0; a < 2048; ++a)
    ASSERT_EQ(flash[a], (a >= 0x100 && a <= 0x4FF) ? 0xFFu : old[a]) << a;
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, FullFlashWritesReadBackIdentical) {
  for (const unsigned kb : {8u, 256u}) {
    Make(kb);
    const uint32_t size = kb * 1024;
    const TDataChunkImage image = ImageOf(0, Pattern(size, kb));
    EXPECT_EQ(FWriter->FlashWrite(0, image, false, false, false, true), 0u) << kb;
    EXPECT_TRUE(Flash(0, size) == image.DataArray) << kb;
    // The last chunk prepares the last sector, not one past it.
    const auto prepares = FTarget->CommandsOf(eRemoteCmd_Prepare);
    EXPECT_EQ(prepares.back().Parameters, (std::vector<uint32_t>{kb - 1, kb - 1, 0, 0})) << kb;
    EXPECT_EQ(FTarget->CommandsOf(eRemoteCmd_CopyRamToFlash).size(), size / 512) << kb;
    EXPECT_EQ(FWriter->FlashCompare(0, image, 0, size, false), 0u) << kb;
    TDataChunkImage changed = image;
    changed.DataArray[size - 1] ^= 1;
    changed.DataArray[17] ^= 1;
    EXPECT_EQ(FWriter->FlashCompare(0, changed, 0, size, false), 2u) << kb;
    ExpectRamRestored();
  }
}

TEST_F(TSimWriterTest, BlankCheckAnswersTheLoadersStatusForTheFirstSectorAsked) {
  Make(16);
  struct TCase {
    const char* Name;
    uint32_t First, Last;
    uint32_t Status;
  };
  Program(ImageOf(0xC00, Pattern(1024, 5)));
  const TCase cases[] = {
      {"programmed sector", 3, 7, SECTOR_NOT_BLANK},
      {"erased sector", 4, 4, CMD_SUCCESS},
      {"erased sector before it", 2, 3, CMD_SUCCESS},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(InvokeInt(FWriter.Get(), 508720,
                        {IntArg(0), IntArg(int32_t(c.First)), IntArg(int32_t(c.Last))}),
              int32_t(c.Status))
        << c.Name;
    EXPECT_EQ(FTarget->Commands().back().Parameters,
              (std::vector<uint32_t>{c.First * 1024, 1024, 0, 0}))
        << c.Name;
  }
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, LoaderStartsInThumbStateOnItsOwnStack) {
  Make(8);
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508720, {IntArg(0), IntArg(0), IntArg(0)}), 0);
  const std::vector<std::pair<TCoreRegister, uint32_t>> expected = {
      {TCoreRegister::SP, 0x20000400},
      {TCoreRegister::XPSR, 0x01000000},
      {TCoreRegister::PC, 0x20000000}};
  const auto& writes = FTarget->RegisterWrites();
  ASSERT_GE(writes.size(), 3u);
  const std::vector<std::pair<TCoreRegister, uint32_t>> last(writes.end() - 3, writes.end());
  EXPECT_TRUE(last == expected);
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, WriteProgressRunsThroughBuildEraseAndEachChunk) {
  Make(8);
  TFakeCallback callback;
  int32_t ignored = 0;
  FWriter->SetFlashWriterCallback(callback.Record(), &ignored);
  EXPECT_EQ(FWriter->FlashWrite(0, ImageOf(0, Pattern(2048, 6)), false, false, false, false), 0u);
  EXPECT_EQ(callback.Progress, (std::vector<int32_t>{0, 50, 100, 325, 550, 775, 1000, 1000}));
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, FailingLoaderStatusAsksTheUserWhoCanStopTheWrite) {
  struct TCase {
    const char* Name;
    uint32_t Code;
    unsigned Occurrence;
    uint32_t Status;
    int Answer;
    uint32_t Expected;
    size_t Writes; // copy commands sent
  };
  const TCase cases[] = {
      {"compare error on the second chunk, Cancel", eRemoteCmd_Compare, 2, COMPARE_ERROR, IDCANCEL,
       COMPARE_ERROR, 2},
      {"compare error on the second chunk, OK", eRemoteCmd_Compare, 2, COMPARE_ERROR, IDOK, 0, 4},
      {"failed erase, Cancel", eRemoteCmd_Erase, 0, 9, IDCANCEL, 9, 0},
      {"failed erase, OK goes on but still answers the failure", eRemoteCmd_Erase, 0, 9, IDOK, 9,
       4},
  };
  for (const TCase& c : cases) {
    Make(8);
    FTarget->SetFault(c.Code, {TMisbehaviour::ForceStatus, c.Status, c.Occurrence});
    TDialogHook hook;
    hook.Script(c.Answer);
    EXPECT_EQ(FWriter->FlashWrite(0, ImageOf(0, Pattern(2048, 8)), false, false, false, true),
              c.Expected)
        << c.Name;
    ASSERT_EQ(hook.Dialogs().size(), 1u) << c.Name;
    EXPECT_EQ(hook.Dialogs()[0].Text, FlashWriteErrorQuestion(c.Status)) << c.Name;
    EXPECT_EQ(hook.Dialogs()[0].Caption, L"Confirm") << c.Name;
    EXPECT_EQ(FTarget->CommandsOf(eRemoteCmd_CopyRamToFlash).size(), c.Writes) << c.Name;
    ExpectRamRestored();
  }
}

TEST_F(TSimWriterTest, LoaderThatDoesNotFinishAnswersBusy) {
  struct TCase {
    const char* Name;
    TMisbehaviour Kind;
    bool Halted; // the writer had to halt the processor itself
  };
  const TCase cases[] = {
      {"never stops", TMisbehaviour::NeverStops, true},
      {"stops without answering", TMisbehaviour::DiesSilently, false},
  };
  for (const TCase& c : cases) {
    Make(8);
    FWriter->SetCommandTimeLimits(300, 300);
    // A successful command first, so a stale result block would read success.
    EXPECT_EQ(FWriter->DoBlankCheckSectors(0, 0, 0), 0u) << c.Name;
    FTarget->SetFault(eRemoteCmd_BlankCheck, {c.Kind, 0, 2});
    TDialogHook hook;
    hook.Script(IDOK);
    EXPECT_EQ(FWriter->DoBlankCheckSectors(0, 0, 0), uint32_t(BUSY)) << c.Name;
    EXPECT_EQ(FTarget->PauseCount(), c.Halted ? 1u : 0u) << c.Name;
    EXPECT_EQ(hook.Dialogs().size(), c.Halted ? 1u : 0u) << c.Name;
    if (c.Halted && !hook.Dialogs().empty()) {
      EXPECT_EQ(hook.Dialogs()[0].Caption, L"Error");
      EXPECT_NE(hook.Dialogs()[0].Text.find(L"did not finish command 53"), std::wstring::npos)
          << std::string(hook.Dialogs()[0].Text.begin(), hook.Dialogs()[0].Text.end());
    }
    EXPECT_TRUE(FTarget->Chip().IsHalted()) << c.Name;
    ExpectRamRestored();
  }
}

TEST_F(TSimWriterTest, AbortEndsTheWaitWithinOnePoll) {
  Make(8);
  FTarget->SetFault(eRemoteCmd_BlankCheck, {TMisbehaviour::NeverStops, 0, 0});
  TFakeCallback callback;
  // The blank check asks once before it starts; the poll's question aborts.
  callback.AbortAnswers = {false, true};
  int32_t ignored = 0;
  FWriter->SetFlashWriterCallback(callback.Record(), &ignored);
  ASSERT_EQ(FWriter->DoInstallDriver(), 1);
  const unsigned pollsBefore = FTarget->RunningPolls();
  EXPECT_EQ(FWriter->DoBlankCheckSectors(0, 1, 1), 1u);
  EXPECT_EQ(FTarget->RunningPolls() - pollsBefore, 1u);
  EXPECT_EQ(callback.AbortQueries, 2u);
  EXPECT_EQ(FTarget->PauseCount(), 1u);
  FWriter->DoUninstallDriver();
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, AbortBeforeAWriteLeavesFlashAlone) {
  Make(8);
  TFakeCallback callback;
  callback.AbortAnswers = {true};
  int32_t ignored = 0;
  FWriter->SetFlashWriterCallback(callback.Record(), &ignored);
  EXPECT_EQ(FWriter->FlashWrite(0, ImageOf(0, Pattern(1024, 2)), false, false, false, false), 1u);
  EXPECT_TRUE(FTarget->CommandsOf(eRemoteCmd_Erase).empty());
  EXPECT_EQ(callback.Progress.back(), 1000);
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, HostKeepsTheLoaderInstalledAcrossOperations) {
  Make(8);
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508717, {}), 1);
  EXPECT_TRUE(FWriter->IsDriverInstalled());
  EXPECT_EQ(FWriter->DoBlankCheckSectors(0, 0, 0), 0u);
  EXPECT_EQ(FWriter->DoBlankCheckSectors(0, 1, 1), 0u);
  EXPECT_TRUE(FWriter->IsDriverInstalled());
  // One init: the loader was installed once.
  EXPECT_EQ(FTarget->CommandsOf(eRemoteCmd_Init).size(), 1u);
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508718, {}), 0);
  ExpectRamRestored();
  // A second uninstall puts nothing stale back.
  FTarget->ScrambleSram(99);
  FSramBefore = FTarget->Sram();
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508718, {}), 0);
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, ResetAfterLoadStartsTheProgramOnceItsRamIsBack) {
  Make(8);
  EXPECT_EQ(FWriter->FlashWrite(0, ImageOf(0, Pattern(1024, 12)), false, false, true, false), 0u);
  ExpectRamRestored();
  EXPECT_FALSE(FTarget->Chip().IsHalted());
}

TEST_F(TSimWriterTest, FailingTransferFailsTheHostCallAndStillRestoresRam) {
  Make(8);
  TDialogHook hook;
  TFakeCallback callback;
  int32_t ignored = 0;
  FWriter->SetFlashWriterCallback(callback.Record(), &ignored);
  // Reading the flash around the image fails.
  FTarget->Faults().BusErrorEnabled = true;
  FTarget->Faults().BusErrorAddress = 0x10;
  auto image = FakeImage(ImageOf(0x130, Pattern(100, 13)));
  HRESULT hr = S_OK;
  InvokeInt(FWriter.Get(), 508719,
            {IntArg(0), ObjectArg(image.Get()), BoolArg(false), BoolArg(true), BoolArg(false),
             BoolArg(false)},
            &hr);
  EXPECT_EQ(hr, E_UNEXPECTED);
  EXPECT_EQ(callback.Progress.back(), 1000);
  EXPECT_TRUE(FTarget->CommandsOf(eRemoteCmd_Erase).empty());
  ASSERT_EQ(hook.Dialogs().size(), 1u);
  EXPECT_EQ(hook.Dialogs()[0].Text,
            L"Reading the flash contents to keep around the image failed (reading 304 bytes at "
            L"0x00000000 of target memory failed). Nothing was erased or written.");
  FTarget->Faults().BusErrorEnabled = false;
  ExpectRamRestored();
}

// A bus error while the RAM under the loader is saved: nothing may be
// written, neither the loader nor, later, a "restore" of what was never
// read; the user is told what happened.
TEST_F(TSimWriterTest, BusErrorWhileSavingRamFailsTheWriteAndLeavesRamByteIdentical) {
  struct TCase {
    const char* Name;
    uint32_t Address;
  };
  const TCase cases[] = {
      {"under the loader", 0x20000100},
      {"under the data buffer", 0x20000434 + 0x40},
  };
  for (const TCase& c : cases) {
    Make(8);
    const std::vector<uint32_t> flashBefore = Flash(0, 8192);
    TDialogHook hook;
    FTarget->Faults().BusErrorEnabled = true;
    FTarget->Faults().BusErrorAddress = c.Address;
    auto image = FakeImage(ImageOf(0, Pattern(1024, 21)));
    HRESULT hr = S_OK;
    InvokeInt(FWriter.Get(), 508719,
              {IntArg(0), ObjectArg(image.Get()), BoolArg(false), BoolArg(false), BoolArg(false),
               BoolArg(true)},
              &hr);
    FTarget->Faults().BusErrorEnabled = false;
    EXPECT_EQ(hr, E_UNEXPECTED) << c.Name;
    ASSERT_EQ(hook.Dialogs().size(), 1u) << c.Name;
    EXPECT_EQ(hook.Dialogs()[0].Caption, L"Error") << c.Name;
    const std::wstring& text = hook.Dialogs()[0].Text;
    EXPECT_EQ(text.find(L"The flash loader was not installed: saving the target RAM"), 0u)
        << c.Name;
    EXPECT_NE(text.find(L"target RAM is unchanged"), std::wstring::npos) << c.Name;
    EXPECT_TRUE(FTarget->Sram() == FSramBefore) << c.Name << ": target RAM changed";
    EXPECT_FALSE(FWriter->IsDriverInstalled()) << c.Name;
    EXPECT_TRUE(FTarget->Commands().empty()) << c.Name;
    EXPECT_TRUE(Flash(0, 8192) == flashBefore) << c.Name;
  }
}

TEST_F(TSimWriterTest, SecondInstallKeepsTheRamSavedByTheFirst) {
  Make(8);
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508717, {}), 1);
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508717, {}), 1);
  EXPECT_TRUE(FWriter->IsDriverInstalled());
  EXPECT_EQ(FTarget->CommandsOf(eRemoteCmd_Init).size(), 1u);
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508718, {}), 0);
  ExpectRamRestored();
}

// A restore that fails keeps what was saved: the host's next uninstall
// puts the user's RAM back instead of leaving the loader there.
TEST_F(TSimWriterTest, FailedRestoreIsToldAndTheNextUninstallRetriesIt) {
  Make(8);
  ASSERT_EQ(InvokeInt(FWriter.Get(), 508717, {}), 1);
  TDialogHook hook;
  FTarget->Faults().BusErrorEnabled = true;
  FTarget->Faults().BusErrorAddress = 0x20000434 + 0x80;
  HRESULT hr = S_OK;
  InvokeInt(FWriter.Get(), 508718, {}, &hr);
  FTarget->Faults().BusErrorEnabled = false;
  EXPECT_EQ(hr, E_UNEXPECTED);
  ASSERT_EQ(hook.Dialogs().size(), 1u);
  EXPECT_EQ(hook.Dialogs()[0].Text.find(L"Restoring the target RAM under the flash loader failed"),
            0u);
  EXPECT_TRUE(FWriter->IsDriverInstalled());
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508718, {}), 0);
  ExpectRamRestored();
}

TEST_F(TSimWriterTest, EraseEntireDeviceErasesAllFlash) {
  Make(8);
  Program(ImageOf(0, Pattern(8192, 11)));
  EXPECT_EQ(InvokeInt(FWriter.Get(), 508721, {IntArg(0)}), 0);
  EXPECT_EQ(FTarget->Commands().back().Code, 58u);
  EXPECT_TRUE(Flash(0, 8192) == std::vector<uint32_t>(8192, 0xFF));
  ExpectRamRestored();
}

} // namespace
