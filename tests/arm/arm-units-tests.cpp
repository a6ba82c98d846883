// The ARM driver chain's own logic over fakes: memory split into unit
// accesses, the translation-table walk, the EmbeddedICE watchpoint unit's
// register writes, the "supports" answers, the connection's decoding of the
// debug units and the initial memory contents of the embedded project.

#include "arm-test-support.h"
#include "fake-host-object.h"
#include "hard-breakpoints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string Hex(const char* AFormat, uint32_t AValue, uint32_t AOther = 0) {
  char text[48];
  snprintf(text, sizeof text, AFormat, AValue, AOther);
  return text;
}

std::string Joined(const std::vector<std::string>& AItems) {
  std::string text;
  for (const std::string& item : AItems)
    text += (text.empty() ? "" : " ") + item;
  return text;
}

// Byte-addressed target memory in the target's byte order, with a log of
// every unit access ("b", "h", "w" and the address) and of every write.
struct TFakeMemory {
  std::map<uint32_t, uint8_t> Bytes;
  std::vector<std::string> Accesses;
  std::vector<std::string> Writes;
  bool BigEndian = false;

  uint8_t Byte(uint32_t AAddress) const {
    const auto it = Bytes.find(AAddress);
    return it == Bytes.end() ? 0 : it->second;
  }
  uint32_t Get(uint32_t AAddress, int ASize) const {
    uint32_t value = 0;
    for (int i = 0; i < ASize; ++i)
      value |= uint32_t(Byte(AAddress + i)) << (BigEndian ? 8 * (ASize - 1 - i) : 8 * i);
    return value;
  }
  void Put(uint32_t AAddress, uint32_t AValue, int ASize) {
    for (int i = 0; i < ASize; ++i)
      Bytes[AAddress + i] = uint8_t(AValue >> (BigEndian ? 8 * (ASize - 1 - i) : 8 * i));
  }
  uint32_t Read(char AKind, uint32_t AAddress, int ASize) {
    Accesses.push_back(AKind + Hex("%x", AAddress));
    return Get(AAddress, ASize);
  }
  void Write(char AKind, uint32_t AAddress, uint32_t AValue, int ASize) {
    Accesses.push_back(AKind + Hex("%x", AAddress));
    Writes.push_back(AKind + Hex("%x=%x", AAddress, AValue));
    Put(AAddress, AValue, ASize);
  }
  void Forget() {
    Accesses.clear();
    Writes.clear();
  }
};

// A driver layer whose unit memory accesses go to a fake memory.
template <class TBase> class TMemoryFake : public TBase {
public:
  TFakeMemory Memory;

  HRESULT ReadMemory_Byte(uint32_t AAddress, uint32_t* AValue) override {
    *AValue = Memory.Read('b', AAddress, 1);
    return S_OK;
  }
  HRESULT ReadMemory_HalfWord(uint32_t AAddress, uint32_t* AValue) override {
    *AValue = Memory.Read('h', AAddress, 2);
    return S_OK;
  }
  HRESULT ReadMemory_Word(uint32_t AAddress, uint32_t* AValue) override {
    *AValue = Memory.Read('w', AAddress, 4);
    return S_OK;
  }
  HRESULT WriteMemory_Byte(uint32_t AAddress, uint32_t AValue) override {
    Memory.Write('b', AAddress, AValue & 0xFF, 1);
    return S_OK;
  }
  HRESULT WriteMemory_HalfWord(uint32_t AAddress, uint32_t AValue) override {
    Memory.Write('h', AAddress, AValue & 0xFFFF, 2);
    return S_OK;
  }
  HRESULT WriteMemory_Word(uint32_t AAddress, uint32_t AValue) override {
    Memory.Write('w', AAddress, AValue, 4);
    return S_OK;
  }
  HRESULT LittleEndian(TBoolean* AResult) override {
    *AResult = !Memory.BigEndian;
    return S_OK;
  }
};

// ---- memory split ------------------------------------------------------------

uint8_t Pattern(uint32_t AAddress) {
  return uint8_t(AAddress * 7 + 3);
}

class ArmMemorySplit : public ::testing::Test {
protected:
  TTestHost Host;
  TMemoryFake<TARMBase> Driver;

  void SetUp() override {
    Host.LogScanRoad();
    TBoolean bound;
    Driver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
  }
  void Fill(uint32_t AFrom, uint32_t ATo) {
    Driver.Memory.Bytes.clear();
    for (uint32_t a = AFrom; a < ATo; ++a)
      Driver.Memory.Bytes[a] = Pattern(a);
    Driver.Memory.Forget();
  }
  unsigned HostCalls(DISPID ADispId) {
    unsigned count = 0;
    for (const TFakeCall& call : Host.Device(0).Calls())
      count += call.DispId == ADispId;
    return count;
  }
};

struct TSplitCase {
  uint32_t Address;
  int32_t Count;
  const char* Accesses;
};

// Head bytes, then tail bytes, then the whole words between them.
constexpr TSplitCase kSplitCases[] = {
    {0x1000, 4, "w1000"},
    {0x1001, 4, "b1001 b1002 b1003 b1004"},
    {0x1002, 10, "b1002 b1003 w1004 w1008"},
    {0x2001, 7, "b2001 b2002 b2003 w2004"},
    {0x1000, 1, "b1000"},
    {0x1003, 2, "b1003 b1004"},
    {0x1003, 6, "b1003 b1008 w1004"},
    {0x1001, 5, "b1001 b1002 b1003 b1004 b1005"},
    {0x1000, 8, "w1000 w1004"},
    {0x1002, 4, "b1002 b1003 b1004 b1005"},
    {0x1000, 13, "b100c w1000 w1004 w1008"},
    {0x1000, 0, ""},
};

