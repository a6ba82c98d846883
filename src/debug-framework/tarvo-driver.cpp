#include "tarvo-driver.h"

#include "actions.h"
#include "client-access.h"
#include "constraint-file.h"
#include "device-picture.h"
#include "dialogs.h"
#include "host-modules.h"
#include "host-utilities.h"
#include "toolchain-utils.h"

#include <string_view>

namespace {

constexpr wchar_t kGenericDeviceName[] = L"Generic Tarvo Device";

bool SameText(std::wstring_view A, std::wstring_view B) {
  return CompareStringOrdinal(A.data(), int(A.size()), B.data(), int(B.size()), TRUE) == CSTR_EQUAL;
}

template <class T> HRESULT Answer(T* AResult, T AValue) {
  if (!AResult)
    return E_POINTER;
  *AResult = std::move(AValue);
  return S_OK;
}

HRESULT AnswerText(std::wstring* AResult, std::wstring AValue) {
  return Answer(AResult, std::move(AValue));
}

HRESULT AnswerBool(TBoolean* AResult, bool AValue) {
  return Answer(AResult, TBoolean(AValue));
}

// ---- the vendor tools the host knows about ------------------------------------

struct TVendorTools {
  const wchar_t* Vendor;
  bool (*Present)();
  bool (*UpToDate)(std::wstring& AVersion);
  std::wstring (*Descriptor)();
};

constexpr TVendorTools kVendorTools[] = {
    {L"Xilinx", XilinxToolsPresent, XilinxToolsUpToDate, XilinxToolsDescriptor},
    {L"Altera", AlteraToolsPresent, AlteraToolsUpToDate, AlteraToolsDescriptor},
    {L"Actel", ActelToolsPresent, ActelToolsUpToDate, ActelToolsDescriptor},
    {L"Lattice", LatticeToolsPresent, LatticeToolsUpToDate, LatticeToolsDescriptor},
};

const TVendorTools* FindVendorTools(const std::wstring& AVendor) {
  for (const TVendorTools& row : kVendorTools)
    if (SameText(AVendor, row.Vendor))
      return &row;
  return nullptr;
}

// ---- Supports -------------------------------------------------------------------

struct TDeviceClassRow {
  const wchar_t* Name;
  bool (TTarvoDriver::*Answer)();
};

constexpr TDeviceClassRow kDeviceClasses[] = {
    {L"CPLD", &TTarvoDriver::IsCPLD},           {L"FPGA", &TTarvoDriver::IsFPGA},
    {L"PROM", &TTarvoDriver::IsPROM},           {L"PROC", &TTarvoDriver::IsHardProcessor},
    {L"SPROC", &TTarvoDriver::IsSoftProcessor}, {L"GPROC", &TTarvoDriver::IsGenericProcessor},
};

// The actions a driver without a processor or flash cannot carry out.
constexpr TTarvoAction kUnsupportedActions[] = {
    TTarvoAction::PauseProcessor,
    TTarvoAction::ContinueProcessor,
    TTarvoAction::ResetProcessor,
    TTarvoAction::SingleStepProcessor,
    TTarvoAction::CompileProgram,
    TTarvoAction::DownloadProgram,
    TTarvoAction::StartDebug,
    TTarvoAction::StartAttach,
    TTarvoAction::EndDebug,
    TTarvoAction::ProcessorMenu,
    TTarvoAction::Flash_ResetDevice,
    TTarvoAction::Flash_ConfigureDevice,
    TTarvoAction::Flash_DownloadDevice,
    TTarvoAction::Flash_ChooseAndDownload,
    TTarvoAction::VerifyProgram,
};

// Closes the channel when a run-control sequence fails part-way, so a
// failure does not leave the host's channel open.
class TChannelBracket {
public:
  explicit TChannelBracket(TTarvoDriver& ADriver) : FDriver(ADriver) { FDriver.OpenChannel(); }
  ~TChannelBracket() {
    if (!FClosed) {
      try {
        FDriver.CloseChannel();
      } catch (...) {
      }
    }
  }
  void Close() {
    FClosed = true;
    FDriver.CloseChannel();
  }

private:
  TTarvoDriver& FDriver;
  bool FClosed = false;
};

} // namespace

void CheckOperation(HRESULT AResult, const wchar_t* AOperation) {
  if (FAILED(AResult))
    throw EOleSysError(AResult, std::wstring(AOperation) + L" failed");
}

// ---- construction -------------------------------------------------------------------

