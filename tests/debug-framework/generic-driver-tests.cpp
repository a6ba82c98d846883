// The generic driver and the processor driver as the host meets them: by
// DISPID through the test host, with files on disk for the constraint-file
// search, the memory map and the device picture.

#include "client-access.h"
#include "constraint-file.h"
#include "dialog-hook.h"
#include "dispatch.h"
#include "host-utilities.h"
#include "instrument-controls.h"
#include "processor-driver.h"
#include "tarvo-driver.h"
#include "test-host.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The plug-in caches the host's client; each test's host is a new one, so
// the cache is dropped before the host is made and after it is gone.
struct TClientAccessReset {
  TClientAccessReset() { ReleaseClientAccess(); }
  ~TClientAccessReset() { ReleaseClientAccess(); }
};

class TFreshTestHost : private TClientAccessReset, public TTestHost {};

// ---- calling by DISPID ------------------------------------------------------

struct TCall {
  HRESULT Result = S_OK;
  VARIANT Value;
  TCall() { VariantInit(&Value); }
  TCall(const TCall&) = delete;
  ~TCall() { VariantClear(&Value); }
};

// Arguments in declaration order; they are passed reversed, as a host does.
void Invoke(IDispatch* ATarget, DISPID ADispId, std::vector<VARIANT> AArgs, TCall& ACall) {
  std::vector<VARIANT> reversed(AArgs.rbegin(), AArgs.rend());
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()),
                    0};
  UINT argErr = 0;
  ACall.Result = ATarget->Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                 &params, &ACall.Value, nullptr, &argErr);
  for (VARIANT& arg : AArgs)
    VariantClear(&arg);
}

VARIANT Int(int32_t AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_I4;
  V_I4(&v) = AValue;
  return v;
}

VARIANT Text(const std::wstring& AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocStringLen(AValue.data(), UINT(AValue.size()));
  return v;
}

VARIANT Object(IDispatch* AValue) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_DISPATCH;
  V_DISPATCH(&v) = AValue;
  if (AValue)
    AValue->AddRef();
  return v;
}

std::wstring AsText(const VARIANT& AValue) {
  return V_VT(&AValue) == VT_BSTR && V_BSTR(&AValue) ? std::wstring(V_BSTR(&AValue))
                                                     : std::wstring();
}

void BindToDevice(TTarvoDriver& ADriver, TTestHost& AHost, unsigned APosition) {
  TCall call;
  Invoke(static_cast<IDispatch*>(&ADriver), 503754, {Object(AHost.Device(APosition).Dispatch())},
         call);
  ASSERT_EQ(call.Result, S_OK);
}

// ---- files on disk ------------------------------------------------------------

void WriteTextFile(const std::wstring& APath, const std::string& AText) {
  std::ofstream file(APath.c_str(), std::ios::binary);
  file << AText;
}

void MakeFolders(const std::wstring& APath) {
  for (std::size_t i = 0; (i = APath.find(L'\\', i + 1)) != std::wstring::npos;)
    CreateDirectoryW(APath.substr(0, i).c_str(), nullptr);
}

// Files a test leaves on disk are removed with it.
class TFixtureFiles {
public:
  ~TFixtureFiles() {
    for (auto it = FFiles.rbegin(); it != FFiles.rend(); ++it)
      DeleteFileW(it->c_str());
  }
  std::wstring Add(const std::wstring& APath, const std::string& AText) {
    MakeFolders(APath);
    WriteTextFile(APath, AText);
    FFiles.push_back(APath);
    return APath;
  }
  void Remove(const std::wstring& APath) { DeleteFileW(APath.c_str()); }

private:
  std::vector<std::wstring> FFiles;
};

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH];
  GetTempPathW(MAX_PATH, buffer);
  return buffer;
}

// A generic driver with a device name of its own and eight 8-bit debug
// registers, as a descendant that keeps the generic register access.
class TFixtureDriver : public TTarvoDriver {
public:
  std::wstring Name = L"FixtureDevice";
  std::wstring Family;
  HRESULT NameResult = S_OK;
  HRESULT GetDeviceName(std::wstring* AResult) override {
    *AResult = Name;
    return NameResult;
  }
  HRESULT GetFamilyName(std::wstring* AResult) override {
    *AResult = Family;
    return S_OK;
  }
  HRESULT GetProcessorRegisterCount(int32_t* AResult) override {
    *AResult = 9; // one past the address table
    return S_OK;
  }
  HRESULT GetProcessorRegisterWidth(int32_t, uint32_t* AResult) override {
    *AResult = 8;
    return S_OK;
  }
};

} // namespace

