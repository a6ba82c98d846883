// The Stellaris drivers as the host meets them: the plug-in loaded from the
// build's bin folder, drivers taken through its export, every answer read by
// DISPID; and drivers bound to the test host's chain device over the
// simulated chip.

#include "cli-device.h"
#include "device-catalogue.h"
#include "host-call.h"
#include "plugin-library.h"
#include "sim-scan-target.h"
#include "test-host.h"
#include "scratch-file.h"
#include "chunk-image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace {

// Device-information DISPIDs.
constexpr DISPID kIdCode = 503379, kDeviceName = 503380, kDeviceDescription = 503381,
                 kFamilyName = 503382, kFamilyDescription = 503383, kLibraryName = 503384,
                 kBaseName = 503386, kEquivalentGates = 503387, kMaxIO = 503388,
                 kPackageTypeId = 503389, kPackageTypeName = 503390,
                 kPackageTypeDescription = 503391, kPackageId = 503392, kPackageName = 503393,
                 kPackageDescription = 503394, kPackageDimensions = 503395, kTemperatureId = 503396,
                 kTemperatureName = 503397, kTemperatureDescription = 503398, kSpeedId = 503399,
                 kSpeedName = 503400, kSpeedDescription = 503401, kOptionId = 503402,
                 kOptionName = 503403, kOptionDescription = 503404, kBSDLFilename = 503405,
                 kBSDLEntity = 503406, kVendorName = 503407, kInstructionLength = 503408,
                 kPinCount = 503409, kIOCount = 503410, kDevicePin = 503411,
                 kDSPMultipliers = 503413, kClockManagers = 503414, kMemorySize = 503415,
                 kTermination = 503416, kGlobalClocks = 503417, kConfigMemory = 503418,
                 kDiffPairs = 503419, kHighSpeedDiffPairs = 503420, kIOStandardCount = 503421,
                 kIOStandard = 503422, kDeviceParameter = 503424;
// Driver DISPIDs.
constexpr DISPID kSetTarvoDevice = 503754, kBitmapHandle = 503756, kSupports = 503761,
                 kGetRegister = 503767, kPause = 503797, kIsPaused = 503800;
// Pin DISPIDs.
constexpr DISPID kPinNumber = 503525, kIOBank = 503526, kPinIOStandardCount = 503531,
                 kDifferentialId = 503545;
// The boundary-scan entity's file name.
constexpr DISPID kEntityFilename = 503489;
// The sixteen pin flags.
constexpr DISPID kPinFlags[] = {503527, 503528, 503529, 503530, 503533, 503534, 503535, 503536,
                                503537, 503538, 503539, 503540, 503541, 503542, 503543, 503544};
constexpr int32_t kPcIndex = 29;
// The driver's flash-writer list and the writer's operations.
constexpr DISPID kSelectedFlashWriter = 508744, kFlashWriterCount = 508745,
                 kWriterDeviceName = 508696, kWriterDeviceTitle = 508695, kWriteFlashImage = 508719,
                 kCompareFlashImage = 508724;

int KindOf(const wchar_t* AFullName) {
  const auto kind = FindDeviceKind(AFullName);
  return kind ? int(*kind) : -1;
}

// The plug-in and one test host for the whole program: the plug-in calls the
// host back through the program's exports while drivers are built.
class Plugin : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    CoInitialize(nullptr);
    FChip = new TSimChipTarget();
    FHost = new TTestHost(*FChip);
    FPlugin = new TPluginLibrary();
    FLoaded = FPlugin->Load(DefaultPluginPath());
  }
  static void TearDownTestSuite() {
    // Drivers live until the plug-in unloads; the host outlives them.
    delete FPlugin;
    delete FHost;
    delete FChip;
  }
  void SetUp() override { ASSERT_TRUE(FLoaded) << "the plug-in must load"; }

  // A new driver of a kind; the test asserts it is there.
  static IDispatch* Driver(int AKind) {
    IDispatch* driver = nullptr;
    EXPECT_EQ(FPlugin->GetTarvoDriver_Plugin(AKind, &driver), S_OK) << AKind;
    FDrivers.push_back(driver);
    return driver;
  }
  static std::wstring Text(IDispatch* AObject, DISPID ADispId,
                           std::initializer_list<THostArg> AArgs = {}) {
    THostResult result;
    EXPECT_EQ(HostCall(AObject, ADispId, AArgs, result), S_OK) << ADispId;
    EXPECT_EQ(result.Type(), VT_BSTR) << ADispId;
    return result.Text();
  }
  static int32_t Int(IDispatch* AObject, DISPID ADispId,
                     std::initializer_list<THostArg> AArgs = {}) {
    THostResult result;
    EXPECT_EQ(HostCall(AObject, ADispId, AArgs, result), S_OK) << ADispId;
    return result.Type() == VT_BOOL ? (result.Bool() ? 1 : 0) : result.Int();
  }
  // The object answered; the driver keeps it alive.
  static IDispatch* Object(IDispatch* AObject, DISPID ADispId,
                           std::initializer_list<THostArg> AArgs = {}) {
    THostResult result;
    EXPECT_EQ(HostCall(AObject, ADispId, AArgs, result), S_OK) << ADispId;
    EXPECT_TRUE(result.Type() == VT_DISPATCH || result.Type() == VT_EMPTY) << ADispId;
    return result.Object();
  }

  static inline TSimChipTarget* FChip = nullptr;
  static inline TTestHost* FHost = nullptr;
  static inline TPluginLibrary* FPlugin = nullptr;
  static inline bool FLoaded = false;
  static inline std::vector<IDispatch*> FDrivers;
};

