#include "contract-params.h"

#include "exceptions.h"

HRESULT TParam<uint32_t&>::Read(VARIANT& AArg, Storage& AOut) {
  const VARTYPE vt = V_VT(&AArg);
  if ((vt != (VT_BYREF | VT_I4) && vt != (VT_BYREF | VT_UI4) && vt != (VT_BYREF | VT_INT) &&
       vt != (VT_BYREF | VT_UINT)) ||
      !V_BYREF(&AArg))
    return DISP_E_TYPEMISMATCH;
  AOut = static_cast<uint32_t*>(V_BYREF(&AArg));
  return S_OK;
}

HRESULT TParam<TBoolean&>::Read(VARIANT& AArg, Storage& AOut) {
  if (!V_BYREF(&AArg))
    return DISP_E_TYPEMISMATCH;
  switch (V_VT(&AArg)) {
  case VT_BYREF | VT_BOOL:
    AOut.BoolSlot = V_BOOLREF(&AArg);
    return S_OK;
  case VT_BYREF | VT_VARIANT:
    AOut.VariantSlot = V_VARIANTREF(&AArg);
    return S_OK;
  default:
    return DISP_E_TYPEMISMATCH;
  }
}

void TParam<TBoolean&>::WriteBack(Storage& AValue) {
  const VARIANT_BOOL flag = AValue.Value.Value ? VARIANT_TRUE : VARIANT_FALSE;
  if (AValue.BoolSlot) {
    *AValue.BoolSlot = flag;
  } else if (AValue.VariantSlot) {
    VariantClear(AValue.VariantSlot);
    V_VT(AValue.VariantSlot) = VT_BOOL;
    V_BOOL(AValue.VariantSlot) = flag;
  }
}

HRESULT ReadTransportSet(VARIANT& AArg, void* ASet, std::size_t ASize) {
  IUnknown* unk = nullptr;
  switch (V_VT(&AArg)) {
  case VT_UNKNOWN:
  case VT_DISPATCH:
    unk = V_UNKNOWN(&AArg);
    break;
  case VT_BYREF | VT_UNKNOWN:
  case VT_BYREF | VT_DISPATCH:
    if (!V_UNKNOWNREF(&AArg))
      return E_POINTER;
    unk = *V_UNKNOWNREF(&AArg);
    break;
  default:
    return DISP_E_TYPEMISMATCH;
  }
  if (!unk)
    return E_POINTER;
  TComPtr<ITransportSet> set;
  if (FAILED(unk->QueryInterface(IID_ITransportSet, reinterpret_cast<void**>(set.Receive()))) ||
      !set)
    return E_NOINTERFACE;
  try {
    ImportTransportSet(ASet, ASize, set.Get());
  } catch (const EOleSysError& e) {
    return e.ErrorCode();
  }
  return S_OK;
}
