#pragma once

#include "contracts.h"
#include "core-table.h"

#include <string>

// The host's description of a device's processor: core, architecture,
// family and compiler tool chain, all read from the core table.
class TDeviceProcessorInformation : public TAbstractDeviceProcessorInformation {
public:
  explicit TDeviceProcessorInformation(TDeviceProcessor_Core ACore) : FCore(ACore) {}

  TDeviceProcessor_Core Core() const { return FCore; }

  HRESULT GetDeviceProcessorFamilyString(std::wstring* AResult) override;
  HRESULT GetDeviceProcessorArchString(std::wstring* AResult) override;
  HRESULT GetDeviceProcessorCoreString(std::wstring* AResult) override;
  HRESULT GetDeviceProcessorToolChainTargetString(std::wstring* AResult) override;
  HRESULT GetDeviceProcessorToolChainString(std::wstring* AResult) override;

private:
  const TDeviceProcessor_Core FCore;
};

// The texts of a core's row; a value outside the table reads as the
// unknown core.
std::wstring DeviceProcessorCoreString(TDeviceProcessor_Core ACore);
std::wstring DeviceProcessorArchString(TDeviceProcessor_Core ACore);
std::wstring DeviceProcessorFamilyString(TDeviceProcessor_Core ACore);
std::wstring DeviceProcessorToolChainString(TDeviceProcessor_Core ACore);
std::wstring DeviceProcessorToolChainTargetString(TDeviceProcessor_Core ACore);