// ---- the export -------------------------------------------------------------------

TEST_F(Plugin, CountsEveryKindOfTheCatalogue) {
  int32_t count = 0;
  ASSERT_EQ(FPlugin->GetTarvoDriverCount(&count), S_OK);
  EXPECT_EQ(count, 876);
}

TEST_F(Plugin, KindsOutsideTheCatalogueGiveAnEmptyDriverAndSuccess) {
  for (const int32_t kind : {-1, 876, INT_MIN, INT_MAX}) {
    IDispatch* driver = reinterpret_cast<IDispatch*>(0x1234);
    EXPECT_EQ(FPlugin->GetTarvoDriver_Plugin(kind, &driver), S_OK) << kind;
    EXPECT_EQ(driver, nullptr) << kind;
  }
}

TEST_F(Plugin, EveryCallMakesADistinctDriver) {
  IDispatch* first = Driver(0);
  IDispatch* second = Driver(0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(IdentityOf(first), IdentityOf(second));
  EXPECT_EQ(Text(first, kDeviceName), Text(second, kDeviceName));
}

TEST_F(Plugin, NullOutPointersAreRefusedBeforeAnythingIsMade) {
  EXPECT_EQ(FPlugin->GetTarvoDriverCount(nullptr), E_POINTER);
  EXPECT_EQ(FPlugin->GetTarvoDriver_Plugin(0, nullptr), E_POINTER);
}

// ---- device information by DISPID --------------------------------------------------

struct TAnswerCase {
  const wchar_t* Device;
  DISPID DispId;
  std::variant<const wchar_t*, int32_t> Expected;
};

const TAnswerCase kAnswers[] = {
    // The first row, every answer.
    {L"LM3S101-IQN20-C2", kDeviceName, L"LM3S101-IQN20-C2"},
    {L"LM3S101-IQN20-C2", kIdCode, int32_t(0x3BA00477)},
    {L"LM3S101-IQN20-C2", kDeviceDescription, L"TexasInstruments Stellaris100 LM3S101-IQN20-C2"},
    {L"LM3S101-IQN20-C2", kVendorName, L"TexasInstruments"},
    {L"LM3S101-IQN20-C2", kFamilyName, L"Stellaris100"},
    {L"LM3S101-IQN20-C2", kFamilyDescription, L"Stellaris Microcontroller"},
    {L"LM3S101-IQN20-C2", kLibraryName, L"TI Stellaris Microcontroller.Unilib"},
    {L"LM3S101-IQN20-C2", kBaseName, L"LM3S101"},
    {L"LM3S101-IQN20-C2", kEquivalentGates, 0},
    {L"LM3S101-IQN20-C2", kMaxIO, 18},
    {L"LM3S101-IQN20-C2", kPackageTypeId, L"QN"},
    {L"LM3S101-IQN20-C2", kPackageTypeName, L"LQFP"},
    {L"LM3S101-IQN20-C2", kPackageTypeDescription, L"48-Pin LQFP"},
    {L"LM3S101-IQN20-C2", kPackageId, L"QN48"},
    {L"LM3S101-IQN20-C2", kPackageName, L"LQFP48"},
    {L"LM3S101-IQN20-C2", kPackageDescription, L"48-Pin Low Profile Quad Flat Pack"},
    {L"LM3S101-IQN20-C2", kPackageDimensions, L"9 x 9 mm"},
    {L"LM3S101-IQN20-C2", kTemperatureId, L"I"},
    {L"LM3S101-IQN20-C2", kTemperatureName, L"Industrial Temperature"},
    {L"LM3S101-IQN20-C2", kTemperatureDescription, L"-40\u00B0C to +85\u00B0C"},
    {L"LM3S101-IQN20-C2", kSpeedId, L"20"},
    {L"LM3S101-IQN20-C2", kSpeedName, L"20"},
    {L"LM3S101-IQN20-C2", kSpeedDescription, L"20 MHz"},
    {L"LM3S101-IQN20-C2", kOptionId, L"C2"},
    {L"LM3S101-IQN20-C2", kOptionName, L"C2"},
    {L"LM3S101-IQN20-C2", kOptionDescription, L"Rev C0"},
    {L"LM3S101-IQN20-C2", kBSDLFilename, L"lm3s101_rc2_lqfp_v1p0.bsdl"},
    {L"LM3S101-IQN20-C2", kInstructionLength, 4},
    {L"LM3S101-IQN20-C2", kPinCount, 48},
    {L"LM3S101-IQN20-C2", kIOCount, 0},
    {L"LM3S101-IQN20-C2", kDiffPairs, 0},
    {L"LM3S101-IQN20-C2", kHighSpeedDiffPairs, 0},
    {L"LM3S101-IQN20-C2", kMemorySize, 8},
    {L"LM3S101-IQN20-C2", kDSPMultipliers, 0},
    {L"LM3S101-IQN20-C2", kClockManagers, 0},
    {L"LM3S101-IQN20-C2", kTermination, 0},
    {L"LM3S101-IQN20-C2", kGlobalClocks, 0},
    {L"LM3S101-IQN20-C2", kConfigMemory, 0},
    {L"LM3S101-IQN20-C2", kIOStandardCount, 0},
    // The last row.
    {L"LM3S9997-IBZ80-C5T", kDeviceName, L"LM3S9997-IBZ80-C5T"},
    {L"LM3S9997-IBZ80-C5T", kFamilyName, L"Stellaris9000"},
    {L"LM3S9997-IBZ80-C5T", kPackageId, L"BZ108"},
    {L"LM3S9997-IBZ80-C5T", kPackageName, L"BGA108"},
    {L"LM3S9997-IBZ80-C5T", kOptionDescription, L"Rev C2"},
    {L"LM3S9997-IBZ80-C5T", kBSDLFilename, L"lm3s9997_rc0_bga_v1p0.bsdl"},
    {L"LM3S9997-IBZ80-C5T", kMemorySize, 256},
    {L"LM3S9997-IBZ80-C5T", kPinCount, 108},
    {L"LM3S9997-IBZ80-C5T", kMaxIO, 60},
    // An extended-temperature row.
    {L"LM3S101-EQN20-C2", kTemperatureDescription, L"-40\u00B0C to +105\u00B0C"},
    // The BSDL exceptions of the 48-pin QFN rows and LM3S1969.
    {L"LM3S808-IGZ50-C2", kBSDLFilename, L"lm3s808_rc2_lqfp_v1p0.bsdl"},
    {L"LM3S811-EGZ50-C2T", kBSDLFilename, L"lm3s808_rc2_qfn_v1p0.bsdl"},
    {L"LM3S811-IGZ50-C2", kPackageName, L"QFN48"},
    {L"LM3S1969-IQC50-A2", kBSDLFilename, L"SPMM064_lm3s1968_ra2_lqfp_v1p0.bsdl"},
    {L"LM3S1969-IQC50-A2", kPinCount, 100},
    {L"LM3S1969-IQC50-A2", kMemorySize, 256},
    {L"LM3S1969-IQC50-A2", kOptionDescription, L"Rev A2"},
    // The one pin set of 101 pins.
    {L"LM3S5737-IQC50-A0", kPinCount, 101},
    {L"LM3S5737-IQC50-A0T", kPinCount, 101},
    {L"LM3S5737-IQC50-A0", kMemorySize, 128},
    {L"LM3S5737-IQC50-A0", kMaxIO, 61},
};

TEST_F(Plugin, DeviceInformationAnswersComeFromTheKindsRow) {
  for (const TAnswerCase& c : kAnswers) {
    const int kind = KindOf(c.Device);
    ASSERT_GE(kind, 0) << c.Device;
    IDispatch* driver = Driver(kind);
    ASSERT_NE(driver, nullptr) << c.Device;
    if (const auto* text = std::get_if<const wchar_t*>(&c.Expected))
      EXPECT_EQ(Text(driver, c.DispId), *text) << c.Device << " " << c.DispId;
    else
      EXPECT_EQ(Int(driver, c.DispId), std::get<int32_t>(c.Expected))
          << c.Device << " " << c.DispId;
  }
}

TEST_F(Plugin, FirstAndLastKindsAreTheCataloguesEnds) {
  EXPECT_EQ(Text(Driver(0), kDeviceName), L"LM3S101-IQN20-C2");
  EXPECT_EQ(Text(Driver(875), kDeviceName), L"LM3S9997-IBZ80-C5T");
}

TEST_F(Plugin, TheDegreeSignArrivesAsOneUtf16Unit) {
  const std::wstring text = Text(Driver(0), kTemperatureDescription);
  ASSERT_EQ(text.size(), std::wstring(L"-40 C to +85 C").size());
  EXPECT_EQ(text[3], wchar_t(0x00B0));
  EXPECT_EQ(text[12], wchar_t(0x00B0));
}

struct TParameterCase {
  const wchar_t* Device;
  const wchar_t* Name;
  const wchar_t* Expected;
};

const TParameterCase kParameters[] = {
    {L"LM3S811-IQN50-C2", L"processordevicename", L"LM3S811"},
    {L"LM3S817-IQN50-C2", L"ProcessorDeviceName", L"LM3S800"},
    {L"LM3S101-IQN20-C2", L"PROCESSORDEVICENAME", L"LM3S100"},
    {L"LM3S1969-IQC50-A2", L"ProcessorDeviceName", L"LM3S1000"},
    {L"LM3S9B96-IQC80-C5", L"ProcessorDeviceName", L"LM3S9B96"},
    {L"LM3S9997-IBZ80-C5T", L"ProcessorDeviceName", L"LM3S9000"},
    {L"LM3S811-IQN50-C2", L"Foo", L""},
    {L"LM3S811-IQN50-C2", L"ProcessorDeviceNameX", L""},
};

TEST_F(Plugin, DeviceParameterNamesTheReferencePartOnlyForItsKey) {
  for (const TParameterCase& c : kParameters) {
    const int kind = KindOf(c.Device);
    ASSERT_GE(kind, 0) << c.Device;
    EXPECT_EQ(Text(Driver(kind), kDeviceParameter, {ArgText(c.Name)}), c.Expected)
        << c.Device << " " << c.Name;
  }
}

// ---- pins and I/O standards -----------------------------------------------------------

TEST_F(Plugin, PinsAreMadeOnceAndAnswerTheirSetsEntries) {
  IDispatch* driver = Driver(0);
  IDispatch* first = Object(driver, kDevicePin, {ArgI4(0)});
  IDispatch* last = Object(driver, kDevicePin, {ArgI4(47)});
  ASSERT_NE(first, nullptr);
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(Text(first, kPinNumber), L"1");
  EXPECT_EQ(Text(last, kPinNumber), L"48");
  EXPECT_EQ(IdentityOf(Object(driver, kDevicePin, {ArgI4(0)})), IdentityOf(first));
  EXPECT_EQ(Text(first, kIOBank), L"");
  EXPECT_EQ(Int(first, kPinIOStandardCount), 0);
  for (const DISPID flag : kPinFlags)
    EXPECT_EQ(Int(last, flag), 0) << flag;
}

TEST_F(Plugin, PinIndexesOutsideTheSetAnswerAnEmptyPin) {
  IDispatch* driver = Driver(0);
  for (const int32_t index : {-1, 48, 107, 108, INT_MAX, INT_MIN}) {
    THostResult result;
    EXPECT_EQ(HostCall(driver, kDevicePin, {ArgI4(index)}, result), S_OK) << index;
    EXPECT_EQ(result.Object(), nullptr) << index;
  }
  // The pins made meanwhile are still the set's.
  EXPECT_EQ(Text(Object(driver, kDevicePin, {ArgI4(47)}), kPinNumber), L"48");
}

TEST_F(Plugin, PinSetsDifferByPackageLayout) {
  struct TPinCase {
    const wchar_t* Device;
    int32_t Index;
    const wchar_t* Number;
    const wchar_t* DiffId;
  };
  const TPinCase cases[] = {
      {L"LM3S1B21-IBZ80-C5", 0, L"A5", L""},
      {L"LM3S1B21-IBZ80-C5", 7, L"L12", L""},
      {L"LM3S1B21-IQC80-C5", 2, L"5", L""},
      {L"LM3S9792-IQC80-C5", 87, L"85", L"7"},
      {L"LM3S9792-IQC80-C5", 86, nullptr, L""},
      // A QFN row uses the 48-pin numbering of its base's LQFP set.
      {L"LM3S811-IGZ50-C2", 47, L"48", L""},
  };
  for (const TPinCase& c : cases) {
    const int kind = KindOf(c.Device);
    ASSERT_GE(kind, 0) << c.Device;
    IDispatch* pin = Object(Driver(kind), kDevicePin, {ArgI4(c.Index)});
    ASSERT_NE(pin, nullptr) << c.Device << " " << c.Index;
    if (c.Number) {
      EXPECT_EQ(Text(pin, kPinNumber), c.Number) << c.Device << " " << c.Index;
    }
    EXPECT_EQ(Text(pin, kDifferentialId), c.DiffId) << c.Device << " " << c.Index;
  }
}

TEST_F(Plugin, TheRepeatedPinOfTheOddSetIsListedTwice) {
  IDispatch* driver = Driver(KindOf(L"LM3S5737-IQC50-A0"));
  int seen = 0;
  for (int32_t i = 0; i < 101; ++i)
    if (Text(Object(driver, kDevicePin, {ArgI4(i)}), kPinNumber) == L"68")
      ++seen;
  EXPECT_EQ(seen, 2);
}

TEST_F(Plugin, NoKindListsAnIOStandard) {
  for (const int kind : {0, 437, 875}) {
    IDispatch* driver = Driver(kind);
    EXPECT_EQ(Int(driver, kIOStandardCount), 0) << kind;
    for (const int32_t index : {0, 1, -1}) {
      THostResult result;
      EXPECT_EQ(HostCall(driver, kIOStandard, {ArgI4(index)}, result), S_OK);
      EXPECT_EQ(result.Object(), nullptr) << kind << " " << index;
    }
  }
}

// ---- boundary scan, picture, tool chain ------------------------------------------------

TEST_F(Plugin, BSDLEntityIsTheRowsFileAndStaysTheSameObject) {
  for (const wchar_t* device : {L"LM3S101-IQN20-C2", L"LM3S811-IGZ50-C2", L"LM3S1969-IQC50-A2"}) {
    IDispatch* driver = Driver(KindOf(device));
    IDispatch* entity = Object(driver, kBSDLEntity);
    ASSERT_NE(entity, nullptr) << device;
    EXPECT_EQ(Text(entity, kEntityFilename), Text(driver, kBSDLFilename)) << device;
    EXPECT_EQ(IdentityOf(Object(driver, kBSDLEntity)), IdentityOf(entity)) << device;
  }
  // Each driver builds its own.
  EXPECT_NE(IdentityOf(Object(Driver(0), kBSDLEntity)), IdentityOf(Object(Driver(0), kBSDLEntity)));
}

TEST_F(Plugin, SupportsTheVorkantToolChainInAnyCase) {
  IDispatch* driver = Driver(0);
  struct TSupportsCase {
    const wchar_t* Feature;
    bool Expected;
  };
  const TSupportsCase cases[] = {
      {L"ToolchainName=vorkant arm", true},
      {L"ToolchainName=VORKANT ARM", true},
      {L"ToolchainName=VORKANT ARMX", false},
      {L"ToolchainName=OTHER", false},
      {L"PROC", true},
      {L"FPGA", false},
      {L"CPLD", false},
      {L"PROM", false},
  };
  for (const TSupportsCase& c : cases)
    EXPECT_EQ(Int(driver, kSupports, {ArgText(c.Feature)}) != 0, c.Expected) << c.Feature;
}

TEST_F(Plugin, BitmapHandleIsStableForADriver) {
  IDispatch* driver = Driver(0);
  const int32_t first = Int(driver, kBitmapHandle);
  EXPECT_EQ(Int(driver, kBitmapHandle), first);
}

// ---- memory map ---------------------------------------------------------------------

// The driver's constraint-file DISPID, and the memory information's and its
// logical sections' DISPIDs, which the driver passes on to its companion.
constexpr DISPID kSetConstraintFile = 503822, kDefaultRam = 503939, kDefaultFlash = 503940,
                 kArchitectureCount = 503941, kLogicalCount = 503942, kSectionStart = 503896,
                 kSectionSize = 503897, kSectionBusName = 503892;

// A device's map: a code bus and an SRAM bus, with the default flash and RAM
// sections of the given sizes on them.
std::string ConstraintText(uint32_t AFlashKB, uint32_t ASramKB) {
  return "Record=BUS_LAYOUT_INFO|Memory_BusName=Main|Memory_BusType=CODE|"
         "ProgramDownloadAddress=0x0000_0000|Memory_Depth=512m|Memory_Width=32\r\n"
         "Record=BUS_LAYOUT_INFO|Memory_BusName=Main|Memory_BusType=SRAM|"
         "ProgramDownloadAddress=0x2000_0000|Memory_Depth=512m|Memory_Width=32\r\n"
         "Record=TARVO_CORE|Memory_BusType=CODE|Default=True|Memory_Depth=" +
         std::to_string(AFlashKB) +
         "k|ProgramDownloadAddress=0x0|Memory_PhysicalType=Flash\r\n"
         "Record=TARVO_CORE|Memory_BusType=SRAM|Default=True|Memory_Depth=" +
         std::to_string(ASramKB) +
         "k|ProgramDownloadAddress=0x2000_0000|Memory_PhysicalType=RAM\r\n";
}

// Constraint files in a folder of this process's own, which the test host
// names as its embedded library folder, one of the places the drivers
// search; the files and the folder go with the test.
class MemoryMap : public Plugin {
protected:
  void SetUp() override {
    Plugin::SetUp();
    if (HasFatalFailure())
      return;
    wchar_t temp[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    FFolder =
        std::wstring(temp) + L"orvandel-memmap-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    ASSERT_TRUE(CreateDirectoryW(FFolder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    FHost->ClientApi().OnCall(787, [this](TFakeInvocation& AInvocation) {
      ++FFolderAsked;
      AInvocation.ReturnText(FFolder);
      return S_OK;
    });
  }
  void TearDown() override {
    FHost->ClientApi().OnCall(787, [](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(L"");
      return S_OK;
    });
    for (const std::wstring& file : FFiles)
      DeleteFileW(file.c_str());
    RemoveDirectoryW(FFolder.c_str());
  }
  std::wstring Add(const std::wstring& AName, const std::string& AText) {
    const std::wstring path = FFolder + AName;
    std::ofstream(path.c_str(), std::ios::binary) << AText;
    FFiles.push_back(path);
    return path;
  }
  // The size and start of the driver's default section answered by a DISPID.
  static std::pair<int32_t, int32_t> SizeAndStart(IDispatch* ADriver, DISPID ADefault) {
    IDispatch* section = Object(ADriver, ADefault);
    if (!section)
      return {-1, -1};
    return {Int(section, kSectionSize), Int(section, kSectionStart)};
  }

  std::wstring FFolder;
  std::vector<std::wstring> FFiles;
  int FFolderAsked = 0;
};

