#pragma once

// Arguments as the host lays them out: given in declaration order, passed
// reversed in rgvarg.

#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <vector>

class THostArgs {
public:
  THostArgs() = default;
  THostArgs(const THostArgs&) = delete;
  THostArgs& operator=(const THostArgs&) = delete;
  ~THostArgs() {
    for (VARIANT& v : Args)
      VariantClear(&v);
  }

  THostArgs& I4(int32_t AValue) {
    VARIANT& v = Next(VT_I4);
    V_I4(&v) = AValue;
    return *this;
  }
  THostArgs& I8(int64_t AValue) {
    VARIANT& v = Next(VT_I8);
    V_I8(&v) = AValue;
    return *this;
  }
  THostArgs& R8(double AValue) {
    VARIANT& v = Next(VT_R8);
    V_R8(&v) = AValue;
    return *this;
  }
  THostArgs& Bool(VARIANT_BOOL AValue) {
    VARIANT& v = Next(VT_BOOL);
    V_BOOL(&v) = AValue;
    return *this;
  }
  THostArgs& Str(const std::wstring& AValue) {
    VARIANT& v = Next(VT_BSTR);
    V_BSTR(&v) = SysAllocStringLen(AValue.data(), UINT(AValue.size()));
    return *this;
  }
  // An interface argument; the VARIANT holds a reference of its own.
  THostArgs& Obj(IUnknown* AValue, VARTYPE AType = VT_DISPATCH) {
    VARIANT& v = Next(AType);
    V_UNKNOWN(&v) = AValue;
    if (AValue)
      AValue->AddRef();
    return *this;
  }
  // A by-reference argument pointing at the caller's variable.
  THostArgs& Ref(VARTYPE AType, void* ATarget) {
    VARIANT& v = Next(VARTYPE(VT_BYREF | AType));
    V_BYREF(&v) = ATarget;
    return *this;
  }

  HRESULT Invoke(IDispatch* AObject, DISPID AId, VARIANT* AResult, UINT* AArgErr = nullptr) {
    std::vector<VARIANT> reversed(Args.rbegin(), Args.rend());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()),
                      0};
    return AObject->Invoke(AId, IID_NULL, 0, DISPATCH_METHOD, &params, AResult, nullptr, AArgErr);
  }

  std::vector<VARIANT> Args;

private:
  VARIANT& Next(VARTYPE AType) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = AType;
    Args.push_back(v);
    return Args.back();
  }
};

// A result VARIANT that starts with a marker, so "left untouched" shows.
struct TResultVariant {
  VARIANT Value;
  TResultVariant() {
    VariantInit(&Value);
    V_VT(&Value) = VT_I4;
    V_I4(&Value) = 31;
  }
  ~TResultVariant() { VariantClear(&Value); }
  bool Untouched() const { return V_VT(&Value) == VT_I4 && V_I4(&Value) == 31; }
};

inline std::string Narrow(const std::wstring& AText) {
  return std::string(AText.begin(), AText.end());
}
