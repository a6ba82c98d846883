// The boundary-scan faces as the host reads them: every call by DISPID
// through Invoke, on an entity small enough that each expected answer is
// written out here.

#include "bsdl-faces.h"
#include "host-call.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// The objects of the fixture's entity, as the host reaches them.
enum class TWho {
  Entity,
  PinA,
  TdiPin,
  MappingA,
  Cell0,
  Cell1,
  Cell2,
  Extest,
  Bypass,
  BypassReg,
  Boundary,
  TdiObject, // the TDI pin as the entity's GetPin_TDI hands it out
  None,
};

// A chip with one I/O pin on an output and an input cell, a control cell,
// a TDI pin, three op-codes (BYPASS listed twice) and two registers.
class BSDLFaces : public ::testing::Test {
protected:
  BSDLFaces() {
    auto entity = std::make_unique<TBSDLEntity>();
    TBSDLEntity& e = *entity;
    e.Name = L"CHIP1";
    e.Filename = L"chip1.bsdl";
    e.BoundaryLength = 3;
    e.InstructionLength = 2;
    e.IdCode = 0x4BA00477;
    e.ScanClockMaxSpeed = 2.5e6;
    e.ScanClockHaltMode = eScanClockHaltMode_Low;
    e.ConformanceStatement = L"STD_1149_1_2001";
    e.CompliancePattern = L"(TEST) (1)";
    e.DesignWarning = L"beware";
    e.Instruction_BYPASS = 3;
    e.Instruction_EXTEST = 0;
    e.Instruction_SAMPLE = 1;
    e.Instruction_IDCODE = 2;
    e.Instruction_CLAMP = 5;
    e.Instruction_HIGHZ = 6;

    TBoundaryCell* c0 = TBoundaryCell::Create(e);
    c0->SetCellNumber(0);
    c0->SetCellKind(eCellKind_BC_1);
    c0->SetCellFunction(eCellFunction_Control);
    c0->SetSafeBit(eBit_1);
    TBoundaryCell* c1 = TBoundaryCell::Create(e);
    c1->SetCellNumber(1);
    c1->SetCellKind(eCellKind_BC_1);
    c1->SetPortId(L"PA0");
    c1->SetCellFunction(eCellFunction_Output3);
    c1->SetControlCellNumber(0);
    c1->SetDisableResult(eDisableResult_HiZ);
    TBoundaryCell* c2 = TBoundaryCell::Create(e);
    c2->SetCellNumber(2);
    c2->SetCellKind(eCellKind_BC_4);
    c2->SetPortId(L"PA0");
    c2->SetCellFunction(eCellFunction_Input);
    c0->SetTargetCell(c1);
    c1->SetControlCell(c0);

    TScanPin* pinA = TScanPin::Create(e);
    pinA->SetDirection(eElectricIO);
    pinA->SetPinName(L"PA0");
    pinA->SetPinNumber(L"7");
    TPinMapping* mapping = TPinMapping::Create(e);
    mapping->SetPinName(L"PA0");
    mapping->SetPinNumber(L"7");
    mapping->SetScanPin(pinA);
    pinA->SetPinMapping(mapping);
    pinA->AddBoundaryCell(c1);
    pinA->AddBoundaryCell(c2);
    c1->SetPin(pinA);
    c2->SetPin(pinA);
    TScanPin* tdi = TScanPin::Create(e);
    tdi->SetDirection(eElectricInput);
    tdi->SetPinName(L"TDI");
    tdi->SetPinNumber(L"3");
    tdi->SetKind(eScanPinKind_TDI);

    auto opCode = [&](const wchar_t* AName, const wchar_t* APattern) {
      TInstructionOpCode* o = TInstructionOpCode::Create(e);
      o->SetInstructionName(AName);
      o->SetOpCodePattern(APattern);
      return o;
    };
    TInstructionOpCode* extest = opCode(L"EXTEST", L"00");
    TInstructionOpCode* sample = opCode(L"SAMPLE", L"01");
    TInstructionOpCode* bypass = opCode(L"BYPASS", L"11");
    TRegisterAssociation* bypassReg = TRegisterAssociation::Create(e);
    bypassReg->SetRegisterName(L"BYPASS_REG");
    bypassReg->SetRegisterLength(1);
    bypassReg->AddOpCode(bypass);
    TRegisterAssociation* boundary = TRegisterAssociation::Create(e);
    boundary->SetRegisterName(L"BOUNDARY");
    boundary->SetRegisterLength(3);
    boundary->AddOpCode(extest);
    boundary->AddOpCode(sample);

    for (TBoundaryCell* c : {c0, c1, c2})
      e.AddBoundaryCell(c);
    e.AddPin(pinA);
    e.AddPin(tdi);
    e.PinMappings.push_back(mapping);
    for (TInstructionOpCode* o : {extest, sample, bypass, bypass})
      e.AddInstructionOpCode(o);
    e.AddRegisterAssociation(bypassReg);
    e.AddRegisterAssociation(boundary);
    e.TAP_TDI = tdi;

    FObject = TComPtr<TBSDLEntityObject>(new TBSDLEntityObject(std::move(entity)));
  }

