// The part lookup every verb shares, on a stand-in plug-in whose drivers are
// fake host objects over the simulated chain: a verb takes a chip name for
// its first variant and makes exactly one driver; flash refuses a chain
// device that is not the part before it asks anything of the driver's
// flash writer; and the origin of a part's pin and boundary-scan data.

#include "cli-debug.h"
#include "cli-device.h"
#include "cli-flash.h"
#include "cli-part.h"
#include "device-catalogue.h"
#include "fake-host-object.h"
#include "sim-scan-target.h"
#include "test-host.h"
#include "scratch-file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <regex>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr DISPID kIdCode = 503379, kDeviceName = 503380, kSetTarvoDevice = 503754,
                 kPauseProcessor = 503797, kGetSelectedFlashWriter = 508744;

std::string Contents(std::FILE* AFile) {
  std::string text;
  std::rewind(AFile);
  for (int c = std::fgetc(AFile); c != EOF; c = std::fgetc(AFile))
    text += char(c);
  return text;
}

// The plug-in's two exports, answered by fake drivers that tell their
// catalogue name and the Stellaris IDCODE and accept or refuse a binding.
struct TFakePlugin {
  static inline std::vector<int32_t> Kinds; // every kind a driver was made for
  static inline std::vector<TComPtr<TFakeHostObject>> Drivers;
  static inline bool AcceptBinding = true;

  static HRESULT __stdcall Count(int32_t* ACount) {
    *ACount = DeviceKindCount;
    return S_OK;
  }
  static HRESULT __stdcall Driver(int32_t AKind, IDispatch** ADriver) {
    Kinds.push_back(AKind);
    auto driver = TFakeHostObject::Create();
    driver->SetStrict(false);
    driver->OnCall(kDeviceName, [AKind](TFakeInvocation& AInv) {
      AInv.ReturnText(std::wstring(DeviceFullName(AKind)));
      return S_OK;
    });
    driver->OnCall(kIdCode, [](TFakeInvocation& AInv) {
      AInv.ReturnInt(0x3BA00477);
      return S_OK;
    });
    driver->OnCall(kSetTarvoDevice, [](TFakeInvocation& AInv) {
      AInv.ReturnBool(AcceptBinding);
      return S_OK;
    });
    driver->AddRef();
    *ADriver = driver->Dispatch();
    Drivers.push_back(driver);
    return S_OK;
  }
};

class FakePlugin : public ::testing::Test {
public:
  TSimChipTarget Target;
  TTestHost Host{Target};
  TPluginLibrary Plugin;
  std::string Out, Err;

  void SetUp() override {
    TFakePlugin::Kinds.clear();
    TFakePlugin::Drivers.clear();
    TFakePlugin::AcceptBinding = true;
    Plugin.GetTarvoDriverCount = &TFakePlugin::Count;
    Plugin.GetTarvoDriver_Plugin = &TFakePlugin::Driver;
  }
  int Run(const std::function<int(std::FILE*, std::FILE*)>& AVerb) {
    std::FILE* out = OpenScratchFile();
    std::FILE* err = OpenScratchFile();
    const int status = AVerb(out, err);
    Out = Contents(out);
    Err = Contents(err);
    std::fclose(out);
    std::fclose(err);
    return status;
  }
  // Whether the only driver made was asked for ADispId.
  bool DriverWasAsked(DISPID ADispId) const {
    for (const TFakeCall& call : TFakePlugin::Drivers.at(0)->Calls())
      if (call.DispId == ADispId)
        return true;
    return false;
  }
};

// The first catalogue row of a chip, found without the code under test.
int32_t FirstVariant(std::wstring_view AChip) {
  for (int32_t kind = 0; kind < DeviceKindCount; ++kind)
    if (DeviceFullName(kind).starts_with(std::wstring(AChip) + L"-"))
      return kind;
  return -1;
}

std::wstring ImageFile() {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  // Named by process: the test programs of both architectures share one
  // temporary folder and may run at once.
  const std::wstring path =
      std::wstring(dir) + L"orvandel-cli-part-" + std::to_wstring(GetCurrentProcessId()) + L".hex";
  std::ofstream(path.c_str()) << ":0400000000010203F6\n:00000001FF\n";
  return path;
}