// Each kind finds its map by its own names, in the order of the search: the
// full name, the reference part, the base name, the family.
TEST_F(MemoryMap, EachKindReportsTheSectionsOfItsOwnConstraintFile) {
  struct TMapFile {
    const wchar_t* Name;
    uint32_t FlashKB, SramKB;
  };
  const TMapFile files[] = {
      {L"LM3S6965-IQC50-A2.Constraint", 256, 64},
      {L"Stellaris6000.Constraint", 128, 32},
      {L"LM3S100.Constraint", 8, 2},
      {L"LM3S817.Constraint", 64, 8},
      {L"Stellaris9000.Constraint", 256, 96},
  };
  for (const TMapFile& f : files)
    Add(f.Name, ConstraintText(f.FlashKB, f.SramKB));

  struct TMapCase {
    const wchar_t* Device;
    uint32_t FlashKB, SramKB;
  };
  const TMapCase cases[] = {
      // By the full name, ahead of its family's file.
      {L"LM3S6965-IQC50-A2", 256, 64},
      // Another of that family, without a file of its own.
      {L"LM3S6918-IQC50-A2", 128, 32},
      // By the reference part, LM3S100.
      {L"LM3S101-IQN20-C2", 8, 2},
      // By the base name: its reference part is LM3S800.
      {L"LM3S817-IQN50-C2", 64, 8},
      // By the family.
      {L"LM3S9997-IBZ80-C5T", 256, 96},
  };
  for (const TMapCase& c : cases) {
    const int kind = KindOf(c.Device);
    ASSERT_GE(kind, 0) << c.Device;
    IDispatch* driver = Driver(kind);
    ASSERT_NE(driver, nullptr) << c.Device;
    EXPECT_EQ(Int(driver, kArchitectureCount), 2) << c.Device;
    EXPECT_EQ(Int(driver, kLogicalCount), 2) << c.Device;
    EXPECT_EQ(SizeAndStart(driver, kDefaultFlash), std::make_pair(int32_t(c.FlashKB * 1024), 0))
        << c.Device;
    EXPECT_EQ(SizeAndStart(driver, kDefaultRam),
              std::make_pair(int32_t(c.SramKB * 1024), int32_t(0x20000000)))
        << c.Device;
    if (IDispatch* ram = Object(driver, kDefaultRam)) {
      EXPECT_EQ(Text(ram, kSectionBusName), L"Main") << c.Device;
    }
  }
}

