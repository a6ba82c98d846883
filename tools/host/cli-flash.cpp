#include "cli-flash.h"

#include "cli-common.h"
#include "cli-device.h"
#include "cli-part.h"
#include "fake-host-object.h"
#include "image-loaders.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace {

// The driver's and the flash writer's operations the verb uses.
constexpr DISPID kPauseProcessor = 503797, kProcessorIsPaused = 503800,
                 kGetSelectedFlashWriter = 508744, kGetIdCode = 503379;
constexpr DISPID kWriteFlashImage = 508719, kEraseEntireDevice = 508721,
                 kCompareFlashImage = 508724, kSetFlashWriterCallback = 508732;
// What the writer calls back on the host's objects.
constexpr DISPID kSetProgress = 508715, kGetAbortRequested = 508716, kGetTargetAddr = 508709,
                 kGetDataLen = 508711, kGetDataArrayItem = 508713;
// The writer's progress runs to this per operation.
constexpr int32_t kProgressFull = 1000;
constexpr int kBarWidth = 40;

// The loader statuses a user can act on, in the user's words.
struct TStatusText {
  int32_t Status;
  const wchar_t* Text;
};
constexpr TStatusText kStatusTexts[] = {
    {1, L"the flash writer refused the operation (loader not loaded or stopped)"},
    {8, L"a sector is not blank"},
    {9, L"a sector was not prepared for writing (flash protection?)"},
    {10, L"flash differs from the image"},
    {11, L"the flash loader did not finish in time (BUSY)"},
};

std::wstring StatusText(int32_t AStatus) {
  for (const TStatusText& row : kStatusTexts)
    if (row.Status == AStatus)
      return row.Text;
  return L"the flash loader answered status " + std::to_wstring(AStatus);
}

class EFlashVerb : public std::runtime_error {
public:
  explicit EFlashVerb(const std::wstring& AText) : std::runtime_error("flash"), Text(AText) {}
  std::wstring Text;
};

std::wstring Hex(uint32_t AValue) {
  return Widened(Hex8(AValue));
}

// Invokes with arguments in declaration order; the caller clears the answer.
// A failing call raises naming the operation.
VARIANT Invoke(IDispatch& AObject, DISPID ADispId, const wchar_t* AName,
               std::vector<VARIANT> AArgs = {}) {
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = InvokeInOrder(AObject, ADispId, std::move(AArgs), &result);
  if (FAILED(hr))
    throw EFlashVerb(std::wstring(AName) + L" failed (" + Hex(uint32_t(hr)) + L")");
  return result;
}

int32_t InvokeInt(IDispatch& AObject, DISPID ADispId, const wchar_t* AName,
                  std::vector<VARIANT> AArgs = {}) {
  VARIANT result = Invoke(AObject, ADispId, AName, std::move(AArgs));
  int32_t value = 0;
  if (V_VT(&result) == VT_BOOL)
    value = V_BOOL(&result) ? 1 : 0;
  else if (V_VT(&result) == VT_I4)
    value = V_I4(&result);
  else {
    VariantClear(&result);
    throw EFlashVerb(std::wstring(AName) + L" answered no number");
  }
  VariantClear(&result);
  return value;
}

TComPtr<IDispatch> InvokeObject(IDispatch& AObject, DISPID ADispId, const wchar_t* AName) {
  VARIANT result = Invoke(AObject, ADispId, AName);
  TComPtr<IDispatch> object;
  if (V_VT(&result) == VT_DISPATCH && V_DISPATCH(&result))
    object = TComPtr<IDispatch>(V_DISPATCH(&result));
  VariantClear(&result);
  return object;
}

// The host's image object the writer reads the block through, unit by unit.
TComPtr<TFakeHostObject> ImageObject(const TFlashBlock& ABlock) {
  auto image = TFakeHostObject::Create({L"IDataChunkImageInterface"});
  const TFlashBlock* block = &ABlock;
  image->OnCall(kGetTargetAddr, [block](TFakeInvocation& AInv) {
    AInv.ReturnInt(int32_t(block->Address));
    return S_OK;
  });
  image->OnCall(kGetDataLen, [block](TFakeInvocation& AInv) {
    AInv.ReturnInt(int32_t(block->Bytes.size()));
    return S_OK;
  });
  image->OnCall(kGetDataArrayItem, [block](TFakeInvocation& AInv) {
    const int32_t index = AInv.Int(0);
    if (index < 0 || size_t(index) >= block->Bytes.size())
      return DISP_E_BADINDEX;
    AInv.ReturnInt(block->Bytes[size_t(index)]);
    return S_OK;
  });
  return image;
}

