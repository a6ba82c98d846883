#pragma once

// Calls by DISPID as the host makes them, for the tests of the boundary-scan
// faces: method|property-get, arguments in order (stored reversed), the
// answer kept as the VARIANT the object wrote.

#include "com-ptr.h"
#include "dispatch.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

struct THostArg {
  VARTYPE Type;
  int32_t Int = 0;
  std::wstring Text;
};

inline THostArg IntArg(int32_t AValue) {
  return {VT_I4, AValue, {}};
}
inline THostArg TextArg(std::wstring AText) {
  return {VT_BSTR, 0, std::move(AText)};
}

inline HRESULT HostInvoke(IDispatch* AObject, DISPID ADispId, TVariant& AResult,
                          std::initializer_list<THostArg> AArgs = {}) {
  std::vector<VARIANT> args(AArgs.size());
  std::size_t slot = AArgs.size();
  for (const THostArg& a : AArgs) {
    VARIANT& v = args[--slot];
    VariantInit(&v);
    V_VT(&v) = a.Type;
    if (a.Type == VT_BSTR)
      V_BSTR(&v) = SysAllocStringLen(a.Text.data(), UINT(a.Text.size()));
    else
      V_I4(&v) = a.Int;
  }
  DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, UINT(args.size()), 0};
  const HRESULT hr = AObject->Invoke(ADispId, IID_NULL, LOCALE_USER_DEFAULT,
                                     DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params,
                                     &AResult.Get(), nullptr, nullptr);
  for (VARIANT& v : args)
    VariantClear(&v);
  return hr;
}

// The answers of the common kinds; a failing call or an answer of another
// kind fails the test.
inline std::wstring HostText(IDispatch* AObject, DISPID ADispId) {
  TVariant v;
  EXPECT_EQ(HostInvoke(AObject, ADispId, v), S_OK) << ADispId;
  if (V_VT(&v.Get()) != VT_BSTR) {
    ADD_FAILURE() << "DISPID " << ADispId << " answered VARTYPE " << V_VT(&v.Get());
    return {};
  }
  BSTR b = V_BSTR(&v.Get());
  return b ? std::wstring(b, SysStringLen(b)) : std::wstring();
}

inline int32_t HostInt(IDispatch* AObject, DISPID ADispId) {
  TVariant v;
  EXPECT_EQ(HostInvoke(AObject, ADispId, v), S_OK) << ADispId;
  EXPECT_EQ(V_VT(&v.Get()), VT_I4) << ADispId;
  return V_VT(&v.Get()) == VT_I4 ? V_I4(&v.Get()) : 0;
}

// An empty pointer for an empty interface.
inline TComPtr<IDispatch> HostObject(IDispatch* AObject, DISPID ADispId,
                                     std::initializer_list<THostArg> AArgs = {}) {
  TVariant v;
  EXPECT_EQ(HostInvoke(AObject, ADispId, v, AArgs), S_OK) << ADispId;
  EXPECT_EQ(V_VT(&v.Get()), VT_DISPATCH) << ADispId;
  return V_VT(&v.Get()) == VT_DISPATCH ? TComPtr<IDispatch>(V_DISPATCH(&v.Get()))
                                       : TComPtr<IDispatch>();
}

// The service question as the host asks it by DISPID 1023.
inline bool HostSupports(IDispatch* AObject, const std::wstring& AName) {
  TVariant v;
  EXPECT_EQ(HostInvoke(AObject, 1023, v, {TextArg(AName)}), S_OK) << "SupportsService";
  EXPECT_EQ(V_VT(&v.Get()), VT_BOOL);
  return V_VT(&v.Get()) == VT_BOOL && V_BOOL(&v.Get()) != VARIANT_FALSE;
}

// COM identity: the same object whatever interface pointer is held.
inline bool SameObject(IUnknown* A, IUnknown* B) {
  if (!A || !B)
    return A == B;
  TComPtr<IUnknown> a, b;
  A->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(a.Receive()));
  B->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(b.Receive()));
  return a.Get() == b.Get();
}
