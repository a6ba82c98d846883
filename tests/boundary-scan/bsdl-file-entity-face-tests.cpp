// GetBSDLEntity when the device's BSDL file is on disk: the entity is read
// from the file and its boundary register evaluated on the host's first
// question, all seen by DISPID; a file that cannot be read leaves the
// compiled-in record to answer.

#include "bsdl-entity-face.h"
#include "device-catalogue.h"
#include "host-call.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr DISPID kGetBSDLEntity = 503406;
constexpr DISPID kName = 503458, kBoundaryLength = 503461, kPin = 503462, kBoundaryCell = 503464,
                 kPinCount = 503467, kBoundaryCellCount = 503469, kOpCodeCount = 503470,
                 kPinTDI = 503472, kSample = 503479, kConformance = 503486, kFilename = 503489;
constexpr DISPID kPinName = 503491, kPinNumber = 503492, kPinCellCount = 503495, kPinCell = 503496;
constexpr DISPID kCellNumber = 503501, kCellKind = 503502, kPortId = 503503, kCellFunction = 503504,
                 kSafeBit = 503505, kControlCellNumber = 503506, kDisableValue = 503507,
                 kDisableResult = 503508, kCellPin = 503509, kTargetCell = 503511;

const std::wstring kVendorFile = L"" ORVANDEL_VENDOR_BSDL_FILE;

// A file in the temporary folder of this process's own: the trees' test
// programs run at once in one temporary folder.
std::filesystem::path TempFile(const std::string& AName) {
  return std::filesystem::temp_directory_path() /
         ("orvandel-" + std::to_string(GetCurrentProcessId()) + "-" + AName + ".bsd");
}

// A driver of kind 0's BSDL file whose file lookup answers what the test
// says, counting how often it is asked.
class TLocatingDriver final : public TAbstractDeviceInformation {
public:
  explicit TLocatingDriver(std::wstring AFound) : FFound(std::move(AFound)) {}

  HRESULT GetBSDLEntity(IBSDLEntity* AResult) override {
    return FBSDLEntities.GetBSDLEntity(DeviceBSDLName(0), AResult, [this] {
      ++Lookups;
      return FFound;
    });
  }

  int Lookups = 0;

private:
  std::wstring FFound;
  TBSDLEntitySlots FBSDLEntities;
};

TComPtr<IDispatch> EntityOf(TLocatingDriver* ADriver) {
  return HostObject(ADriver, kGetBSDLEntity);
}

TEST(BSDLFileEntityFace, AFoundFileIsReadAndItsRegisterEvaluatedOnTheFirstQuestion) {
  TComPtr<TLocatingDriver> driver(new TLocatingDriver(kVendorFile));
  TComPtr<IDispatch> entity = EntityOf(driver.Get());
  ASSERT_TRUE(entity);
  EXPECT_EQ(HostText(entity.Get(), kName), L"STM32F301_F302_LQFP48");
  EXPECT_EQ(HostText(entity.Get(), kFilename), kVendorFile);
  EXPECT_EQ(HostText(entity.Get(), kConformance), L"STD_1149_1_2001");
  EXPECT_EQ(HostInt(entity.Get(), kSample), 2);
  EXPECT_EQ(HostInt(entity.Get(), kOpCodeCount), 5);
  EXPECT_EQ(HostInt(entity.Get(), kPinCount), 48);
  TComPtr<IDispatch> tdi = HostObject(entity.Get(), kPinTDI);
  ASSERT_TRUE(tdi);
  EXPECT_EQ(HostText(tdi.Get(), kPinName), L"JTDI");
  EXPECT_EQ(HostText(tdi.Get(), kPinNumber), L"38");

  EXPECT_EQ(HostInt(entity.Get(), kBoundaryCellCount), 139);
  EXPECT_EQ(HostInt(entity.Get(), kBoundaryLength), 139);
  TComPtr<IDispatch> cell = HostObject(entity.Get(), kBoundaryCell, {IntArg(137)});
  ASSERT_TRUE(cell);
  EXPECT_EQ(HostInt(cell.Get(), kCellNumber), 137);
  EXPECT_EQ(HostInt(cell.Get(), kCellKind), eCellKind_BC_1);
  EXPECT_EQ(HostText(cell.Get(), kPortId), L"PC13");
  EXPECT_EQ(HostInt(cell.Get(), kCellFunction), eCellFunction_Output3);
  EXPECT_EQ(HostInt(cell.Get(), kSafeBit), eBit_X);
  EXPECT_EQ(HostInt(cell.Get(), kControlCellNumber), 138);
  EXPECT_EQ(HostInt(cell.Get(), kDisableValue), eBit_1);
  EXPECT_EQ(HostInt(cell.Get(), kDisableResult), eDisableResult_HiZ);
  TComPtr<IDispatch> pin = HostObject(cell.Get(), kCellPin);
  ASSERT_TRUE(pin);
  EXPECT_EQ(HostText(pin.Get(), kPinNumber), L"2");
  EXPECT_EQ(HostInt(pin.Get(), kPinCellCount), 2);
  TComPtr<IDispatch> control = HostObject(entity.Get(), kBoundaryCell, {IntArg(138)});
  TComPtr<IDispatch> target = HostObject(control.Get(), kTargetCell);
  ASSERT_TRUE(target);
  EXPECT_EQ(HostInt(target.Get(), kCellNumber), 137);
  EXPECT_FALSE(HostObject(entity.Get(), kBoundaryCell, {IntArg(139)}));

  // The same entity from then on; the disk is not asked again.
  EXPECT_TRUE(SameObject(entity.Get(), EntityOf(driver.Get()).Get()));
  EXPECT_EQ(driver->Lookups, 1);
}