TEST_F(ArmMemorySplit, BlockReadsSplitIntoBytesAndWordsAndFillExactlyTheirCells) {
  for (const bool bigEndian : {false, true})
    for (const TSplitCase& c : kSplitCases) {
      Driver.Memory.BigEndian = bigEndian;
      Fill(0x0FF0, 0x2020);
      constexpr uint32_t kUntouched = 0xDEAD;
      std::vector<uint32_t> cells(size_t(c.Count) + 8, kUntouched);
      TLongBool ok = LongFalse;
      ASSERT_EQ(Driver.MemoryRead(0, cells.data(), c.Address, c.Count, &ok), S_OK);
      EXPECT_TRUE(bool(ok));
      const std::string where = Hex("at %x count %u", c.Address, uint32_t(c.Count)) +
                                (bigEndian ? " big-endian" : " little-endian");
      EXPECT_EQ(Joined(Driver.Memory.Accesses), c.Accesses) << where;
      for (int32_t i = 0; i < c.Count; ++i)
        EXPECT_EQ(cells[i], Pattern(c.Address + i)) << where << " cell " << i;
      for (size_t i = size_t(c.Count); i < cells.size(); ++i)
        EXPECT_EQ(cells[i], kUntouched) << where << " cell " << i << " lies past the block";
    }
}

TEST_F(ArmMemorySplit, BlockWritesSplitIntoBytesAndWordsAndChangeOnlyTheirBytes) {
  for (const bool bigEndian : {false, true})
    for (const TSplitCase& c : kSplitCases) {
      Driver.Memory.BigEndian = bigEndian;
      Fill(0x0FF0, 0x2020);
      std::vector<uint32_t> cells;
      for (int32_t i = 0; i < c.Count; ++i)
        cells.push_back(0x100u | uint8_t(0xA0 + i)); // only the low byte of a cell counts
      cells.push_back(0x77);                         // one cell past the block
      TLongBool ok = LongFalse;
      ASSERT_EQ(Driver.MemoryWrite(0, cells.data(), c.Address, c.Count, &ok), S_OK);
      EXPECT_TRUE(bool(ok));
      const std::string where = Hex("at %x count %u", c.Address, uint32_t(c.Count)) +
                                (bigEndian ? " big-endian" : " little-endian");
      EXPECT_EQ(Joined(Driver.Memory.Accesses), c.Accesses) << where;
      for (uint32_t a = 0x0FF0; a < 0x2020; ++a) {
        const bool inside = a >= c.Address && a < c.Address + uint32_t(c.Count);
        EXPECT_EQ(Driver.Memory.Byte(a), inside ? uint8_t(0xA0 + (a - c.Address)) : Pattern(a))
            << where << Hex(" byte %x", a);
      }
    }
}

TEST_F(ArmMemorySplit, WordCellsFollowTheTargetByteOrder) {
  struct TCase {
    bool BigEndian;
    uint32_t Cells[4];
  };
  const TCase cases[] = {{false, {0x44, 0x33, 0x22, 0x11}}, {true, {0x11, 0x22, 0x33, 0x44}}};
  for (const TCase& c : cases) {
    Driver.Memory.BigEndian = c.BigEndian;
    Driver.Memory.Bytes.clear();
    Driver.Memory.Put(0x1000, 0x11223344, 4);
    uint32_t cells[4] = {};
    TLongBool ok;
    Driver.MemoryRead(0, cells, 0x1000, 4, &ok);
    EXPECT_EQ(std::vector<uint32_t>(cells, cells + 4), std::vector<uint32_t>(c.Cells, c.Cells + 4))
        << (c.BigEndian ? "big-endian" : "little-endian");
  }
}