// ---- defaults by DISPID ---------------------------------------------------------

struct TDefaultCase {
  DISPID DispId;
  VARTYPE Type;
  int64_t Number; // integers and Booleans
  const wchar_t* Text;
};

TEST(GenericDriver, ContractDefaultsAnswerByDispid) {
  TFreshTestHost host;
  TTarvoDriver driver;
  BindToDevice(driver, host, 0);
  const TDefaultCase cases[] = {
      {503379, VT_I4, 0, nullptr},
      {503380, VT_BSTR, 0, L"Generic Tarvo Device"},
      {503381, VT_BSTR, 0, L"Generic Tarvo Device"},
      {503423, VT_BSTR, 0, L"Generic Tarvo Device"},
      {503389, VT_BSTR, 0, L"Generic"},
      {503391, VT_BSTR, 0, L"Un-Classified Packages"},
      {503395, VT_BSTR, 0, L"? x ? mm"},
      {503382, VT_BSTR, 0, L""},
      {503387, VT_I4, -1, nullptr},
      {503420, VT_I4, -1, nullptr},
      {503408, VT_I4, 4, nullptr},
      {503409, VT_I4, 0, nullptr},
      {503416, VT_BOOL, 0, nullptr},
      {503755, VT_BOOL, 0, nullptr},
      {503771, VT_I4, 0, nullptr},
      {503772, VT_I4, -1, nullptr},
      {503774, VT_I4, 1, nullptr},
      {503777, VT_I4, 1, nullptr},
      {503781, VT_I4, -1, nullptr},
      {503784, VT_BOOL, -1, nullptr},
      {503786, VT_BOOL, 0, nullptr},
      {503789, VT_I4, -1, nullptr}, // 0xFFFFFFFF
      {503792, VT_BSTR, 0, L""},
      {503810, VT_BOOL, -1, nullptr},
      {503818, VT_I4, -1, nullptr},
      {503820, VT_BOOL, 0, nullptr},
      {503764, VT_BOOL, -1, nullptr}, // no vendor: tools present
      {503765, VT_BOOL, -1, nullptr},
      {503763, VT_BSTR, 0, L""},
  };
  for (const TDefaultCase& c : cases) {
    SCOPED_TRACE(c.DispId);
    TCall call;
    // The indexed operations are asked about index 0.
    const bool indexed = c.DispId == 503777 || c.DispId == 503818;
    Invoke(static_cast<IDispatch*>(&driver), c.DispId,
           indexed ? std::vector<VARIANT>{Int(0)} : std::vector<VARIANT>{}, call);
    ASSERT_EQ(call.Result, S_OK);
    ASSERT_EQ(V_VT(&call.Value), c.Type);
    if (c.Type == VT_BSTR)
      EXPECT_EQ(AsText(call.Value), c.Text);
    else if (c.Type == VT_BOOL)
      EXPECT_EQ(V_BOOL(&call.Value), VARIANT_BOOL(c.Number));
    else
      EXPECT_EQ(V_I4(&call.Value), int32_t(c.Number));
  }
  EXPECT_TRUE(host.Errors().empty());
}

TEST(GenericDriver, IndexedDefaultsAnswerTheirOwnOperations) {
  TFreshTestHost host;
  TFixtureDriver driver;
  driver.Name = L"Renamed";
  TCall description, library;
  Invoke(static_cast<IDispatch*>(&driver), 503381, {}, description);
  EXPECT_EQ(AsText(description.Value), L"Renamed");
  Invoke(static_cast<IDispatch*>(&driver), 509312, {}, library);
  EXPECT_EQ(AsText(library.Value), GetModuleFolder() + L"Library\\");
}

struct TSupportsCase {
  const wchar_t* Text;
  bool Expected;
};

TEST(GenericDriver, SupportsFollowsTheActionTable) {
  TFreshTestHost host;
  TTarvoDriver driver;
  const TSupportsCase cases[] = {
      {L"cpld", false},
      {L"PROC", false},
      {L"ToolchainName=VORKANT ARM|Action=ResetDevice", false},
      {L"Action=ResetDevice", true},
      {L"Action=PauseProcessor", false},
      {L"VerifyProgram", false},
      {L"Flash_DownloadDevice", false},
      {L"ProcessorMenu", false},
      {L"ShowViewer", true},
      {L"no such action", true},
  };
  for (const TSupportsCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), 503761, {Text(c.Text)}, call);
    ASSERT_EQ(call.Result, S_OK);
    EXPECT_EQ(V_BOOL(&call.Value), c.Expected ? VARIANT_TRUE : VARIANT_FALSE);
  }
}

