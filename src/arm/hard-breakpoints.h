#pragma once

#include "contracts.h"
#include "host-records.h"

#include <cstdint>

class TARM_Cortex_M3;

// The seven properties every hardware breakpoint kind keeps, and the getters
// and setters the host reaches them by.
class TARMHardBreakpointBase : public TAbstractHardBreakpoint {
public:
  HRESULT Import_FromCore() override { return S_OK; }
  HRESULT Export_ToCore() override { return S_OK; }
  HRESULT GetReplaced(uint32_t* AResult) override;
  HRESULT SetReplaced(uint32_t) override { return S_OK; }
  HRESULT GetMemorySpace(int32_t* AResult) override;
  HRESULT SetMemorySpace(int32_t ASpace) override;
  HRESULT GetAddress(int64_t* AResult) override;
  HRESULT SetAddress(int64_t AAddress) override;
  HRESULT GetAddressMask(int64_t* AResult) override;
  HRESULT GetData(int64_t* AResult) override;
  HRESULT GetDataMask(int64_t* AResult) override;
  HRESULT GetControl(int64_t* AResult) override;
  HRESULT GetControlMask(int64_t* AResult) override;
  HRESULT SetAddressMask(int64_t AValue) override;
  HRESULT SetData(int64_t AValue) override;
  HRESULT SetDataMask(int64_t AValue) override;
  HRESULT SetControl(int64_t AValue) override;
  HRESULT SetControlMask(int64_t AValue) override;

protected:
  uint32_t FAddress = 0;
  uint32_t FAddressMask = 0;
  uint32_t FData = 0;
  uint32_t FDataMask = 0;
  uint32_t FControl = 0;
  uint32_t FControlMask = 0;
  int32_t FMemorySpace = 0;
};

// One EmbeddedICE watchpoint unit of an ARM7/ARM9 core, programmed through
// the driver's own IARMEmbeddedICE face.
class TARMHardBreakpointPoint : public TARMHardBreakpointBase {
public:
  TARMHardBreakpointPoint(IARMEmbeddedICE AArmDriver, int32_t AReg_CTRL, int32_t AReg_CTRLMASK,
                          int32_t AReg_DATA, int32_t AReg_DATAMASK, int32_t AReg_ADDRESS,
                          int32_t AReg_ADDRESSMASK);

  HRESULT GetTarvoDevice(contract_records::ITarvoDevice* AResult) override;
  HRESULT Reset() override;
  HRESULT Enable(TBoolean* AResult) override;
  HRESULT Disable(TBoolean* AResult) override;

  static constexpr uint32_t kEnableBit = 0x100;

private:
  IARMEmbeddedICE FArmBaseDriver;
  int32_t FWatchPointRegister_CTRL;
  int32_t FWatchPointRegister_CTRLMASK;
  int32_t FWatchPointRegister_DATA;
  int32_t FWatchPointRegister_DATAMASK;
  int32_t FWatchPointRegister_ADDRESS;
  int32_t FWatchPointRegister_ADDRESSMASK;
};

// One code comparator of the Cortex-M3 flash patch unit: enabled, it stops
// the core at an instruction fetch from its address.
class TARM_Cortex_M3HardBreakpoint : public TARMHardBreakpointBase {
public:
  TARM_Cortex_M3HardBreakpoint(TARM_Cortex_M3& ADriver, uint32_t AComparator);

  HRESULT GetTarvoDevice(contract_records::ITarvoDevice* AResult) override;
  HRESULT Reset() override;
  HRESULT Enable(TBoolean* AResult) override;
  HRESULT Disable(TBoolean* AResult) override;

  uint32_t Comparator() const { return FComparator; }
  // The comparator word that matches an instruction at AAddress: the word
  // address, the halfword it replaces (upper for address bit 1 set, lower
  // otherwise) and the enable bit.
  static constexpr uint32_t ComparatorValue(uint32_t AAddress) {
    return (AAddress & 0x1FFFFFFC) | ((AAddress & 2) ? 0x80000000u : 0x40000000u) | 1u;
  }

private:
  TARM_Cortex_M3& FDriver;
  uint32_t FComparator;
};
