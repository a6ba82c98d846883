#pragma once

// Table-driven incoming dispatch: a contract class lists {DISPID, operation}
// pairs; one template per operation reads the arguments from the VARIANTs,
// calls the virtual operation and stores its result.
//
// An operation is `HRESULT Op(A1, ..., An, R* AResult)`. A trailing pointer
// parameter is the result; every other parameter is an argument, read from
// rgvarg in reverse order (the first argument is rgvarg[n-1]). Argument
// types: std::wstring, int32_t, uint32_t, int64_t, double, VARIANT_BOOL (a
// flag), byte-sized enumerations, wrapper records, and by reference
// int32_t& / int64_t& / std::wstring& (in-out values the host passes as
// VT_BYREF). Further kinds specialise TParam.

#include "disp-record.h"
#include "support-service.h"

#include <oleauto.h>

#include <cstddef>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

// A VARIANT that clears itself.
class TVariant {
public:
  TVariant() { VariantInit(&FValue); }
  ~TVariant() { VariantClear(&FValue); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
  VARIANT* operator&() { return &FValue; }
  VARIANT& Get() { return FValue; }

private:
  VARIANT FValue;
};

// Coerces a VARIANT (by-reference ones read through) to AType.
HRESULT CoerceVariant(const VARIANT& ASource, VARTYPE AType, TVariant& ATarget);

// ---- reading arguments ----------------------------------------------------

template <class T, class Enable = void> struct TParam; // no reader: compile error

template <> struct TParam<std::wstring> {
  using Storage = std::wstring;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static const std::wstring& Pass(Storage& AValue) { return AValue; }
};

template <> struct TParam<int32_t> {
  using Storage = int32_t;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static int32_t Pass(Storage& AValue) { return AValue; }
};

// Read as a 64-bit value of which the low 32 bits are taken, so both -1 and
// 4294967295 arrive as 0xFFFFFFFF.
template <> struct TParam<uint32_t> {
  using Storage = uint32_t;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static uint32_t Pass(Storage& AValue) { return AValue; }
};

template <> struct TParam<int64_t> {
  using Storage = int64_t;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static int64_t Pass(Storage& AValue) { return AValue; }
};

template <> struct TParam<double> {
  using Storage = double;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static double Pass(Storage& AValue) { return AValue; }
};

// A VARIANT_BOOL flag: a VT_BOOL is passed unchanged, anything else is
// coerced to VT_BOOL.
template <> struct TParam<VARIANT_BOOL> {
  using Storage = VARIANT_BOOL;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static VARIANT_BOOL Pass(Storage& AValue) { return AValue; }
};

template <class E> struct TParam<E, std::enable_if_t<std::is_enum_v<E>>> {
  using Storage = E;
  static HRESULT Read(VARIANT& AArg, Storage& AOut) {
    int32_t v = 0;
    const HRESULT hr = TParam<int32_t>::Read(AArg, v);
    AOut = static_cast<E>(v);
    return hr;
  }
  static E Pass(Storage& AValue) { return AValue; }
};

// Object arguments: VT_DISPATCH or VT_UNKNOWN, by value or by reference,
// queried for IDispatch; a null object gives the empty record.
HRESULT ReadDispatchArgument(VARIANT& AArg, TComPtr<IDispatch>& AOut);

template <class R> struct TParam<R, std::enable_if_t<std::is_base_of_v<TDispRecordBase, R>>> {
  using Storage = R;
  static HRESULT Read(VARIANT& AArg, Storage& AOut) {
    TComPtr<IDispatch> d;
    const HRESULT hr = ReadDispatchArgument(AArg, d);
    if (SUCCEEDED(hr)) AOut = R::FromDispatch(d.Get());
    return hr;
  }
  static const R& Pass(Storage& AValue) { return AValue; }
};

// In-out values: the VARIANT must carry exactly the matching VT_BYREF type.
template <> struct TParam<int32_t&> {
  using Storage = int32_t*;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static int32_t& Pass(Storage& AValue) { return *AValue; }
};

template <> struct TParam<int64_t&> {
  using Storage = int64_t*;
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static int64_t& Pass(Storage& AValue) { return *AValue; }
};

template <> struct TParam<std::wstring&> {
  struct Storage {
    BSTR* Slot = nullptr;
    std::wstring Value;
  };
  static HRESULT Read(VARIANT& AArg, Storage& AOut);
  static std::wstring& Pass(Storage& AValue) { return AValue.Value; }
  static void WriteBack(Storage& AValue);
};

// ---- storing results ------------------------------------------------------

template <class T, class Enable = void> struct TResultOf; // no writer: compile error

HRESULT StoreResult(VARIANT& ATarget, const std::wstring& AValue);
HRESULT StoreResult(VARIANT& ATarget, int32_t AValue);
HRESULT StoreResult(VARIANT& ATarget, uint32_t AValue);
HRESULT StoreResult(VARIANT& ATarget, int64_t AValue);
HRESULT StoreResult(VARIANT& ATarget, uint64_t AValue);
HRESULT StoreResult(VARIANT& ATarget, double AValue);
HRESULT StoreResult(VARIANT& ATarget, TBoolean AValue);
HRESULT StoreResult(VARIANT& ATarget, const TDispRecordBase& AValue);
template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
HRESULT StoreResult(VARIANT& ATarget, E AValue) {
  return StoreResult(ATarget, static_cast<int32_t>(AValue));
}

// ---- one operation --------------------------------------------------------

template <class M> struct TMethodTraits;
template <class C, class... A> struct TMethodTraits<HRESULT (C::*)(A...)> {
  using Class = C;
  using Args = std::tuple<A...>;
  static constexpr std::size_t Arity = sizeof...(A);
};

template <class T> using TParamKey =
    std::conditional_t<std::is_lvalue_reference_v<T> && !std::is_const_v<std::remove_reference_t<T>>,
                       T, std::remove_cvref_t<T>>;

template <class T> constexpr bool IsResultParam =
    std::is_pointer_v<T> && !std::is_const_v<std::remove_pointer_t<T>>;

// Whether an operation's last parameter is its result (never, without any).
template <class Args, std::size_t N = std::tuple_size_v<Args>>
struct TLastIsResult : std::bool_constant<IsResultParam<std::tuple_element_t<N - 1, Args>>> {};
template <class Args> struct TLastIsResult<Args, 0> : std::false_type {};

template <class P> concept HasWriteBack = requires(typename P::Storage& s) { P::WriteBack(s); };

namespace dispatch_detail {

template <std::size_t I, class Args, class Storage>
bool ReadArgument(DISPPARAMS& AParams, std::size_t AInCount, Storage& AStorage, HRESULT& AResult,
                  UINT* AArgErr) {
  using P = TParam<TParamKey<std::tuple_element_t<I, Args>>>;
  const std::size_t slot = AInCount - 1 - I;
  AResult = P::Read(AParams.rgvarg[slot], std::get<I>(AStorage));
  if (FAILED(AResult)) {
    if (AArgErr) *AArgErr = UINT(slot);
    return false;
  }
  return true;
}

template <std::size_t I, class Args, class Storage> void WriteBackArgument(Storage& AStorage) {
  using P = TParam<TParamKey<std::tuple_element_t<I, Args>>>;
  if constexpr (HasWriteBack<P>) P::WriteBack(std::get<I>(AStorage));
}

template <auto M, std::size_t... I>
HRESULT InvokeWith(TAbstractSupportService* ASelf, TInvokeContext& AContext,
                   std::index_sequence<I...>) {
  using Traits = TMethodTraits<decltype(M)>;
  using C = typename Traits::Class;
  using Args = typename Traits::Args;
  constexpr std::size_t inCount = sizeof...(I);
  constexpr bool hasResult = TLastIsResult<Args>::value;

  if constexpr (inCount > 0) {
    if (!AContext.Params || AContext.Params->cArgs < inCount || !AContext.Params->rgvarg)
      return DISP_E_BADPARAMCOUNT;
  }
  std::tuple<typename TParam<TParamKey<std::tuple_element_t<I, Args>>>::Storage...> storage;
  HRESULT hr = S_OK;
  if constexpr (inCount > 0) {
    if (!(ReadArgument<I, Args>(*AContext.Params, inCount, storage, hr, AContext.ArgErr) && ...))
      return hr;
  }
  C* self = static_cast<C*>(ASelf);
  if constexpr (hasResult) {
    using R = std::remove_pointer_t<std::tuple_element_t<Traits::Arity - 1, Args>>;
    R result{};
    hr = (self->*M)(TParam<TParamKey<std::tuple_element_t<I, Args>>>::Pass(std::get<I>(storage))...,
                    &result);
    (WriteBackArgument<I, Args>(storage), ...);
    if (FAILED(hr)) return hr;
    if (!AContext.Result) return S_OK; // nowhere to put it: dropped
    VariantClear(AContext.Result);
    return StoreResult(*AContext.Result, result);
  } else {
    hr = (self->*M)(TParam<TParamKey<std::tuple_element_t<I, Args>>>::Pass(std::get<I>(storage))...);
    (WriteBackArgument<I, Args>(storage), ...);
    return FAILED(hr) ? hr : S_OK;
  }
}

} // namespace dispatch_detail

using TDispCall = HRESULT (*)(TAbstractSupportService*, TInvokeContext&);

struct TDispEntry {
  DISPID DispId;
  TDispCall Call;
};

template <auto M> HRESULT InvokeOperation(TAbstractSupportService* ASelf, TInvokeContext& AContext) {
  using Traits = TMethodTraits<decltype(M)>;
  using Args = typename Traits::Args;
  constexpr bool hasResult = TLastIsResult<Args>::value;
  constexpr std::size_t inCount = hasResult ? Traits::Arity - 1 : Traits::Arity;
  return dispatch_detail::InvokeWith<M>(ASelf, AContext, std::make_index_sequence<inCount>{});
}

// One row of a class's DISPID table.
template <auto M> constexpr TDispEntry Op(DISPID ADispId) { return {ADispId, &InvokeOperation<M>}; }

// The row of ADispId in a table, or nullptr.
template <std::size_t N>
const TDispEntry* FindDispEntry(const TDispEntry (&ATable)[N], DISPID ADispId) {
  for (const TDispEntry& e : ATable)
    if (e.DispId == ADispId) return &e;
  return nullptr;
}

// Serve ADispId from ATable, else hand it to the parent.
#define ORV_DISPATCH_THROUGH(Table, Parent)                                                        \
  do {                                                                                             \
    if (const TDispEntry* entry_ = FindDispEntry(Table, ADispId))                                  \
      return entry_->Call(this, AContext);                                                         \
    return Parent::DispatchInvoke(ADispId, AContext);                                              \
  } while (0)