  IDispatch* EntityDispatch() { return static_cast<IDispatch*>(FObject.Get()); }

  // Each object reached from the entity by DISPID.
  TComPtr<IDispatch> Face(TWho AWho) {
    struct TRoad {
      TWho Who;
      DISPID DispId;
      std::optional<int32_t> Index;
    };
    static const TRoad roads[] = {
        {TWho::PinA, 503462, 0},     {TWho::TdiPin, 503462, 1},     {TWho::MappingA, 503463, 0},
        {TWho::Cell0, 503464, 0},    {TWho::Cell1, 503464, 1},      {TWho::Cell2, 503464, 2},
        {TWho::Extest, 503465, 0},   {TWho::Bypass, 503465, 2},     {TWho::BypassReg, 503466, 0},
        {TWho::Boundary, 503466, 1}, {TWho::TdiObject, 503472, {}},
    };
    IDispatch* e = EntityDispatch();
    if (AWho == TWho::Entity)
      return TComPtr<IDispatch>(e);
    for (const TRoad& r : roads)
      if (r.Who == AWho)
        return r.Index ? HostObject(e, r.DispId, {IntArg(*r.Index)}) : HostObject(e, r.DispId);
    return {};
  }

  TComPtr<TBSDLEntityObject> FObject;
};

// An expected answer: its VARTYPE and value.
struct TAnswer {
  VARTYPE Type;
  int32_t Int = 0;
  double Real = 0;
  const wchar_t* Text = nullptr;
};
TAnswer I4(int32_t AValue) {
  return {VT_I4, AValue};
}
TAnswer R8(double AValue) {
  return {VT_R8, 0, AValue};
}
TAnswer Str(const wchar_t* AText) {
  return {VT_BSTR, 0, 0, AText};
}

void ExpectAnswer(IDispatch* AObject, DISPID ADispId, const TAnswer& AExpected,
                  const std::string& AWhat) {
  TVariant v;
  ASSERT_EQ(HostInvoke(AObject, ADispId, v), S_OK) << AWhat;
  ASSERT_EQ(V_VT(&v.Get()), AExpected.Type) << AWhat;
  if (AExpected.Type == VT_I4)
    EXPECT_EQ(V_I4(&v.Get()), AExpected.Int) << AWhat;
  else if (AExpected.Type == VT_R8)
    EXPECT_EQ(V_R8(&v.Get()), AExpected.Real) << AWhat;
  else
    EXPECT_EQ(std::wstring(V_BSTR(&v.Get()), SysStringLen(V_BSTR(&v.Get()))), AExpected.Text)
        << AWhat;
}