TEST(GenericDriver, ProcessorDriverAnswersProcessorClassesFromItsType) {
  TFreshTestHost host;
  TTarvoProcessorDriver driver(eDeviceProcessor_CORE_UNKNOWN, eDeviceProcessor_TYPE_HARD);
  const TSupportsCase cases[] = {{L"proc", true}, {L"SPROC", false}, {L"GPROC", false}};
  for (const TSupportsCase& c : cases) {
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), 503761, {Text(c.Text)}, call);
    EXPECT_EQ(V_BOOL(&call.Value), c.Expected ? VARIANT_TRUE : VARIANT_FALSE) << c.Text;
  }
}

// ---- constraint-file search ------------------------------------------------------

TEST(ConstraintSearch, FindsTheFileInEachPlaceInOrder) {
  TFreshTestHost host;
  const std::wstring embedded = TempFolder() + L"orvandel-fwd-embedded\\";
  host.ClientApi().OnCall(787, [embedded](TFakeInvocation& AInvocation) {
    AInvocation.ReturnText(embedded);
    return S_OK;
  });
  TFixtureFiles files;
  // The embedded tool chain lives where its library is.
  files.Add(GetHostSystemFolder() + L"Chandrel.dll", "");
  const std::wstring name = L"FixtureDevice.Constraint";
  const std::wstring places[] = {
      GetModuleFolder() + L"Library\\Embedded\\" + name,
      embedded + name,
      GetHostSystemFolder() + L"Library\\Embedded\\" + name,
  };
  for (const std::wstring& place : places)
    files.Add(place, "");
  TFixtureDriver driver;
  for (const std::wstring& place : places) {
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), 503821, {}, call);
    EXPECT_EQ(AsText(call.Value), place);
    files.Remove(place);
  }
  TCall none;
  Invoke(static_cast<IDispatch*>(&driver), 503821, {}, none);
  EXPECT_EQ(none.Result, S_OK);
  EXPECT_EQ(AsText(none.Value), L"");
}

TEST(ConstraintSearch, CustomFileComesFirstAndAMissingOneFallsBackToTheDeviceName) {
  TFreshTestHost host;
  TFixtureFiles files;
  const std::wstring custom = files.Add(TempFolder() + L"orvandel-fwd-custom.Constraint", "");
  const std::wstring byName =
      files.Add(GetModuleFolder() + L"Library\\Embedded\\FixtureDevice.Constraint", "");
  TFixtureDriver driver;
  const std::pair<std::wstring, std::wstring> cases[] = {
      {custom, custom},
      {L"Z:\\nowhere\\missing.Constraint", byName},
  };
  for (const auto& [set, expected] : cases) {
    TCall setCall, getCall;
    Invoke(static_cast<IDispatch*>(&driver), 503822, {Text(set)}, setCall);
    Invoke(static_cast<IDispatch*>(&driver), 503821, {}, getCall);
    EXPECT_EQ(AsText(getCall.Value), expected);
  }
}

TEST(ConstraintSearch, EmptyDeviceNameStillSearchesForTheBareExtension) {
  TFreshTestHost host;
  TFixtureFiles files;
  const std::wstring bare = files.Add(GetModuleFolder() + L"Library\\Embedded\\.Constraint", "");
  TFixtureDriver driver;
  driver.Name = L"";
  TCall call;
  Invoke(static_cast<IDispatch*>(&driver), 503821, {}, call);
  EXPECT_EQ(AsText(call.Value), bare);
}

// ---- memory map through the processor driver and its companions ----------------