TEST_F(ArmMemorySplit, OtherMemorySpacesAnswerFalseAndTouchNoMemory) {
  Fill(0x1000, 0x1010);
  uint32_t cells[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  TLongBool ok = LongTrue;
  EXPECT_EQ(Driver.MemoryRead(1, cells, 0x1000, 8, &ok), S_OK);
  EXPECT_FALSE(bool(ok));
  ok = LongTrue;
  EXPECT_EQ(Driver.MemoryWrite(1, cells, 0x1000, 8, &ok), S_OK);
  EXPECT_FALSE(bool(ok));
  EXPECT_TRUE(Driver.Memory.Accesses.empty());
  EXPECT_EQ(cells[0], 1u);
}

TEST_F(ArmMemorySplit, NestedTransactionsOpenTheHostTransactionOnce) {
  constexpr DISPID kBegin = 503675, kEnd = 503676;
  Host.Device(0).ClearLog();
  Driver.TransactionBegin();
  Driver.TransactionBegin();
  uint32_t cells[4];
  TLongBool ok;
  Driver.MemoryRead(0, cells, 0x1000, 4, &ok);
  Driver.TransactionEnd();
  EXPECT_EQ(HostCalls(kBegin), 1u);
  EXPECT_EQ(HostCalls(kEnd), 0u);
  Driver.TransactionEnd();
  EXPECT_EQ(HostCalls(kEnd), 1u);
  EXPECT_EQ(Driver.TransactionDepth(), 0);

  uint32_t value = 7;
  EXPECT_EQ(Driver.GetProcessorRegisterValue(47, &value), S_OK);
  EXPECT_EQ(value, 0u);
  EXPECT_EQ(HostCalls(kBegin), 1u) << "an index out of range opens no transaction";
}

// ---- the ARMv4T layer ------------------------------------------------------------

// An ARMv4T driver whose register writes, halts and state changes are logged.
class TArmV4TRecorder : public TARMv4T {
public:
  std::vector<std::string> Log;
  using TARMv4T::FState;

  HRESULT PauseProcessor() override {
    Log.push_back("pause");
    return S_OK;
  }
  HRESULT ChangeToARMState() override {
    Log.push_back("arm");
    return S_OK;
  }
  HRESULT WriteRegister(int32_t AIndex, uint32_t AValue) override {
    Log.push_back(Hex("%u=%x", uint32_t(AIndex), AValue));
    return S_OK;
  }
};

class ArmV4T : public ::testing::Test {
protected:
  TTestHost Host;
  TArmV4TRecorder Driver;

  void SetUp() override {
    TBoolean bound;
    Driver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
  }
  HRESULT Invoke(DISPID ADispId) {
    VARIANT result;
    const HRESULT hr = InvokeDispId(Driver, ADispId, {}, &result);
    VariantClear(&result);
    return hr;
  }
};

TEST_F(ArmV4T, ResetRegistersHaltsEntersArmStateAndClearsSystemModeRegisters) {
  constexpr DISPID kResetTarvoRegisters = 503793;
  Driver.FState = TARM_State::eARM_State_Thumb;
  ASSERT_EQ(Invoke(kResetTarvoRegisters), S_OK);
  EXPECT_EQ(Joined(Driver.Log), "pause arm 16=df 0=0 1=0 2=0 3=0 4=0 5=0 6=0 7=0 8=0 9=0 10=0 "
                                "11=0 12=0 13=0 14=0 15=0");
  EXPECT_EQ(Driver.FState, TARM_State::eARM_State_ARM);
}

TEST_F(ArmV4T, WatchPointsAreTheTwoEmbeddedIceUnitsOfTheDebugManager) {
  constexpr DISPID kInitWatchPoints = 509046;
  ASSERT_FALSE(Driver.DeviceDebugManager().IsEmpty());
  const int32_t before = Driver.DeviceDebugManager().GetHardBreakpointCount();
  ASSERT_EQ(Invoke(kInitWatchPoints), S_OK);
  EXPECT_EQ(Driver.DeviceDebugManager().GetHardBreakpointCount(), before + 2);
}

// ---- translation-table walk --------------------------------------------------

template <class TBase> class TWalkFake : public TMemoryFake<TBase> {
public:
  int64_t TableBase = 0;
  bool TinyPages = false;
  HRESULT GetTranslationTableBase(int64_t* ABase) override {
    *ABase = TableBase;
    return S_OK;
  }
  HRESULT HasTinyPages(TBoolean* AResult) override {
    *AResult = TinyPages;
    return S_OK;
  }
};

struct TWalkCase {
  const char* Name;
  int64_t Address;
  uint32_t L1;
  uint32_t L2Address; // 0: no second-level descriptor
  uint32_t L2;
  bool TinyPages;
  int64_t Physical;
  int32_t CacheBits, Domain, Access;
};

// Table base 0x4ABC (its low 14 bits are ignored); the first-level
// descriptor of 0x00123456 sits at 0x4004.
constexpr TWalkCase kWalkCases[] = {
    {"fault", 0x00123456, 0, 0, 0, false, 0x00123456, 0, 0, 0},
    {"section", 0x00123456, 0x80000C12, 0, 0, false, 0x80023456, 0, 0, 3},
    {"section with domain and cache bits", 0x00123456, 0x80000CBE, 0, 0, false, 0x80023456, 3, 5,
     3},
    {"section, high half ignored", 0x100123456ll, 0x80000C12, 0, 0, false, 0x80023456, 0, 0, 3},
    {"coarse table, small page", 0x00123456, 0x00010061, 0x0001008C, 0x30005FFE, false, 0x30005456,
     3, 3, 0xFF},
    {"coarse table, large page", 0x00123456, 0x00010061, 0x0001008C, 0x40010555, false, 0x40013456,
     1, 3, 0x55},
    {"coarse table, second-level fault keeps the domain", 0x00123456, 0x00010061, 0x0001008C, 0,
     false, 0x00123456, 0, 3, 0},
    {"fine table without tiny pages stops", 0x00123456, 0x00020043, 0x00020234, 0x50000C3B, false,
     0x00123456, 0, 0, 0},
    {"fine table, tiny page", 0x00123456, 0x00020043, 0x00020234, 0x50000C3B, true, 0x50000C56, 2,
     2, 3},
    {"fine table, small page", 0x00123456, 0x00020043, 0x00020234, 0x30005FFE, true, 0x30005456, 3,
     2, 0xFF},
};

TEST(ArmTranslationWalk, DescriptorsGiveAddressCacheBitsDomainAndAccess) {
  for (const bool bigEndian : {false, true})
    for (const TWalkCase& c : kWalkCases) {
      TWalkFake<TARMv4T> driver;
      driver.Memory.BigEndian = bigEndian;
      driver.TableBase = 0x4ABC;
      driver.TinyPages = c.TinyPages;
      driver.Memory.Put(0x4004, c.L1, 4);
      if (c.L2Address)
        driver.Memory.Put(c.L2Address, c.L2, 4);
      int32_t cacheBits = -1, domain = -1, access = -1;
      int64_t physical = -1;
      ASSERT_EQ(driver.TranslateVirtualAddress(c.Address, cacheBits, domain, access, &physical),
                S_OK);
      const std::string where = std::string(c.Name) + (bigEndian ? " big-endian" : "");
      EXPECT_EQ(physical, c.Physical) << where;
      EXPECT_EQ(cacheBits, c.CacheBits) << where;
      EXPECT_EQ(domain, c.Domain) << where;
      EXPECT_EQ(access, c.Access) << where;
    }
}

TEST(ArmTranslationWalk, CortexM3WalksFromTableBaseZeroByDispId) {
  constexpr DISPID kTableBase = 509047, kTranslate = 509048;
  TMemoryFake<TARM_Cortex_M3> driver;
  driver.Memory.Put(0x0004, 0x80000C12, 4); // first-level descriptor of 0x00123456
  VARIANT result;
  ASSERT_EQ(InvokeDispId(driver, kTableBase, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I8);
  EXPECT_EQ(result.llVal, 0);

  // The three words are the caller's variables; they are never written.
  int32_t words[3] = {0x55, 0x66, 0x77};
  std::vector<VARIANT> args = {I8(0x00123456)};
  for (int32_t& word : words) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_I4;
    v.plVal = reinterpret_cast<LONG*>(&word);
    args.push_back(v);
  }
  ASSERT_EQ(InvokeDispId(driver, kTranslate, args, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I8);
  EXPECT_EQ(result.llVal, 0x80023456);
  EXPECT_EQ(Joined(driver.Memory.Accesses), "w4");
  EXPECT_EQ(words[0], 0x55);
  EXPECT_EQ(words[1], 0x66);
  EXPECT_EQ(words[2], 0x77);
}

// ---- EmbeddedICE watchpoint unit ---------------------------------------------

// A driver whose EmbeddedICE operations only record what reaches them; the
// unit reaches them through the driver's IARMEmbeddedICE face by DISPID.
class TIceRecorder : public TARMBase {
public:
  std::vector<std::string> Log;
  HRESULT OpenJtagChannel() override {
    Log.push_back("open");
    return S_OK;
  }
  HRESULT CloseJtagChannel() override {
    Log.push_back("close");
    return S_OK;
  }
  HRESULT SetICERegister(int32_t ARegister, uint32_t AValue) override {
    Log.push_back(Hex("%u=%x", uint32_t(ARegister), AValue));
    return S_OK;
  }
};

struct TUnitCase {
  int32_t Ctrl, CtrlMask, Data, DataMask, Address, AddressMask;
  const char* Enable;
  const char* Disable;
};

constexpr TUnitCase kUnits[] = {
    {12, 13, 10, 11, 8, 9, "open 12=0 9=3 8=800 11=ff 10=1234 13=f7 12=108 close",
     "open 12=0 close"},
    {20, 21, 18, 19, 16, 17, "open 20=0 17=3 16=800 19=ff 18=1234 21=f7 20=108 close",
     "open 20=0 close"},
};

TComPtr<TARMHardBreakpointPoint> NewUnit(TIceRecorder& ADriver, const TUnitCase& AUnit) {
  return TComPtr<TARMHardBreakpointPoint>::Attach(new TARMHardBreakpointPoint(
      IARMEmbeddedICE::FromDispatch(&static_cast<IDispatch&>(ADriver)), AUnit.Ctrl, AUnit.CtrlMask,
      AUnit.Data, AUnit.DataMask, AUnit.Address, AUnit.AddressMask));
}

TEST(ArmWatchpointUnit, EnableWritesSevenRegistersControlFirstClearedAndLastWithEnableBit) {
  for (const TUnitCase& c : kUnits) {
    TIceRecorder driver;
    TComPtr<TARMHardBreakpointPoint> unit = NewUnit(driver, c);
    unit->SetAddress(0x801);
    unit->SetAddressMask(0x3);
    unit->SetData(0x1234);
    unit->SetDataMask(0xFF);
    unit->SetControlMask(0xF7);
    unit->SetControl(0x8);
    int64_t address = 0;
    unit->GetAddress(&address);
    EXPECT_EQ(address, 0x800);
    TBoolean ok = false;
    EXPECT_EQ(unit->Enable(&ok), S_OK);
    EXPECT_TRUE(bool(ok));
    EXPECT_EQ(Joined(driver.Log), c.Enable);
    driver.Log.clear();
    ok = false;
    EXPECT_EQ(unit->Disable(&ok), S_OK);
    EXPECT_TRUE(bool(ok));
    EXPECT_EQ(Joined(driver.Log), c.Disable);
  }
}

TEST(ArmWatchpointUnit, ResetUnitMatchesAnyDataAndKeepsItsControl) {
  TIceRecorder driver;
  TComPtr<TARMHardBreakpointPoint> unit = NewUnit(driver, kUnits[0]);
  TBoolean ok;
  unit->Enable(&ok);
  EXPECT_EQ(Joined(driver.Log), "open 12=0 9=0 8=0 11=ffffffff 10=0 13=0 12=100 close");

  unit->SetAddress(0x2000);
  unit->SetData(5);
  unit->SetDataMask(0);
  unit->SetControl(0x8);
  unit->Reset();
  driver.Log.clear();
  unit->Enable(&ok);
  EXPECT_EQ(Joined(driver.Log), "open 12=0 9=0 8=0 11=ffffffff 10=0 13=0 12=108 close");
}

// ---- supports ------------------------------------------------------------------

class TPlainProcessorDriver : public TTarvoProcessorDriver {};

TEST(ArmSupports, ArmActionsAreSupportedAndOtherTextsKeepTheGenericAnswer) {
  const wchar_t* armTexts[] = {
      L"PauseProcessor", L"ContinueProcessor", L"ResetProcessor", L"SingleStepProcessor",
      L"CompileProgram", L"DownloadProgram",   L"StartDebug",     L"StartAttach",
      L"EndDebug",       L"ShowAboutDialog",   L"ResetDevice",    L"DownloadToDevice",
      L"ShowViewer",     L"ProcessorMenu",     L"VerifyProgram",
  };
  const wchar_t* otherTexts[] = {L"WriteToFlash", L"ReadFromDevice", L"NoSuchAction", L""};
  TPlainProcessorDriver generic;
  TIceRecorder base;
  TARMv4T v4t;
  TTestCortexM3 cortex;
  TTarvoProcessorDriver* layers[] = {&base, &v4t, &cortex};
  for (TTarvoProcessorDriver* layer : layers) {
    for (const wchar_t* text : armTexts) {
      TBoolean answer = false;
      EXPECT_EQ(layer->Supports(text, &answer), S_OK);
      EXPECT_TRUE(bool(answer)) << std::string(text, text + wcslen(text));
    }
    for (const wchar_t* text : otherTexts) {
      TBoolean answer = false, expected = false;
      generic.Supports(text, &expected);
      layer->Supports(text, &answer);
      EXPECT_EQ(bool(answer), bool(expected)) << std::string(text, text + wcslen(text));
    }
  }
}

TEST(ArmSupports, ServiceNamesOfTheArmFacesAnswerIgnoringCase) {
  struct TCase {
    const wchar_t* Name;
    bool Expected;
  };
  const TCase cases[] = {
      {L"ARMEmbeddedICE", true},
      {L"armembeddedice", true},
      {L"ARMTARVODRIVER", true},
      {L"ARMTarvoDriver", true},
      {L"ARMEmbeddedICE2", false},
      {L"ARM", false},
      {L"", false},
  };
  TIceRecorder base;
  TTestCortexM3 cortex;
  TARMBase* layers[] = {&base, &cortex};
  for (TARMBase* layer : layers)
    for (const TCase& c : cases) {
      BSTR name = SysAllocString(c.Name);
      TBoolean answer = !c.Expected;
      EXPECT_EQ(layer->SupportsService(name, &answer), S_OK);
      EXPECT_EQ(bool(answer), c.Expected) << std::string(c.Name, c.Name + wcslen(c.Name));
      SysFreeString(name);
    }
  // What the processor driver supports stays supported.
  TPlainProcessorDriver generic;
  for (const wchar_t* service : {L"TarvoProcessorDriver", L"TarvoDriver", L"MemoryAccess"}) {
    BSTR name = SysAllocString(service);
    TBoolean expected = false, answer = false;
    generic.SupportsService(name, &expected);
    cortex.SupportsService(name, &answer);
    EXPECT_EQ(bool(answer), bool(expected));
    SysFreeString(name);
  }
}

// ---- connection: debug units and log lines -----------------------------------

// A Cortex-M3 whose debug-port scans are answered by a small model of a
// JTAG-DP with a memory access port over a word map, so the values the
// connection decodes can be chosen freely.
class TFakeDapCortexM3 : public TTestCortexM3 {
public:
  std::map<uint32_t, uint32_t> Words;
  bool FpIgnoresEnable = false;
  std::vector<std::string> MemoryWrites;

protected:
  bool DapScanRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AData,
                   uint8_t& AAck) override {
    AData = FPending;
    AAck = kAckOkFault;
    if (AInstruction == kDpacc)
      FPending = AAddress == DP_RDBUFF ? FPending : AAddress == DP_CTRL_STAT ? CtrlStat() : 0;
    else
      FPending = ApRegister(AAddress, false, 0);
    return true;
  }
  bool DapScanPostRead(uint8_t AInstruction, uint8_t AAddress, uint32_t& AData) override {
    uint8_t ack = 0;
    return DapScanRead(AInstruction, AAddress, AData, ack);
  }
  bool DapScanWrite(uint8_t AInstruction, uint8_t AAddress, uint32_t AData,
                    uint8_t& AAck) override {
    AAck = kAckOkFault;
    if (AInstruction == kDpacc) {
      if (AAddress == DP_CTRL_STAT)
        FCtrlStat = AData & 0xF0000000;
      else if (AAddress == DP_SELECT)
        FSelect = AData;
    } else
      ApRegister(AAddress, true, AData);
    return true;
  }

private:
  uint32_t CtrlStat() const {
    // Every power-up request is acknowledged at once.
    return FCtrlStat | ((FCtrlStat & 0x50000000) << 1);
  }
  uint32_t ApRegister(uint8_t AAddress, bool AWrite, uint32_t AValue) {
    const uint32_t reg = (FSelect & 0xF0) | (AAddress & 0x0C);
    switch (reg) {
    case AP_CSW:
      return AWrite ? FCsw = AValue : FCsw;
    case AP_TAR:
      return AWrite ? FTar = AValue : FTar;
    case AP_DRW:
      return Memory(FTar, AWrite, AValue);
    case AP_BASE:
      return 0xE00FF003;
    case AP_IDR:
      return 0x24770011;
    default:
      if (reg >= AP_BD0 && reg < AP_BD0 + 0x10)
        return Memory((FTar & ~0xFu) | (reg & 0xC), AWrite, AValue);
      return 0;
    }
  }
  uint32_t Memory(uint32_t AAddress, bool AWrite, uint32_t AValue) {
    if (!AWrite)
      return Words[AAddress];
    MemoryWrites.push_back(Hex("%x=%x", AAddress, AValue));
    if (AAddress == FP_CTRL)
      Words[AAddress] = FpIgnoresEnable ? Words[AAddress] : (Words[AAddress] & ~1u) | (AValue & 1);
    else
      Words[AAddress] = AValue;
    return AValue;
  }

  uint32_t FPending = 0, FCtrlStat = 0, FSelect = 0, FCsw = 0, FTar = 0;
};

class ArmConnection : public ::testing::Test {
protected:
  TTestHost Host;
  void Connect(TFakeDapCortexM3& ADriver) {
    TBoolean bound, paused;
    ADriver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
    ADriver.EnableDebugLogging();
    ASSERT_EQ(ADriver.ProcessorIsPaused(&paused), S_OK);
  }
};

TEST_F(ArmConnection, FlashPatchControlGivesComparatorCountsAndIsEnabledWhenOff) {
  struct TCase {
    uint32_t FpCtrl;
    bool IgnoresEnable;
    int NumCode, NumLit;
    bool WritesEnable, Enabled;
  };
  const TCase cases[] = {
      {0x260, false, 6, 2, true, true},   {0x261, false, 6, 2, false, true},
      {0x3260, false, 54, 2, true, true}, {0x7FF1, false, 127, 15, false, true},
      {0x0F0, true, 15, 0, true, false},  {0x000, false, 0, 0, true, true},
  };
  for (const TCase& c : cases) {
    TFakeDapCortexM3 driver;
    driver.Words[TARM_Cortex_M3::CPUID] = 0x412FC231;
    driver.Words[TARM_Cortex_M3::FP_CTRL] = c.FpCtrl;
    driver.Words[TARM_Cortex_M3::DWT_CTRL] = 0x40000000;
    driver.FpIgnoresEnable = c.IgnoresEnable;
    Connect(driver);
    const std::string where = Hex("FP_CTRL %x", c.FpCtrl);
    EXPECT_TRUE(driver.Initialized()) << where;
    EXPECT_EQ(driver.FpNumCode(), c.NumCode) << where;
    EXPECT_EQ(driver.FpNumLit(), c.NumLit) << where;
    EXPECT_EQ(driver.FpEnabled(), c.Enabled) << where;
    EXPECT_EQ(driver.DwtNumComp(), 4) << where;
    const bool wroteEnable = std::find(driver.MemoryWrites.begin(), driver.MemoryWrites.end(),
                                       "e0002000=3") != driver.MemoryWrites.end();
    EXPECT_EQ(wroteEnable, c.WritesEnable) << where;
    ASSERT_EQ(int(driver.HardBreakpoints().size()), c.NumCode) << where;
    for (int n = 0; n < c.NumCode; ++n)
      EXPECT_EQ(driver.HardBreakpoints()[n]->Comparator(), 0xE0002008u + 4 * n) << where;
  }
}

TEST_F(ArmConnection, CortexM3CoreIsLoggedWithRevisionAndPatchOtherCoresOnlyByCpuid) {
  struct TCase {
    uint32_t Cpuid;
    const wchar_t* Detected; // nullptr: no detection line
    const wchar_t* CpuidLine;
  };
  const TCase cases[] = {
      {0x412FC231, L"Cortex-M3 r2 p1 processor detected", L"cpuid 412fc231"},
      {0x411FC230, L"Cortex-M3 r1 p0 processor detected", L"cpuid 411fc230"},
      {0x410CC200, nullptr, L"cpuid 410cc200"},
      {0x410FC241, nullptr, L"cpuid 410fc241"},
  };
  for (const TCase& c : cases) {
    TFakeDapCortexM3 driver;
    driver.Words[TARM_Cortex_M3::CPUID] = c.Cpuid;
    driver.Words[TARM_Cortex_M3::FP_CTRL] = 0x261;
    Connect(driver);
    ASSERT_NE(driver.DebugLines(), nullptr);
    std::vector<std::wstring> lines;
    for (const std::wstring& line : *driver.DebugLines())
      if (line.find(L"processor detected") != std::wstring::npos ||
          line.find(L"cpuid") != std::wstring::npos)
        lines.push_back(line);
    std::vector<std::wstring> expected;
    if (c.Detected)
      expected.push_back(std::wstring(L"DEBUG :DEBUG :") + c.Detected);
    expected.push_back(std::wstring(L"DEBUG :DEBUG :") + c.CpuidLine);
    EXPECT_EQ(lines, expected) << Hex("CPUID %x", c.Cpuid);
    EXPECT_TRUE(driver.Initialized()) << "the connection goes on whatever the core";
  }
}

// ---- host calls that must not reach a core -------------------------------------

class ArmModeRegisterFace : public ::testing::Test {
protected:
  TTracingSimTarget Target;
  TTestHost Host{Target};
  TTestCortexM3 Driver;
};

TEST_F(ArmModeRegisterFace, BankedRegisterCallsByDispIdLeaveTheCortexM3Untouched) {
  TBoolean bound, paused;
  Driver.SetTarvoDevice(ITarvoDevice::FromDispatch(Host.Device(0).Dispatch()), &bound);
  Driver.PauseProcessor();
  Driver.ProcessorIsPaused(&paused);
  ASSERT_TRUE(bool(paused));
  const uint32_t xpsr = Target.Sim().Chip().Core().ReadRegister(16);
  Target.Scans.clear();
  struct TCase {
    DISPID DispId;
    std::vector<VARIANT> Args;
  };
  const TCase cases[] = {
      {509031, {I4(13), I4(0x10)}},             // banked register read
      {509032, {I4(13), I4(0x1234), I4(0x13)}}, // banked register write
      {509042, {I4(0x11)}},                     // mode switch begin
      {509043, {}},                             // mode switch end
  };
  for (const TCase& c : cases) {
    VARIANT result;
    EXPECT_EQ(InvokeDispId(Driver, c.DispId, c.Args, &result), S_OK) << c.DispId;
    if (c.DispId == 509031) {
      EXPECT_EQ(result.lVal, 0);
    }
    VariantClear(&result);
  }
  EXPECT_TRUE(Target.Scans.empty());
  EXPECT_EQ(Target.Sim().Chip().Core().ReadRegister(16), xpsr);
}

// ---- initial memory contents ---------------------------------------------------

constexpr DISPID kGetPortCount = 504020, kPort = 504021, kJtagPort = 504095, kGetLinkCount = 504099,
                 kDeviceLink = 504103, kLinkDevice = 504080, kLinkProject = 504082,
                 kDeviceId = 503643, kGetMemories = 508622, kGetMemory = 508614,
                 kMemoryCount = 508615, kLoadFromProject = 508617, kInitValueCount = 508604,
                 kGetInitValue = 508605;

struct TInitEntry {
  const wchar_t* Name;
  int64_t Size;
  int64_t Value;
  int64_t Address;
};

// The host objects the initial values come from: a workbench of debug
// ports with device links, projects and the embedded-memory list.
class TInitHost {
public:
  TComPtr<TFakeHostObject> Workbench = Object({L"ITarvoWorkbench"});
  TComPtr<TFakeHostObject> Manager = Object({L"IEmbeddedMemoryManager"});
  TComPtr<TFakeHostObject> Memories = Object({L"IEmbeddedMemories"});
  TComPtr<TFakeHostObject> OwnDevice = Object({L"ITarvoDevice"});

  TInitHost() {
    Answer(*OwnDevice.Get(), kDeviceId, L"LM3S811-A");
    Workbench->OnCall(kGetPortCount, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(int32_t(FPorts.size()));
      return S_OK;
    });
    Workbench->OnCall(kPort, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(FPorts.at(size_t(AInvocation.Int(0)))->Dispatch());
      return S_OK;
    });
    Manager->OnCall(kGetMemories, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(Memories->Dispatch());
      return S_OK;
    });
    Memories->OnCall(kMemoryCount, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(int32_t(FMemories.size()));
      return S_OK;
    });
    Memories->OnCall(kGetMemory, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(FMemories.at(size_t(AInvocation.Int(0)))->Dispatch());
      return S_OK;
    });
  }

  // A debug port, with or without a JTAG port, linking devices of the given
  // identifiers, each to its own project; answers the projects.
  std::vector<TComPtr<TFakeHostObject>> AddPort(bool AJtag,
                                                std::vector<const wchar_t*> ADeviceIds) {
    TComPtr<TFakeHostObject> port = Object({L"ITarvoPort"});
    if (AJtag) {
      TComPtr<TFakeHostObject> jtag = Object({L"IJtagPort"});
      port->OnCall(kJtagPort, [jtag](TFakeInvocation& AInvocation) {
        AInvocation.ReturnObject(jtag->Dispatch());
        return S_OK;
      });
    }
    auto links = std::make_shared<std::vector<TComPtr<TFakeHostObject>>>();
    std::vector<TComPtr<TFakeHostObject>> projects;
    for (const wchar_t* id : ADeviceIds) {
      TComPtr<TFakeHostObject> device = Object({L"ITarvoDevice"});
      Answer(*device.Get(), kDeviceId, id);
      TComPtr<TFakeHostObject> project = Object({L"IProject"});
      TComPtr<TFakeHostObject> link = Object({L"IDeviceLink"});
      link->OnCall(kLinkDevice, [device](TFakeInvocation& AInvocation) {
        AInvocation.ReturnObject(device->Dispatch());
        return S_OK;
      });
      link->OnCall(kLinkProject, [project](TFakeInvocation& AInvocation) {
        AInvocation.ReturnObject(project->Dispatch());
        return S_OK;
      });
      links->push_back(link);
      projects.push_back(project);
    }
    port->OnCall(kGetLinkCount, [links](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(int32_t(links->size()));
      return S_OK;
    });
    port->OnCall(kDeviceLink, [links](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(links->at(size_t(AInvocation.Int(0)))->Dispatch());
      return S_OK;
    });
    FPorts.push_back(port);
    return projects;
  }

  void AddMemory(std::vector<TInitEntry> AEntries) {
    TComPtr<TFakeHostObject> memory = Object({L"IEmbeddedMemory"});
    auto entries = std::make_shared<std::vector<TInitEntry>>(std::move(AEntries));
    memory->OnCall(kInitValueCount, [entries](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(int32_t(entries->size()));
      return S_OK;
    });
    memory->OnCall(kGetInitValue, [entries](TFakeInvocation& AInvocation) {
      const TInitEntry& entry = entries->at(size_t(AInvocation.Int(0)));
      AInvocation.SetText(1, entry.Name);
      AInvocation.SetInt64(2, entry.Size);
      AInvocation.SetInt64(3, entry.Value);
      AInvocation.SetInt64(4, entry.Address);
      AInvocation.ReturnBool(true);
      return S_OK;
    });
    FMemories.push_back(memory);
  }

  // The project LoadFromProject was given, and its flag.
  IDispatch* LoadedProject(bool* AFlag) const {
    for (const TFakeCall& call : Memories->Calls())
      if (call.DispId == kLoadFromProject) {
        *AFlag = call.Declared(1).boolVal == VARIANT_TRUE;
        return call.Declared(0).pdispVal;
      }
    return nullptr;
  }
  int32_t CategoryAsked() const {
    for (const TFakeCall& call : Manager->Calls())
      if (call.DispId == kGetMemories)
        return call.Declared(0).lVal;
    return -1;
  }

