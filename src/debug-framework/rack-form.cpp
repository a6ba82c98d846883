#include "rack-form.h"

#include "dispatch.h"
#include "host-utilities.h"

namespace {

// The plug-in's own class: registered under its instance while it is
// loaded and unregistered at its unload, so a reload registers it afresh.
TModuleWindowClass FormClass([] {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"OrvandelInstrumentForm";
  return windowClass;
}());

} // namespace

TInstrumentForm::TInstrumentForm(std::wstring ACaption) : FCaption(std::move(ACaption)) {}

TInstrumentForm::~TInstrumentForm() {
  if (FHandle)
    DestroyWindow(FHandle);
}

void TInstrumentForm::SetTarvoDevice(const ITarvoDevice& ADevice) {
  FTarvoDevice = ADevice;
}

void TInstrumentForm::Display(const ITarvoDevice& ADevice) {
  SetTarvoDevice(ADevice);
  SetCaption(L"  JTAG Index: " + std::to_wstring(ADevice.GetJTagIndex()));
}

void TInstrumentForm::Hidden() {
  FHiddenByHost = true;
  if (FHandle)
    ShowWindow(FHandle, SW_HIDE);
}

std::wstring TInstrumentForm::Caption() const {
  return FCaption;
}

void TInstrumentForm::SetCaption(const std::wstring& ACaption) {
  FCaption = ACaption;
  if (FHandle)
    SetWindowTextW(FHandle, FCaption.c_str());
}

HWND TInstrumentForm::Handle() {
  if (!FHandle) {
    FHandle =
        CreateWindowExW(0, FormClass.Use(), FCaption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 400, 300, nullptr, nullptr, GetModuleInstance(), nullptr);
  }
  return FHandle;
}

THardDeviceViewerForm::THardDeviceViewerForm(const ITarvoDevice& ADevice,
                                             const IJTagDevice& AChainDevice)
    : TInstrumentForm(L"Hard Device Viewer"), FChainDevice(AChainDevice) {
  SetTarvoDevice(ADevice);
}

void THardDeviceViewerForm::SetState_Controls() {
  ++FStateRefreshes;
}

THardDeviceViewerForm* CreateHardDeviceViewerForm(const ITarvoDevice& ADevice,
                                                  const IJTagDevice& AChainDevice) {
  return new THardDeviceViewerForm(ADevice, AChainDevice);
}

// ---- the view ---------------------------------------------------------------

TInstrumentView::TInstrumentView(TInstrumentForm* AForm) : FForm(AForm) {}

TInstrumentView::~TInstrumentView() {
  delete FForm;
}

HRESULT TInstrumentView::ReleaseView() {
  if (FForm)
    FForm->Hidden();
  return S_OK;
}

HRESULT TInstrumentView::GetHandle(std::uint32_t* AResult) {
  // Window handles are 32-bit values on both architectures.
  *AResult = FForm ? std::uint32_t(reinterpret_cast<UINT_PTR>(FForm->CurrentHandle())) : 0;
  return S_OK;
}

struct TInstrumentViewTable {
  static constexpr TDispEntry Table[] = {
      Op<&TInstrumentView::ReleaseView>(503704),
      Op<&TInstrumentView::GetHandle>(54),
  };
};

HRESULT TInstrumentView::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  ORV_DISPATCH_THROUGH(TInstrumentViewTable::Table, TAbstractSupportService);
}

HRESULT STDMETHODCALLTYPE TInstrumentView::SupportsService(BSTR AName, TBoolean* AResult) {
  return ChainSupportsService(TAbstractSupportService::SupportsService(AName, AResult), AName,
                              L"InstrumentView", AResult);
}

IInstrumentView CreateRackInstrumentView(TInstrumentForm* AForm) {
  auto* view = new TRackInstrumentView(AForm);
  return IInstrumentView::FromDispatch(view);
}