namespace {

const char kConstraintSample[] =
    "Record=TARVO_CORE|Memory_BusType=SRAM|Memory_Depth=1k|ProgramDownloadAddress=0x2000_0000\r\n"
    "Record=BUS_LAYOUT_INFO|ComponentDesignator=U1|Memory_BusName=Main|Memory_Description=Code|"
    "Memory_BusType=CODE|ProgramDownloadAddress=0x0000_0000|Memory_Depth=512m|Memory_Width=32|"
    "Memory_MappedIO=False\r\n"
    "Record=bus_layout_info|Memory_BusName=Main|Memory_BusType=SRAM|ProgramDownloadAddress=0x2000_"
    "0000|Memory_Depth=64k\r\n"
    "\r\n"
    "Record=Something_Else|Memory_BusType=SRAM\r\n"
    "Record=TARVO_CORE|Memory_BusType=CODE|Default=True|Memory_Depth=64k|ProgramDownloadAddress="
    "0x0|Memory_UsageType=Code|Memory_PhysicalType=Flash\r\n"
    "Record=TARVO_CORE|Memory_BusName=x|Memory_BusType=SRAM|Default=true|Memory_Mau=16|Memory_"
    "Depth=8k|ProgramDownloadAddress=0x2000_0000|Memory_PhysicalType=RAM\r\n";

int32_t IntOf(IDispatch* ATarget, DISPID ADispId) {
  TCall call;
  Invoke(ATarget, ADispId, {}, call);
  EXPECT_EQ(call.Result, S_OK) << ADispId;
  return V_VT(&call.Value) == VT_I4 ? V_I4(&call.Value) : -12345;
}

} // namespace

TEST(ProcessorDriver, MemoryMapFromTheConstraintFileReachesTheHostThroughTheDriver) {
  TFreshTestHost host;
  TFixtureFiles files;
  const std::wstring path =
      files.Add(TempFolder() + L"orvandel-fwd-map.Constraint", kConstraintSample);
  TTarvoProcessorDriver driver;
  IDispatch* self = static_cast<IDispatch*>(&driver);
  TCall set;
  Invoke(self, 503822, {Text(path)}, set);
  ASSERT_EQ(set.Result, S_OK);
  EXPECT_EQ(IntOf(self, 503941), 2); // architecture sections
  EXPECT_EQ(IntOf(self, 503942), 2); // logical sections: the early line is dropped

  TCall flash, ram;
  Invoke(self, 503940, {}, flash);
  Invoke(self, 503939, {}, ram);
  ASSERT_EQ(V_VT(&flash.Value), VT_DISPATCH);
  ASSERT_EQ(V_VT(&ram.Value), VT_DISPATCH);
  ASSERT_NE(V_DISPATCH(&flash.Value), nullptr);
  ASSERT_NE(V_DISPATCH(&ram.Value), nullptr);
  EXPECT_EQ(IntOf(V_DISPATCH(&flash.Value), 503897), 0x10000);
  EXPECT_EQ(IntOf(V_DISPATCH(&flash.Value), 503898), 8);
  EXPECT_EQ(IntOf(V_DISPATCH(&ram.Value), 503896), 0x20000000);
  EXPECT_EQ(IntOf(V_DISPATCH(&ram.Value), 503898), 16);
  TCall bus;
  Invoke(V_DISPATCH(&ram.Value), 503892, {}, bus);
  EXPECT_EQ(AsText(bus.Value), L"Main");

  TCall bad;
  Invoke(self, 503822, {Text(L"Z:\\nowhere\\missing.Constraint")}, bad);
  EXPECT_EQ(IntOf(self, 503941), 0);
  EXPECT_EQ(IntOf(self, 503942), 0);
}

TEST(ProcessorDriver, UnservedDispidsGoToTheCompanionsButServedFailuresDoNot) {
  TFreshTestHost host;
  class TFailingNameDriver : public TTarvoProcessorDriver {
  public:
    HRESULT GetDeviceName(std::wstring*) override { return E_FAIL; }
  } driver;
  IDispatch* self = static_cast<IDispatch*>(&driver);
  EXPECT_EQ(IntOf(self, 503969), 2); // the debug manager's breakpoint mode: any
  TCall processor;
  Invoke(self, 503890, {}, processor); // processor information's tool chain
  EXPECT_EQ(processor.Result, S_OK);
  TCall nobody;
  Invoke(self, 599999, {}, nobody);
  EXPECT_EQ(nobody.Result, E_NOTIMPL);
  TCall failing;
  Invoke(self, 503380, {}, failing);
  EXPECT_EQ(failing.Result, E_FAIL);
}