TEST_F(FakePlugin, EveryVerbTakesAChipNameAndMakesOneDriver) {
  const int32_t lm3s811 = FirstVariant(L"LM3S811");
  ASSERT_GE(lm3s811, 0);
  const std::wstring image = ImageFile();
  struct TCase {
    const char* Verb;
    std::function<int(FakePlugin&, std::FILE*, std::FILE*)> Run;
  };
  const TCase cases[] = {
      {"info", [](FakePlugin& T, std::FILE* AOut,
                  std::FILE* AErr) { return InfoVerb(T.Plugin, L"lm3s811", AOut, AErr); }},
      {"identify",
       [](FakePlugin& T, std::FILE* AOut, std::FILE* AErr) {
         return IdentifyVerb(T.Plugin, T.Host, L"LM3S811", AOut, AErr);
       }},
      {"flash",
       [&](FakePlugin& T, std::FILE* AOut, std::FILE* AErr) {
         return FlashVerb(T.Plugin, T.Host, {L"LM3S811", image}, AOut, AErr);
       }},
      {"halt",
       [](FakePlugin& T, std::FILE* AOut, std::FILE* AErr) {
         return DebugPartVerb(T.Plugin, T.Host, L"halt", {L"LM3S811"}, AOut, AErr);
       }},
      {"bind",
       [](FakePlugin& T, std::FILE*, std::FILE* AErr) {
         IDispatch* driver = BindPartDriver(T.Plugin, T.Host, L"Lm3s811", AErr);
         if (driver)
           driver->Release();
         return driver ? 0 : 1;
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Verb);
    SetUp();
    Run([&](std::FILE* AOut, std::FILE* AErr) { return c.Run(*this, AOut, AErr); });
    // The fake drivers answer little, so a verb may fail later on; it must
    // not fail to find the part, and must make no driver but the part's.
    EXPECT_EQ(Err.find("unknown part"), std::string::npos) << Err;
    EXPECT_EQ(TFakePlugin::Kinds, std::vector<int32_t>{lm3s811});
  }
  DeleteFileW(image.c_str());
}

TEST_F(FakePlugin, UnknownPartMakesNoDriverAndNamesTheClosest) {
  EXPECT_EQ(Run([&](std::FILE* AOut, std::FILE* AErr) {
              return DebugPartVerb(Plugin, Host, L"halt", {L"LM3S696"}, AOut, AErr);
            }),
            1);
  EXPECT_NE(Err.find("unknown part \"LM3S696\"; closest:"), std::string::npos) << Err;
  EXPECT_NE(Err.find("LM3S6965"), std::string::npos) << Err;
  EXPECT_TRUE(TFakePlugin::Kinds.empty());
}

// The simulated chain holds the Stellaris debug port at position 0 and
// another device (IDCODE 0x0A0B0C0D) at position 1.
TEST_F(FakePlugin, FlashRefusesAChainDeviceThatIsNotThePartAndNamesWhatItFound) {
  const std::wstring image = ImageFile();
  struct TCase {
    const char* Name;
    unsigned Position;
    bool AcceptBinding;
    bool TdoStuck;
    const char* Message;
  };
  const TCase cases[] = {
      {"binding refused", 0, false, false,
       "refusing to flash: the LM3S811-[A-Z0-9-]+ driver is not bound to chain position 0 "
       "\\(IDCODE 0x3BA00477 \\(manufacturer 0x23B, part 0xBA00, version 3\\)\\)"},
      {"no IDCODE", 0, true, true,
       "refusing to flash: chain position 0 has no IDCODE \\(it reads 0xFFFFFFFF\\), not "
       "LM3S811-[A-Z0-9-]+'s IDCODE 0x3BA00477"},
      {"another device", 1, true, false,
       "refusing to flash: chain position 1 has IDCODE 0x0A0B0C0D \\(manufacturer 0x606, part "
       "0xA0B0, version 0\\), not LM3S811-[A-Z0-9-]+'s IDCODE 0x3BA00477"},
      {"past the chain", 2, true, false,
       "there is no device at chain position 2 \\(the JTAG chain has 2 devices\\)"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    SetUp();
    TFakePlugin::AcceptBinding = c.AcceptBinding;
    Target.Sim().Faults().TdoStuckHigh = c.TdoStuck;
    EXPECT_EQ(Run([&](std::FILE* AOut, std::FILE* AErr) {
                return FlashVerb(Plugin, Host, {L"LM3S811", image}, AOut, AErr, c.Position);
              }),
              1);
    EXPECT_TRUE(std::regex_search(Err, std::regex(c.Message))) << Err;
    EXPECT_EQ(Out.find("bound to"), std::string::npos) << Out;
    // Refused before the core or the flash writer was touched.
    EXPECT_FALSE(DriverWasAsked(kPauseProcessor));
    EXPECT_FALSE(DriverWasAsked(kGetSelectedFlashWriter));
  }
  Target.Sim().Faults().TdoStuckHigh = false;

  // The part itself is reported and flashing goes on to halt the core.
  SetUp();
  Run([&](std::FILE* AOut, std::FILE* AErr) {
    return FlashVerb(Plugin, Host, {L"LM3S811", image}, AOut, AErr);
  });
  EXPECT_TRUE(std::regex_search(
      Out, std::regex("^LM3S811-[A-Z0-9-]+ bound to chain position 0: IDCODE 0x3BA00477")))
      << Out;
  EXPECT_TRUE(DriverWasAsked(kPauseProcessor));
  DeleteFileW(image.c_str());
}

TEST(PartDataOrigin, GeneratedUnlessTheVendorsFileWasCompiledIn) {
  const int32_t kind = FirstVariant(L"LM3S811");
  ASSERT_GE(kind, 0);
  std::wstring_view pinSet = TPinSetNames[DeviceRecord(kind).PinSet];
  pinSet.remove_prefix(std::wstring_view(L"ePinSet_").size());
  const std::wstring_view bsdl = DeviceBSDLName(kind);
  const std::wstring_view none[] = {L""};
  const std::wstring_view bsdlListed[] = {L"other.bsd", bsdl, L""};
  const std::wstring_view pinsListed[] = {pinSet, L""};
  struct TCase {
    const char* Name;
    std::span<const std::wstring_view> Bsdl, Pins;
    bool BsdlFromVendor, PinsFromVendor;
  };
  const TCase cases[] = {
      {"nothing from the vendor", none, none, false, false},
      {"the vendor's BSDL file", bsdlListed, none, true, false},
      {"the vendor's pin-out", none, pinsListed, false, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const TPartDataOrigin origin = PartDataOrigin(kind, c.Bsdl, c.Pins);
    EXPECT_EQ(origin.BoundaryScanFromVendor, c.BsdlFromVendor);
    EXPECT_EQ(origin.PinsFromVendor, c.PinsFromVendor);
    EXPECT_EQ(origin.BoundaryScanText().find(L"generated from the package rules") !=
                  std::wstring::npos,
              !c.BsdlFromVendor);
    EXPECT_EQ(origin.PinsText().find(L"generated from the package rules") != std::wstring::npos,
              !c.PinsFromVendor);
  }
}

} // namespace