private:
  static TComPtr<TFakeHostObject> Object(std::initializer_list<std::wstring_view> ARecords) {
    return TFakeHostObject::Create(ARecords);
  }
  static void Answer(TFakeHostObject& AObject, DISPID ADispId, std::wstring AText) {
    AObject.OnCall(ADispId, [AText](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(AText);
      return S_OK;
    });
  }
  std::vector<TComPtr<TFakeHostObject>> FPorts;
  std::vector<TComPtr<TFakeHostObject>> FMemories;
};

template <class TBase> class TInitFake : public TMemoryFake<TBase> {
public:
  explicit TInitFake(TInitHost& AHost) : FHost(AHost) {}
  bool HasWorkbench = true;
  HRESULT GetTarvoDevice(ITarvoDevice* AResult) override {
    *AResult = ITarvoDevice::FromDispatch(FHost.OwnDevice->Dispatch());
    return S_OK;
  }

protected:
  ITarvoWorkbench Workbench() override {
    return HasWorkbench ? ITarvoWorkbench::FromDispatch(FHost.Workbench->Dispatch())
                        : ITarvoWorkbench();
  }
  IEmbeddedMemoryManager EmbeddedMemoryManager() override {
    return IEmbeddedMemoryManager::FromDispatch(FHost.Manager->Dispatch());
  }

private:
  TInitHost& FHost;
};