TEST_F(BSDLFaces, GettersAnswerTheModelByDispId) {
  struct TCase {
    TWho Who;
    DISPID DispId;
    TAnswer Expected;
  };
  const TCase cases[] = {
      {TWho::Entity, 503458, Str(L"CHIP1")},
      {TWho::Entity, 503459, I4(2)},
      {TWho::Entity, 503460, I4(0x4BA00477)},
      {TWho::Entity, 503461, I4(3)},
      {TWho::Entity, 503467, I4(2)},
      {TWho::Entity, 503468, I4(1)},
      {TWho::Entity, 503469, I4(3)},
      {TWho::Entity, 503470, I4(4)},
      {TWho::Entity, 503471, I4(2)},
      {TWho::Entity, 503477, I4(3)},
      {TWho::Entity, 503478, I4(0)},
      {TWho::Entity, 503479, I4(1)},
      {TWho::Entity, 503480, I4(2)},
      {TWho::Entity, 503481, I4(-1)}, // USERCODE undefined: all ones as VT_I4
      {TWho::Entity, 503482, I4(5)},
      {TWho::Entity, 503483, I4(6)},
      {TWho::Entity, 503484, R8(2.5e6)},
      {TWho::Entity, 503485, I4(eScanClockHaltMode_Low)},
      {TWho::Entity, 503486, Str(L"STD_1149_1_2001")},
      {TWho::Entity, 503487, Str(L"(TEST) (1)")},
      {TWho::Entity, 503488, Str(L"beware")},
      {TWho::Entity, 503489, Str(L"chip1.bsdl")},
      {TWho::PinA, 503490, I4(eElectricIO)},
      {TWho::PinA, 503491, Str(L"PA0")},
      {TWho::PinA, 503492, Str(L"7")},
      {TWho::PinA, 503493, I4(eScanPinKind_Normal)},
      {TWho::PinA, 503495, I4(2)},
      {TWho::PinA, 503497, I4(0)},
      {TWho::TdiPin, 503490, I4(eElectricInput)},
      {TWho::TdiPin, 503493, I4(eScanPinKind_TDI)},
      {TWho::TdiPin, 503495, I4(0)},
      {TWho::MappingA, 503498, Str(L"PA0")},
      {TWho::MappingA, 503499, Str(L"7")},
      {TWho::Cell0, 503501, I4(0)},
      {TWho::Cell0, 503502, I4(eCellKind_BC_1)},
      {TWho::Cell0, 503503, Str(L"*")},
      {TWho::Cell0, 503504, I4(eCellFunction_Control)},
      {TWho::Cell0, 503505, I4(eBit_1)},
      {TWho::Cell0, 503506, I4(-1)},
      {TWho::Cell0, 503507, I4(eBit_0)},
      {TWho::Cell0, 503508, I4(eDisableResult_Undefined)},
      {TWho::Cell0, 503512, I4(0)},
      {TWho::Cell1, 503501, I4(1)},
      {TWho::Cell1, 503503, Str(L"PA0")},
      {TWho::Cell1, 503504, I4(eCellFunction_Output3)},
      {TWho::Cell1, 503505, I4(eBit_X)},
      {TWho::Cell1, 503506, I4(0)},
      {TWho::Cell1, 503508, I4(eDisableResult_HiZ)},
      {TWho::Cell2, 503502, I4(eCellKind_BC_4)},
      {TWho::Cell2, 503504, I4(eCellFunction_Input)},
      {TWho::Bypass, 503513, Str(L"BYPASS")},
      {TWho::Bypass, 503514, Str(L"11")},
      {TWho::Boundary, 503515, Str(L"BOUNDARY")},
      {TWho::Boundary, 503516, I4(3)},
      {TWho::Boundary, 503517, I4(2)},
      {TWho::BypassReg, 503517, I4(1)},
      {TWho::TdiObject, 503491, Str(L"TDI")},
      {TWho::TdiObject, 503493, I4(eScanPinKind_TDI)},
  };
  for (const TCase& c : cases) {
    TComPtr<IDispatch> object = Face(c.Who);
    ASSERT_TRUE(object) << int(c.Who);
    ExpectAnswer(object.Get(), c.DispId, c.Expected,
                 "object " + std::to_string(int(c.Who)) + " DISPID " + std::to_string(c.DispId));
  }
}