// The search runs once, by the kind's names: the first name, the full one,
// is found in the host's folder the first time the folder is asked for.
TEST_F(MemoryMap, ConstructionSearchesOnceByTheKindsNames) {
  Add(L"LM3S6965-IQC50-A2.Constraint", ConstraintText(256, 64));
  FFolderAsked = 0;
  IDispatch* driver = Driver(KindOf(L"LM3S6965-IQC50-A2"));
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(FFolderAsked, 1);
  EXPECT_EQ(Int(driver, kLogicalCount), 2);
}

// The host's file replaces the kind's map; one that does not exist leaves
// the map empty rather than going back to the kind's own file.
TEST_F(MemoryMap, HostSetConstraintFileReplacesTheKindsMap) {
  Add(L"LM3S6965-IQC50-A2.Constraint", ConstraintText(256, 64));
  const std::wstring hostFile = Add(L"host-set.Constraint", ConstraintText(16, 4));
  IDispatch* driver = Driver(KindOf(L"LM3S6965-IQC50-A2"));
  ASSERT_NE(driver, nullptr);
  ASSERT_EQ(SizeAndStart(driver, kDefaultFlash).first, 256 * 1024);

  THostResult set;
  ASSERT_EQ(HostCall(driver, kSetConstraintFile, {ArgText(hostFile.c_str())}, set), S_OK);
  EXPECT_EQ(SizeAndStart(driver, kDefaultFlash).first, 16 * 1024);
  EXPECT_EQ(SizeAndStart(driver, kDefaultRam).first, 4 * 1024);

  const std::wstring missing = FFolder + L"missing.Constraint";
  ASSERT_EQ(HostCall(driver, kSetConstraintFile, {ArgText(missing.c_str())}, set), S_OK);
  EXPECT_EQ(Int(driver, kArchitectureCount), 0);
  EXPECT_EQ(Int(driver, kLogicalCount), 0);
  EXPECT_EQ(Object(driver, kDefaultFlash), nullptr);
}