TTarvoDriver::TTarvoDriver(const std::wstring& ACoreExt) : FCoreExt(ACoreExt) {
  // The plug-in's windows belong to the host's application window.
  try {
    const IClient client = Client();
    if (!client.IsEmpty())
      SetApplicationWindow(reinterpret_cast<HWND>(intptr_t(client.GetApplicationHandle())));
  } catch (...) {
  }
}

TTarvoDriver::~TTarvoDriver() {
  if (FDeviceImage)
    DeleteObject(FDeviceImage);
  if (FDeviceAboutImage)
    DeleteObject(FDeviceAboutImage);
  TTarvoDriver::ReleaseResources();
}

HRESULT STDMETHODCALLTYPE TTarvoDriver::QueryInterface(REFIID AIid, void** AObject) {
  if (AObject && IsEqualIID(AIid, IID_IMemoryAccess)) {
    *AObject = static_cast<IMemoryAccess*>(this);
    return S_OK;
  }
  return TAbstractTarvoDriver::QueryInterface(AIid, AObject);
}

ULONG STDMETHODCALLTYPE TTarvoDriver::AddRef() {
  return ULONG(-1);
}
ULONG STDMETHODCALLTYPE TTarvoDriver::Release() {
  return ULONG(-1);
}

// ---- own answers for plain code ---------------------------------------------------

std::wstring TTarvoDriver::DeviceName() {
  std::wstring name;
  CheckOperation(GetDeviceName(&name), L"GetDeviceName");
  return name;
}

std::wstring TTarvoDriver::FamilyName() {
  std::wstring name;
  CheckOperation(GetFamilyName(&name), L"GetFamilyName");
  return name;
}

std::wstring TTarvoDriver::VendorName() {
  std::wstring name;
  CheckOperation(GetVendorName(&name), L"GetVendorName");
  return name;
}

int32_t TTarvoDriver::ProcessorRegisterCount() {
  int32_t count = 0;
  CheckOperation(GetProcessorRegisterCount(&count), L"GetProcessorRegisterCount");
  return count;
}

int32_t TTarvoDriver::ProcessorRegisterWidth(int32_t AIndex) {
  uint32_t width = 0;
  CheckOperation(GetProcessorRegisterWidth(AIndex, &width), L"GetProcessorRegisterWidth");
  return int32_t(width);
}

bool TTarvoDriver::PauseAsOwn() {
  CheckOperation(PauseProcessor(), L"PauseProcessor");
  return true;
}

// ---- device-information contract ------------------------------------------------

