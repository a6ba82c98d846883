// GetBSDLEntity (DISPID 503406) of a driver, and the entity it hands out,
// read as the host reads it: by DISPID through Invoke.

#include "bsdl-entity-face.h"
#include "bsdl-entity-builder.h"
#include "device-catalogue.h"
#include "host-call.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

namespace {

constexpr DISPID kGetBSDLEntity = 503406;

// A driver of one BSDL file, answering GetBSDLEntity the way the Stellaris
// driver does: one line over its own slots.
class TTestDriver final : public TAbstractDeviceInformation {
public:
  explicit TTestDriver(std::wstring ABSDLFilename,
                       std::span<const TBSDLRecord> ARecords = TBSDLParameters)
      : FBSDLFilename(std::move(ABSDLFilename)), FBSDLEntities(ARecords) {}

  HRESULT GetBSDLFilename(std::wstring* AResult) override {
    *AResult = FBSDLFilename;
    return S_OK;
  }
  HRESULT GetBSDLEntity(IBSDLEntity* AResult) override {
    return FBSDLEntities.GetBSDLEntity(FBSDLFilename, AResult);
  }

private:
  std::wstring FBSDLFilename;
  TBSDLEntitySlots FBSDLEntities;
};

TComPtr<TTestDriver> DriverOfKind(int AKind) {
  return TComPtr<TTestDriver>(new TTestDriver(std::wstring(DeviceBSDLName(AKind))));
}

TComPtr<IDispatch> EntityOf(IDispatch* ADriver) {
  return HostObject(ADriver, kGetBSDLEntity);
}

// The entity of device kind 0 ("lm3s101_rc2_lqfp_v1p0.bsdl").
class KindZeroEntityFace : public ::testing::Test {
protected:
  TComPtr<TTestDriver> FDriver = DriverOfKind(0);
  TComPtr<IDispatch> FEntity = EntityOf(FDriver.Get());

