#pragma once

#include "exceptions.h"

#include <oaidl.h>
#include <windows.h>

#include <atomic>
#include <utility>

// Raised when an object is destroyed while references to it are held.
class EInvalidPointer : public Exception {
public:
  using Exception::Exception;
};

// An object with a COM identity of its own that is not a host contract.
//
// The count is 1 while the constructors run, so a constructor may hand out
// and drop references to the new object without destroying it; Create ends
// construction by dropping that reference, and a finished object starts at
// 0. Objects are therefore made with Create, never with a bare new.
class TReferencedObject : public IUnknown {
public:
  TReferencedObject(const TReferencedObject&) = delete;
  TReferencedObject& operator=(const TReferencedObject&) = delete;

  template <class T, class... A> static T* Create(A&&... AArgs) {
    T* object = new T(std::forward<A>(AArgs)...);
    object->AfterConstruction();
    return object;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  // Destroys the object when the count reaches 0.
  ULONG STDMETHODCALLTYPE Release() override;

  // Destroys the object explicitly. Raises EInvalidPointer ("Invalid
  // Pointer") and leaves the object alive while references are held, so a
  // holder is never left with a dangling pointer.
  void Free();

  LONG RefCount() const { return FRefCount.load(); }

protected:
  TReferencedObject() = default;
  virtual ~TReferencedObject() = default;

  void AfterConstruction();
  virtual void BeforeDestruction();
  // The pointer handed out for AIid when the class declares that interface,
  // else nullptr. Descendants add their own and ask the parent for the rest.
  virtual void* FindInterface(REFIID AIid);

  std::atomic<LONG> FRefCount{1};
};

// A referenced object with an IDispatch that serves nothing yet: every
// operation answers E_NOTIMPL without touching its arguments. Descendants
// override Invoke with their own DISPID table and pass every DISPID they do
// not serve on to this Invoke.
class TDispatchObject : public TReferencedObject, public IDispatch {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* ACount) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT AIndex, LCID ALocale, ITypeInfo** AInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID AIid, LPOLESTR* ANames, UINT ACount, LCID ALocale,
                                          DISPID* ADispIds) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                                   DISPPARAMS* AParams, VARIANT* AVarResult, EXCEPINFO* AExcepInfo,
                                   UINT* AArgErr) override;

protected:
  void* FindInterface(REFIID AIid) override;
};

// A dispatch object whose lifetime its owner decides: references are not
// counted (AddRef and Release answer 0), and the owner frees it with Free.
class TDispatchObjectNoRef : public TDispatchObject {
public:
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
};