HRESULT TTarvoDriver::GetIdCode(uint32_t* AResult) {
  return Answer(AResult, 0u);
}
HRESULT TTarvoDriver::GetDeviceName(std::wstring* AResult) {
  return AnswerText(AResult, kGenericDeviceName);
}
HRESULT TTarvoDriver::GetDeviceDescription(std::wstring* AResult) {
  return Guarded([&] { return AnswerText(AResult, DeviceName()); });
}
HRESULT TTarvoDriver::GetFamilyName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetFamilyDescription(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetLibraryName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetVendorPrimitiveLibraryName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetBaseName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetEquivalentGatesForBase(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetMaxIOForBase(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetPackageTypeId(std::wstring* AResult) {
  return AnswerText(AResult, L"Generic");
}
HRESULT TTarvoDriver::GetPackageTypeName(std::wstring* AResult) {
  return AnswerText(AResult, L"Generic");
}
HRESULT TTarvoDriver::GetPackageTypeDescription(std::wstring* AResult) {
  return AnswerText(AResult, L"Un-Classified Packages");
}
HRESULT TTarvoDriver::GetPackageId(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetPackageName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetPackageDescription(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetPackageDimensions(std::wstring* AResult) {
  return AnswerText(AResult, L"? x ? mm");
}
HRESULT TTarvoDriver::GetTemperatureGradeId(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetTemperatureGradeName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetTemperatureGradeDescription(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetSpeedGradeId(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetSpeedGradeName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetSpeedGradeDescription(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetOptionDesignatorId(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetOptionDesignatorName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetOptionDesignatorDescription(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetBSDLFilename(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetBSDLEntity(IBSDLEntity* AResult) {
  return Answer(AResult, IBSDLEntity());
}
HRESULT TTarvoDriver::GetVendorName(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetInstructionLength(int32_t* AResult) {
  return Answer(AResult, 4);
}
HRESULT TTarvoDriver::GetDevicePinCount(int32_t* AResult) {
  return Answer(AResult, 0);
}
HRESULT TTarvoDriver::GetDeviceIOCount(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetDevicePin(int32_t, IDevicePin* AResult) {
  return Answer(AResult, IDevicePin());
}
HRESULT TTarvoDriver::GetDownloadFileExtensions(std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetDSPMultiplierCount(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetClockManagerCount(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetMemorySize(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetTerminationSupport(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::GetGlobalClockCount(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetConfigMemorySize(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetDiffPairCount(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetHighSpeedDiffPairCount(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetIOStandardCount(int32_t* AResult) {
  return Answer(AResult, 0);
}
HRESULT TTarvoDriver::GetIOStandard(int32_t, IDeviceIOStandard* AResult) {
  return Answer(AResult, IDeviceIOStandard());
}
HRESULT TTarvoDriver::GetDeviceDisplayName(std::wstring* AResult) {
  return Guarded([&] { return AnswerText(AResult, DeviceName()); });
}
HRESULT TTarvoDriver::GetDeviceParameter(const std::wstring&, std::wstring* AResult) {
  return AnswerText(AResult, L"");
}

// ---- driver contract: plain answers ------------------------------------------------

HRESULT TTarvoDriver::Finalize(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::SaveProcessorState(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::RestoreProcessorState(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::ShowAboutDialog() {
  return S_OK;
}
HRESULT TTarvoDriver::GetProcessorRegisterWidth(int32_t, uint32_t* AResult) {
  return Answer(AResult, 0u);
}
HRESULT TTarvoDriver::GetProcessorRegisterName(int32_t, std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetProcessorRegisterShortName(int32_t AIndex, std::wstring* AResult) {
  return GetProcessorRegisterName(AIndex, AResult);
}
HRESULT TTarvoDriver::GetProcessorRegisterCount(int32_t* AResult) {
  return Answer(AResult, 0);
}
HRESULT TTarvoDriver::GetRegisterIndex_PC(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetRegisterIndex_SP(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::GetSoftBreakpointAddressByteAlign(int32_t* AResult) {
  return Answer(AResult, 1);
}
HRESULT TTarvoDriver::GetMemorySpaceWidth(int32_t, uint32_t* AResult) {
  return Answer(AResult, 0u);
}
HRESULT TTarvoDriver::GetMemorySpaceKind(int32_t, TMemorySpaceKind* AResult) {
  return Answer(AResult, static_cast<TMemorySpaceKind>(0));
}
HRESULT TTarvoDriver::GetMemorySpaceBytesPerUnit(int32_t, uint32_t* AResult) {
  return Answer(AResult, 1u);
}
HRESULT TTarvoDriver::GetMemorySpaceName(int32_t, std::wstring* AResult) {
  return AnswerText(AResult, L"");
}
HRESULT TTarvoDriver::GetMemorySpaceShortName(int32_t ASpace, std::wstring* AResult) {
  return GetMemorySpaceName(ASpace, AResult);
}
HRESULT TTarvoDriver::GetMemorySpaceCount(int32_t* AResult) {
  return Answer(AResult, 0);
}
HRESULT TTarvoDriver::GetMemorySpace_Program(int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::InitDownload(int32_t, TBoolean* AResult) {
  return AnswerBool(AResult, true);
}
HRESULT TTarvoDriver::FinishDownload(int32_t, TBoolean* AResult) {
  return AnswerBool(AResult, true);
}
HRESULT TTarvoDriver::RunDiagnostic(TBoolean* AResult) {
  return AnswerBool(AResult, true);
}
HRESULT TTarvoDriver::LittleEndian(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::ResetDevice(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::GetDeviceState(TDeviceState* AResult) {
  return Answer(AResult, static_cast<TDeviceState>(0));
}
HRESULT TTarvoDriver::ProgramDevice(const std::wstring&, int32_t* AResult) {
  return Answer(AResult, 0);
}
HRESULT TTarvoDriver::ReadUserCode(uint32_t* AResult) {
  return Answer(AResult, 0xFFFFFFFFu);
}
HRESULT TTarvoDriver::CoreGen_OutputExtension(std::wstring* AResult) {
  return AnswerText(AResult, FCoreExt);
}
HRESULT TTarvoDriver::ProcessorIsUsingReducedInstructionSet(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::Flash_Reset(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::Flash_Program(const std::wstring&, int32_t* AResult) {
  return Answer(AResult, 0);
}
HRESULT TTarvoDriver::Flash_Configure() {
  return S_OK;
}
HRESULT TTarvoDriver::ConfigureFpgaProject(const IProject&, TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::ShowConfiguration(TBoolean* AResult) {
  return AnswerBool(AResult, true);
}
HRESULT TTarvoDriver::ShowCurrentSensePanel() {
  return S_OK;
}
HRESULT TTarvoDriver::InvalidateResources(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::CustomAction_Execute(int32_t) {
  return S_OK;
}
HRESULT TTarvoDriver::CustomAction_GetState(int32_t, TBoolean& AState1, TBoolean&,
                                            TBoolean& AState3, TDataWord, TDataWord) {
  AState1 = false;
  AState3 = false;
  return S_OK;
}
HRESULT TTarvoDriver::EPM_InititateTest(TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::EPM_GetTestResult(int32_t, int32_t* AResult) {
  return Answer(AResult, -1);
}
HRESULT TTarvoDriver::EPM_SetPercentCallBack(const IPercentCallback& ACallback) {
  FCallBack = ACallback;
  return S_OK;
}
HRESULT TTarvoDriver::Flash_ResetForBitStream(TBoolean* AResult) {
  return Flash_Reset(AResult);
}
HRESULT TTarvoDriver::AddSoftBreakpoint(int32_t, int64_t, uint32_t* AResult) {
  return Answer(AResult, 0u);
}
HRESULT TTarvoDriver::RemoveSoftBreakpoint(int32_t, int64_t, uint32_t, TBoolean* AResult) {
  return AnswerBool(AResult, false);
}
HRESULT TTarvoDriver::GetMemorySpaceLength(int32_t, int64_t* AResult) {
  return Answer(AResult, int64_t(0));
}
HRESULT TTarvoDriver::GetFolder_Library(std::wstring* AResult) {
  return Guarded([&] { return AnswerText(AResult, GetModuleLibraryFolder()); });
}
HRESULT TTarvoDriver::ClockCoreGenerator(IClockCoreGenerator* AResult) {
  return Answer(AResult, IClockCoreGenerator());
}
HRESULT TTarvoDriver::ClockCoreTemplateGenerator(IClockCoreTemplateGenerator* AResult) {
  return Answer(AResult, IClockCoreTemplateGenerator());
}
HRESULT TTarvoDriver::ClockGeneratorTargetCore(ITargetCoreGenerator* AResult) {
  return Answer(AResult, ITargetCoreGenerator());
}
HRESULT TTarvoDriver::CustomCoreGenerator(int32_t, ICustomCoreGenerator* AResult) {
  return Answer(AResult, ICustomCoreGenerator());
}

// ---- Supports, vendor tools, flows, EPM ------------------------------------------------

HRESULT TTarvoDriver::Supports(const std::wstring& AFeature, TBoolean* AResult) {
  return Guarded([&] {
    for (const TDeviceClassRow& row : kDeviceClasses)
      if (SameText(AFeature, row.Name))
        return AnswerBool(AResult, (this->*row.Answer)());
    std::wstring toolchain;
    if (GetToolchainNameParameter(AFeature, toolchain) && !toolchain.empty())
      return AnswerBool(AResult, false);
    const TTarvoAction action = GetAction(AFeature);
    for (const TTarvoAction unsupported : kUnsupportedActions)
      if (action == unsupported)
        return AnswerBool(AResult, false);
    return AnswerBool(AResult, true);
  });
}

HRESULT TTarvoDriver::VendorToolsDescriptor(std::wstring* AResult) {
  return Guarded([&] {
    const TVendorTools* tools = FindVendorTools(VendorName());
    return AnswerText(AResult, tools ? tools->Descriptor() : std::wstring());
  });
}

HRESULT TTarvoDriver::VendorToolsPresent(TBoolean* AResult) {
  return Guarded([&] {
    const TVendorTools* tools = FindVendorTools(VendorName());
    return AnswerBool(AResult, tools ? tools->Present() : true);
  });
}

HRESULT TTarvoDriver::VendorToolsUpToDate(TBoolean* AResult) {
  return Guarded([&] {
    const TVendorTools* tools = FindVendorTools(VendorName());
    std::wstring version;
    return AnswerBool(AResult, tools ? tools->UpToDate(version) : true);
  });
}

HRESULT TTarvoDriver::FlowStage_Build(IProcessFlow* AResult) {
  return Guarded([&] {
    if (FBuildFlow.IsEmpty())
      FBuildFlow = CreateProcessFlow(0);
    return Answer(AResult, FBuildFlow);
  });
}

HRESULT TTarvoDriver::FlowStage_Download(IProcessFlow* AResult) {
  return Guarded([&] {
    if (FDownloadFlow.IsEmpty())
      FDownloadFlow = CreateProcessFlow(1);
    return Answer(AResult, FDownloadFlow);
  });
}

HRESULT TTarvoDriver::EPM_Download(const std::wstring&, const std::wstring& ASecond,
                                   const std::wstring&, TBoolean* AResult) {
  return Guarded([&] {
    bool done = false;
    TBoolean reset;
    CheckOperation(ResetDevice(&reset), L"ResetDevice");
    if (reset) {
      int32_t programmed = 0;
      CheckOperation(ProgramDevice(ASecond, &programmed), L"ProgramDevice");
      TDeviceState state{};
      CheckOperation(GetDeviceState(&state), L"GetDeviceState");
      done = static_cast<int>(state) == 2;
    }
    return AnswerBool(AResult, done);
  });
}

// ---- constraint file and picture ----------------------------------------------------

bool TTarvoDriver::FindConstraintFile(const std::wstring& AName, std::wstring& AFullPath) {
  return ::FindConstraintFile(AName, AFullPath);
}

HRESULT TTarvoDriver::GetEmbeddedConstraintFile(std::wstring* AResult) {
  return Guarded([&] {
    std::wstring path;
    if (!FCustomConstraintFile.empty() && FindConstraintFile(FCustomConstraintFile, path))
      return AnswerText(AResult, path);
    // The names are asked one at a time: a descendant's answers may be costly.
    using TNameSource = std::wstring (*)(TTarvoDriver&, bool& AHasName);
    static constexpr TNameSource kNames[] = {
        [](TTarvoDriver& ADriver, bool&) { return ADriver.DeviceName(); },
        [](TTarvoDriver& ADriver, bool&) {
          std::wstring name;
          CheckOperation(ADriver.GetDeviceParameter(L"ProcessorDeviceName", &name),
                         L"GetDeviceParameter");
          return name;
        },
        [](TTarvoDriver& ADriver, bool&) {
          std::wstring name;
          CheckOperation(ADriver.GetBaseName(&name), L"GetBaseName");
          return name;
        },
        [](TTarvoDriver& ADriver, bool&) { return ADriver.FamilyName(); },
        [](TTarvoDriver& ADriver, bool& AHasName) {
          IDeviceProcessorInformation information;
          AHasName = ADriver.GetProcessorInformation(information) && !information.IsEmpty();
          return AHasName ? information.GetDeviceProcessorToolChainString() : std::wstring();
        },
    };
    for (const TNameSource source : kNames) {
      bool hasName = true;
      const std::wstring name = source(*this, hasName);
      if (hasName && FindConstraintFile(name + kConstraintFileExtension, path))
        return AnswerText(AResult, path);
    }
    return AnswerText(AResult, L"");
  });
}

HRESULT TTarvoDriver::SetEmbeddedConstraintFile(const std::wstring& AFileName) {
  FCustomConstraintFile = AFileName;
  return S_OK;
}

HBITMAP TTarvoDriver::BuildDeviceBitmap(const std::wstring& AName) {
  std::wstring libraryFolder;
  CheckOperation(GetFolder_Library(&libraryFolder), L"GetFolder_Library");
  return BuildDevicePicture(GetHostSystemFolder(),
                            libraryFolder + L"DeviceImages\\" + AName + L".bmp");
}

HRESULT TTarvoDriver::GetBitmapHandle(uint32_t* AResult) {
  return Guarded([&] {
    if (!FDeviceImage)
      FDeviceImage = BuildDeviceBitmap(FamilyName());
    return Answer(AResult, uint32_t(reinterpret_cast<uintptr_t>(FDeviceImage)));
  });
}

// ---- new virtual operations ---------------------------------------------------------

int32_t TTarvoDriver::GetDebugAddressInstruction() {
  return 3;
}
int32_t TTarvoDriver::GetDebugDataInstruction() {
  return 4;
}
bool TTarvoDriver::GetProcessorInformation(IDeviceProcessorInformation& AInformation) {
  AInformation = IDeviceProcessorInformation();
  return false;
}
bool TTarvoDriver::IsCPLD() {
  return false;
}
bool TTarvoDriver::IsFPGA() {
  return false;
}
bool TTarvoDriver::IsPROM() {
  return false;
}
bool TTarvoDriver::IsHardProcessor() {
  return false;
}
bool TTarvoDriver::IsSoftProcessor() {
  return false;
}
bool TTarvoDriver::IsGenericProcessor() {
  return false;
}
IProcessFlow TTarvoDriver::CreateProcessFlow(int32_t) {
  return IProcessFlow();
}
TInstrumentViewClass TTarvoDriver::GetRackViewClass() {
  return &CreateRackInstrumentView;
}
TInstrumentForm* TTarvoDriver::GetRackForm() {
  return FRackForm;
}

// ---- the bound device and its channel ----------------------------------------------

IJTagChannel TTarvoDriver::GetJTagChannel() {
  return FTarvoDevice.IsEmpty() ? IJTagChannel() : FTarvoDevice.GetJTagChannel();
}

int32_t TTarvoDriver::GetJTagIndex() {
  return FTarvoDevice.IsEmpty() ? 0 : FTarvoDevice.GetJTagIndex();
}

IJTagDevice TTarvoDriver::GetJTagDevice() {
  const IJTagChannel channel = GetJTagChannel();
  return channel.IsEmpty() ? IJTagDevice() : channel.GetJTagDevice(GetJTagIndex());
}

void TTarvoDriver::OpenChannel() {
  const IJTagChannel channel = GetJTagChannel();
  if (!channel.IsEmpty())
    channel.OpenChannel();
}

void TTarvoDriver::CloseChannel() {
  const IJTagChannel channel = GetJTagChannel();
  if (!channel.IsEmpty())
    channel.CloseChannel();
}

void TTarvoDriver::TransactionBegin() {
  OpenChannel();
  FTarvoDevice.TransactionBegin();
}

void TTarvoDriver::TransactionEnd() {
  FTarvoDevice.TransactionEnd();
  CloseChannel();
}

void TTarvoDriver::ReadControlRegister() {
  FControlRegister =
      uint8_t(FTarvoDevice.ReadTarvoRegister(kControlRegisterAddress, kControlRegisterWidth));
}

void TTarvoDriver::WriteControlRegister() {
  FTarvoDevice.WriteTarvoRegister(kControlRegisterAddress, kControlRegisterWidth, FControlRegister);
}

HRESULT TTarvoDriver::GetTarvoDevice(ITarvoDevice* AResult) {
  return Answer(AResult, FTarvoDevice);
}

HRESULT TTarvoDriver::SetTarvoDevice(const ITarvoDevice& ADevice, TBoolean* AResult) {
  return Guarded([&] {
    FTarvoDevice = ADevice;
    if (FRackForm) {
      FRackForm->SetTarvoDevice(ADevice);
      if (ADevice.IsEmpty())
        CheckOperation(ReleaseResources(), L"ReleaseResources");
    }
    return AnswerBool(AResult, true);
  });
}

// ---- run control -----------------------------------------------------------------------

HRESULT TTarvoDriver::ResetTarvoRegisters() {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    GetJTagChannel().SendInstruction(2, GetJTagIndex());
    bracket.Close();
  });
}

HRESULT TTarvoDriver::PauseProcessor() {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    ReadControlRegister();
    SetStepCounterBreakpointEnable(false);
    SetReset(false);
    SetDebugAcknowledge(false);
    SetDebugStep(false);
    SetDebuggerProgramSelect(false);
    SetDebugEnable(true);
    SetDebugRequest(true);
    WriteControlRegister();
    ReadControlRegister();
    bracket.Close();
  });
}

HRESULT TTarvoDriver::ContinueProcessor() {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    ReadControlRegister();
    FControlRegister &=
        uint8_t(~(kControlStepCounterBreakpointEnable | kControlReset | kControlDebugEnable |
                  kControlDebugAcknowledge | kControlDebugRequest | kControlDebugStep |
                  kControlDebuggerProgramSelect));
    SetDebugEnable(true);
    SetDebugRequest(true);
    WriteControlRegister();
    SetDebugRequest(false);
    WriteControlRegister();
    ReadControlRegister();
    bracket.Close();
  });
}

HRESULT TTarvoDriver::ResetProcessor() {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    PauseAsOwn();
    SetReset(true);
    WriteControlRegister();
    SetReset(false);
    WriteControlRegister();
    ReadControlRegister();
    bracket.Close();
  });
}

HRESULT TTarvoDriver::SingleStepProcessor() {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    PauseAsOwn();
    ReadControlRegister();
    SetReset(false);
    SetDebugRequest(true);
    SetDebugEnable(true);
    WriteControlRegister();
    SetDebugStep(true);
    WriteControlRegister();
    ReadControlRegister();
    bracket.Close();
  });
}

HRESULT TTarvoDriver::RunSingleStepInSubstitutionRegister() {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    ReadControlRegister();
    SetReset(false);
    SetDebugRequest(true);
    SetDebugEnable(true);
    WriteControlRegister();
    SetDebuggerProgramSelect(true);
    WriteControlRegister();
    SetDebugStep(true);
    WriteControlRegister();
    SetDebuggerProgramSelect(false);
    SetDebugStep(false);
    WriteControlRegister();
    ReadControlRegister();
    bracket.Close();
  });
}

HRESULT TTarvoDriver::RunSteps(int32_t ACount) {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    ReadControlRegister();
    PauseAsOwn();
    SetReset(false);
    SetDebugRequest(true);
    SetDebugEnable(true);
    WriteControlRegister();
    SetDebugStep(true);
    for (int32_t step = 0; step < ACount; ++step)
      WriteControlRegister();
    ReadControlRegister();
    bracket.Close();
  });
}

HRESULT TTarvoDriver::ProcessorIsPaused(TBoolean* AResult) {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    ReadControlRegister();
    const bool paused = DebugEnable() && DebugAcknowledge();
    bracket.Close();
    return AnswerBool(AResult, paused);
  });
}

HRESULT TTarvoDriver::ProcessorIsReset(TBoolean* AResult) {
  return Guarded([&] {
    TChannelBracket bracket(*this);
    ReadControlRegister();
    const bool reset = Reset();
    bracket.Close();
    return AnswerBool(AResult, reset);
  });
}

HRESULT TTarvoDriver::ProcessorIsRunning(TBoolean* AResult) {
  return Guarded([&] {
    TBoolean state;
    CheckOperation(ProcessorIsReset(&state), L"ProcessorIsReset");
    if (state)
      return AnswerBool(AResult, false);
    CheckOperation(ProcessorIsPaused(&state), L"ProcessorIsPaused");
    return AnswerBool(AResult, !state);
  });
}

// ---- generic debug registers ---------------------------------------------------------

uint8_t TTarvoDriver::DebugRegisterAddress(int32_t AIndex, bool AWrite) {
  constexpr int32_t count = int32_t(sizeof(kDebugRegisterAddresses));
  if (AIndex < 0 || AIndex >= count)
    throw EDebugRegisterIndex(L"Debug register index " + std::to_wstring(AIndex) +
                              L" has no debug address");
  const uint8_t address = kDebugRegisterAddresses[AIndex];
  return AWrite ? uint8_t(address | kDebugRegisterWriteBit) : address;
}

int32_t TTarvoDriver::SelectDebugRegister(const IJTagChannel& AChannel, int32_t AIndex,
                                          bool AWrite) {
  const uint8_t address = DebugRegisterAddress(AIndex, AWrite);
  const int32_t device = GetJTagIndex();
  AChannel.SendInstruction(GetDebugAddressInstruction(), device);
  AChannel.MoveToState(eJTagState_IDLE, eJTagState_DRSHIFT);
  AChannel.ShiftData(address, 8, device);
  AChannel.MoveToState(eJTagState_DREXIT1, eJTagState_IDLE);
  AChannel.SendInstruction(GetDebugDataInstruction(), device);
  AChannel.MoveToState(eJTagState_IDLE, eJTagState_DRSHIFT);
  return ProcessorRegisterWidth(AIndex);
}

uint32_t TTarvoDriver::AccessDebugRegister(int32_t AIndex, uint32_t AValue, bool AWrite) {
  const IJTagChannel channel = GetJTagChannel();
  if (channel.IsEmpty())
    return 0;
  const int32_t bits = SelectDebugRegister(channel, AIndex, AWrite);
  const uint32_t captured =
      uint32_t(channel.ShiftDataCapture(int32_t(AValue), bits, GetJTagIndex()));
  channel.MoveToState(eJTagState_DREXIT1, eJTagState_IDLE);
  return captured;
}

uint32_t TTarvoDriver::ReadDebugRegister(int32_t AIndex) {
  return AccessDebugRegister(AIndex, 0, false);
}

uint32_t TTarvoDriver::WriteDebugRegister(int32_t AIndex, uint32_t AValue) {
  return AccessDebugRegister(AIndex, AValue, true);
}

std::wstring TTarvoDriver::AccessDebugRegisterText(int32_t AIndex, const std::wstring& ABits,
                                                   bool AWrite) {
  const IJTagChannel channel = GetJTagChannel();
  if (channel.IsEmpty())
    return L"0";
  const int32_t bits = SelectDebugRegister(channel, AIndex, AWrite);
  std::wstring text = ABits;
  if (bits >= 0) {
    if (text.size() > std::size_t(bits))
      text.erase(0, text.size() - std::size_t(bits));
    text.insert(0, std::size_t(bits) - text.size(), L'0');
  }
  std::wstring captured = channel.ShiftDataBits(text, GetJTagIndex());
  channel.MoveToState(eJTagState_DREXIT1, eJTagState_IDLE);
  return captured;
}

std::wstring TTarvoDriver::ReadDebugRegisterText(int32_t AIndex) {
  return AccessDebugRegisterText(AIndex, L"0", false);
}

std::wstring TTarvoDriver::WriteDebugRegisterText(int32_t AIndex, const std::wstring& ABits) {
  return AccessDebugRegisterText(AIndex, ABits, true);
}

HRESULT TTarvoDriver::GetProcessorRegisterValue(int32_t AIndex, uint32_t* AResult) {
  return Guarded([&] {
    const bool inRange = AIndex >= 0 && AIndex < ProcessorRegisterCount();
    return Answer(AResult, inRange ? ReadDebugRegister(AIndex) : 0u);
  });
}

HRESULT TTarvoDriver::SetProcessorRegisterValue(int32_t AIndex, uint32_t AValue,
                                                TBoolean* AResult) {
  return Guarded([&] {
    if (AIndex < 0 || AIndex >= ProcessorRegisterCount())
      return AnswerBool(AResult, false);
    WriteDebugRegister(AIndex, AValue);
    return AnswerBool(AResult, true);
  });
}

HRESULT TTarvoDriver::GetProcessorRegisterWideValue(int32_t AIndex, std::wstring* AResult) {
  return Guarded([&] {
    const bool inRange = AIndex >= 0 && AIndex < ProcessorRegisterCount();
    return AnswerText(AResult, inRange ? ReadDebugRegisterText(AIndex) : std::wstring(L"0"));
  });
}

HRESULT TTarvoDriver::SetProcessorRegisterWideValue(int32_t AIndex, const std::wstring& AValue,
                                                    TBoolean* AResult) {
  return Guarded([&] {
    if (AIndex < 0 || AIndex >= ProcessorRegisterCount())
      return AnswerBool(AResult, false);
    WriteDebugRegisterText(AIndex, AValue);
    return AnswerBool(AResult, true);
  });
}

// ---- memory access -----------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE TTarvoDriver::MemoryRead(int32_t, PMemoryArray, int64_t, int32_t,
                                                   TLongBool* ASuccess) {
  return Answer(ASuccess, LongFalse);
}

HRESULT STDMETHODCALLTYPE TTarvoDriver::MemoryWrite(int32_t, PMemoryArray, int64_t, int32_t,
                                                    TLongBool* ASuccess) {
  return Answer(ASuccess, LongFalse);
}

// ---- rack panel ------------------------------------------------------------------------------

TInstrumentForm* TTarvoDriver::CreateRackForm() {
  const IJTagDevice chainDevice = GetJTagDevice();
  if (chainDevice.IsEmpty())
    return nullptr;
  if (!chainDevice.GetBSDLEntity().IsEmpty()) {
    THardDeviceViewerForm* form = CreateHardDeviceViewerForm(FTarvoDevice, chainDevice);
    form->SetState_Controls();
    return form;
  }
  ShowError(L"Failed To find Boundary Scan data for Device\r\rDevice:  " +
                FTarvoDevice.GetDeviceName(),
            L"Error");
  return nullptr;
}

HRESULT TTarvoDriver::CreateRackViewer() {
  return Guarded([&] {
    if (FRackForm)
      return;
    FRackForm = CreateRackForm();
    if (!FRackForm)
      return;
    FRackForm->Display(FTarvoDevice);
    FRackView = GetRackViewClass()(FRackForm);
  });
}

HRESULT TTarvoDriver::GetRackViewer(IInstrumentView* AResult) {
  return Answer(AResult, FRackView);
}

HRESULT TTarvoDriver::ReleaseResources() {
  return Guarded([&] {
    if (!FRackView.IsEmpty()) {
      // The view owns the form: dropping the view frees it.
      const IInstrumentView view = std::exchange(FRackView, IInstrumentView());
      FRackForm = nullptr;
      view.ReleaseView();
    }
    if (FRackForm)
      delete std::exchange(FRackForm, nullptr);
  });
}
