#pragma once

// The host's side of a call by DISPID: arguments in call order, a result
// VARIANT that clears itself.

#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

struct THostArg {
  VARIANT Value;
};

inline THostArg ArgI4(int32_t AValue) {
  THostArg a;
  VariantInit(&a.Value);
  V_VT(&a.Value) = VT_I4;
  V_I4(&a.Value) = AValue;
  return a;
}

inline THostArg ArgI8(int64_t AValue) {
  THostArg a;
  VariantInit(&a.Value);
  V_VT(&a.Value) = VT_I8;
  V_I8(&a.Value) = AValue;
  return a;
}

inline THostArg ArgBool(bool AValue) {
  THostArg a;
  VariantInit(&a.Value);
  V_VT(&a.Value) = VT_BOOL;
  V_BOOL(&a.Value) = AValue ? VARIANT_TRUE : VARIANT_FALSE;
  return a;
}

inline THostArg ArgText(const wchar_t* AValue) {
  THostArg a;
  VariantInit(&a.Value);
  V_VT(&a.Value) = VT_BSTR;
  V_BSTR(&a.Value) = SysAllocString(AValue);
  return a;
}

// The object is not counted by the argument; the caller keeps it alive.
inline THostArg ArgObject(IDispatch* AValue) {
  THostArg a;
  VariantInit(&a.Value);
  V_VT(&a.Value) = VT_DISPATCH;
  V_DISPATCH(&a.Value) = AValue;
  return a;
}

class THostResult {
public:
  THostResult() { VariantInit(&FValue); }
  ~THostResult() { VariantClear(&FValue); }
  THostResult(const THostResult&) = delete;
  THostResult& operator=(const THostResult&) = delete;
  VARIANT* Slot() {
    VariantClear(&FValue);
    return &FValue;
  }
  VARTYPE Type() const { return V_VT(&FValue); }
  int32_t Int() const { return V_VT(&FValue) == VT_I4 ? V_I4(&FValue) : INT32_MIN; }
  int64_t Int64() const { return V_VT(&FValue) == VT_I8 ? V_I8(&FValue) : INT64_MIN; }
  bool Bool() const { return V_VT(&FValue) == VT_BOOL && V_BOOL(&FValue) == VARIANT_TRUE; }
  std::wstring Text() const {
    return V_VT(&FValue) == VT_BSTR ? std::wstring(V_BSTR(&FValue), SysStringLen(V_BSTR(&FValue)))
                                    : std::wstring(L"<not a text>");
  }
  // The object answered, no reference added; nullptr for an empty one.
  IDispatch* Object() const { return V_VT(&FValue) == VT_DISPATCH ? V_DISPATCH(&FValue) : nullptr; }

private:
  VARIANT FValue;
};

// Invokes ADispId on AObject as a method with the arguments in call order.
inline HRESULT HostCall(IDispatch* AObject, DISPID ADispId, std::initializer_list<THostArg> AArgs,
                        THostResult& AResult) {
  std::vector<VARIANT> reversed;
  for (auto it = AArgs.end(); it != AArgs.begin();)
    reversed.push_back((--it)->Value);
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()),
                    0};
  UINT argErr = 0;
  const HRESULT hr = AObject->Invoke(ADispId, IID_NULL, 0, DISPATCH_METHOD, &params, AResult.Slot(),
                                     nullptr, &argErr);
  for (VARIANT& v : reversed)
    if (V_VT(&v) == VT_BSTR)
      SysFreeString(V_BSTR(&v));
  return hr;
}

inline HRESULT HostCall(IDispatch* AObject, DISPID ADispId,
                        std::initializer_list<THostArg> AArgs = {}) {
  THostResult ignored;
  return HostCall(AObject, ADispId, AArgs, ignored);
}

// The COM identity of an object, for comparing what two calls answered.
inline IUnknown* IdentityOf(IUnknown* AObject) {
  if (!AObject)
    return nullptr;
  IUnknown* identity = nullptr;
  AObject->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  if (identity)
    identity->Release();
  return identity;
}