TEST(ProcessorDriver, FlashWriterListKeepsOrderAndSelection) {
  TFreshTestHost host;
  std::vector<TAbstractFlashWriter*> made;
  const TVEKAbstractRemoteExecuteBaseDriverClass writerClass = [&made](TTarvoProcessorDriver&) {
    auto* writer = new TAbstractFlashWriter();
    made.push_back(writer);
    return TComPtr<TAbstractFlashWriter>(writer);
  };
  TTarvoProcessorDriver driver(eDeviceProcessor_CORE_UNKNOWN, eDeviceProcessor_TYPE_HARD,
                               std::vector{writerClass, writerClass});
  IDispatch* self = static_cast<IDispatch*>(&driver);
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(IntOf(self, 508745), 2);
  TCall selected;
  Invoke(self, 508744, {}, selected);
  EXPECT_EQ(V_DISPATCH(&selected.Value), static_cast<IDispatch*>(made[0]));
  TCall add;
  Invoke(self, 508741, {Object(made[0])}, add);
  EXPECT_EQ(add.Result, S_OK);
  EXPECT_EQ(IntOf(self, 508745), 3);
  TCall second, outside;
  Invoke(self, 508742, {Int(1)}, second);
  EXPECT_EQ(V_DISPATCH(&second.Value), static_cast<IDispatch*>(made[1]));
  Invoke(self, 508742, {Int(-1)}, outside);
  EXPECT_EQ(outside.Result, E_UNEXPECTED);

  TTarvoProcessorDriver bare;
  IDispatch* bareSelf = static_cast<IDispatch*>(&bare);
  EXPECT_EQ(IntOf(bareSelf, 508745), 0);
  TCall refused;
  Invoke(bareSelf, 508741, {Object(made[0])}, refused);
  EXPECT_EQ(refused.Result, E_UNEXPECTED);
}

// ---- run control and debug registers against the host's device ------------------

namespace {

// Scripts the control register of device 0 and logs what is written to it.
struct TControlRegisterScript {
  int32_t ReadValue = 0;
  std::vector<int32_t> Writes;
  void Install(TTestHost& AHost) {
    AHost.Device(0).OnCall(503666, [this](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(ReadValue);
      return S_OK;
    });
    AHost.Device(0).OnCall(503667, [this](TFakeInvocation& AInvocation) {
      Writes.push_back(AInvocation.Int(2));
      return S_OK;
    });
  }
};

} // namespace

TEST(RunControl, PauseWritesTheDebugBitsOverWhatWasRead) {
  const std::pair<int32_t, int32_t> cases[] = {{0xFF, 0x54}, {0x00, 0x14}};
  for (const auto& [read, written] : cases) {
    TFreshTestHost host;
    TControlRegisterScript control;
    control.Install(host);
    control.ReadValue = read;
    TTarvoDriver driver;
    BindToDevice(driver, host, 0);
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), 503797, {}, call);
    EXPECT_EQ(call.Result, S_OK);
    ASSERT_EQ(control.Writes.size(), 1u);
    EXPECT_EQ(control.Writes[0], written);
    EXPECT_FALSE(host.Channel().IsOpen());
  }
}

TEST(RunControl, RunStepsWritesOncePerStepAfterThePause) {
  const std::pair<int32_t, std::size_t> cases[] = {{3, 5}, {0, 2}, {-2, 2}};
  for (const auto& [steps, writes] : cases) {
    TFreshTestHost host;
    TControlRegisterScript control;
    control.Install(host);
    TTarvoDriver driver;
    BindToDevice(driver, host, 0);
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), 503799, {Int(steps)}, call);
    EXPECT_EQ(call.Result, S_OK);
    EXPECT_EQ(control.Writes.size(), writes) << steps;
  }
}

TEST(RunControl, RunningIsFalseWhileResetWithoutAskingPaused) {
  TFreshTestHost host;
  TControlRegisterScript control;
  control.Install(host);
  control.ReadValue = 0x20;
  TTarvoDriver driver;
  BindToDevice(driver, host, 0);
  host.LogScanRoad();
  host.Device(0).ClearLog();
  TCall call;
  Invoke(static_cast<IDispatch*>(&driver), 503802, {}, call);
  EXPECT_EQ(V_BOOL(&call.Value), VARIANT_FALSE);
  unsigned reads = 0;
  for (const TFakeCall& logged : host.Device(0).Calls())
    reads += logged.DispId == 503666;
  EXPECT_EQ(reads, 1u);
}

