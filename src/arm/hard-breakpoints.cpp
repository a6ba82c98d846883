#include "hard-breakpoints.h"

#include "cortex-m3.h"

HRESULT TARMHardBreakpointBase::GetReplaced(uint32_t* AResult) {
  *AResult = 0;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::GetMemorySpace(int32_t* AResult) {
  *AResult = FMemorySpace;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::SetMemorySpace(int32_t ASpace) {
  FMemorySpace = ASpace;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::GetAddress(int64_t* AResult) {
  *AResult = FAddress & ~1u;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::SetAddress(int64_t AAddress) {
  FAddress = uint32_t(AAddress) & ~1u;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::GetAddressMask(int64_t* AResult) {
  *AResult = FAddressMask;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::GetData(int64_t* AResult) {
  *AResult = FData;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::GetDataMask(int64_t* AResult) {
  *AResult = FDataMask;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::GetControl(int64_t* AResult) {
  *AResult = FControl;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::GetControlMask(int64_t* AResult) {
  *AResult = FControlMask;
  return S_OK;
}
HRESULT TARMHardBreakpointBase::SetAddressMask(int64_t AValue) {
  FAddressMask = uint32_t(AValue);
  return S_OK;
}
HRESULT TARMHardBreakpointBase::SetData(int64_t AValue) {
  FData = uint32_t(AValue);
  return S_OK;
}
HRESULT TARMHardBreakpointBase::SetDataMask(int64_t AValue) {
  FDataMask = uint32_t(AValue);
  return S_OK;
}
HRESULT TARMHardBreakpointBase::SetControl(int64_t AValue) {
  FControl = uint32_t(AValue);
  return S_OK;
}
HRESULT TARMHardBreakpointBase::SetControlMask(int64_t AValue) {
  FControlMask = uint32_t(AValue);
  return S_OK;
}

// ---- EmbeddedICE watchpoint unit --------------------------------------------

TARMHardBreakpointPoint::TARMHardBreakpointPoint(IARMEmbeddedICE AArmDriver, int32_t AReg_CTRL,
                                                 int32_t AReg_CTRLMASK, int32_t AReg_DATA,
                                                 int32_t AReg_DATAMASK, int32_t AReg_ADDRESS,
                                                 int32_t AReg_ADDRESSMASK)
    : FArmBaseDriver(std::move(AArmDriver)), FWatchPointRegister_CTRL(AReg_CTRL),
      FWatchPointRegister_CTRLMASK(AReg_CTRLMASK), FWatchPointRegister_DATA(AReg_DATA),
      FWatchPointRegister_DATAMASK(AReg_DATAMASK), FWatchPointRegister_ADDRESS(AReg_ADDRESS),
      FWatchPointRegister_ADDRESSMASK(AReg_ADDRESSMASK) {
  Reset();
}

HRESULT TARMHardBreakpointPoint::GetTarvoDevice(contract_records::ITarvoDevice* AResult) {
  *AResult = contract_records::ITarvoDevice();
  return S_OK;
}

HRESULT TARMHardBreakpointPoint::Reset() {
  FDataMask = 0xFFFFFFFF;
  FData = FAddress = FAddressMask = 0;
  return S_OK;
}

HRESULT TARMHardBreakpointPoint::Enable(TBoolean* AResult) {
  *AResult = false;
  return Guarded([&] {
    FArmBaseDriver.BeginUpdate();
    *AResult = true;
    // The unit is switched off while it is reprogrammed, on again last.
    const struct {
      int32_t Register;
      uint32_t Value;
    } writes[] = {
        {FWatchPointRegister_CTRL, 0},
        {FWatchPointRegister_ADDRESSMASK, FAddressMask},
        {FWatchPointRegister_ADDRESS, FAddress},
        {FWatchPointRegister_DATAMASK, FDataMask},
        {FWatchPointRegister_DATA, FData},
        {FWatchPointRegister_CTRLMASK, FControlMask},
        {FWatchPointRegister_CTRL, FControl | kEnableBit},
    };
    for (const auto& w : writes)
      FArmBaseDriver.SetICERegister(w.Register, int32_t(w.Value));
    FArmBaseDriver.EndUpdate();
  });
}

HRESULT TARMHardBreakpointPoint::Disable(TBoolean* AResult) {
  *AResult = false;
  return Guarded([&] {
    *AResult = true;
    FArmBaseDriver.BeginUpdate();
    FArmBaseDriver.SetICERegister(FWatchPointRegister_CTRL, 0);
    FArmBaseDriver.EndUpdate();
  });
}

// ---- Cortex-M3 flash patch comparator ----------------------------------------

TARM_Cortex_M3HardBreakpoint::TARM_Cortex_M3HardBreakpoint(TARM_Cortex_M3& ADriver,
                                                           uint32_t AComparator)
    : FDriver(ADriver), FComparator(AComparator) {
  // A comparator left enabled by an earlier session would halt the core at
  // an address nobody asked for: a new object starts with it cleared.
  Reset();
}

HRESULT TARM_Cortex_M3HardBreakpoint::GetTarvoDevice(contract_records::ITarvoDevice* AResult) {
  return FDriver.GetTarvoDevice(AResult);
}

HRESULT TARM_Cortex_M3HardBreakpoint::Reset() {
  FAddress = FAddressMask = FData = FDataMask = 0;
  TBoolean cleared;
  return Disable(&cleared);
}

HRESULT TARM_Cortex_M3HardBreakpoint::Enable(TBoolean* AResult) {
  *AResult = false;
  return Guarded(
      [&] { *AResult = FDriver.WriteDebugWord(FComparator, ComparatorValue(FAddress)); });
}

HRESULT TARM_Cortex_M3HardBreakpoint::Disable(TBoolean* AResult) {
  *AResult = false;
  return Guarded([&] { *AResult = FDriver.WriteDebugWord(FComparator, 0); });
}
