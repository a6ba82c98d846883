// The command-line host's "bsdl" verb, printing an entity a driver hands
// out; everything it prints is read by DISPID.

#include "bsdl-entity-face.h"
#include "cli-bsdl.h"
#include "host-call.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// A driver whose GetBSDLEntity answers what the test gives it.
class TCliDriver final : public TAbstractDeviceInformation {
public:
  TCliDriver(IDispatch* AEntity, HRESULT AAnswer) : FEntity(AEntity), FAnswer(AAnswer) {}
  HRESULT GetBSDLEntity(IBSDLEntity* AResult) override {
    *AResult = IBSDLEntity::FromDispatch(FEntity.Get());
    return FAnswer;
  }

private:
  TComPtr<IDispatch> FEntity;
  HRESULT FAnswer;
};

// Two cells (a control cell enabling the output cell of pin 5), two pins
// and two op-codes.
TComPtr<IDispatch> SmallEntity() {
  auto entity = std::make_unique<TBSDLEntity>();
  TBSDLEntity& e = *entity;
  e.Name = L"CHIP2";
  e.Filename = L"chip2.bsdl";
  e.BoundaryLength = 2;
  e.ScanClockMaxSpeed = 1e6;
  TBoundaryCell* c0 = TBoundaryCell::Create(e);
  c0->SetCellNumber(0);
  c0->SetCellKind(eCellKind_BC_1);
  c0->SetCellFunction(eCellFunction_Control);
  c0->SetSafeBit(eBit_1);
  TBoundaryCell* c1 = TBoundaryCell::Create(e);
  c1->SetCellNumber(1);
  c1->SetCellKind(eCellKind_BC_1);
  c1->SetPortId(L"PB0");
  c1->SetCellFunction(eCellFunction_Output3);
  c1->SetControlCellNumber(0);
  c1->SetDisableResult(eDisableResult_HiZ);
  c0->SetTargetCell(c1);
  c1->SetControlCell(c0);
  TScanPin* pb0 = TScanPin::Create(e);
  pb0->SetPinName(L"PB0");
  pb0->SetPinNumber(L"5");
  pb0->AddBoundaryCell(c1);
  c1->SetPin(pb0);
  TScanPin* tdi = TScanPin::Create(e);
  tdi->SetPinName(L"TDI");
  tdi->SetPinNumber(L"3");
  tdi->SetKind(eScanPinKind_TDI);
  TInstructionOpCode* extest = TInstructionOpCode::Create(e);
  extest->SetInstructionName(L"EXTEST");
  extest->SetOpCodePattern(L"00");
  TInstructionOpCode* bypass = TInstructionOpCode::Create(e);
  bypass->SetInstructionName(L"BYPASS");
  bypass->SetOpCodePattern(L"11");
  e.AddBoundaryCell(c0);
  e.AddBoundaryCell(c1);
  e.AddPin(pb0);
  e.AddPin(tdi);
  e.AddInstructionOpCode(extest);
  e.AddInstructionOpCode(bypass);
  e.TAP_TDI = tdi;
  return TComPtr<IDispatch>(new TBSDLEntityObject(std::move(entity)));
}

// A file in the temporary folder standing for stdout or stderr.
class TCapture {
public:
  explicit TCapture(const char* AName) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    FPath = std::string(folder) + AName;
    FFile = std::fopen(FPath.c_str(), "w+b");
  }
  ~TCapture() {
    if (FFile)
      std::fclose(FFile);
    std::remove(FPath.c_str());
  }
  std::FILE* File() { return FFile; }
  std::string Text() {
    std::fflush(FFile);
    std::rewind(FFile);
    std::string out;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, FFile)) > 0)
      out.append(buffer, n);
    return out;
  }

private:
  std::string FPath;
  std::FILE* FFile = nullptr;
};

TEST(BsdlVerb, PrintsNameLengthTapPinsOpCodesAndTheCellTable) {
  TComPtr<TCliDriver> driver(new TCliDriver(SmallEntity().Get(), S_OK));
  TCapture out("orvandel-bsdl-out.txt"), err("orvandel-bsdl-err.txt");
  ASSERT_TRUE(out.File() && err.File());
  EXPECT_EQ(BsdlVerb(driver.Get(), out.File(), err.File()), 0);
  EXPECT_EQ(out.Text(),
            "Entity:          CHIP2\n"
            "File:            chip2.bsdl\n"
            "Boundary length: 2\n"
            "Pins:            2\n"
            "Test clock:      1000000 Hz\n"
            "TAP pins:        TDI 3  TDO -  TMS -  TCK -  TRST -\n"
            "Op-codes:        2\n"
            "     0  EXTEST     00\n"
            "     1  BYPASS     11\n"
            "Cells:           2\n"
            "  Cell  Kind   Port       Function    Safe Control Disable Result Pin   Target\n"
            "     0  BC_1   *          Control     1    -       0       -      -     1\n"
            "     1  BC_1   PB0        Output3     X    0       0       Z      5     -\n");
  EXPECT_EQ(err.Text(), "");
}

TEST(BsdlVerb, ReportsADriverWithoutEntityOrAFailingCall) {
  struct TCase {
    const char* What;
    bool WithEntity;
    bool BareEntity; // an entity that serves no DISPID
    HRESULT Answer;
    const char* Message;
  };
  const TCase cases[] = {
      {"no entity", false, false, S_OK, "no boundary-scan description"},
      {"GetBSDLEntity fails", false, false, E_NOTIMPL, "DISPID 503406 failed with 0x80004001"},
      {"the entity serves nothing", true, true, S_OK, "DISPID 503458 failed with 0x80004001"},
  };
  for (const TCase& c : cases) {
    TComPtr<IDispatch> entity;
    if (c.WithEntity)
      entity = c.BareEntity ? TComPtr<IDispatch>(new TAbstractBSDLEntity) : SmallEntity();
    TComPtr<TCliDriver> driver(new TCliDriver(entity.Get(), c.Answer));
    TCapture out("orvandel-bsdl-out.txt"), err("orvandel-bsdl-err.txt");
    EXPECT_EQ(BsdlVerb(driver.Get(), out.File(), err.File()), 1) << c.What;
    EXPECT_EQ(out.Text(), "") << c.What;
    EXPECT_NE(err.Text().find(c.Message), std::string::npos) << c.What << ": " << err.Text();
  }
}

TEST(BsdlVerb, PrintsTheFirstDeviceKindsEntity) {
  TBSDLEntitySlots slots;
  IBSDLEntity entity;
  ASSERT_EQ(slots.GetBSDLEntityForKind(0, &entity), S_OK);
  const std::wstring text = FormatBsdlEntity(entity.Intf());
  for (const wchar_t* line : {
           L"Entity:          LM3S101\n",
           L"Boundary length: 40\n",
           L"Pins:            48\n",
           L"TAP pins:        TDI 38  TDO 37  TMS 39  TCK 40  TRST 41\n",
           L"Op-codes:        16\n",
           L"    15  BYPASS     0011\n",
           L"Cells:           40\n",
           L"     2  BC_1   PB3        Input       X    -       0       -      34    -\n",
       })
    EXPECT_NE(text.find(line), std::wstring::npos) << std::string(line, line + wcslen(line));
}

} // namespace
