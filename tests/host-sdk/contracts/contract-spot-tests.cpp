// A hand-written check of DISPIDs from every family of contracts, written
// independently of contracts.txt: it catches a row transcribed with the
// wrong DISPID, operation, argument order or kind, or result kind.

#include "contracts-recording.generated.h"
#include "host-args.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using TArgs = std::function<void(THostArgs&)>;

struct TSpot {
  const wchar_t* Class;
  DISPID DispId;
  TArgs Args;
  const wchar_t* Logged; // what the recording operation logs
  VARTYPE Result;        // VT_EMPTY: no result
};

const TArgs kNone = [](THostArgs&) {};
TArgs Int(int32_t AValue) {
  return [=](THostArgs& A) { A.I4(AValue); };
}
TArgs Text(const wchar_t* AValue) {
  return [=](THostArgs& A) { A.Str(AValue); };
}
TArgs Wide(int64_t AValue) {
  return [=](THostArgs& A) { A.I8(AValue); };
}
TArgs Flag(VARIANT_BOOL AValue) {
  return [=](THostArgs& A) { A.Bool(AValue); };
}
TArgs Then(TArgs AFirst, TArgs ASecond) {
  return [=](THostArgs& A) {
    AFirst(A);
    ASecond(A);
  };
}
// An object argument: a host object of no particular kind.
IDispatch* HostObject() {
  static TAbstractSupportService* object = [] {
    auto* o = new TAbstractSupportService;
    o->AddRef();
    return o;
  }();
  return object;
}
TArgs Object() {
  return [](THostArgs& A) { A.Obj(HostObject()); };
}

constexpr int64_t kAbove32 = (int64_t(1) << 32) + 5;

const TSpot kPlatform[] = {
    {L"TAbstractExternalForm", 49, Object(), L"SetParentWindowHolder(obj)", VT_EMPTY},
    {L"TAbstractExternalForm", 50, kNone, L"Attach()", VT_EMPTY},
    {L"TAbstractExternalForm", 51, kNone, L"Detach()", VT_EMPTY},
    {L"TAbstractExternalForm", 53, kNone, L"GetCaption()", VT_BSTR},
    {L"TAbstractExternalForm", 54, kNone, L"GetHandle()", VT_I4},
    {L"TAbstractExternalForm", 55, kNone, L"Hide()", VT_EMPTY},
    {L"TAbstractExternalForm", 56, Then(Then(Int(10), Int(20)), Then(Int(300), Int(400))),
     L"SetBounds(10,20,300,400)", VT_EMPTY},
    {L"TAbstractExternalForm", 57, kNone, L"SetFocus()", VT_EMPTY},
    {L"TAbstractExternalForm", 58, kNone, L"Show()", VT_EMPTY},
    {L"TAbstractExternalForm", 59, kNone, L"FocusFirstControl()", VT_EMPTY},
    {L"TAbstractSDKServerView", 60, kNone, L"GetIsDockingPanel()", VT_BOOL},
    {L"TAbstractSDKServerView", 63, Text(L"s"), L"SetViewState(s)", VT_EMPTY},
    {L"TAbstractSDKServerView", 64, Object(), L"ReceiveNotification(obj)", VT_EMPTY},
    {L"TAbstractSDKServerView", 56, Then(Then(Int(1), Int(2)), Then(Int(3), Int(4))),
     L"SetBounds(1,2,3,4)", VT_EMPTY},
    {L"TAbstractNotificationHandler", 266, Object(), L"HandleNotification(obj)", VT_EMPTY},
    {L"TAbstractTimerHandler", 267, Wide(0x80000001LL), L"HandleTimerEvent(2147483649)", VT_EMPTY},
    {L"TAbstractTimerHandler", 267, Int(-1), L"HandleTimerEvent(4294967295)", VT_EMPTY},
    {L"TAbstractStrings", 660, kNone, L"GetCount()", VT_I4},
    {L"TAbstractStrings", 661, Int(2), L"GetItem(2)", VT_BSTR},
    {L"TAbstractStrings", 662, Text(L"a"), L"IndexOf(a)", VT_I4},
    {L"TAbstractStrings", 663, Text(L"b"), L"Add(b)", VT_I4},
};

