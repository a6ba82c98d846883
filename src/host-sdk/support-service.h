#pragma once

#include "com-ptr.h"

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

// One-byte Boolean as the host's interfaces carry it: any non-zero value is
// true, and the value itself is kept (a 2 stays a 2 until it is stored).
struct TBoolean {
  uint8_t Value = 0;
  TBoolean() = default;
  TBoolean(bool AValue) : Value(AValue ? 1 : 0) {}
  static TBoolean FromByte(uint8_t AByte) {
    TBoolean b;
    b.Value = AByte;
    return b;
  }
  explicit operator bool() const { return Value != 0; }
};
static_assert(sizeof(TBoolean) == 1);

// {1DEBA58E-0DF5-4081-93E9-0C1732E7DFAE}
extern const IID IID_ISupportService;

struct ISupportService : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) = 0;
};

// Everything one Invoke call brings along.
struct TInvokeContext {
  DISPPARAMS* Params = nullptr;
  VARIANT* Result = nullptr;
  UINT* ArgErr = nullptr;
};

// Base of every object handed to the host: IDispatch by DISPID alone plus
// ISupportService. Contract classes extend the DISPID chain through
// DispatchInvoke and the service names through SupportsService.
class TAbstractSupportService : public IDispatch, public ISupportService {
public:
  TAbstractSupportService() = default;
  TAbstractSupportService(const TAbstractSupportService&) = delete;
  TAbstractSupportService& operator=(const TAbstractSupportService&) = delete;
  virtual ~TAbstractSupportService() = default;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch: names and type information are never offered.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* ACount) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT AIndex, LCID ALocale, ITypeInfo** AInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID AIid, LPOLESTR* ANames, UINT ACount, LCID ALocale,
                                          DISPID* ADispIds) override;
  // No exception ever leaves Invoke: failures come back as HRESULTs.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                                   DISPPARAMS* AParams, VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                                   UINT* AArgErr) override;

  // ISupportService: the base supports no service name.
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;

  LONG RefCount() const { return FRefCount; }

  // The DISPID chain: a class serves its own table and hands the rest to
  // its parent; the base serves 1023 and answers E_NOTIMPL for the rest.
  virtual HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext);

protected:
  // For SupportsService overrides: the parent's answer, then the own name.
  static HRESULT ChainSupportsService(HRESULT AParentResult, BSTR AName,
                                      std::wstring_view AOwnName, TBoolean* AResult);

private:
  HRESULT SupportsServiceOp(const std::wstring& AName, TBoolean* AResult);
  friend struct TSupportServiceTable;
  LONG FRefCount = 0;
};

// Service names compare equal ignoring the case of ASCII letters only.
bool SameServiceName(std::wstring_view A, std::wstring_view B);

// Asks any object whether it offers a service. An object without
// ISupportService offers none; a failing answer raises EOleSysError.
bool SupportsService(IUnknown* AObject, const std::wstring& AName);
// The same, and on True hands out the object itself (a reference added);
// on False AObject is left empty.
bool SupportsService(IUnknown* AObject, const std::wstring& AName, TComPtr<IUnknown>& AFound);

// Runs one host-facing operation: any exception becomes E_UNEXPECTED.
template <class F> HRESULT Guarded(F&& AOperation) noexcept {
  try {
    if constexpr (std::is_same_v<std::invoke_result_t<F>, HRESULT>) {
      return AOperation();
    } else {
      AOperation();
      return S_OK;
    }
  } catch (...) {
    return E_UNEXPECTED;
  }
}