// ---- bound to the simulated chip -------------------------------------------------------

// A sample across the families and flash sizes.
const wchar_t* const kSampleDevices[] = {
    L"LM3S101-IQN20-C2",  L"LM3S316-IGZ25-C2",   L"LM3S811-IQN50-C2",  L"LM3S1969-IQC50-A2",
    L"LM3S2965-IQC50-A2", L"LM3S3748-IQC50-A0",  L"LM3S5737-IQC50-A0", L"LM3S6965-IQC50-A2",
    L"LM3S8962-IQC50-A2", L"LM3S9997-IBZ80-C5T",
};

TEST_F(Plugin, BoundDriversIdentifyHaltAndReadThePc) {
  TTestJtagChannel& channel = FHost->Channel();
  for (const wchar_t* device : kSampleDevices) {
    const int kind = KindOf(device);
    if (kind < 0) {
      ADD_FAILURE() << "no row " << device;
      continue;
    }
    IDispatch* driver = Driver(kind);
    ASSERT_NE(driver, nullptr) << device;
    EXPECT_EQ(Int(driver, kSetTarvoDevice, {ArgObject(FHost->Device(0).Dispatch())}), 1) << device;

    // The chip's IDCODE, by the instruction the driver's entity names.
    IDispatch* entity = Object(driver, kBSDLEntity);
    ASSERT_NE(entity, nullptr) << device;
    channel.OpenChannel();
    channel.MoveToState(0, 1);
    channel.MoveToState(1, 2);
    channel.SendInstruction(IdcodeInstruction(entity), 0);
    channel.MoveToState(2, 5);
    const uint32_t idcode = uint32_t(channel.ShiftDataCapture(0, 32, 0));
    channel.MoveToState(6, 2);
    channel.CloseChannel();
    EXPECT_EQ(idcode, uint32_t(Int(driver, kIdCode))) << device;

    ASSERT_EQ(HostCall(driver, kPause), S_OK) << device;
    EXPECT_EQ(Int(driver, kIsPaused), 1) << device;
    const uint32_t pc = uint32_t(Int(driver, kGetRegister, {ArgI4(kPcIndex)}));
    EXPECT_EQ(pc, FChip->Sim().Chip().Core().GetPC()) << device;
  }
  EXPECT_TRUE(FHost->Errors().empty());
}