const TSpot kDeviceInformation[] = {
    {L"TAbstractDeviceInformation", 503379, kNone, L"GetIdCode()", VT_I4},
    {L"TAbstractDeviceInformation", 503380, kNone, L"GetDeviceName()", VT_BSTR},
    {L"TAbstractDeviceInformation", 503387, kNone, L"GetEquivalentGatesForBase()", VT_I4},
    {L"TAbstractDeviceInformation", 503399, kNone, L"GetSpeedGradeId()", VT_BSTR},
    {L"TAbstractDeviceInformation", 503406, kNone, L"GetBSDLEntity()", VT_DISPATCH},
    {L"TAbstractDeviceInformation", 503411, Text(L"3"), L"GetDevicePin(3)", VT_DISPATCH},
    {L"TAbstractDeviceInformation", 503416, kNone, L"GetTerminationSupport()", VT_BOOL},
    {L"TAbstractDeviceInformation", 503422, Int(1), L"GetIOStandard(1)", VT_DISPATCH},
    {L"TAbstractDeviceInformation", 503424, Text(L"p"), L"GetDeviceParameter(p)", VT_BSTR},
    {L"TAbstractDevicePin", 503525, kNone, L"GetPinNumber()", VT_BSTR},
    {L"TAbstractDevicePin", 503532, Int(0), L"GetIOStandard(0)", VT_DISPATCH},
    {L"TAbstractDevicePin", 503547, kNone, L"GetUniqueDifferentialID()", VT_BSTR},
    {L"TAbstractDevicePin", 503549, kNone, L"GetIsNegPinOfDiffPair()", VT_BOOL},
    {L"TAbstractDeviceIOStandard", 503519, kNone, L"GetDisplayName()", VT_BSTR},
    {L"TAbstractDeviceIOStandard", 503522, Int(4), L"GetSlewValue(4)", VT_BSTR},
    {L"TAbstractDeviceIOStandard", 503524, Int(5), L"GetDriveStrength(5)", VT_BSTR},
};

const TSpot kDriver[] = {
    {L"TAbstractTarvoDriver", 503753, kNone, L"GetTarvoDevice()", VT_DISPATCH},
    {L"TAbstractTarvoDriver", 503754, Object(), L"SetTarvoDevice(obj)", VT_BOOL},
    {L"TAbstractTarvoDriver", 503756, kNone, L"GetBitmapHandle()", VT_I4},
    {L"TAbstractTarvoDriver", 503761, Text(L"PROC"), L"Supports(PROC)", VT_BOOL},
    {L"TAbstractTarvoDriver", 503766, Then(Int(15), Wide(kAbove32)),
     L"SetProcessorRegisterValue(15,5)", VT_BOOL},
    {L"TAbstractTarvoDriver", 503767, Int(13), L"GetProcessorRegisterValue(13)", VT_I4},
    {L"TAbstractTarvoDriver", 503776, Int(1), L"GetMemorySpaceKind(1)", VT_I4},
    {L"TAbstractTarvoDriver", 503787, kNone, L"GetDeviceState()", VT_I4},
    {L"TAbstractTarvoDriver", 503799, Int(7), L"RunSteps(7)", VT_EMPTY},
    {L"TAbstractTarvoDriver", 503807, Then(Int(2), Text(L"0x10")),
     L"SetProcessorRegisterWideValue(2,0x10)", VT_BOOL},
    {L"TAbstractTarvoDriver", 503816, Then(Then(Text(L"a"), Text(L"b")), Text(L"c")),
     L"EPM_Download(a,b,c)", VT_BOOL},
    {L"TAbstractTarvoDriver", 503822, Text(L"f.ucf"), L"SetEmbeddedConstraintFile(f.ucf)",
     VT_EMPTY},
    {L"TAbstractTarvoDriver", 508552, Then(Int(0), Wide(0x120000000LL)),
     L"AddSoftBreakpoint(0,4831838208)", VT_I4},
    {L"TAbstractTarvoDriver", 508553, Then(Then(Int(1), Wide(0x20)), Wide(kAbove32)),
     L"RemoveSoftBreakpoint(1,32,5)", VT_BOOL},
    {L"TAbstractTarvoDriver", 508554, Int(0), L"GetMemorySpaceLength(0)", VT_I8},
    {L"TAbstractTarvoDriver", 509981, Int(2), L"CustomCoreGenerator(2)", VT_DISPATCH},
    // through the device-information table
    {L"TAbstractTarvoDriver", 503380, kNone, L"GetDeviceName()", VT_BSTR},
};

