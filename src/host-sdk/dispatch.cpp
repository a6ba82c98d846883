#include "dispatch.h"

HRESULT CoerceVariant(const VARIANT& ASource, VARTYPE AType, TVariant& ATarget) {
  // Read through by-reference arguments first, so every coercion sees a value.
  TVariant direct;
  HRESULT hr = VariantCopyInd(&direct, const_cast<VARIANT*>(&ASource));
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  hr = VariantChangeType(&ATarget, &direct, 0, AType);
  if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
  return S_OK;
}

HRESULT TParam<std::wstring>::Read(VARIANT& AArg, Storage& AOut) {
  TVariant v;
  const HRESULT hr = CoerceVariant(AArg, VT_BSTR, v);
  if (FAILED(hr)) return hr;
  const BSTR b = V_BSTR(&v);
  AOut.assign(b ? b : L"", b ? SysStringLen(b) : 0);
  return S_OK;
}

HRESULT TParam<int32_t>::Read(VARIANT& AArg, Storage& AOut) {
  TVariant v;
  const HRESULT hr = CoerceVariant(AArg, VT_I4, v);
  if (SUCCEEDED(hr)) AOut = V_I4(&v);
  return hr;
}

HRESULT TParam<uint32_t>::Read(VARIANT& AArg, Storage& AOut) {
  TVariant v;
  const HRESULT hr = CoerceVariant(AArg, VT_I8, v);
  if (SUCCEEDED(hr)) AOut = uint32_t(uint64_t(V_I8(&v)));
  return hr;
}

HRESULT TParam<int64_t>::Read(VARIANT& AArg, Storage& AOut) {
  TVariant v;
  const HRESULT hr = CoerceVariant(AArg, VT_I8, v);
  if (SUCCEEDED(hr)) AOut = V_I8(&v);
  return hr;
}

HRESULT TParam<double>::Read(VARIANT& AArg, Storage& AOut) {
  TVariant v;
  const HRESULT hr = CoerceVariant(AArg, VT_R8, v);
  if (SUCCEEDED(hr)) AOut = V_R8(&v);
  return hr;
}

HRESULT TParam<VARIANT_BOOL>::Read(VARIANT& AArg, Storage& AOut) {
  if (V_VT(&AArg) == VT_BOOL) {
    AOut = V_BOOL(&AArg);
    return S_OK;
  }
  TVariant v;
  const HRESULT hr = CoerceVariant(AArg, VT_BOOL, v);
  if (SUCCEEDED(hr)) AOut = V_BOOL(&v);
  return hr;
}

HRESULT ReadDispatchArgument(VARIANT& AArg, TComPtr<IDispatch>& AOut) {
  IUnknown* unk = nullptr;
  switch (V_VT(&AArg)) {
  case VT_DISPATCH: unk = V_DISPATCH(&AArg); break;
  case VT_UNKNOWN: unk = V_UNKNOWN(&AArg); break;
  case VT_BYREF | VT_DISPATCH:
    if (!V_DISPATCHREF(&AArg)) return DISP_E_TYPEMISMATCH;
    unk = *V_DISPATCHREF(&AArg);
    break;
  case VT_BYREF | VT_UNKNOWN:
    if (!V_UNKNOWNREF(&AArg)) return DISP_E_TYPEMISMATCH;
    unk = *V_UNKNOWNREF(&AArg);
    break;
  default: return DISP_E_TYPEMISMATCH;
  }
  AOut.Reset();
  if (!unk) return S_OK;
  if (FAILED(unk->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(AOut.Receive()))) || !AOut)
    return DISP_E_TYPEMISMATCH;
  return S_OK;
}

HRESULT TParam<int32_t&>::Read(VARIANT& AArg, Storage& AOut) {
  const VARTYPE vt = V_VT(&AArg);
  if ((vt != (VT_BYREF | VT_I4) && vt != (VT_BYREF | VT_UI4) && vt != (VT_BYREF | VT_INT)) ||
      !V_I4REF(&AArg))
    return DISP_E_TYPEMISMATCH;
  AOut = reinterpret_cast<int32_t*>(V_I4REF(&AArg));
  return S_OK;
}

HRESULT TParam<int64_t&>::Read(VARIANT& AArg, Storage& AOut) {
  const VARTYPE vt = V_VT(&AArg);
  if ((vt != (VT_BYREF | VT_I8) && vt != (VT_BYREF | VT_UI8)) || !V_I8REF(&AArg))
    return DISP_E_TYPEMISMATCH;
  AOut = reinterpret_cast<int64_t*>(V_I8REF(&AArg));
  return S_OK;
}

HRESULT TParam<std::wstring&>::Read(VARIANT& AArg, Storage& AOut) {
  if (V_VT(&AArg) != (VT_BYREF | VT_BSTR) || !V_BSTRREF(&AArg)) return DISP_E_TYPEMISMATCH;
  AOut.Slot = V_BSTRREF(&AArg);
  const BSTR b = *AOut.Slot;
  AOut.Value.assign(b ? b : L"", b ? SysStringLen(b) : 0);
  return S_OK;
}

void TParam<std::wstring&>::WriteBack(Storage& AValue) {
  const BSTR fresh = SysAllocStringLen(AValue.Value.data(), UINT(AValue.Value.size()));
  SysFreeString(*AValue.Slot);
  *AValue.Slot = fresh;
}

HRESULT StoreResult(VARIANT& ATarget, const std::wstring& AValue) {
  const BSTR b = SysAllocStringLen(AValue.data(), UINT(AValue.size()));
  if (!b) return E_OUTOFMEMORY;
  V_VT(&ATarget) = VT_BSTR;
  V_BSTR(&ATarget) = b;
  return S_OK;
}

HRESULT StoreResult(VARIANT& ATarget, int32_t AValue) {
  V_VT(&ATarget) = VT_I4;
  V_I4(&ATarget) = AValue;
  return S_OK;
}

HRESULT StoreResult(VARIANT& ATarget, uint32_t AValue) {
  return StoreResult(ATarget, static_cast<int32_t>(AValue));
}

HRESULT StoreResult(VARIANT& ATarget, int64_t AValue) {
  V_VT(&ATarget) = VT_I8;
  V_I8(&ATarget) = AValue;
  return S_OK;
}

HRESULT StoreResult(VARIANT& ATarget, uint64_t AValue) {
  return StoreResult(ATarget, static_cast<int64_t>(AValue));
}

HRESULT StoreResult(VARIANT& ATarget, double AValue) {
  V_VT(&ATarget) = VT_R8;
  V_R8(&ATarget) = AValue;
  return S_OK;
}

HRESULT StoreResult(VARIANT& ATarget, TBoolean AValue) {
  V_VT(&ATarget) = VT_BOOL;
  V_BOOL(&ATarget) = AValue.Value ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT StoreResult(VARIANT& ATarget, const TDispRecordBase& AValue) {
  IDispatch* d = nullptr;
  if (AValue.Intf()) {
    const HRESULT hr = AValue.Intf()->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d));
    if (FAILED(hr) || !d) return FAILED(hr) ? hr : E_NOINTERFACE;
  }
  V_VT(&ATarget) = VT_DISPATCH;
  V_DISPATCH(&ATarget) = d;
  return S_OK;
}
