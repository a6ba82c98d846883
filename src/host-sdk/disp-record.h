#pragma once

#include "com-ptr.h"
#include "exceptions.h"

#include <oaidl.h>

#include <utility>

// The shape shared by every host wrapper record: one dispatch pointer.
// Copying adds a reference, destruction releases it; an empty record means
// the host does not offer the object and callers test for it.
class TDispRecordBase {
public:
  TDispRecordBase() = default;
  TDispRecordBase(const TDispRecordBase& AOther) : FIntf(AOther.FIntf) {
    if (FIntf) FIntf->AddRef();
  }
  TDispRecordBase(TDispRecordBase&& AOther) noexcept : FIntf(std::exchange(AOther.FIntf, nullptr)) {}
  TDispRecordBase& operator=(TDispRecordBase AOther) noexcept {
    std::swap(FIntf, AOther.FIntf);
    return *this;
  }
  ~TDispRecordBase() {
    if (FIntf) FIntf->Release();
  }

  bool IsEmpty() const { return FIntf == nullptr; }
  explicit operator bool() const { return FIntf != nullptr; }
  // The held pointer, no reference added.
  IDispatch* Intf() const { return FIntf; }
  void* ToPointer() const { return FIntf; }
  // The held pointer with a reference added (nullptr when empty).
  TComPtr<IDispatch> ToDispatch() const { return TComPtr<IDispatch>(FIntf); }
  // QueryInterface for IDispatch / IUnknown; raises EIntfCastError.
  TComPtr<IDispatch> AsDispatch() const;
  TComPtr<IUnknown> AsInterface() const;

protected:
  void Assign(IDispatch* AIntf) {
    if (AIntf) AIntf->AddRef();
    if (FIntf) FIntf->Release();
    FIntf = AIntf;
  }
  IDispatch* FIntf = nullptr;
};

template <class TRecord> class TDispRecord : public TDispRecordBase {
public:
  static TRecord FromPointer(void* AIntf) { return FromDispatch(static_cast<IDispatch*>(AIntf)); }
  static TRecord FromDispatch(IDispatch* AIntf) {
    TRecord r;
    r.Assign(AIntf);
    return r;
  }
  // Any interface, queried for IDispatch; raises EIntfCastError.
  static TRecord FromInterface(IUnknown* AIntf) {
    TRecord r;
    if (!AIntf) return r;
    IDispatch* d = nullptr;
    if (FAILED(AIntf->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d))) || !d)
      throw EIntfCastError(L"Interface not supported");
    r.FIntf = d;
    return r;
  }
  // The same pointer seen as another record type; no query is made.
  template <class TOther> TOther As() const { return TOther::FromDispatch(FIntf); }
};

// A record of no particular host interface.
class TDispatchRecord : public TDispRecord<TDispatchRecord> {};