const std::vector<TInitEntry> kSizedEntries = {
    {L"a", 4, 0x11223344, 0x20000000},
    {L"b", 2, 0xABCD, 0x20000010},
    {L"c", 1, 0x1FE, 0x20000020},
    {L"d", 3, 0x55, 0x20000030},
    {L"e", 0x100000004ll, 0x66, 0x20000040},
    {L"f", 4, 0x77, 0x120000050ll},
};

TEST(ArmInitialMemory, EntriesOfTheLinkedProjectAreWrittenBySize) {
  TInitHost host;
  host.AddPort(false, {L"LM3S811-A"}); // no JTAG port: passed over
  const auto projects = host.AddPort(true, {L"LM3S101", L"lm3s811-a"});
  host.AddMemory({kSizedEntries.begin(), kSizedEntries.begin() + 3});
  host.AddMemory({kSizedEntries.begin() + 3, kSizedEntries.end()});
  TInitFake<TARMBase> driver(host);
  ASSERT_EQ(driver.InitializeMemory(), S_OK);
  EXPECT_EQ(Joined(driver.Memory.Writes),
            "w20000000=11223344 h20000010=abcd b20000020=fe w20000050=77");
  bool flag = false;
  EXPECT_EQ(host.LoadedProject(&flag), projects[1]->Dispatch());
  EXPECT_TRUE(flag);
  EXPECT_EQ(host.CategoryAsked(), 2);
}