// A bar redrawn in place while one operation runs.
class TProgressBar {
public:
  explicit TProgressBar(std::FILE* AOut) : FOut(AOut) {}
  void Start(std::wstring ACaption) {
    FCaption = std::move(ACaption);
    FShown = -1;
    Show(0);
  }
  void Show(int32_t AProgress) {
    const int32_t progress = std::clamp<int32_t>(AProgress, 0, kProgressFull);
    const int filled = int(progress * kBarWidth / kProgressFull);
    if (filled == FShown)
      return;
    FShown = filled;
    std::wstring line = L"\r" + FCaption + L" [";
    line.append(size_t(filled), L'#');
    line.append(size_t(kBarWidth - filled), L' ');
    line += L"] " + std::to_wstring(progress * 100 / kProgressFull) + L"%";
    WriteUtf8(FOut, line);
  }
  void Finish(bool ADone) {
    if (ADone)
      Show(kProgressFull);
    WriteUtf8(FOut, L"\n");
  }

private:
  std::FILE* FOut;
  std::wstring FCaption;
  int FShown = -1;
};

TComPtr<TFakeHostObject> CallbackObject(TProgressBar& ABar) {
  auto callback = TFakeHostObject::Create({L"IFlashWriterCallback"});
  callback->OnCall(kSetProgress, [&ABar](TFakeInvocation& AInv) {
    ABar.Show(AInv.Int(0));
    return S_OK;
  });
  callback->OnCall(kGetAbortRequested, [](TFakeInvocation& AInv) {
    AInv.ReturnBool(false);
    return S_OK;
  });
  return callback;
}

// Runs one writer operation under the bar; a non-zero status raises.
void RunStep(TProgressBar& ABar, const std::wstring& ACaption, const std::wstring& AFailure,
             const std::function<int32_t()>& AStep) {
  ABar.Start(ACaption);
  const int32_t status = AStep();
  ABar.Finish(status == 0);
  if (status != 0)
    throw EFlashVerb(AFailure + L": " + StatusText(status));
}

