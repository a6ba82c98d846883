#include "instrument-forms.h"

#include "host-modules.h"
#include "instrument-panel.h"
#include "instrument-views.h"
#include "numeric-text.h"
#include "support-service.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

UINT ControlListingMessage() {
  static const UINT message = RegisterWindowMessageW(kControlListingMessageName);
  return message;
}

std::wstring ControlListingText(const TWinControl& AForm) {
  std::wstring text;
  for (const TControlListing& c : ListControls(&AForm)) {
    text += std::to_wstring(c.Depth) + L'\t' + c.Name + L'\t' + c.ClassName + L'\t' + c.Caption +
            L'\t' + (c.Checked ? L'1' : L'0') + L'\t' + (c.Enabled ? L'1' : L'0') + L'\t' +
            (c.Visible ? L'1' : L'0') + L'\t' + std::to_wstring(c.Bounds.left) + L'\t' +
            std::to_wstring(c.Bounds.top) + L'\t' + std::to_wstring(c.Bounds.right) + L'\t' +
            std::to_wstring(c.Bounds.bottom) + L'\n';
  }
  return text;
}

std::wstring AppendDashed(const std::wstring& AText, const std::wstring& AMore) {
  return AText.empty() ? AMore : AText + L" - " + AMore;
}

} // namespace

// ---- the form's automation interface -------------------------------------------

// The host holds this interface (as a timer handler, for one) by its own
// count, which says nothing of the form's life: the form lets it go when
// it is freed, and a host that still calls it is told the call failed.
class TInstrumentFormAutomation final : public IDispatch {
public:
  explicit TInstrumentFormAutomation(TInstrumentForm* AForm) : FForm(AForm) {}
  void FormGone() { FForm = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override {
    if (!AObject)
      return E_POINTER;
    *AObject = nullptr;
    if (!IsEqualIID(AIid, IID_IUnknown) && !IsEqualIID(AIid, IID_IDispatch))
      return E_NOINTERFACE;
    *AObject = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&FRefCount)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = InterlockedDecrement(&FRefCount);
    if (count == 0)
      delete this;
    return ULONG(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                                   DISPPARAMS* AParams, VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                                   UINT* AArgErr) override {
    if (!FForm)
      return E_UNEXPECTED;
    return Guarded([&] {
      return FForm->Invoke(ADispId, AIid, ALocale, AFlags, AParams, AVarResult, AExcepInfo,
                           AArgErr);
    });
  }

private:
  TInstrumentForm* FForm;
  LONG FRefCount = 0;
};

// ---- TInstrumentForm ----------------------------------------------------------

TInstrumentForm::TInstrumentForm(const ITarvoDevice& ADevice) : TCustomForm(nullptr) {
  SetTarvoDevice(ADevice);
}

TInstrumentForm::~TInstrumentForm() {
  if (FAutomation)
    FAutomation->FormGone();
  if (FView)
    FView->FormGone(this);
}

IDispatch* TInstrumentForm::AutomationInterface() {
  if (!FAutomation)
    FAutomation = TComPtr<TInstrumentFormAutomation>(new TInstrumentFormAutomation(this));
  return FAutomation.Get();
}

HRESULT TInstrumentForm::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                UINT*) {
  return E_NOTIMPL;
}

void TInstrumentForm::Display(const ITarvoDevice& ADevice) {
  SetTarvoDevice(ADevice);
  SetCaption(L"  JTAG Index: " + std::to_wstring(ADevice.GetJTagIndex()));
}

void TInstrumentForm::WndProc(TMessage& AMessage) {
  if (AMessage.Msg == ControlListingMessage()) {
    const std::wstring text = ControlListingText(*this);
    if (auto* buffer = reinterpret_cast<wchar_t*>(AMessage.LParam); buffer && AMessage.WParam) {
      const std::size_t count = std::min<std::size_t>(text.size(), AMessage.WParam - 1);
      std::memcpy(buffer, text.data(), count * sizeof(wchar_t));
      buffer[count] = L'\0';
    }
    AMessage.Result = LRESULT(text.size());
    return;
  }
  TCustomForm::WndProc(AMessage);
}

// ---- TRackInstrumentForm ------------------------------------------------------

TRackInstrumentForm::TRackInstrumentForm(const ITarvoDevice& ADevice) : TInstrumentForm(ADevice) {
  SetBorderStyle(bsNone);
  OnMouseDown = MouseHandler();
  // Closing a rack form only hides it: the driver keeps it for its life.
  OnClose = [](TCustomForm*, TCloseAction& AAction) { AAction = caHide; };
}