  TComPtr<IDispatch> Cell(int32_t AIndex) {
    return HostObject(FEntity.Get(), 503464, {IntArg(AIndex)});
  }
  TComPtr<IDispatch> OpCode(int32_t AIndex) {
    return HostObject(FEntity.Get(), 503465, {IntArg(AIndex)});
  }
  TComPtr<IDispatch> PinNumbered(const std::wstring& ANumber) {
    const int32_t count = HostInt(FEntity.Get(), 503467);
    for (int32_t i = 0; i < count; ++i) {
      TComPtr<IDispatch> pin = HostObject(FEntity.Get(), 503462, {IntArg(i)});
      if (HostText(pin.Get(), 503492) == ANumber)
        return pin;
    }
    return {};
  }
};

TEST_F(KindZeroEntityFace, TwoRequestsAnswerTheSameEntityObject) {
  ASSERT_TRUE(FEntity);
  TComPtr<IDispatch> again = EntityOf(FDriver.Get());
  EXPECT_TRUE(SameObject(FEntity.Get(), again.Get()));
  // Another driver of the same file builds its own.
  TComPtr<TTestDriver> other = DriverOfKind(0);
  EXPECT_FALSE(SameObject(FEntity.Get(), EntityOf(other.Get()).Get()));
}

TEST_F(KindZeroEntityFace, AnswersTheRecordByDispId) {
  ASSERT_TRUE(FEntity);
  EXPECT_TRUE(HostSupports(FEntity.Get(), L"BSDLEntity"));
  EXPECT_EQ(HostText(FEntity.Get(), 503458), L"LM3S101");
  EXPECT_EQ(HostText(FEntity.Get(), 503489), L"lm3s101_rc2_lqfp_v1p0.bsdl");
  EXPECT_EQ(HostInt(FEntity.Get(), 503469), 40);
  EXPECT_EQ(HostInt(FEntity.Get(), 503461), 40);
  EXPECT_EQ(HostInt(FEntity.Get(), 503467), 48);
  EXPECT_EQ(HostInt(FEntity.Get(), 503470), 16);
  EXPECT_EQ(HostInt(FEntity.Get(), 503471), 0);
  EXPECT_EQ(HostInt(FEntity.Get(), 503479), 2);
  EXPECT_EQ(HostInt(FEntity.Get(), 503477), -1); // not in the record: undefined
  EXPECT_EQ(HostInt(FEntity.Get(), 503485), eScanClockHaltMode_Both);
  EXPECT_EQ(HostText(FEntity.Get(), 503486), L"STD_1149_1_1993");
  TVariant speed;
  ASSERT_EQ(HostInvoke(FEntity.Get(), 503484, speed), S_OK);
  ASSERT_EQ(V_VT(&speed.Get()), VT_R8);
  EXPECT_EQ(V_R8(&speed.Get()), 10000000.0);

  struct TTap {
    DISPID DispId;
    const wchar_t* PinNumber;
  };
  const TTap taps[] = {
      {503472, L"38"}, {503473, L"37"}, {503474, L"39"}, {503475, L"40"}, {503476, L"41"},
  };
  for (const TTap& t : taps) {
    TComPtr<IDispatch> pin = HostObject(FEntity.Get(), t.DispId);
    ASSERT_TRUE(pin) << t.DispId;
    EXPECT_EQ(HostText(pin.Get(), 503492), t.PinNumber) << t.DispId;
  }
}

TEST_F(KindZeroEntityFace, BypassPositionsAreOneObjectWithTheFirstPattern) {
  const std::set<int> bypass = {3, 4, 5, 6, 7, 9, 12, 13, 15};
  TComPtr<IDispatch> first = OpCode(3);
  ASSERT_TRUE(first);
  EXPECT_EQ(HostText(first.Get(), 503513), L"BYPASS");
  EXPECT_EQ(HostText(first.Get(), 503514), L"0011");
  for (int i = 0; i < 16; ++i) {
    TComPtr<IDispatch> opCode = OpCode(i);
    ASSERT_TRUE(opCode) << i;
    EXPECT_EQ(SameObject(opCode.Get(), first.Get()), bypass.count(i) == 1) << i;
  }
  EXPECT_EQ(HostText(OpCode(14).Get(), 503427), L"IDCODE(1110)");
  EXPECT_FALSE(OpCode(16));
}

TEST_F(KindZeroEntityFace, ControlAndTargetCellsLinkByDispId) {
  struct TCase {
    int32_t Cell;
    int32_t Control; // -1: none
    int32_t Target;
  };
  const TCase cases[] = {{0, -1, 1}, {1, 0, -1}, {2, -1, -1}};
  for (const TCase& c : cases) {
    TComPtr<IDispatch> cell = Cell(c.Cell);
    ASSERT_TRUE(cell) << c.Cell;
    EXPECT_EQ(HostInt(cell.Get(), 503501), c.Cell);
    TComPtr<IDispatch> control = HostObject(cell.Get(), 503510);
    TComPtr<IDispatch> target = HostObject(cell.Get(), 503511);
    EXPECT_EQ(control ? HostInt(control.Get(), 503501) : -1, c.Control) << c.Cell;
    EXPECT_EQ(target ? HostInt(target.Get(), 503501) : -1, c.Target) << c.Cell;
  }
  EXPECT_TRUE(SameObject(HostObject(Cell(1).Get(), 503510).Get(), Cell(0).Get()));
}

TEST_F(KindZeroEntityFace, PinThirtyFourHasCellsOneAndTwoAndAMappingWithoutScanPin) {
  TComPtr<IDispatch> pin = PinNumbered(L"34");
  ASSERT_TRUE(pin);
  EXPECT_EQ(HostText(pin.Get(), 503491), L"PB3");
  ASSERT_EQ(HostInt(pin.Get(), 503495), 2);
  EXPECT_TRUE(SameObject(HostObject(pin.Get(), 503496, {IntArg(0)}).Get(), Cell(1).Get()));
  EXPECT_TRUE(SameObject(HostObject(pin.Get(), 503496, {IntArg(1)}).Get(), Cell(2).Get()));
  EXPECT_TRUE(SameObject(HostObject(Cell(1).Get(), 503509).Get(), pin.Get()));
  TComPtr<IDispatch> mapping = HostObject(pin.Get(), 503494);
  ASSERT_TRUE(mapping);
  EXPECT_EQ(HostText(mapping.Get(), 503498), L"PB3");
  EXPECT_EQ(HostText(mapping.Get(), 503499), L"34");
  EXPECT_FALSE(HostObject(mapping.Get(), 503500));
}

TEST(BSDLEntityFace, ARecordWithoutTRSTGivesAnEmptyTRSTPin) {
  int kind = -1;
  for (int k = 0; k < DeviceKindCount && kind < 0; ++k) {
    const TBSDLRecord& r = TBSDLParameters[BSDLNameIndex(DeviceBSDLName(k))];
    if (!r.PinNumber_TRST || !*r.PinNumber_TRST)
      kind = k;
  }
  ASSERT_GE(kind, 0);
  TComPtr<TTestDriver> driver = DriverOfKind(kind);
  TComPtr<IDispatch> entity = EntityOf(driver.Get());
  ASSERT_TRUE(entity);
  EXPECT_FALSE(HostObject(entity.Get(), 503476));
  EXPECT_TRUE(HostObject(entity.Get(), 503472));
}

TEST(BSDLEntityFace, FileNamesMatchIgnoringCaseAndAnUnknownOneGivesNoEntity) {
  struct TCase {
    const wchar_t* Name;
    const wchar_t* ExpectedFile; // nullptr: no entity
  };
  const TCase cases[] = {
      {L"LM3S101_RC2_LQFP_V1P0.BSDL", L"lm3s101_rc2_lqfp_v1p0.bsdl"},
      {L"spmm113A_LM3S6965_ra2_lqfp_v1p1.bsdl", L"spmm113a_lm3s6965_ra2_lqfp_v1p1.bsdl"},
      {L"lm3s101_rc2_lqfp_v1p0", nullptr},
      {L"", nullptr},
  };
  for (const TCase& c : cases) {
    TComPtr<TTestDriver> driver(new TTestDriver(c.Name));
    TVariant v;
    ASSERT_EQ(HostInvoke(driver.Get(), kGetBSDLEntity, v), S_OK);
    ASSERT_EQ(V_VT(&v.Get()), VT_DISPATCH);
    IDispatch* entity = V_DISPATCH(&v.Get());
    if (!c.ExpectedFile) {
      EXPECT_EQ(entity, nullptr);
      continue;
    }
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(HostText(entity, 503489), c.ExpectedFile);
  }
}

// Builds from a copy of record 0 that a test may spoil.
TEST(BSDLEntityFace, AFailedBuildAnswersUnexpectedAndTheNextBuildsAfresh) {
  auto record = std::make_unique<TBSDLRecord>(TBSDLParameters[0]);
  // Fails after every cell and pin was made: cell 1 names a missing control.
  record->BoundaryCells[1].ControlCellNumber = 999;
  TComPtr<TTestDriver> driver(
      new TTestDriver(record->Filename, std::span<const TBSDLRecord>(record.get(), 1)));

  TVariant failed;
  EXPECT_EQ(HostInvoke(driver.Get(), kGetBSDLEntity, failed), E_UNEXPECTED);

  record->BoundaryCells[1].ControlCellNumber = 0;
  TComPtr<IDispatch> entity = EntityOf(driver.Get());
  ASSERT_TRUE(entity);
  EXPECT_EQ(HostInt(entity.Get(), 503469), 40);
  EXPECT_EQ(HostInt(entity.Get(), 503467), 48);
  TComPtr<IDispatch> cell1 = HostObject(entity.Get(), 503464, {IntArg(1)});
  EXPECT_EQ(HostInt(HostObject(cell1.Get(), 503510).Get(), 503501), 0);

  // Every part belongs to the new entity: none is left over from the
  // abandoned build.
  TComPtr<IDispatch> entityFace = HostObject(cell1.Get(), 503429);
  ASSERT_TRUE(entityFace);
  for (int32_t i = 0; i < 40; ++i) {
    TComPtr<IDispatch> cell = HostObject(entity.Get(), 503464, {IntArg(i)});
    EXPECT_TRUE(SameObject(HostObject(cell.Get(), 503429).Get(), entityFace.Get())) << i;
  }
  for (int32_t i = 0; i < 48; ++i) {
    TComPtr<IDispatch> pin = HostObject(entity.Get(), 503462, {IntArg(i)});
    EXPECT_TRUE(SameObject(HostObject(pin.Get(), 503429).Get(), entityFace.Get())) << i;
    TComPtr<IDispatch> mapping = HostObject(pin.Get(), 503494);
    EXPECT_TRUE(SameObject(HostObject(mapping.Get(), 503429).Get(), entityFace.Get())) << i;
  }
  for (int32_t i = 0; i < 16; ++i) {
    TComPtr<IDispatch> opCode = HostObject(entity.Get(), 503465, {IntArg(i)});
    EXPECT_TRUE(SameObject(HostObject(opCode.Get(), 503429).Get(), entityFace.Get())) << i;
  }
  EXPECT_TRUE(SameObject(EntityOf(driver.Get()).Get(), entity.Get()));
}

TEST(BSDLEntityFace, KindOutsideTheCatalogueGivesNoEntity) {
  TBSDLEntitySlots slots;
  for (int kind : {-1, DeviceKindCount}) {
    IBSDLEntity entity = IBSDLEntity::FromDispatch(nullptr);
    EXPECT_EQ(slots.GetBSDLEntityForKind(kind, &entity), S_OK) << kind;
    EXPECT_TRUE(entity.IsEmpty()) << kind;
  }
  IBSDLEntity entity;
  EXPECT_EQ(slots.GetBSDLEntityForKind(0, &entity), S_OK);
  EXPECT_FALSE(entity.IsEmpty());
}

} // namespace