// The host may ask a pin for its cells before it asks the entity anything
// of the register: the pin then sees the cells the register gives it.
TEST(BSDLFileEntityFace, APinAskedFirstForItsCellsSeesThem) {
  TComPtr<TLocatingDriver> driver(new TLocatingDriver(kVendorFile));
  TComPtr<IDispatch> entity = EntityOf(driver.Get());
  ASSERT_TRUE(entity);
  const int32_t count = HostInt(entity.Get(), kPinCount);
  TComPtr<IDispatch> pc13;
  for (int32_t i = 0; i < count && !pc13; ++i) {
    TComPtr<IDispatch> pin = HostObject(entity.Get(), kPin, {IntArg(i)});
    if (HostText(pin.Get(), kPinName) == L"PC13")
      pc13 = pin;
  }
  ASSERT_TRUE(pc13);
  EXPECT_EQ(HostInt(pc13.Get(), kPinCellCount), 2);
  TComPtr<IDispatch> cell = HostObject(pc13.Get(), kPinCell, {IntArg(1)});
  ASSERT_TRUE(cell);
  EXPECT_EQ(HostInt(cell.Get(), kCellNumber), 137);
}

struct TFallbackCase {
  const char* Name;
  const char* Text; // nullptr: no file at all
};

class BSDLFileFallback : public ::testing::TestWithParam<TFallbackCase> {};

TEST_P(BSDLFileFallback, LeavesTheCompiledInRecordToAnswer) {
  std::wstring path;
  if (GetParam().Text) {
    std::filesystem::path file = TempFile(GetParam().Name);
    std::ofstream(file, std::ios::binary) << GetParam().Text;
    path = file.wstring();
  }
  TComPtr<TLocatingDriver> driver(new TLocatingDriver(path));
  TComPtr<IDispatch> entity = EntityOf(driver.Get());
  ASSERT_TRUE(entity);
  EXPECT_EQ(HostText(entity.Get(), kName), L"LM3S101");
  EXPECT_EQ(HostInt(entity.Get(), kBoundaryCellCount), 40);
  if (!path.empty())
    std::filesystem::remove(std::filesystem::path(path));
}

INSTANTIATE_TEST_SUITE_P(Cases, BSDLFileFallback,
                         ::testing::Values(TFallbackCase{"NoFile", nullptr},
                                           TFallbackCase{
                                               "SyntaxError",
                                               "entity CHIP is\n  port (A : in bit\nend CHIP;\n"},
                                           TFallbackCase{"NoEntity", "-- nothing but a comment\n"}),
                         [](const auto& AInfo) { return std::string(AInfo.param.Name); });

// A register with a number left out answers an empty cell at that index,
// and the host's question does not fail.
TEST(BSDLFileEntityFace, AGapInTheRegisterIsAnEmptyCell) {
  std::filesystem::path file = TempFile("gap");
  std::ofstream(file, std::ios::binary)
      << "entity GAP is\n"
         "  port (A : inout bit);\n"
         "  constant PKG : PIN_MAP_STRING := \"A : 1\";\n"
         "  attribute BOUNDARY_LENGTH of GAP : entity is 3;\n"
         "  attribute BOUNDARY_REGISTER of GAP : entity is\n"
         "    \"0 (BC_1, *, control, 1), 2 (BC_1, A, output3, X, 0, 1, Z)\";\n"
         "end GAP;\n";
  TComPtr<TLocatingDriver> driver(new TLocatingDriver(file.wstring()));
  TComPtr<IDispatch> entity = EntityOf(driver.Get());
  ASSERT_TRUE(entity);
  EXPECT_EQ(HostText(entity.Get(), kName), L"GAP");
  EXPECT_EQ(HostInt(entity.Get(), kBoundaryCellCount), 3);
  EXPECT_TRUE(HostObject(entity.Get(), kBoundaryCell, {IntArg(0)}));
  EXPECT_FALSE(HostObject(entity.Get(), kBoundaryCell, {IntArg(1)}));
  TComPtr<IDispatch> output = HostObject(entity.Get(), kBoundaryCell, {IntArg(2)});
  ASSERT_TRUE(output);
  TComPtr<IDispatch> pin = HostObject(output.Get(), kCellPin);
  ASSERT_TRUE(pin);
  EXPECT_EQ(HostText(pin.Get(), kPinNumber), L"1");
  EXPECT_EQ(HostText(HostObject(entity.Get(), kPin, {IntArg(0)}).Get(), kPinName), L"A");
  std::filesystem::remove(file);
}

} // namespace
