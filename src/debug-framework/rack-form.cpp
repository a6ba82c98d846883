#include "rack-form.h"

THardDeviceViewerForm::THardDeviceViewerForm(const ITarvoDevice& ADevice,
                                             const IJTagDevice& AChainDevice)
    : TRackInstrumentForm(ADevice), FChainDevice(AChainDevice) {
  SetCaption(L"Hard Device Viewer");
}

void THardDeviceViewerForm::SetState_Controls() {
  ++FStateRefreshes;
}

THardDeviceViewerForm* CreateHardDeviceViewerForm(const ITarvoDevice& ADevice,
                                                  const IJTagDevice& AChainDevice) {
  return new THardDeviceViewerForm(ADevice, AChainDevice);
}
