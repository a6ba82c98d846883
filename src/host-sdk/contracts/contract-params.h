#pragma once

// Argument kinds the contracts need beyond the common ones of dispatch.h.

#include "dispatch.h"
#include "transport-set.h"

#include <cstdint>

// The data word of a VARIANT as the host sent it, whatever its VARTYPE. It is
// handed on unchanged; nothing here dereferences it, and an operation must
// not either unless it knows what the host put there.
struct TDataWord {
  void* Value = nullptr;
};

template <> struct TParam<TDataWord> {
  using Storage = TDataWord;
  static HRESULT Read(VARIANT& AArg, Storage& AOut) {
    AOut.Value = V_BYREF(&AArg);
    return S_OK;
  }
  static TDataWord Pass(Storage& AValue) { return AValue; }
};

// An unsigned in-out value: any 4-byte integer by reference.
template <> struct TParam<uint32_t&> {
  using Storage = uint32_t*;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static uint32_t& Pass(Storage& AValue) { return *AValue; }
};

// An out flag the host passes as a by-reference VARIANT_BOOL (or a
// by-reference VARIANT). The operation gets a Boolean of its own that starts
// true, so a flag it leaves alone comes back VARIANT_TRUE; after the call
// the flag is written as VARIANT_TRUE or VARIANT_FALSE.
template <> struct TParam<TBoolean&> {
  struct Storage {
    VARIANT_BOOL* BoolSlot = nullptr;
    VARIANT* VariantSlot = nullptr;
    TBoolean Value = TBoolean::FromByte(1);
  };
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static TBoolean& Pass(Storage& AValue) { return AValue.Value; }
  static void WriteBack(Storage& AValue);
};

// A set of ASize bytes: the VARIANT carries an interface that must offer
// ITransportSet; the set is imported from it before the call. A missing
// object is refused rather than dereferenced.
HRESULT ReadTransportSet(VARIANT& AArg, void* ASet, std::size_t ASize);

template <std::size_t ASize> struct TParam<TSetValue<ASize>> {
  using Storage = TSetValue<ASize>;
  static HRESULT Read(VARIANT& AArg, Storage& AOut) {
    return ReadTransportSet(AArg, AOut.Bytes.data(), ASize);
  }
  static const TSetValue<ASize>& Pass(Storage& AValue) { return AValue; }
};
