#include "processor-info.h"

namespace {

const core_table::TCoreRow& RowOf(TDeviceProcessor_Core ACore) {
  const int index = int(ACore) < DeviceProcessorCoreCount ? int(ACore) : 0;
  return core_table::Cores[index];
}

HRESULT Answer(std::wstring* AResult, std::wstring AValue) {
  if (!AResult)
    return E_POINTER;
  *AResult = std::move(AValue);
  return S_OK;
}

} // namespace

std::wstring DeviceProcessorCoreString(TDeviceProcessor_Core ACore) {
  return RowOf(ACore).Core;
}

std::wstring DeviceProcessorArchString(TDeviceProcessor_Core ACore) {
  return core_table::ArchitectureNames[RowOf(ACore).Architecture];
}

std::wstring DeviceProcessorFamilyString(TDeviceProcessor_Core ACore) {
  return core_table::FamilyNames[RowOf(ACore).Family];
}

std::wstring DeviceProcessorToolChainString(TDeviceProcessor_Core ACore) {
  return core_table::ToolChainNames[RowOf(ACore).ToolChain];
}

std::wstring DeviceProcessorToolChainTargetString(TDeviceProcessor_Core ACore) {
  return core_table::ToolChainTargetNames[RowOf(ACore).ToolChainTarget];
}

HRESULT TDeviceProcessorInformation::GetDeviceProcessorFamilyString(std::wstring* AResult) {
  return Answer(AResult, DeviceProcessorFamilyString(FCore));
}

HRESULT TDeviceProcessorInformation::GetDeviceProcessorArchString(std::wstring* AResult) {
  return Answer(AResult, DeviceProcessorArchString(FCore));
}

HRESULT TDeviceProcessorInformation::GetDeviceProcessorCoreString(std::wstring* AResult) {
  return Answer(AResult, DeviceProcessorCoreString(FCore));
}

HRESULT
TDeviceProcessorInformation::GetDeviceProcessorToolChainTargetString(std::wstring* AResult) {
  return Answer(AResult, DeviceProcessorToolChainTargetString(FCore));
}

HRESULT TDeviceProcessorInformation::GetDeviceProcessorToolChainString(std::wstring* AResult) {
  return Answer(AResult, DeviceProcessorToolChainString(FCore));
}
