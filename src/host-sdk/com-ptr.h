#pragma once

#include <unknwn.h>

#include <utility>

// Owning interface pointer: one reference held, released on destruction.
template <class T> class TComPtr {
public:
  TComPtr() = default;
  TComPtr(std::nullptr_t) {}
  // Takes a new reference to AIntf.
  explicit TComPtr(T* AIntf) : FIntf(AIntf) {
    if (FIntf) FIntf->AddRef();
  }
  TComPtr(const TComPtr& AOther) : TComPtr(AOther.FIntf) {}
  TComPtr(TComPtr&& AOther) noexcept : FIntf(std::exchange(AOther.FIntf, nullptr)) {}
  ~TComPtr() { Reset(); }
  TComPtr& operator=(TComPtr AOther) noexcept {
    std::swap(FIntf, AOther.FIntf);
    return *this;
  }

  // Takes over a reference the caller already owns.
  static TComPtr Attach(T* AIntf) {
    TComPtr p;
    p.FIntf = AIntf;
    return p;
  }
  T* Detach() { return std::exchange(FIntf, nullptr); }
  void Reset() {
    if (T* p = std::exchange(FIntf, nullptr)) p->Release();
  }
  // For out parameters: releases what is held and exposes the slot.
  T** Receive() {
    Reset();
    return &FIntf;
  }

  T* Get() const { return FIntf; }
  T* operator->() const { return FIntf; }
  explicit operator bool() const { return FIntf != nullptr; }

  template <class U> TComPtr<U> Query(REFIID AIid) const {
    TComPtr<U> out;
    if (FIntf) FIntf->QueryInterface(AIid, reinterpret_cast<void**>(out.Receive()));
    return out;
  }

private:
  T* FIntf = nullptr;
};
