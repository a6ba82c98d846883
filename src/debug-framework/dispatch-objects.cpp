#include "dispatch-objects.h"

HRESULT STDMETHODCALLTYPE TReferencedObject::QueryInterface(REFIID AIid, void** AObject) {
  if (!AObject)
    return E_POINTER;
  void* found = FindInterface(AIid);
  *AObject = found;
  if (!found)
    return E_NOINTERFACE;
  static_cast<IUnknown*>(found)->AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TReferencedObject::AddRef() {
  return ULONG(++FRefCount);
}

ULONG STDMETHODCALLTYPE TReferencedObject::Release() {
  const LONG count = --FRefCount;
  if (count == 0)
    delete this;
  return ULONG(count);
}

void TReferencedObject::Free() {
  BeforeDestruction();
  delete this;
}

void TReferencedObject::AfterConstruction() {
  --FRefCount;
}

void TReferencedObject::BeforeDestruction() {
  if (FRefCount.load() != 0)
    throw EInvalidPointer(L"Invalid Pointer");
}

void* TReferencedObject::FindInterface(REFIID AIid) {
  if (IsEqualIID(AIid, IID_IUnknown))
    return static_cast<IUnknown*>(this);
  return nullptr;
}

// The IUnknown of IDispatch is the same object as the counted one.
HRESULT STDMETHODCALLTYPE TDispatchObject::QueryInterface(REFIID AIid, void** AObject) {
  return TReferencedObject::QueryInterface(AIid, AObject);
}

ULONG STDMETHODCALLTYPE TDispatchObject::AddRef() {
  return TReferencedObject::AddRef();
}

ULONG STDMETHODCALLTYPE TDispatchObject::Release() {
  return TReferencedObject::Release();
}

HRESULT STDMETHODCALLTYPE TDispatchObject::GetTypeInfoCount(UINT*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TDispatchObject::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TDispatchObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TDispatchObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                  EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

void* TDispatchObject::FindInterface(REFIID AIid) {
  if (IsEqualIID(AIid, IID_IDispatch))
    return static_cast<IDispatch*>(this);
  return TReferencedObject::FindInterface(AIid);
}

ULONG STDMETHODCALLTYPE TDispatchObjectNoRef::AddRef() {
  return 0;
}

ULONG STDMETHODCALLTYPE TDispatchObjectNoRef::Release() {
  return 0;
}
