#include "processor-driver.h"

#include "constraint-file.h"
#include "debug-manager.h"
#include "dispatch.h"
#include "flash-memory-utility.h"
#include "memory-info.h"
#include "memory-sections.h"
#include "processor-info.h"

#include <string_view>

namespace {

constexpr wchar_t kProcessorDriverCoreExt[] = L".EDN";

constexpr std::wstring_view kCompanionServices[] = {
    L"DeviceProcessorInformation", L"DeviceMemoryInformation",
    L"DeviceDebugManager",         L"FlashWriters",
    L"FlashMemoryUtilityDialog",
};

// The panels' flash memory utility: made over the list and the link, shown
// modally and freed when it closes.
void DefaultFlashMemoryUtility(const IFlashWriters& AWriters, const IDeviceLink& ADeviceLink) {
  RunFlashMemoryUtility(AWriters, ADeviceLink);
}

TTarvoProcessorDriver::TFlashMemoryUtilityRunner& FlashMemoryUtilityRunner() {
  static TTarvoProcessorDriver::TFlashMemoryUtilityRunner runner = DefaultFlashMemoryUtility;
  return runner;
}

bool SameText(std::wstring_view A, std::wstring_view B) {
  return CompareStringOrdinal(A.data(), int(A.size()), B.data(), int(B.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

// ---- construction -------------------------------------------------------------------

TTarvoProcessorDriver::TTarvoProcessorDriver()
    : TTarvoProcessorDriver(eDeviceProcessor_CORE_UNKNOWN, eDeviceProcessor_TYPE_UNKNOWN) {}

TTarvoProcessorDriver::TTarvoProcessorDriver(TDeviceProcessor_Core AProcessorCore,
                                             TDeviceProcessor_Type AProcessorType)
    : TTarvoDriver(kProcessorDriverCoreExt), FProcessorType(AProcessorType),
      FProcessorCore(AProcessorCore) {
  CreateInformationObjects(true);
}

TTarvoProcessorDriver::TTarvoProcessorDriver(
    TDeviceProcessor_Core AProcessorCore, TDeviceProcessor_Type AProcessorType,
    const TVEKAbstractRemoteExecuteBaseDriverClass& ARemoteExecutionClass)
    : TTarvoProcessorDriver(AProcessorCore, AProcessorType) {
  if (ARemoteExecutionClass)
    BuildWriters({ARemoteExecutionClass});
}

TTarvoProcessorDriver::TTarvoProcessorDriver(
    TDeviceProcessor_Core AProcessorCore, TDeviceProcessor_Type AProcessorType,
    const std::vector<TVEKAbstractRemoteExecuteBaseDriverClass>& AClasses)
    : TTarvoProcessorDriver(AProcessorCore, AProcessorType) {
  if (AClasses.size() >= 2)
    BuildWriters(AClasses);
}

TTarvoProcessorDriver::TTarvoProcessorDriver(
    TDeviceProcessor_Core AProcessorCore, TDeviceProcessor_Type AProcessorType,
    const TVEKAbstractRemoteExecuteBaseDriverClass& ARemoteExecutionClass, TMemoryMapFromDescendant)
    : TTarvoDriver(kProcessorDriverCoreExt), FProcessorType(AProcessorType),
      FProcessorCore(AProcessorCore) {
  CreateInformationObjects(false);
  if (ARemoteExecutionClass)
    BuildWriters({ARemoteExecutionClass});
}

TTarvoProcessorDriver::~TTarvoProcessorDriver() {
  FDeviceProcessorInformation = IDeviceProcessorInformation();
  FDeviceMemoryInformation = IDeviceMemoryInformation();
  FDeviceDebugManager = IDeviceDebugManager();
  FRemoteExecuteDriver = IFlashWriter();
  FRemoteExecuteDrivers.clear();
}

void TTarvoProcessorDriver::CreateInformationObjects(bool ALoadMemoryMap) {
  FDeviceProcessorInformation =
      IDeviceProcessorInformation::FromDispatch(new TDeviceProcessorInformation(FProcessorCore));
  FDeviceMemoryInformation = IDeviceMemoryInformation::FromDispatch(new TDeviceMemoryInformation());
  FDeviceDebugManager = IDeviceDebugManager::FromDispatch(TDeviceDebugManager::CreateFor(this));
  if (!ALoadMemoryMap)
    return;
  std::wstring constraintFile;
  CheckOperation(GetEmbeddedConstraintFile(&constraintFile), L"GetEmbeddedConstraintFile");
  LoadDeviceMemoryFromConstraint(constraintFile);
}

void TTarvoProcessorDriver::BuildWriters(
    const std::vector<TVEKAbstractRemoteExecuteBaseDriverClass>& AClasses) {
  FHasRemoteExecuteDrivers = true;
  for (const TVEKAbstractRemoteExecuteBaseDriverClass& writerClass : AClasses) {
    const TComPtr<TAbstractFlashWriter> writer = writerClass(*this);
    CheckOperation(AddFlashWriter(IFlashWriter::FromDispatch(writer.Get())), L"AddFlashWriter");
  }
  IFlashWriter first;
  CheckOperation(GetFlashWriter(0, &first), L"GetFlashWriter");
  CheckOperation(SelectFlashWriter(first), L"SelectFlashWriter");
}

void TTarvoProcessorDriver::ReplaceMemoryInformation() {
  FDeviceMemoryInformation = IDeviceMemoryInformation::FromDispatch(new TDeviceMemoryInformation());
}

void TTarvoProcessorDriver::LoadEmbeddedMemoryMap() {
  ReplaceMemoryInformation();
  std::wstring constraintFile;
  CheckOperation(GetEmbeddedConstraintFile(&constraintFile), L"GetEmbeddedConstraintFile");
  LoadDeviceMemoryFromConstraint(constraintFile);
}

// ---- dispatch -----------------------------------------------------------------------------

struct TProcessorDriverTable {
  static constexpr TDispEntry Table[] = {
      Op<&TTarvoProcessorDriver::ShowFlashMemoryUtilityDialog>(508736),
      Op<&TTarvoProcessorDriver::AddFlashWriter>(508741),
      Op<&TTarvoProcessorDriver::GetFlashWriter>(508742),
      Op<&TTarvoProcessorDriver::SelectFlashWriter>(508743),
      Op<&TTarvoProcessorDriver::GetSelectedFlashWriter>(508744),
      Op<&TTarvoProcessorDriver::GetFlashWriterCount>(508745),
  };
};

HRESULT TTarvoProcessorDriver::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  if (const TDispEntry* entry = FindDispEntry(TProcessorDriverTable::Table, ADispId))
    return entry->Call(this, AContext);
  HRESULT result = TTarvoDriver::DispatchInvoke(ADispId, AContext);
  // Only a DISPID nobody in the driver chain serves goes on to the
  // companions; a served operation's failure is the answer as it is. The
  // same holds along the companions: the first that serves the DISPID
  // answers.
  const TDispRecordBase* companions[] = {&FDeviceProcessorInformation, &FDeviceMemoryInformation,
                                         &FDeviceDebugManager};
  for (const TDispRecordBase* companion : companions) {
    if (result != E_NOTIMPL)
      break;
    if (companion->IsEmpty())
      continue;
    DISPPARAMS none{};
    result = companion->Intf()->Invoke(
        ADispId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
        AContext.Params ? AContext.Params : &none, AContext.Result, nullptr, AContext.ArgErr);
  }
  return result;
}

HRESULT STDMETHODCALLTYPE TTarvoProcessorDriver::SupportsService(BSTR AName, TBoolean* AResult) {
  const HRESULT result = TTarvoDriver::SupportsService(AName, AResult);
  if (FAILED(result) || bool(*AResult))
    return result;
  const std::wstring_view name(AName ? AName : L"", AName ? SysStringLen(AName) : 0);
  for (const std::wstring_view service : kCompanionServices)
    if (SameServiceName(name, service)) {
      *AResult = true;
      break;
    }
  return S_OK;
}

// ---- overridden operations ------------------------------------------------------------

HRESULT TTarvoProcessorDriver::SetEmbeddedConstraintFile(const std::wstring& AFileName) {
  return Guarded([&] {
    CheckOperation(TTarvoDriver::SetEmbeddedConstraintFile(AFileName),
                   L"SetEmbeddedConstraintFile");
    ReplaceMemoryInformation();
    LoadDeviceMemoryFromConstraint(FCustomConstraintFile);
  });
}

bool TTarvoProcessorDriver::IsHardProcessor() {
  return FProcessorType == eDeviceProcessor_TYPE_HARD;
}
bool TTarvoProcessorDriver::IsSoftProcessor() {
  return FProcessorType == eDeviceProcessor_TYPE_SOFT;
}
bool TTarvoProcessorDriver::IsGenericProcessor() {
  return FProcessorType == eDeviceProcessor_TYPE_GENERIC;
}
TInstrumentViewClass TTarvoProcessorDriver::GetRackViewClass() {
  return &CreateRackInstrumentView;
}

// ---- flash-writer list ---------------------------------------------------------------------

void TTarvoProcessorDriver::SetFlashMemoryUtilityRunner(TFlashMemoryUtilityRunner ARunner) {
  FlashMemoryUtilityRunner() = ARunner ? std::move(ARunner) : DefaultFlashMemoryUtility;
}

HRESULT TTarvoProcessorDriver::ShowFlashMemoryUtilityDialog(const IDeviceLink& ADeviceLink) {
  return Guarded([&] {
    const IFlashWriters writers = IFlashWriters::FromDispatch(static_cast<IDispatch*>(this));
    FlashMemoryUtilityRunner()(writers, ADeviceLink);
  });
}

HRESULT TTarvoProcessorDriver::AddFlashWriter(const IFlashWriter& AWriter) {
  if (!FHasRemoteExecuteDrivers)
    return E_UNEXPECTED;
  return Guarded([&] { FRemoteExecuteDrivers.push_back(AWriter); });
}

HRESULT TTarvoProcessorDriver::GetFlashWriter(int32_t AIndex, IFlashWriter* AResult) {
  if (!AResult)
    return E_POINTER;
  if (!FHasRemoteExecuteDrivers || AIndex < 0 ||
      std::size_t(AIndex) >= FRemoteExecuteDrivers.size())
    return E_UNEXPECTED;
  *AResult = FRemoteExecuteDrivers[std::size_t(AIndex)];
  return S_OK;
}

HRESULT TTarvoProcessorDriver::SelectFlashWriter(const IFlashWriter& AWriter) {
  FRemoteExecuteDriver = AWriter;
  return S_OK;
}

HRESULT TTarvoProcessorDriver::GetSelectedFlashWriter(IFlashWriter* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = FRemoteExecuteDriver;
  return S_OK;
}

HRESULT TTarvoProcessorDriver::GetFlashWriterCount(int32_t* AResult) {
  if (!AResult)
    return E_POINTER;
  *AResult = int32_t(FRemoteExecuteDrivers.size());
  return S_OK;
}

// ---- memory map ----------------------------------------------------------------------------

void TTarvoProcessorDriver::LoadDeviceMemoryFromConstraint(const std::wstring& AFileFullPath) {
  if (AFileFullPath.empty())
    return;
  for (const std::wstring& line : ReadConstraintLines(AFileFullPath))
    LoadMemoryMapsFromConstraintLine(line);
}

void TTarvoProcessorDriver::LoadMemoryMapsFromConstraintLine(const std::wstring& ALine) {
  TParameterList params;
  params.SetState(ALine);
  switch (ConstraintRecordKind(params)) {
  case TConstraintRecordKind::Architecture:
    LoadArchitectureSectionFromParamList(params);
    break;
  case TConstraintRecordKind::Logical:
    LoadLogicalSectionFromParamList(params);
    break;
  case TConstraintRecordKind::Skipped:
    break;
  }
}

void TTarvoProcessorDriver::LoadArchitectureSectionFromParamList(const TParameterList& AParamList) {
  const TArchitectureSectionFields fields = ReadArchitectureSectionFields(AParamList);
  auto* section = new TDeviceMemoryArchitectureSection();
  const IDeviceMemoryArchitectureSection record =
      IDeviceMemoryArchitectureSection::FromDispatch(section);
  CheckOperation(section->SetDesignator(fields.Designator), L"SetDesignator");
  CheckOperation(section->SetBusName(fields.BusName), L"SetBusName");
  CheckOperation(section->SetDescription(fields.Description), L"SetDescription");
  CheckOperation(section->SetBusType(fields.BusType), L"SetBusType");
  CheckOperation(section->SetStartAddress(fields.StartAddress), L"SetStartAddress");
  CheckOperation(section->SetSize(fields.Size), L"SetSize");
  CheckOperation(section->SetAddressWidth(fields.AddressWidth), L"SetAddressWidth");
  CheckOperation(section->SetIsMappedIO(fields.IsMappedIO ? VARIANT_TRUE : VARIANT_FALSE),
                 L"SetIsMappedIO");
  int32_t spaceCount = 0;
  CheckOperation(GetMemorySpaceCount(&spaceCount), L"GetMemorySpaceCount");
  for (int32_t space = 0; space < spaceCount; ++space) {
    std::wstring shortName;
    CheckOperation(GetMemorySpaceShortName(space, &shortName), L"GetMemorySpaceShortName");
    if (SameText(shortName, fields.BusName))
      CheckOperation(section->SetDeviceMemoryIndex(uint32_t(space)), L"SetDeviceMemoryIndex");
  }
  // A section that overlaps an earlier bus of its type is refused and dropped.
  FDeviceMemoryInformation.AddArchitectureSection(record);
}

void TTarvoProcessorDriver::LoadLogicalSectionFromParamList(const TParameterList& AParamList) {
  const TLogicalSectionFields fields = ReadLogicalSectionFields(AParamList);
  auto* section = new TDeviceMemoryLogicalSection();
  const IDeviceMemoryLogicalSection record = IDeviceMemoryLogicalSection::FromDispatch(section);
  CheckOperation(section->SetDesignator(fields.Designator), L"SetDesignator");
  CheckOperation(section->SetBusName(fields.BusName), L"SetBusName");
  CheckOperation(section->SetBusType(fields.BusType), L"SetBusType");
  CheckOperation(section->SetIsDefault(fields.IsDefault ? VARIANT_TRUE : VARIANT_FALSE),
                 L"SetIsDefault");
  CheckOperation(section->SetMAU(fields.MAU), L"SetMAU");
  CheckOperation(section->SetSize(fields.Size), L"SetSize");
  CheckOperation(section->SetStartAddress(fields.StartAddress), L"SetStartAddress");
  CheckOperation(section->SetUsageType(fields.UsageType), L"SetUsageType");
  CheckOperation(section->SetPhysicalType(fields.PhysicalType), L"SetPhysicalType");
  CheckOperation(section->SetMemConfig(fields.MemConfig), L"SetMemConfig");
  CheckOperation(section->SetIsExternal(fields.IsExternal ? VARIANT_TRUE : VARIANT_FALSE),
                 L"SetIsExternal");
  // A section that fits no bus is refused and dropped.
  FDeviceMemoryInformation.AddLogicalSection(record);
}