TEST_F(Plugin, EachKindGetsTheWriterOfItsFlashSize) {
  struct TWriterCase {
    const wchar_t* Device;
    const wchar_t* WriterName;
  };
  const TWriterCase cases[] = {
      {L"LM3S101-IQN20-C2", L"Stellaris Family/8K"},
      {L"LM3S316-IGZ25-C2", L"Stellaris Family/16K"},
      {L"LM3S5T36-IQR80-C5", L"Stellaris Family/32K"},
      {L"LM3S811-IQN50-C2", L"Stellaris Family/64K"},
      {L"LM3S2412-IQC25-A2", L"Stellaris Family/96K"},
      {L"LM3S5737-IQC50-A0", L"Stellaris Family/128K"},
      {L"LM3S9997-IBZ80-C5T", L"Stellaris Family/256K"},
  };
  for (const TWriterCase& c : cases) {
    const int kind = KindOf(c.Device);
    ASSERT_GE(kind, 0) << c.Device;
    IDispatch* driver = Driver(kind);
    EXPECT_EQ(Int(driver, kFlashWriterCount), 1) << c.Device;
    IDispatch* writer = Object(driver, kSelectedFlashWriter);
    ASSERT_NE(writer, nullptr) << c.Device;
    EXPECT_EQ(Text(writer, kWriterDeviceName), c.WriterName) << c.Device;
    EXPECT_EQ(Text(writer, kWriterDeviceTitle), L"Luminary Micro Stellaris Flash Memory")
        << c.Device;
  }
}

