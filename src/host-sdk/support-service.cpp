#include "support-service.h"

#include "dispatch.h"

#include <new>

const IID IID_ISupportService = {
    0x1DEBA58E, 0x0DF5, 0x4081, {0x93, 0xE9, 0x0C, 0x17, 0x32, 0xE7, 0xDF, 0xAE}};

HRESULT STDMETHODCALLTYPE TAbstractSupportService::QueryInterface(REFIID AIid, void** AObject) {
  if (!AObject) return E_POINTER;
  if (IsEqualIID(AIid, IID_IUnknown) || IsEqualIID(AIid, IID_IDispatch)) {
    *AObject = static_cast<IDispatch*>(this);
  } else if (IsEqualIID(AIid, IID_ISupportService)) {
    *AObject = static_cast<ISupportService*>(this);
  } else {
    *AObject = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TAbstractSupportService::AddRef() { return ULONG(++FRefCount); }

ULONG STDMETHODCALLTYPE TAbstractSupportService::Release() {
  const LONG n = --FRefCount;
  if (n == 0) delete this;
  return ULONG(n);
}

HRESULT STDMETHODCALLTYPE TAbstractSupportService::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE TAbstractSupportService::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TAbstractSupportService::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                                                  DISPID*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TAbstractSupportService::Invoke(DISPID ADispId, REFIID, LCID, WORD,
                                                           DISPPARAMS* AParams, VARIANT* AVarResult,
                                                           EXCEPINFO*, UINT* AArgErr) {
  TInvokeContext context{AParams, AVarResult, AArgErr};
  try {
    return DispatchInvoke(ADispId, context);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT STDMETHODCALLTYPE TAbstractSupportService::SupportsService(BSTR, TBoolean* AResult) {
  if (!AResult) return E_POINTER;
  *AResult = false;
  return S_OK;
}

HRESULT TAbstractSupportService::SupportsServiceOp(const std::wstring& AName, TBoolean* AResult) {
  const BSTR name = SysAllocStringLen(AName.data(), UINT(AName.size()));
  const HRESULT hr = SupportsService(name, AResult);
  SysFreeString(name);
  return hr;
}

struct TSupportServiceTable {
  static constexpr TDispEntry Table[] = {
      Op<&TAbstractSupportService::SupportsServiceOp>(1023),
  };
};

HRESULT TAbstractSupportService::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  if (const TDispEntry* e = FindDispEntry(TSupportServiceTable::Table, ADispId))
    return e->Call(this, AContext);
  return E_NOTIMPL;
}

HRESULT TAbstractSupportService::ChainSupportsService(HRESULT AParentResult, BSTR AName,
                                                      std::wstring_view AOwnName,
                                                      TBoolean* AResult) {
  if (FAILED(AParentResult)) return AParentResult;
  if (AResult->Value) return S_OK;
  const std::wstring_view name(AName ? AName : L"", AName ? SysStringLen(AName) : 0);
  *AResult = SameServiceName(name, AOwnName);
  return S_OK;
}

bool SameServiceName(std::wstring_view A, std::wstring_view B) {
  if (A.size() != B.size()) return false;
  for (std::size_t i = 0; i < A.size(); ++i) {
    wchar_t a = A[i], b = B[i];
    if (a >= L'a' && a <= L'z') a = wchar_t(a - 32);
    if (b >= L'a' && b <= L'z') b = wchar_t(b - 32);
    if (a != b) return false;
  }
  return true;
}

bool SupportsService(IUnknown* AObject, const std::wstring& AName, TComPtr<IUnknown>& AFound) {
  AFound.Reset();
  if (!AObject) return false;
  TComPtr<ISupportService> service;
  if (FAILED(AObject->QueryInterface(IID_ISupportService,
                                     reinterpret_cast<void**>(service.Receive()))) ||
      !service)
    return false;
  const BSTR name = SysAllocStringLen(AName.data(), UINT(AName.size()));
  TBoolean answer;
  const HRESULT hr = service->SupportsService(name, &answer);
  SysFreeString(name);
  if (FAILED(hr)) throw EOleSysError(hr, L"SupportsService failed");
  if (!answer.Value) return false;
  AFound = TComPtr<IUnknown>(AObject);
  return true;
}

bool SupportsService(IUnknown* AObject, const std::wstring& AName) {
  TComPtr<IUnknown> found;
  return SupportsService(AObject, AName, found);
}