const TSpot kProcessor[] = {
    {L"TAbstractDeviceProcessorInformation", 503886, kNone, L"GetDeviceProcessorFamilyString()",
     VT_BSTR},
    {L"TAbstractDeviceProcessorInformation", 503890, kNone, L"GetDeviceProcessorToolChainString()",
     VT_BSTR},
    {L"TAbstractDeviceMemoryInformation", 503938, kNone, L"GetDefaultROMLogicalSection()",
     VT_DISPATCH},
    {L"TAbstractDeviceMemoryInformation", 503943, Wide(kAbove32), L"GetLogicalSection(5)",
     VT_DISPATCH},
    {L"TAbstractDeviceMemoryInformation", 503945, Object(), L"AddArchitectureSection(obj)", VT_I4},
    {L"TAbstractDeviceMemoryArchitectureSection", 503917, kNone, L"GetDeviceMemoryIndex()", VT_I4},
    {L"TAbstractDeviceMemoryArchitectureSection", 503933, Flag(VARIANT_TRUE), L"SetIsMappedIO(-1)",
     VT_EMPTY},
    {L"TAbstractDeviceMemoryArchitectureSection", 503937, Int(0), L"GetChildMap(0)", VT_DISPATCH},
    {L"TAbstractDeviceMemoryLogicalSection", 503891, kNone, L"GetDeviceMemoryIndex()", VT_I4},
    {L"TAbstractDeviceMemoryLogicalSection", 503904, Wide(kAbove32), L"SetDeviceMemoryIndex(5)",
     VT_EMPTY},
    {L"TAbstractDeviceMemoryLogicalSection", 503905, Flag(VARIANT_TRUE), L"SetIsDefault(-1)",
     VT_EMPTY},
    {L"TAbstractDeviceMemoryLogicalSection", 503916, Flag(VARIANT_FALSE), L"SetIsExternal(0)",
     VT_EMPTY},
    {L"TAbstractDeviceDebugManager", 503948, Object(), L"AddHardBreakPoint(obj)", VT_I4},
    {L"TAbstractDeviceDebugManager", 503969, kNone, L"GetBreakpointMode()", VT_I4},
    {L"TAbstractDeviceDebugManager", 508566, Then(Int(0), Wide(0x100000000LL)),
     L"AddressSupportsSoftBreakpoints(0,4294967296)", VT_BOOL},
    {L"TAbstractDeviceDebugManager", 508569, Wide(-2), L"GetBreakpointByData(-2)", VT_DISPATCH},
    {L"TAbstractSoftBreakpoint", 503450, kNone, L"GetReplaced()", VT_I4},
    {L"TAbstractSoftBreakpoint", 508547, kNone, L"GetAddress()", VT_I8},
    {L"TAbstractSoftBreakpoint", 508548, Wide(0x1234567890LL), L"SetAddress(78187493520)",
     VT_EMPTY},
    {L"TAbstractHardBreakpoint", 503450, kNone, L"GetReplaced()", VT_I4},
    {L"TAbstractHardBreakpoint", 508556, kNone, L"GetAddressMask()", VT_I8},
    {L"TAbstractHardBreakpoint", 508565, Wide(-1), L"SetControlMask(-1)", VT_EMPTY},
};