TEST_F(BSDLFaces, DescriptionsByDispId) {
  struct TCase {
    TWho Who;
    const wchar_t* Long;
    const wchar_t* Short;
  };
  const TCase cases[] = {
      {TWho::PinA, L" Pin Name:PA0          Number:7            IO:I/O", L"PA0(7)-I/O"},
      {TWho::TdiObject, L" Pin Name:TDI          Number:3            IO:Input", L"TDI(3)-Input"},
      // No control cell: neither the disable part nor the pin is written.
      {TWho::Cell0, L"0   (BC_1      ,*         ,Control   ,1 ",
       L"0   (BC_1      ,*         ,Control   ,1 "},
      {TWho::Cell1, L"1   (BC_1      ,PA0       ,Output3   ,X ,0   ,0 ,Z         , Pin:PA0",
       L"1   (BC_1      ,PA0       ,Output3   ,X ,0   ,0 ,Z         , Pin:PA0"},
      {TWho::Bypass, L"BYPASS(11)", L"BYPASS(11)"},
      {TWho::Boundary, L"BOUNDARY  [3] (EXTEST(00),SAMPLE(01))",
       L"BOUNDARY  [3] (EXTEST(00),SAMPLE(01))"},
      {TWho::BypassReg, L"BYPASS_REG[1] (BYPASS(11))", L"BYPASS_REG[1] (BYPASS(11))"},
      {TWho::MappingA, L"", L""},
  };
  for (const TCase& c : cases) {
    TComPtr<IDispatch> object = Face(c.Who);
    ASSERT_TRUE(object) << int(c.Who);
    EXPECT_EQ(HostText(object.Get(), 503427), c.Long) << int(c.Who);
    EXPECT_EQ(HostText(object.Get(), 503428), c.Short) << int(c.Who);
  }
}

TEST_F(BSDLFaces, LinksAndIndexedItemsAnswerTheirFacesOrEmpty) {
  struct TCase {
    TWho From;
    DISPID DispId;
    std::optional<int32_t> Index;
    TWho Expected;
  };
  const TCase cases[] = {
      {TWho::Entity, 503462, 0, TWho::PinA},
      {TWho::Entity, 503462, 1, TWho::TdiPin},
      {TWho::Entity, 503462, -1, TWho::None},
      {TWho::Entity, 503462, 2, TWho::None},
      {TWho::Entity, 503463, 0, TWho::MappingA},
      {TWho::Entity, 503463, 1, TWho::None},
      {TWho::Entity, 503464, 2, TWho::Cell2},
      {TWho::Entity, 503464, 3, TWho::None},
      {TWho::Entity, 503464, -1, TWho::None},
      {TWho::Entity, 503465, 3, TWho::Bypass}, // listed twice, one object
      {TWho::Entity, 503465, 4, TWho::None},
      {TWho::Entity, 503466, 2, TWho::None},
      {TWho::Entity, 503473, std::nullopt, TWho::None},
      {TWho::Entity, 503474, std::nullopt, TWho::None},
      {TWho::Entity, 503475, std::nullopt, TWho::None},
      {TWho::Entity, 503476, std::nullopt, TWho::None},
      {TWho::PinA, 503494, std::nullopt, TWho::MappingA},
      {TWho::PinA, 503496, 0, TWho::Cell1},
      {TWho::PinA, 503496, 1, TWho::Cell2},
      {TWho::PinA, 503496, 2, TWho::None},
      {TWho::PinA, 503496, -1, TWho::None},
      {TWho::TdiPin, 503494, std::nullopt, TWho::None},
      {TWho::MappingA, 503500, std::nullopt, TWho::PinA},
      {TWho::Cell0, 503509, std::nullopt, TWho::None},
      {TWho::Cell0, 503510, std::nullopt, TWho::None},
      {TWho::Cell0, 503511, std::nullopt, TWho::Cell1},
      {TWho::Cell1, 503509, std::nullopt, TWho::PinA},
      {TWho::Cell1, 503510, std::nullopt, TWho::Cell0},
      {TWho::Cell1, 503511, std::nullopt, TWho::None},
      {TWho::Boundary, 503518, 0, TWho::Extest},
      {TWho::Boundary, 503518, 2, TWho::None},
      {TWho::BypassReg, 503518, 0, TWho::Bypass},
      {TWho::BypassReg, 503518, 1, TWho::None},
  };
  for (const TCase& c : cases) {
    TComPtr<IDispatch> from = Face(c.From);
    ASSERT_TRUE(from);
    TComPtr<IDispatch> got = c.Index ? HostObject(from.Get(), c.DispId, {IntArg(*c.Index)})
                                     : HostObject(from.Get(), c.DispId);
    TComPtr<IDispatch> expected = Face(c.Expected);
    EXPECT_TRUE(SameObject(got.Get(), expected.Get()))
        << "object " << int(c.From) << " DISPID " << c.DispId << " index " << c.Index.value_or(-99);
  }
}