TEST(DebugRegisters, WritesShiftTheAddressWithTheWriteBitAndPadTheBitText) {
  struct TCase {
    DISPID DispId;
    int32_t Index;
    std::wstring Bits;
    int32_t Address;
    const wchar_t* Shifted;
  };
  const TCase cases[] = {
      {503766, 6, L"", 0xC0, nullptr},
      {503807, 2, L"101", 0x84, L"00000101"},
      {503807, 7, L"1111100001", 0x90 | 0x80, L"11100001"},
      {503808, 0, L"", 0x01, L"00000000"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Index);
    TFreshTestHost host;
    host.LogScanRoad();
    host.ChannelObject().OnCall(503589, [](TFakeInvocation& AInvocation) {
      AInvocation.ReturnInt(0);
      return S_OK;
    });
    host.ChannelObject().OnCall(503591, [](TFakeInvocation& AInvocation) {
      AInvocation.ReturnText(AInvocation.Text(0));
      return S_OK;
    });
    host.ChannelObject().OnCall(503588, [](TFakeInvocation&) { return S_OK; });
    host.ChannelObject().OnCall(503601, [](TFakeInvocation&) { return S_OK; });
    host.ChannelObject().OnCall(503605, [](TFakeInvocation&) { return S_OK; });
    TFixtureDriver driver;
    BindToDevice(driver, host, 0);
    std::vector<VARIANT> args{Int(c.Index)};
    if (c.DispId == 503766)
      args.push_back(Int(5));
    if (c.DispId == 503807)
      args.push_back(Text(c.Bits));
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), c.DispId, std::move(args), call);
    EXPECT_EQ(call.Result, S_OK);
    int32_t address = -1;
    std::wstring shifted;
    for (const TFakeCall& logged : host.ChannelObject().Calls()) {
      if (logged.DispId == 503588)
        address = V_I4(&logged.Declared(0));
      if (logged.DispId == 503591 && V_VT(&logged.Declared(0)) == VT_BSTR)
        shifted = V_BSTR(&logged.Declared(0));
    }
    EXPECT_EQ(address, c.Address);
    if (c.Shifted) {
      EXPECT_EQ(shifted, c.Shifted);
    }
  }
}

TEST(DebugRegisters, IndexesOutsideTheAddressTableAreRefusedWithoutScanning) {
  TFreshTestHost host;
  TFixtureDriver driver; // nine registers, eight addresses
  BindToDevice(driver, host, 0);
  host.LogScanRoad();
  host.ChannelObject().ClearLog();
  const DISPID reads[] = {503767, 503808};
  for (const DISPID dispId : reads) {
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), dispId, {Int(8)}, call);
    EXPECT_EQ(call.Result, E_UNEXPECTED) << dispId;
  }
  TCall below;
  Invoke(static_cast<IDispatch*>(&driver), 503808, {Int(-1)}, below);
  EXPECT_EQ(AsText(below.Value), L"0");
  for (const TFakeCall& logged : host.ChannelObject().Calls())
    EXPECT_NE(logged.DispId, 503588) << "an address was shifted";
}

TEST(MemoryAccess, TheGenericDriverTransfersNothing) {
  TTarvoDriver driver;
  TComPtr<IMemoryAccess> access;
  ASSERT_EQ(driver.QueryInterface(IID_IMemoryAccess, reinterpret_cast<void**>(access.Receive())),
            S_OK);
  uint32_t buffer[4] = {};
  TLongBool success = LongTrue;
  EXPECT_EQ(access->MemoryRead(0, buffer, 0, 4, &success), S_OK);
  EXPECT_EQ(success, LongFalse);
}

// ---- device picture ----------------------------------------------------------------