const TSpot kFlashWriter[] = {
    {L"TAbstractRemoteExecuteBaseDriver", 508687, Text(L"t"), L"SetRemoteDriverDeviceTitle(t)",
     VT_EMPTY},
    {L"TAbstractRemoteExecuteBaseDriver", 508688, Text(L"v"), L"SetRemoteDriverVendorName(v)",
     VT_EMPTY},
    {L"TAbstractRemoteExecuteBaseDriver", 508691, Wide(kAbove32), L"SetRemoteDriverBaseAddress(5)",
     VT_EMPTY},
    {L"TAbstractRemoteExecuteBaseDriver", 508696, kNone, L"GetRemoteDriverDeviceName()", VT_BSTR},
    {L"TAbstractRemoteExecuteBaseDriver", 508697, kNone, L"GetRemoteDriverVendorName()", VT_BSTR},
    {L"TAbstractRemoteExecuteBaseDriver", 508708, kNone, L"GetIsAborting()", VT_BOOL},
    {L"TAbstractFlashWriter", 508695, kNone, L"GetRemoteDriverDeviceTitle()", VT_BSTR},
    {L"TAbstractFlashWriter", 508717, kNone, L"InstallDriver()", VT_I4},
    {L"TAbstractFlashWriter", 508719,
     Then(Then(Int(1), Object()), Then(Then(Flag(VARIANT_TRUE), Flag(0)), Then(Flag(-1), Flag(0)))),
     L"WriteFlashImage(1,obj,-1,0,-1,0)", VT_I4},
    {L"TAbstractFlashWriter", 508722,
     Then(Then(Int(0), Int(0x1000)), Then(Int(0x1FFF), Flag(VARIANT_TRUE))),
     L"EraseAddressRange(0,4096,8191,-1)", VT_I4},
    {L"TAbstractFlashWriter", 508727, Then(Then(Int(2), Int(0)), Then(Int(0xFFFF), Int(32))),
     L"AddFlashMemorySpace(2,0,65535,32)", VT_I4},
    {L"TAbstractFlashWriter", 508733, Int(-8), L"IsFlashWidthSupported(-8)", VT_BOOL},
    {L"TAbstractFlashWriter", 508735, Int(-1), L"SupportsAction(4294967295)", VT_BOOL},
    {L"TAbstractFlashWriter", 508837, kNone, L"GetSupportedDevicesList()", VT_DISPATCH},
};

const TSpot kBoundaryScan[] = {
    {L"TAbstractBSDLEntity", 503458, kNone, L"GetName()", VT_BSTR},
    {L"TAbstractBSDLEntity", 503460, kNone, L"GetIdCode()", VT_I4},
    {L"TAbstractBSDLEntity", 503462, Int(0), L"GetPin(0)", VT_DISPATCH},
    {L"TAbstractBSDLEntity", 503466, Int(1), L"GetRegisterAssociation(1)", VT_DISPATCH},
    {L"TAbstractBSDLEntity", 503476, kNone, L"GetPin_TRST()", VT_DISPATCH},
    {L"TAbstractBSDLEntity", 503483, kNone, L"GetInstruction_HIGHZ()", VT_I4},
    {L"TAbstractBSDLEntity", 503484, kNone, L"GetScanClockMaxSpeed()", VT_R8},
    {L"TAbstractBSDLEntity", 503485, kNone, L"GetScanClockHaltMode()", VT_I4},
    {L"TAbstractBSDLEntity", 503489, kNone, L"GetFilename()", VT_BSTR},
    {L"TAbstractBSDLObject", 503429, kNone, L"GetEntity()", VT_DISPATCH},
    {L"TAbstractScanPin", 503427, kNone, L"GetDescription()", VT_BSTR},
    {L"TAbstractScanPin", 503490, kNone, L"GetDirection()", VT_I4},
    {L"TAbstractScanPin", 503496, Int(2), L"GetBoundaryCell(2)", VT_DISPATCH},
    {L"TAbstractPinMapping", 503500, kNone, L"GetScanPin()", VT_DISPATCH},
    {L"TAbstractBoundaryCell", 503502, kNone, L"GetCellKind()", VT_I4},
    {L"TAbstractBoundaryCell", 503511, kNone, L"GetTargetCell()", VT_DISPATCH},
    {L"TAbstractInstructionOpCode", 503514, kNone, L"GetOpCodePattern()", VT_BSTR},
    {L"TAbstractRegisterAssociation", 503518, Int(3), L"GetInstructionOpcode(3)", VT_DISPATCH},
    {L"TAbstractRegisterAssociation", 503428, kNone, L"GetShortDescription()", VT_BSTR},
};