TEST_F(BSDLFaces, TestAccessPinComesBackAsThePinObjectWhoseGenericFaceAnswersServices) {
  TComPtr<IDispatch> object = Face(TWho::TdiObject);
  TComPtr<IDispatch> face = Face(TWho::TdiPin);
  ASSERT_TRUE(object);
  EXPECT_FALSE(SameObject(object.Get(), face.Get()));
  EXPECT_TRUE(HostSupports(object.Get(), L"BSDLObject"));
  EXPECT_FALSE(HostSupports(object.Get(), L"ScanPin"));
  EXPECT_TRUE(HostSupports(face.Get(), L"ScanPin"));
  // Both roads reach one model object.
  TVariant ignored;
  ASSERT_EQ(HostInvoke(object.Get(), 509024, ignored, {IntArg(9)}), S_OK);
  EXPECT_EQ(HostInt(face.Get(), 503497), 9);
}

TEST_F(BSDLFaces, ServiceNamesPerFace) {
  struct TCase {
    TWho Who;
    const wchar_t* Name;
    bool Expected;
  };
  const TCase cases[] = {
      {TWho::Entity, L"BSDLEntity", true},
      {TWho::Entity, L"bsdlentity", true},
      {TWho::Entity, L"BSDLObject", false},
      {TWho::PinA, L"ScanPin", true},
      {TWho::PinA, L"BSDLObject", true},
      {TWho::PinA, L"bsdlvalueholder", true},
      {TWho::PinA, L"BoundaryCell", false},
      {TWho::Cell1, L"BoundaryCell", true},
      {TWho::Cell1, L"BSDLValueHolder", true},
      {TWho::Cell1, L"BSDLValueHolders", false},
      {TWho::MappingA, L"PinMapping", true},
      {TWho::MappingA, L"bsdlvalueholder", false},
      {TWho::Bypass, L"InstructionOpCode", true},
      {TWho::Bypass, L"BSDLValueHolder", false},
      {TWho::Boundary, L"RegisterAssociation", true},
      {TWho::Boundary, L"BSDLObject", true},
  };
  for (const TCase& c : cases) {
    TComPtr<IDispatch> object = Face(c.Who);
    EXPECT_EQ(HostSupports(object.Get(), c.Name), c.Expected)
        << int(c.Who) << " " << std::string(c.Name, c.Name + wcslen(c.Name));
  }
}

TEST_F(BSDLFaces, StoredValueStaysUntilTheNextStoreAndOnlyOnItsOwnPart) {
  TComPtr<IDispatch> pin = Face(TWho::PinA);
  TComPtr<IDispatch> cell = Face(TWho::Cell1);
  TVariant result;
  ASSERT_EQ(HostInvoke(pin.Get(), 509024, result, {IntArg(1)}), S_OK);
  EXPECT_EQ(V_VT(&result.Get()), VT_EMPTY);
  EXPECT_EQ(HostInt(pin.Get(), 503497), 1);
  EXPECT_EQ(HostInt(pin.Get(), 503497), 1);
  EXPECT_EQ(HostInt(cell.Get(), 503512), 0);

  TVariant again;
  ASSERT_EQ(HostInvoke(cell.Get(), 509024, again, {TextArg(L"-5")}), S_OK);
  EXPECT_EQ(HostInt(cell.Get(), 503512), -5);
  EXPECT_EQ(HostInt(pin.Get(), 503497), 1);
}