TEST_F(Plugin, BoundDriverWritesAndVerifiesAFlashImageOnTheChip) {
  IDispatch* driver = Driver(KindOf(L"LM3S9997-IQC80-C5"));
  ASSERT_NE(driver, nullptr);
  EXPECT_EQ(Int(driver, kSetTarvoDevice, {ArgObject(FHost->Device(0).Dispatch())}), 1);
  IDispatch* writer = Object(driver, kSelectedFlashWriter);
  ASSERT_NE(writer, nullptr);

  constexpr uint32_t kAddress = 0x1000;
  std::vector<uint8_t> data(1536);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = uint8_t(i * 7 + 3);
  TChunkImage image(kAddress, data);
  EXPECT_EQ(Int(writer, kWriteFlashImage,
                {ArgI4(0), ArgObject(&image), ArgBool(false), ArgBool(false), ArgBool(false),
                 ArgBool(true)}),
            0);
  const std::vector<uint8_t>& flash = FChip->Sim().Chip().Flash();
  ASSERT_GE(flash.size(), kAddress + data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), flash.begin() + kAddress));
  EXPECT_EQ(Int(writer, kCompareFlashImage,
                {ArgI4(0), ArgObject(&image), ArgI4(int32_t(kAddress)), ArgI4(int32_t(data.size())),
                 ArgBool(false)}),
            0);
  data[100] ^= 0xFF;
  TChunkImage changed(kAddress, data);
  EXPECT_NE(Int(writer, kCompareFlashImage,
                {ArgI4(0), ArgObject(&changed), ArgI4(int32_t(kAddress)),
                 ArgI4(int32_t(data.size())), ArgBool(false)}),
            0);
}