const TSpot kListeners[] = {
    {L"TAbstractComponentPinSelectionListener", 502787, Int(42), L"SelectionChanged(42)", VT_EMPTY},
    {L"TAbstractModelEditorSelectionListener", 503256, Text(L"U1.3"), L"SelectionChanged(U1.3)",
     VT_EMPTY},
    {L"TAbstractJlinkDriver", 503880, kNone, L"GetJlinkHandle()", VT_I4},
};

void CheckSpots(const TSpot* ABegin, const TSpot* AEnd) {
  for (const TSpot* s = ABegin; s != AEnd; ++s) {
    SCOPED_TRACE(Narrow(s->Class) + " DISPID " + std::to_string(s->DispId));
    const TContractClass* cls = nullptr;
    for (const TContractClass& c : ContractClasses())
      if (std::wstring(c.Name) == s->Class)
        cls = &c;
    ASSERT_NE(cls, nullptr);
    TRecordingObject r = cls->CreateRecording();
    r.Object->AddRef();
    r.Recorder->ObjectResult = TDispatchRecord::FromDispatch(HostObject());
    THostArgs args;
    s->Args(args);
    TResultVariant result;
    EXPECT_EQ(args.Invoke(static_cast<IDispatch*>(r.Object), s->DispId, &result.Value), S_OK);
    ASSERT_EQ(r.Recorder->Calls.size(), 1u);
    EXPECT_EQ(Narrow(r.Recorder->Calls[0]), Narrow(s->Logged));
    if (s->Result == VT_EMPTY)
      EXPECT_TRUE(result.Untouched());
    else
      EXPECT_EQ(V_VT(&result.Value), s->Result);
    r.Recorder->ObjectResult = TDispatchRecord();
    r.Object->Release();
  }
}

TEST(ContractSpotCheck, PlatformContracts) {
  CheckSpots(std::begin(kPlatform), std::end(kPlatform));
}
TEST(ContractSpotCheck, DeviceInformationPinsAndIOStandards) {
  CheckSpots(std::begin(kDeviceInformation), std::end(kDeviceInformation));
}
TEST(ContractSpotCheck, Driver) {
  CheckSpots(std::begin(kDriver), std::end(kDriver));
}
TEST(ContractSpotCheck, ProcessorMemoryDebugAndBreakpoints) {
  CheckSpots(std::begin(kProcessor), std::end(kProcessor));
}
TEST(ContractSpotCheck, RemoteExecuteAndFlashWriter) {
  CheckSpots(std::begin(kFlashWriter), std::end(kFlashWriter));
}
TEST(ContractSpotCheck, BoundaryScan) {
  CheckSpots(std::begin(kBoundaryScan), std::end(kBoundaryScan));
}
TEST(ContractSpotCheck, SelectionListenersAndJlinkDriver) {
  CheckSpots(std::begin(kListeners), std::end(kListeners));
}

TEST(ContractSpotCheck, DispidsOfOtherFamiliesAreNotServed) {
  struct TCase {
    const wchar_t* Class;
    DISPID DispId;
  };
  const TCase cases[] = {
      {L"TAbstractDeviceInformation", 503425}, // one past the table
      {L"TAbstractScanPin", 503458},           // the entity's
      {L"TAbstractBSDLEntity", 503427},        // the part base's
      {L"TAbstractSoftBreakpoint", 508556},    // the hard breakpoint's
      {L"TAbstractRemoteExecuteBaseDriver", 508717},
      {L"TAbstractExternalForm", 60}, // the server view's
      {L"TAbstractDevicePin", 503380},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(Narrow(c.Class) + " DISPID " + std::to_string(c.DispId));
    const TContractClass* cls = nullptr;
    for (const TContractClass& k : ContractClasses())
      if (std::wstring(k.Name) == c.Class)
        cls = &k;
    ASSERT_NE(cls, nullptr);
    TRecordingObject r = cls->CreateRecording();
    r.Object->AddRef();
    TResultVariant result;
    EXPECT_EQ(THostArgs().Invoke(static_cast<IDispatch*>(r.Object), c.DispId, &result.Value),
              E_NOTIMPL);
    EXPECT_TRUE(result.Untouched());
    r.Object->Release();
  }
}

} // namespace
