// The server view's operations that have behaviour of their own: the view
// name and state, and a drag target that refuses every drop.

#include "contracts.h"

#include "outgoing-call.h"

#include <windows.h>

namespace {

// IDragDropObject.SetDragCursor(cursor handle)
constexpr THostCallDescriptor kSetDragCursor = {6, 0, kCallMethod, 1, 0, {VT_I4}};

} // namespace

HRESULT TAbstractSDKServerView::GetViewName(std::wstring* AResult) {
  return Guarded([&] { *AResult = FViewName; });
}

HRESULT TAbstractSDKServerView::GetCurrentViewState(std::wstring* AResult) {
  return Guarded([&] { AResult->clear(); });
}

HRESULT TAbstractSDKServerView::GetViewState(std::wstring* AResult) {
  return Guarded([&]() -> HRESULT {
    AResult->clear();
    std::wstring state;
    const HRESULT hr = GetCurrentViewState(&state);
    if (FAILED(hr))
      return hr;
    FViewState = state;
    *AResult = std::move(state);
    return S_OK;
  });
}

HRESULT TAbstractSDKServerView::SetViewState(const std::wstring&) {
  return S_OK;
}

HRESULT TAbstractSDKServerView::ReceiveNotification(const contract_records::INotification&) {
  return S_OK;
}

HRESULT TAbstractSDKServerView::GetViewStateEx(TDataWord, std::wstring* AResult) {
  return GetViewState(AResult);
}

HRESULT TAbstractSDKServerView::SetViewStateEx(const std::wstring& AState) {
  return SetViewState(AState);
}

HRESULT TAbstractSDKServerView::DragQuery(const contract_records::IDragDropObject& ADragObject) {
  return Guarded([&] {
    // Nothing to tell when the host names no drag object.
    if (ADragObject.IsEmpty())
      return;
    const HCURSOR noDrop = LoadCursorW(nullptr, IDC_NO);
    HostCallVoid(ADragObject.Intf(), kSetDragCursor,
                 static_cast<int32_t>(reinterpret_cast<uintptr_t>(noDrop)));
  });
}

HRESULT TAbstractSDKServerView::DragNotification10(const contract_records::IDragDropObject&) {
  return S_OK;
}

HRESULT TAbstractSDKServerView::DragNotification11(const contract_records::IDragDropObject&) {
  return S_OK;
}

HRESULT TAbstractSDKServerView::DragNotification12(const contract_records::IDragDropObject&) {
  return S_OK;
}

HRESULT TAbstractSDKServerView::DropQuery(const contract_records::IDragDropObject&, int32_t,
                                          const TSetValue<2>&, TBoolean* AResult) {
  *AResult = false;
  return S_OK;
}