TEST_F(BSDLFaces, StoringIsRefusedWithoutItsArgumentAndByFacesThatHoldNoValue) {
  struct TCase {
    TWho Who;
    bool WithArgument;
    HRESULT Expected;
  };
  const TCase cases[] = {
      {TWho::PinA, false, DISP_E_BADPARAMCOUNT}, {TWho::Cell2, false, DISP_E_BADPARAMCOUNT},
      {TWho::MappingA, true, E_NOTIMPL},         {TWho::Bypass, true, E_NOTIMPL},
      {TWho::Entity, true, E_NOTIMPL},
  };
  for (const TCase& c : cases) {
    TComPtr<IDispatch> object = Face(c.Who);
    TVariant result;
    const HRESULT hr = c.WithArgument ? HostInvoke(object.Get(), 509024, result, {IntArg(4)})
                                      : HostInvoke(object.Get(), 509024, result);
    EXPECT_EQ(hr, c.Expected) << int(c.Who);
  }
  EXPECT_EQ(HostInt(Face(TWho::PinA).Get(), 503497), 0);
  EXPECT_EQ(HostInt(Face(TWho::Cell2).Get(), 503512), 0);
}

TEST_F(BSDLFaces, EveryPartNamesTheEntityFaceWhichAnswersLikeTheEntityObject) {
  TComPtr<IDispatch> entityFace = HostObject(Face(TWho::Cell1).Get(), 503429);
  ASSERT_TRUE(entityFace);
  EXPECT_FALSE(SameObject(entityFace.Get(), EntityDispatch()));
  EXPECT_EQ(HostText(entityFace.Get(), 503458), HostText(EntityDispatch(), 503458));
  for (TWho who : {TWho::PinA, TWho::TdiPin, TWho::MappingA, TWho::Cell0, TWho::Cell2, TWho::Extest,
                   TWho::Bypass, TWho::BypassReg, TWho::Boundary, TWho::TdiObject}) {
    TComPtr<IDispatch> got = HostObject(Face(who).Get(), 503429);
    EXPECT_TRUE(SameObject(got.Get(), entityFace.Get())) << int(who);
  }
}

TEST_F(BSDLFaces, AHeldFaceKeepsTheWholeEntityAlive) {
  const LONG before = FObject->RefCount();
  {
    TComPtr<IDispatch> cell = Face(TWho::Cell1);
    TComPtr<IDispatch> tdi = Face(TWho::TdiObject);
    EXPECT_EQ(FObject->RefCount(), before + 2);
  }
  EXPECT_EQ(FObject->RefCount(), before);

  // The host may keep a face after it let go of the entity itself.
  TComPtr<IDispatch> cell = Face(TWho::Cell1);
  FObject = {};
  TComPtr<IDispatch> pin = HostObject(cell.Get(), 503509);
  EXPECT_EQ(HostText(pin.Get(), 503491), L"PA0");
}

TEST(BSDLFacesOfANewEntity, AnswerTheModelDefaults) {
  TComPtr<TBSDLEntityObject> object(new TBSDLEntityObject(std::make_unique<TBSDLEntity>()));
  IDispatch* e = object.Get();
  struct TCase {
    DISPID DispId;
    TAnswer Expected;
  };
  const TCase cases[] = {
      {503458, Str(L"")}, {503459, I4(0)},    {503460, I4(0)},    {503461, I4(0)},
      {503467, I4(0)},    {503468, I4(0)},    {503469, I4(0)},    {503470, I4(0)},
      {503471, I4(0)},    {503477, I4(-1)},   {503478, I4(-1)},   {503479, I4(-1)},
      {503480, I4(-1)},   {503481, I4(-1)},   {503482, I4(-1)},   {503483, I4(-1)},
      {503484, R8(0.0)},  {503485, I4(0)},    {503486, Str(L"")}, {503487, Str(L"")},
      {503488, Str(L"")}, {503489, Str(L"")},
  };
  for (const TCase& c : cases)
    ExpectAnswer(e, c.DispId, c.Expected, "DISPID " + std::to_string(c.DispId));
  for (DISPID tap = 503472; tap <= 503476; ++tap)
    EXPECT_FALSE(HostObject(e, tap)) << tap;
  EXPECT_FALSE(HostObject(e, 503462, {IntArg(0)}));
}

} // namespace