bool FileExists(const std::wstring& APath) {
  const DWORD attributes = GetFileAttributesW(APath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::vector<TFlashBlock> LoadFlashImage(const std::wstring& APath) {
  if (!FileExists(APath))
    throw EFlashVerb(L"cannot open image \"" + APath + L"\": no such file");
  // Byte by address: pieces may come in any order and overlap.
  std::map<uint32_t, uint8_t> bytes;
  std::wstring loaderError;
  const TLoaderErrorSink previous =
      SetLoaderErrorSink([&](const std::wstring& AMessage) { loaderError = AMessage; });
  bool loaded = false;
  try {
    loaded = LoadFile(APath, [&](int64_t AAddress, int64_t ASize, PMemoryArray ABuffer) {
      for (int64_t i = 0; i < ASize; ++i)
        bytes[uint32_t(AAddress + i)] = uint8_t(ABuffer[i]);
    });
  } catch (const Exception& e) {
    SetLoaderErrorSink(previous);
    throw EFlashVerb(L"cannot read image \"" + APath + L"\": " + e.Message());
  }
  SetLoaderErrorSink(previous);
  if (!loaded)
    throw EFlashVerb(L"\"" + APath + L"\" is not a valid image" +
                     (loaderError.empty() ? std::wstring() : L": " + loaderError));
  if (bytes.empty())
    throw EFlashVerb(L"\"" + APath + L"\" holds no data to program");

  std::vector<TFlashBlock> blocks;
  for (const auto& [address, value] : bytes) {
    if (blocks.empty() || blocks.back().Address + blocks.back().Bytes.size() != address)
      blocks.push_back({address, {}});
    blocks.back().Bytes.push_back(value);
  }
  return blocks;
}

int FlashDriver(IDispatch& ADriver, const std::wstring& AImagePath, const TFlashOptions& AOptions,
                std::FILE* AOut, std::FILE* AErr) {
  try {
    const std::vector<TFlashBlock> blocks = LoadFlashImage(AImagePath);
    size_t total = 0;
    for (const TFlashBlock& block : blocks)
      total += block.Bytes.size();
    WriteUtf8(AOut, std::to_wstring(total) + L" bytes in " + std::to_wstring(blocks.size()) +
                        L" block" + (blocks.size() == 1 ? L"" : L"s") + L" from " +
                        Hex(blocks[0].Address) + L"\n");

    // A core that cannot be stopped is not there to program.
    VARIANT paused = Invoke(ADriver, kPauseProcessor, L"halting the core");
    VariantClear(&paused);
    if (!InvokeInt(ADriver, kProcessorIsPaused, L"asking the core's state"))
      throw EFlashVerb(L"target is not responding: the core does not halt");

    TComPtr<IDispatch> writer =
        InvokeObject(ADriver, kGetSelectedFlashWriter, L"asking for the part's flash writer");
    if (!writer)
      throw EFlashVerb(L"the part has no flash writer");
    TProgressBar bar(AOut);
    TComPtr<TFakeHostObject> callback = CallbackObject(bar);
    InvokeInt(*writer.Get(), kSetFlashWriterCallback, L"SetFlashWriterCallback",
              {ObjectVariant(callback->Dispatch())});

    if (AOptions.EraseAll)
      RunStep(bar, L"erase  ", L"erasing the whole flash failed", [&] {
        return InvokeInt(*writer.Get(), kEraseEntireDevice, L"EraseEntireDevice", {IntVariant(0)});
      });
    for (const TFlashBlock& block : blocks) {
      const TComPtr<TFakeHostObject> image = ImageObject(block);
      const std::wstring where =
          Hex(block.Address) + L".." + Hex(block.Address + uint32_t(block.Bytes.size()) - 1);
      // Bytes of a touched sector outside the image keep their contents,
      // unless the whole flash was erased anyway.
      RunStep(bar, L"program", L"programming " + where + L" failed", [&] {
        return InvokeInt(*writer.Get(), kWriteFlashImage, L"WriteFlashImage",
                         {IntVariant(0), ObjectVariant(image->Dispatch()), BoolVariant(false),
                          BoolVariant(!AOptions.EraseAll), BoolVariant(false),
                          BoolVariant(AOptions.Verify)});
      });
      if (AOptions.Verify)
        RunStep(bar, L"verify ", L"verify failed at " + where, [&] {
          return InvokeInt(*writer.Get(), kCompareFlashImage, L"CompareFlashImage",
                           {IntVariant(0), ObjectVariant(image->Dispatch()),
                            IntVariant(int32_t(block.Address)),
                            IntVariant(int32_t(block.Bytes.size())), BoolVariant(false)});
        });
    }
    WriteUtf8(AOut, AOptions.Verify ? L"flash programmed and verified\n" : L"flash programmed\n");
    return 0;
  } catch (const EFlashVerb& e) {
    WriteUtf8(AErr, L"orvandel: " + e.Text + L"\n");
  } catch (const std::exception& e) {
    WriteUtf8(AErr,
              L"orvandel: " + std::wstring(e.what(), e.what() + std::strlen(e.what())) + L"\n");
  }
  return 1;
}

int FlashVerb(TPluginLibrary& APlugin, TTestHost& AHost,
              const std::vector<std::wstring>& AArguments, std::FILE* AOut, std::FILE* AErr,
              unsigned AChainPosition) {
  struct TSwitch {
    const wchar_t* Name;
    bool TFlashOptions::*Field;
    bool Value;
  };
  constexpr TSwitch kSwitches[] = {{L"--no-verify", &TFlashOptions::Verify, false},
                                   {L"--erase-all", &TFlashOptions::EraseAll, true}};
  TFlashOptions options;
  std::vector<std::wstring> positional;
  for (const std::wstring& argument : AArguments) {
    const auto it = std::find_if(std::begin(kSwitches), std::end(kSwitches),
                                 [&](const TSwitch& s) { return argument == s.Name; });
    if (it != std::end(kSwitches))
      options.*(it->Field) = it->Value;
    else if (argument.starts_with(L"--")) {
      WriteUtf8(AErr, L"orvandel: flash: unknown option " + argument + L"\n");
      return 1;
    } else
      positional.push_back(argument);
  }
  if (positional.size() != 2) {
    WriteUtf8(AErr, L"usage: orvandel flash <part> <image> [--no-verify] [--erase-all]\n");
    return 1;
  }
  try {
    int32_t kind = 0;
    IDispatch* driver = TakePartDriver(APlugin, positional[0], AErr, &kind);
    if (!driver)
      return 1;
    // Nothing is written unless the chain device answers as the part: a
    // driver bound to another device, or to none, would program the wrong
    // chip or nothing at all.
    const std::wstring name = CatalogueNames()[size_t(kind)];
    const uint32_t expectedCode = uint32_t(InvokeInt(*driver, kGetIdCode, L"GetIdCode"));
    const std::wstring expected = name + L"'s IDCODE " + Hex(expectedCode);
    const std::wstring where = L"chain position " + std::to_wstring(AChainPosition);
    TChainIdcode idcode;
    std::wstring found = L"no device";
    if (AChainPosition < AHost.DeviceCount()) {
      idcode = ReadChainIdcode(AHost, AChainPosition);
      found = DescribeIdcode(idcode);
    }
    if (!BindDriver(*driver, AHost, AChainPosition, AErr))
      throw EFlashVerb(L"refusing to flash: the " + name + L" driver is not bound to " + where +
                       L" (" + found + L")");
    if (!idcode.Answered || !SameChip(idcode.Code, expectedCode))
      throw EFlashVerb(L"refusing to flash: " + where + L" has " + found + L", not " + expected);
    WriteUtf8(AOut, name + L" bound to " + where + L": " + found + L"\n");
    return FlashDriver(*driver, positional[1], options, AOut, AErr);
  } catch (const EFlashVerb& e) {
    WriteUtf8(AErr, L"orvandel: " + e.Text + L"\n");
  } catch (const std::exception& e) {
    WriteUtf8(AErr,
              L"orvandel: " + std::wstring(e.what(), e.what() + std::strlen(e.what())) + L"\n");
  }
  return 1;
}