// ---- the command line's device verbs ---------------------------------------------------

// What a verb wrote to its two streams, as UTF-8.
struct TVerbRun {
  int Status = -1;
  std::string Out, Err;
};

std::string Contents(std::FILE* AFile) {
  std::fflush(AFile);
  std::rewind(AFile);
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, AFile)) > 0;)
    text.append(buffer, n);
  std::fclose(AFile);
  return text;
}

template <class F> TVerbRun RunVerb(F AVerb) {
  std::FILE* out = OpenScratchFile();
  std::FILE* err = OpenScratchFile();
  TVerbRun run;
  run.Status = AVerb(out, err);
  run.Out = Contents(out);
  run.Err = Contents(err);
  return run;
}

TEST_F(Plugin, InfoVerbShowsTheDriversAnswersForAPartInAnyCase) {
  const TVerbRun run = RunVerb([](std::FILE* AOut, std::FILE* AErr) {
    return InfoVerb(*FPlugin, L"lm3s101-iqn20-c2", AOut, AErr);
  });
  EXPECT_EQ(run.Status, 0) << run.Err;
  for (const char* line :
       {"Device name               LM3S101-IQN20-C2\n", "IDCODE                    0x3BA00477\n",
        "Temperature range         -40\xC2\xB0"
        "C to +85\xC2\xB0"
        "C\n",
        "BSDL file                 lm3s101_rc2_lqfp_v1p0.bsdl\n", "Pins                      48\n"})
    EXPECT_NE(run.Out.find(line), std::string::npos) << line << run.Out;
}

TEST_F(Plugin, InfoVerbNamesTheClosestPartsOfAnUnknownOne) {
  const TVerbRun run = RunVerb([](std::FILE* AOut, std::FILE* AErr) {
    return InfoVerb(*FPlugin, L"LM3S101-IQN20-C3", AOut, AErr);
  });
  EXPECT_EQ(run.Status, 1);
  EXPECT_TRUE(run.Out.empty());
  EXPECT_NE(run.Err.find("unknown part \"LM3S101-IQN20-C3\"; closest: LM3S101-IQN20-C2 "),
            std::string::npos)
      << run.Err;
}

TEST_F(Plugin, IdentifyVerbReadsTheChipsIdcodeThroughTheDriver) {
  const TVerbRun run = RunVerb([](std::FILE* AOut, std::FILE* AErr) {
    return IdentifyVerb(*FPlugin, *FHost, L"LM3S811-IQN50-C2", AOut, AErr);
  });
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out, "LM3S811-IQN50-C2: IDCODE 0x3BA00477 (expected 0x3BA00477) match\n");
}

TEST_F(Plugin, DevicesVerbListsEveryFullName) {
  const TVerbRun run =
      RunVerb([](std::FILE* AOut, std::FILE* AErr) { return DevicesVerb(*FPlugin, AOut, AErr); });
  EXPECT_EQ(run.Status, 0) << run.Err;
  EXPECT_EQ(run.Out.rfind("876 device kinds\n", 0), 0u) << run.Out.substr(0, 200);
  for (const char* name : {"LM3S101-IQN20-C2", "LM3S9997-IBZ80-C5T", "LM3S5737-IQC50-A0T"})
    EXPECT_NE(run.Out.find(name), std::string::npos) << name;
}

TEST(DeviceColumns, FillTopToBottomWithinTheWidth) {
  struct TColumnCase {
    std::vector<std::wstring> Names;
    size_t Width;
    const wchar_t* Expected;
  };
  const TColumnCase cases[] = {
      {{}, 20, L""},
      {{L"A", L"BB", L"CCC"}, 79, L"A    BB   CCC\n"},
      {{L"A", L"BB", L"CCC", L"D"}, 10, L"A    CCC\nBB   D\n"},
      // One name wider than the line still gets its own line.
      {{L"LONGNAME", L"X"}, 4, L"LONGNAME\nX\n"},
  };
  for (const TColumnCase& c : cases)
    EXPECT_EQ(FormatInColumns(c.Names, c.Width), c.Expected) << c.Width;
}

TEST(DeviceColumns, ClosestNamesRankByEditsIgnoringCase) {
  const std::vector<std::wstring> names = {L"LM3S101-IQN20-C2", L"LM3S102-IQN20-C2",
                                           L"LM3S101-IQN20-C2T", L"LM3S9997-IBZ80-C5T"};
  EXPECT_EQ(ClosestNames(names, L"lm3s101-iqn20-c2", 2),
            (std::vector<std::wstring>{L"LM3S101-IQN20-C2", L"LM3S102-IQN20-C2"}));
  EXPECT_EQ(ClosestNames(names, L"LM3S101-IQN20-X2T", 1),
            (std::vector<std::wstring>{L"LM3S101-IQN20-C2T"}));
  EXPECT_TRUE(ClosestNames({}, L"X").empty());
}

} // namespace
