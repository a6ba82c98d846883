#pragma once

// The rack panels as the drivers see them: the instrument form and view
// bases, the ARM controller panel, and the panel of a device that has a
// boundary-scan description, which is a plain rack form until its pins
// panel is built.

#include "arm-instrument-form.h"
#include "instrument-forms.h"
#include "instrument-views.h"

// The panel of a device that has a boundary-scan description.
class THardDeviceViewerForm : public TRackInstrumentForm {
public:
  THardDeviceViewerForm(const ITarvoDevice& ADevice, const IJTagDevice& AChainDevice);
  std::wstring ClassName() const override { return L"THardDeviceViewerForm"; }
  void SetState_Controls() override;
  int GetPreferredHeight() override { return ClientHeight(); }
  void SetMouseHandler(const TRackMouseHandler&) override {}

  const IJTagDevice& ChainDevice() const { return FChainDevice; }
  unsigned StateRefreshes() const { return FStateRefreshes; }

private:
  IJTagDevice FChainDevice;
  unsigned FStateRefreshes = 0;
};

// Caption "Hard Device Viewer"; the caller owns the form.
THardDeviceViewerForm* CreateHardDeviceViewerForm(const ITarvoDevice& ADevice,
                                                  const IJTagDevice& AChainDevice);