TRackMouseHandler TRackInstrumentForm::MouseHandler() {
  return [this](TControl* ASender, TMouseButton AButton, TShiftState AShift, int AX, int AY) {
    MouseButtonDown(ASender, AButton, AShift, AX, AY);
  };
}

int32_t TRackInstrumentForm::GetRegisterValue(int32_t AIndex) {
  if (!DeviceOnline() || FDeviceBusy)
    return 0;
  const IProcessorRegister reg = TarvoDevice().GetProcessorRegister(AIndex);
  if (reg.IsEmpty())
    return 0;
  TBusyScope busy(*this);
  return reg.GetValue();
}

void TRackInstrumentForm::SetRegisterValue(int32_t AIndex, int32_t AValue) {
  if (!DeviceOnline())
    return;
  const IProcessorRegister reg = TarvoDevice().GetProcessorRegister(AIndex);
  if (reg.IsEmpty())
    return;
  TBusyScope busy(*this);
  reg.SetValue(AValue);
}

TInstrumentBackgroundPanel* TRackInstrumentForm::GetMainPanel() {
  for (int i = 0; i < ControlCount(); ++i)
    if (auto* panel = dynamic_cast<TInstrumentBackgroundPanel*>(Controls(i)))
      return panel;
  return nullptr;
}

ITarvoCore TRackInstrumentForm::GetTarvoCore() {
  if (!DeviceOnline())
    return ITarvoCore();
  const ITarvoWorkbench workbench = GetTarvoWorkbench();
  return workbench.IsEmpty() ? ITarvoCore() : workbench.GetCoreOfDevice(TarvoDevice());
}

void TRackInstrumentForm::UpdateCoreInformation() {
  TInstrumentBackgroundPanel* panel = GetMainPanel();
  if (!DeviceOnline() || !panel)
    return;
  const ITarvoDevice& device = TarvoDevice();
  panel->SetJtagID(device.GetJTagIndex());
  const IJTagChannel channel = device.GetJTagChannel();
  panel->SetPortID(channel.IsEmpty() ? -1 : GetJTagPortIndex(channel.GetJtagPort()));
  const ITarvoCore core = GetTarvoCore();
  panel->SetCoreName(core.IsEmpty() ? L"(" + device.GetDeviceName() + L" )"
                                    : core.GetDesignator() + L" (" + core.GetCoreName() + L")");
}

void TRackInstrumentForm::MouseButtonDown(TControl*, TMouseButton AButton, TShiftState, int AX,
                                          int AY) {
  if (FParentWindowHolder.IsEmpty())
    return;
  UINT message = 0;
  if (AButton == mbLeft)
    message = WM_LBUTTONDOWN;
  else if (AButton == mbRight)
    message = WM_RBUTTONDOWN;
  else
    return;
  // The rack window reads X from WParam and Y from LParam, unpacked. Its
  // handle comes as a 32-bit value, widened by sign as window handles are.
  const HWND holder =
      reinterpret_cast<HWND>(static_cast<intptr_t>(FParentWindowHolder.GetHandle()));
  SendMessageW(holder, message, WPARAM(AX), LPARAM(AY));
}

std::wstring TRackInstrumentForm::RegisterValueToHex(uint32_t AValue, int32_t AWidth) {
  const int digits = AWidth <= 8 ? 2 : std::min(8, (AWidth + 3) / 4);
  return IntToHex0x(std::int64_t(AValue), digits).substr(2);
}

void TRackInstrumentForm::ShowRegisterValue(const IProcessorRegister& ARegister, TControl& ALabel,
                                            bool AShowHex, bool AShowDecimal, bool AShowBinary,
                                            int32_t AValue, int32_t AWidth) {
  if (!ARegister.IsEmpty() && AWidth == 0) {
    ARegister.Refresh();
    AValue = ARegister.GetValue();
    AWidth = ARegister.GetWidth();
  }
  if (ARegister.IsEmpty()) {
    ALabel.SetCaption(L"");
    return;
  }
  std::wstring text;
  if (AShowHex)
    text = L"0x" + RegisterValueToHex(uint32_t(AValue), AWidth);
  if (AShowDecimal)
    text = AppendDashed(text, std::to_wstring(uint32_t(AValue)));
  if (AShowBinary)
    text = AppendDashed(text, IntToGroupedBinStr(uint32_t(AValue), AWidth));
  ALabel.SetCaption(text);
}