TEST(ArmInitialMemory, WithoutWorkbenchLinkOrProjectNothingIsWritten) {
  struct TCase {
    const char* Name;
    bool Workbench;
    bool JtagPort;
    const wchar_t* LinkedId;
  };
  const TCase cases[] = {
      {"no workbench", false, true, L"LM3S811-A"},
      {"no link of the device", true, true, L"LM3S811-B"},
      {"link on a port without JTAG", true, false, L"LM3S811-A"},
  };
  for (const TCase& c : cases) {
    TInitHost host;
    host.AddPort(c.JtagPort, {c.LinkedId});
    host.AddMemory(kSizedEntries);
    TInitFake<TARMBase> driver(host);
    driver.HasWorkbench = c.Workbench;
    EXPECT_EQ(driver.InitializeMemory(), S_OK) << c.Name;
    EXPECT_TRUE(driver.Memory.Writes.empty()) << c.Name;
    EXPECT_EQ(host.CategoryAsked(), -1) << c.Name;
  }
}

TEST(ArmInitialMemory, CortexM3OrsEntriesOfOneNameWithTheFirstValueOfThatName) {
  const std::vector<TInitEntry> entries = {
      {L"Counter", 4, 0x1, 0x20000000},  {L"counter", 4, 0x4, 0x20000004},
      {L"COUNTER", 4, 0x10, 0x20000008}, {L"Other", 4, 0x100, 0x2000000C},
      {L"Flags", 1, 0x0F, 0x20000010},   {L"flags", 1, 0xF0, 0x20000011},
  };
  struct TCase {
    bool Cortex;
    const char* Writes;
  };
  const TCase cases[] = {
      {true, "w20000000=1 w20000004=5 w20000008=11 w2000000c=100 b20000010=f b20000011=ff"},
      {false, "w20000000=1 w20000004=4 w20000008=10 w2000000c=100 b20000010=f b20000011=f0"},
  };
  for (const TCase& c : cases) {
    TInitHost host;
    host.AddPort(true, {L"LM3S811-A"});
    host.AddMemory({entries.begin(), entries.begin() + 2});
    host.AddMemory({entries.begin() + 2, entries.end()});
    std::string writes;
    if (c.Cortex) {
      TInitFake<TARM_Cortex_M3> driver(host);
      ASSERT_EQ(driver.InitializeMemory(), S_OK);
      writes = Joined(driver.Memory.Writes);
    } else {
      TInitFake<TARMBase> driver(host);
      ASSERT_EQ(driver.InitializeMemory(), S_OK);
      writes = Joined(driver.Memory.Writes);
    }
    EXPECT_EQ(writes, c.Writes) << (c.Cortex ? "Cortex-M3" : "base");
  }
}

} // namespace