namespace {

// A 24-bit bottom-up bitmap file of one colour with its top-left pixel marked.
std::string BitmapFile(int AWidth, int AHeight, COLORREF AColour, COLORREF ACorner) {
  const int stride = (AWidth * 3 + 3) & ~3;
  std::string pixels(std::size_t(stride) * AHeight, '\0');
  for (int y = 0; y < AHeight; ++y)
    for (int x = 0; x < AWidth; ++x) {
      const COLORREF c = (x == 0 && y == AHeight - 1) ? ACorner : AColour; // bottom-up
      char* p = &pixels[std::size_t(y) * stride + x * 3];
      p[0] = char(GetBValue(c));
      p[1] = char(GetGValue(c));
      p[2] = char(GetRValue(c));
    }
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  info.biSize = sizeof(info);
  info.biWidth = AWidth;
  info.biHeight = AHeight;
  info.biPlanes = 1;
  info.biBitCount = 24;
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = DWORD(file.bfOffBits + pixels.size());
  return std::string(reinterpret_cast<const char*>(&file), sizeof(file)) +
         std::string(reinterpret_cast<const char*>(&info), sizeof(info)) + pixels;
}

COLORREF PixelAt(HBITMAP ABitmap, int AX, int AY, int& AWidth) {
  BITMAP bm{};
  GetObjectW(ABitmap, sizeof(bm), &bm);
  AWidth = bm.bmWidth;
  const int height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = bm.bmWidth;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  const int stride = (bm.bmWidth * 3 + 3) & ~3;
  std::vector<unsigned char> bytes(std::size_t(stride) * height);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, ABitmap, 0, UINT(height), bytes.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  const unsigned char* p = &bytes[std::size_t(AY) * stride + AX * 3];
  return RGB(p[2], p[1], p[0]);
}

} // namespace

TEST(DevicePicture, FamilyImageIsDrawnCentredWithItsCornersLeftOut) {
  TFreshTestHost host;
  TFixtureFiles files;
  TFixtureDriver driver;
  driver.Family = L"FixtureFamily";
  TCall missing;
  Invoke(static_cast<IDispatch*>(&driver), 503756, {}, missing);
  EXPECT_EQ(missing.Result, S_OK);
  EXPECT_EQ(V_I4(&missing.Value), 0);

  const COLORREF grey = RGB(0x80, 0x80, 0x80), blue = RGB(0, 0, 0xFF), red = RGB(0xFF, 0, 0);
  files.Add(GetHostSystemFolder() + L"Generic_Hard_Device.bmp", BitmapFile(20, 30, grey, grey));
  files.Add(GetModuleFolder() + L"Library\\DeviceImages\\FixtureFamily.bmp",
            BitmapFile(10, 10, blue, red));
  TCall built;
  Invoke(static_cast<IDispatch*>(&driver), 503756, {}, built);
  ASSERT_EQ(built.Result, S_OK);
  const HBITMAP picture = reinterpret_cast<HBITMAP>(uintptr_t(uint32_t(V_I4(&built.Value))));
  ASSERT_NE(picture, nullptr);
  struct TPixelCase {
    int X, Y;
    COLORREF Expected;
  };
  const TPixelCase pixels[] = {
      {5, 10, grey}, // the image's top-left corner: left out
      {6, 10, blue},  {5, 11, blue}, {10, 15, blue}, {14, 19, grey}, // bottom-right corner
      {13, 19, blue}, {4, 10, grey}, {15, 15, grey}, {0, 0, grey},
  };
  for (const TPixelCase& p : pixels) {
    int width = 0;
    EXPECT_EQ(PixelAt(picture, p.X, p.Y, width), p.Expected) << p.X << "," << p.Y;
    EXPECT_EQ(width, 20);
  }
  // The picture is kept: the next call answers the same handle.
  TCall again;
  Invoke(static_cast<IDispatch*>(&driver), 503756, {}, again);
  EXPECT_EQ(V_I4(&again.Value), V_I4(&built.Value));
}

// ---- rack panel and the host's windows ---------------------------------------------

namespace {

constexpr DISPID kGetJTagDevice = 503579, kGetBSDLEntity = 503550, kCreateRackViewer = 503759,
                 kGetRackViewer = 503760, kReleaseResources = 503812, kGetApplicationHandle = 486;

// The chain device the host's channel answers for the bound device; with
// boundary-scan data, its entity is any host object.
TComPtr<TFakeHostObject> ServeChainDevice(TTestHost& AHost, bool AWithBoundaryScan) {
  TComPtr<TFakeHostObject> chainDevice = TFakeHostObject::Create({L"IJTagDevice"});
  TFakeHostObject* device = chainDevice.Get();
  if (AWithBoundaryScan)
    device->OnCall(kGetBSDLEntity, [device](TFakeInvocation& AInvocation) {
      AInvocation.ReturnObject(device->Dispatch());
      return S_OK;
    });
  AHost.ChannelObject().OnCall(kGetJTagDevice, [device](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(device->Dispatch());
    return S_OK;
  });
  return chainDevice;
}

bool HasView(TTarvoDriver& ADriver) {
  TCall view;
  Invoke(static_cast<IDispatch*>(&ADriver), kGetRackViewer, {}, view);
  return view.Result == S_OK && V_VT(&view.Value) == VT_DISPATCH && V_DISPATCH(&view.Value);
}

} // namespace

TEST(RackPanel, ADeviceWithoutBoundaryScanDataGetsTheErrorOnEveryAttemptAndNoPanel) {
  TFreshTestHost host;
  host.SetDeviceNames(0, L"LM3S811-IQN48", L"Stellaris800", L"");
  const TComPtr<TFakeHostObject> chainDevice = ServeChainDevice(host, false);
  TFixtureDriver driver;
  BindToDevice(driver, host, 0);
  TDialogHook dialogs;
  for (int attempt = 0; attempt < 2; ++attempt) {
    dialogs.Script(IDOK);
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), kCreateRackViewer, {}, call);
    EXPECT_EQ(call.Result, S_OK);
    EXPECT_EQ(driver.GetRackForm(), nullptr);
    EXPECT_FALSE(HasView(driver));
  }
  // Each attempt tells the user again: no panel was kept.
  ASSERT_EQ(dialogs.Dialogs().size(), 2u);
  for (const TDialogHook::TDialog& box : dialogs.Dialogs()) {
    EXPECT_EQ(box.Caption, L"Error");
    EXPECT_EQ(box.Text, L"Failed To find Boundary Scan data for Device\r\rDevice:  LM3S811-IQN48");
  }
}

TEST(RackPanel, ADeviceWithBoundaryScanDataGetsOneViewerForTheBoundDevice) {
  TFreshTestHost host;
  const TComPtr<TFakeHostObject> chainDevice = ServeChainDevice(host, true);
  TFixtureDriver driver;
  BindToDevice(driver, host, 0);
  TDialogHook dialogs;
  TInstrumentForm* first = nullptr;
  for (int attempt = 0; attempt < 2; ++attempt) {
    TCall call;
    Invoke(static_cast<IDispatch*>(&driver), kCreateRackViewer, {}, call);
    EXPECT_EQ(call.Result, S_OK);
    if (attempt == 0)
      first = driver.GetRackForm();
  }
  const auto* viewer = dynamic_cast<THardDeviceViewerForm*>(driver.GetRackForm());
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(driver.GetRackForm(), first) << "a second form was made";
  EXPECT_EQ(host.Timers().size(), 1u) << "one status timer";
  // The driver ran the viewer's SetState_Controls: the host's device is a
  // generic one, with nothing to download.
  EXPECT_FALSE(viewer->Button_Download->Enabled());
  EXPECT_TRUE(viewer->Button_DeviceInformation->Enabled());
  EXPECT_EQ(viewer->TarvoDevice().Intf(), host.Device(0).Dispatch());
  EXPECT_EQ(viewer->ChainDevice().Intf(), chainDevice->Dispatch());
  EXPECT_TRUE(HasView(driver));
  EXPECT_TRUE(dialogs.Dialogs().empty());

  TCall release;
  Invoke(static_cast<IDispatch*>(&driver), kReleaseResources, {}, release);
  EXPECT_EQ(release.Result, S_OK);
  EXPECT_EQ(driver.GetRackForm(), nullptr);
  EXPECT_FALSE(HasView(driver));
  EXPECT_TRUE(host.Timers().empty()) << "the viewer's timer went with it";
}

TEST(HostWindows, MessageBoxesBelongToTheHostApplicationWindowWhenNoneIsActive) {
  TFreshTestHost host;
  const HWND application = CreateWindowExW(0, L"STATIC", L"Host application", WS_OVERLAPPED, 0, 0,
                                           100, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(application, nullptr);
  host.Client().OnCall(kGetApplicationHandle, [application](TFakeInvocation& AInvocation) {
    AInvocation.ReturnInt(int32_t(reinterpret_cast<intptr_t>(application)));
    return S_OK;
  });
  const TComPtr<TFakeHostObject> chainDevice = ServeChainDevice(host, false);
  TFixtureDriver driver;
  BindToDevice(driver, host, 0);
  ASSERT_EQ(GetActiveWindow(), nullptr);
  TDialogHook dialogs;
  dialogs.Script(IDOK);
  TCall call;
  Invoke(static_cast<IDispatch*>(&driver), kCreateRackViewer, {}, call);
  ASSERT_EQ(dialogs.Dialogs().size(), 1u);
  EXPECT_EQ(dialogs.Dialogs()[0].Owner, application);
  DestroyWindow(application);
}
