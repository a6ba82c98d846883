#include "fake-host-object.h"

#include <oleauto.h>

#include <new>
#include <stdexcept>

namespace {

std::wstring Hex(unsigned AValue) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%X", AValue);
  return text;
}

std::wstring CallName(DISPID ADispId, const THostRecordCall* ACall) {
  std::wstring name = L"DISPID " + std::to_wstring(ADispId);
  if (ACall)
    name += std::wstring(L" (") + ACall->Record + L"." + ACall->Operation + L")";
  return name;
}

// A copy of an argument as it arrived; references are read through.
VARIANT CopyArrived(const VARIANT& AArg) {
  VARIANT copy;
  VariantInit(&copy);
  if ((V_VT(&AArg) & VT_BYREF) && !V_BYREF(&AArg))
    return copy;
  if (FAILED(VariantCopyInd(&copy, const_cast<VARIANT*>(&AArg))))
    VariantInit(&copy);
  return copy;
}

} // namespace

// ---- TFakeCall ---------------------------------------------------------------

TFakeCall::TFakeCall(const TFakeCall& AOther)
    : DispId(AOther.DispId), Flags(AOther.Flags), Record(AOther.Record),
      Operation(AOther.Operation), Answer(AOther.Answer) {
  for (const VARIANT& v : AOther.Args)
    Args.push_back(CopyArrived(v));
}

TFakeCall& TFakeCall::operator=(const TFakeCall& AOther) {
  if (this != &AOther) {
    TFakeCall copy(AOther);
    std::swap(DispId, copy.DispId);
    std::swap(Flags, copy.Flags);
    std::swap(Record, copy.Record);
    std::swap(Operation, copy.Operation);
    std::swap(Args, copy.Args);
    std::swap(Answer, copy.Answer);
  }
  return *this;
}

TFakeCall& TFakeCall::operator=(TFakeCall&& AOther) noexcept {
  if (this != &AOther) {
    for (VARIANT& v : Args)
      VariantClear(&v);
    DispId = AOther.DispId;
    Flags = AOther.Flags;
    Record = std::move(AOther.Record);
    Operation = std::move(AOther.Operation);
    Args = std::move(AOther.Args);
    AOther.Args.clear();
    Answer = AOther.Answer;
  }
  return *this;
}

TFakeCall::~TFakeCall() {
  for (VARIANT& v : Args)
    VariantClear(&v);
}

// ---- TFakeInvocation -----------------------------------------------------------

VARIANT& TFakeInvocation::Arg(unsigned AIndex) {
  if (AIndex >= FParams.cArgs)
    throw std::out_of_range("argument index beyond the call");
  return FParams.rgvarg[FParams.cArgs - 1 - AIndex];
}

VARIANT& TFakeInvocation::Target(unsigned AIndex, VARTYPE AType) {
  VARIANT& arg = Arg(AIndex);
  if (V_VT(&arg) != (VT_BYREF | AType) || !V_BYREF(&arg))
    throw std::invalid_argument("argument is not a reference of the written type");
  return arg;
}

namespace {
// An argument's value with the reference taken away.
VARIANT ReadValue(VARIANT& AArg, VARTYPE AType) {
  VARIANT value;
  VariantInit(&value);
  if (FAILED(VariantCopyInd(&value, &AArg)) || V_VT(&value) != AType) {
    VariantClear(&value);
    throw std::invalid_argument("argument is not of the read type");
  }
  return value;
}
} // namespace

int32_t TFakeInvocation::Int(unsigned AIndex) {
  VARIANT& arg = Arg(AIndex);
  if (V_VT(&arg) == VT_I4)
    return V_I4(&arg);
  VARIANT v = ReadValue(arg, VT_I4);
  return V_I4(&v);
}

int64_t TFakeInvocation::Int64(unsigned AIndex) {
  VARIANT v = ReadValue(Arg(AIndex), VT_I8);
  return V_I8(&v);
}

bool TFakeInvocation::Bool(unsigned AIndex) {
  VARIANT v = ReadValue(Arg(AIndex), VT_BOOL);
  return V_BOOL(&v) != VARIANT_FALSE;
}

double TFakeInvocation::Real(unsigned AIndex) {
  VARIANT v = ReadValue(Arg(AIndex), VT_R8);
  return V_R8(&v);
}

std::wstring TFakeInvocation::Text(unsigned AIndex) {
  VARIANT& arg = Arg(AIndex);
  BSTR text = nullptr;
  if (V_VT(&arg) == VT_BSTR)
    text = V_BSTR(&arg);
  else if (V_VT(&arg) == (VT_BYREF | VT_BSTR) && V_BSTRREF(&arg))
    text = *V_BSTRREF(&arg);
  else
    throw std::invalid_argument("argument is not a string");
  return std::wstring(text ? text : L"", text ? SysStringLen(text) : 0);
}

std::wstring_view TFakeInvocation::TextView(unsigned AIndex) {
  VARIANT& arg = Arg(AIndex);
  BSTR text = nullptr;
  if (V_VT(&arg) == VT_BSTR)
    text = V_BSTR(&arg);
  else if (V_VT(&arg) == (VT_BYREF | VT_BSTR) && V_BSTRREF(&arg))
    text = *V_BSTRREF(&arg);
  else
    throw std::invalid_argument("argument is not a string");
  return text ? std::wstring_view(text, SysStringLen(text)) : std::wstring_view();
}

bool TFakeInvocation::IsNullText(unsigned AIndex) {
  VARIANT& arg = Arg(AIndex);
  return V_VT(&arg) == VT_BSTR && V_BSTR(&arg) == nullptr;
}

IDispatch* TFakeInvocation::Object(unsigned AIndex) {
  VARIANT& arg = Arg(AIndex);
  if (V_VT(&arg) == VT_DISPATCH)
    return V_DISPATCH(&arg);
  if (V_VT(&arg) == (VT_BYREF | VT_DISPATCH) && V_DISPATCHREF(&arg))
    return *V_DISPATCHREF(&arg);
  throw std::invalid_argument("argument is not an object");
}

void TFakeInvocation::SetInt(unsigned AIndex, int32_t AValue) {
  *V_I4REF(&Target(AIndex, VT_I4)) = AValue;
}

void TFakeInvocation::SetInt64(unsigned AIndex, int64_t AValue) {
  *V_I8REF(&Target(AIndex, VT_I8)) = AValue;
}

void TFakeInvocation::SetText(unsigned AIndex, const std::wstring& AValue) {
  BSTR& slot = *V_BSTRREF(&Target(AIndex, VT_BSTR));
  BSTR fresh = SysAllocStringLen(AValue.data(), UINT(AValue.size()));
  if (!fresh)
    throw std::bad_alloc();
  SysFreeString(slot);
  slot = fresh;
}

void TFakeInvocation::SetObject(unsigned AIndex, IDispatch* AValue) {
  IDispatch*& slot = *V_DISPATCHREF(&Target(AIndex, VT_DISPATCH));
  if (AValue)
    AValue->AddRef();
  if (slot)
    slot->Release();
  slot = AValue;
}

VARIANT& TFakeInvocation::NewResult() {
  if (!FResult)
    throw std::invalid_argument("the caller takes no result");
  VariantClear(FResult);
  return *FResult;
}

void TFakeInvocation::ReturnInt(int32_t AValue) {
  VARIANT& r = NewResult();
  V_VT(&r) = VT_I4;
  V_I4(&r) = AValue;
}

void TFakeInvocation::ReturnInt64(int64_t AValue) {
  VARIANT& r = NewResult();
  V_VT(&r) = VT_I8;
  V_I8(&r) = AValue;
}

void TFakeInvocation::ReturnBool(bool AValue) {
  VARIANT& r = NewResult();
  V_VT(&r) = VT_BOOL;
  V_BOOL(&r) = AValue ? VARIANT_TRUE : VARIANT_FALSE;
}

void TFakeInvocation::ReturnReal(double AValue) {
  VARIANT& r = NewResult();
  V_VT(&r) = VT_R8;
  V_R8(&r) = AValue;
}

void TFakeInvocation::ReturnText(const std::wstring& AValue) {
  ReturnText(AValue.data(), AValue.size());
}

void TFakeInvocation::ReturnText(const wchar_t* AText, size_t ALength) {
  VARIANT& r = NewResult();
  BSTR text = SysAllocStringLen(AText, UINT(ALength));
  if (!text)
    throw std::bad_alloc();
  V_VT(&r) = VT_BSTR;
  V_BSTR(&r) = text;
}

void TFakeInvocation::ReturnObject(IDispatch* AValue) {
  VARIANT& r = NewResult();
  if (AValue)
    AValue->AddRef();
  V_VT(&r) = VT_DISPATCH;
  V_DISPATCH(&r) = AValue;
}

HRESULT TFakeInvocation::Raise(const std::wstring& ADescription, HRESULT ACode) {
  if (FExcepInfo) {
    FExcepInfo->scode = ACode;
    FExcepInfo->bstrSource = SysAllocString(L"Test host");
    FExcepInfo->bstrDescription = SysAllocStringLen(ADescription.data(), UINT(ADescription.size()));
  }
  return DISP_E_EXCEPTION;
}

void FakeDefaultResult(VARIANT& AResult, uint8_t AResultType) {
  VariantClear(&AResult);
  switch (AResultType) {
  case VT_EMPTY:
    break;
  case VT_BSTR:
    V_VT(&AResult) = VT_BSTR;
    V_BSTR(&AResult) = SysAllocString(L"");
    break;
  case VT_DISPATCH:
    V_VT(&AResult) = VT_DISPATCH;
    V_DISPATCH(&AResult) = nullptr;
    break;
  case VT_BOOL:
    V_VT(&AResult) = VT_BOOL;
    V_BOOL(&AResult) = VARIANT_FALSE;
    break;
  default:
    // Numbers: a zero of the declared type (the whole data field is zero).
    V_VT(&AResult) = AResultType;
    V_I8(&AResult) = 0;
    break;
  }
}

// ---- TFakeHostObject ------------------------------------------------------------

TComPtr<TFakeHostObject>
TFakeHostObject::Create(std::initializer_list<std::wstring_view> ARecords) {
  TComPtr<TFakeHostObject> object = TComPtr<TFakeHostObject>::Attach(new TFakeHostObject);
  for (std::wstring_view name : ARecords)
    object->Serve(name);
  return object;
}

TFakeHostObject::~TFakeHostObject() = default;

void TFakeHostObject::Serve(std::wstring_view ARecord) {
  const THostRecordKind* kind = FindHostRecordKind(ARecord);
  if (!kind)
    throw std::invalid_argument("no wrapper record of that name");
  for (const THostRecordKind* k : FKinds)
    if (k == kind)
      return;
  FKinds.push_back(kind);
  FRoutes.clear();
}

void TFakeHostObject::OnCall(DISPID ADispId, TFakeHandler AHandler) {
  // A handler that scripts its own DISPID again keeps running: the call
  // holds its own reference to the handler it runs.
  FHandlers[ADispId] = std::make_shared<const TFakeHandler>(std::move(AHandler));
  FRoutes.erase(ADispId);
}

const TFakeHostObject::TRoute& TFakeHostObject::RouteOf(DISPID ADispId) {
  const auto known = FRoutes.find(ADispId);
  if (known != FRoutes.end())
    return known->second;
  TRoute route;
  for (const THostRecordKind* kind : FKinds)
    if (const THostRecordCall* call = FindHostRecordCall(*kind, ADispId))
      route.Calls.push_back(call);
  const auto handler = FHandlers.find(ADispId);
  if (handler != FHandlers.end())
    route.Handler = handler->second;
  return FRoutes.emplace(ADispId, std::move(route)).first->second;
}

void TFakeHostObject::ForgetInLog(IUnknown* AObject) {
  if (!AObject)
    return;
  for (TFakeCall& call : FCalls)
    for (VARIANT& arg : call.Args)
      if ((V_VT(&arg) == VT_DISPATCH || V_VT(&arg) == VT_UNKNOWN) &&
          static_cast<IUnknown*>(V_UNKNOWN(&arg)) == AObject)
        VariantClear(&arg);
}

void TFakeHostObject::ClearLog() {
  FCalls.clear();
  FDroppedCalls = 0;
  FErrors.clear();
}

void TFakeHostObject::Error(std::wstring AText) {
  FErrors.push_back(AText);
  if (FErrorSink)
    FErrorSink(FErrors.back());
}

HRESULT STDMETHODCALLTYPE TFakeHostObject::QueryInterface(REFIID AIid, void** AObject) {
  if (!AObject)
    return E_POINTER;
  *AObject = nullptr;
  if (IsEqualIID(AIid, IID_IUnknown))
    *AObject = static_cast<IDispatch*>(this);
  else if (IsEqualIID(AIid, IID_IDispatch) && !FRefusesDispatch)
    *AObject = static_cast<IDispatch*>(this);
  else if (IsEqualIID(AIid, IID_ISupportService))
    *AObject = static_cast<ISupportService*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE TFakeHostObject::AddRef() {
  return ULONG(++FRefCount);
}

ULONG STDMETHODCALLTYPE TFakeHostObject::Release() {
  const LONG n = --FRefCount;
  if (n == 0)
    delete this;
  return ULONG(n);
}

HRESULT STDMETHODCALLTYPE TFakeHostObject::GetTypeInfoCount(UINT* ACount) {
  if (ACount)
    *ACount = 0;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TFakeHostObject::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TFakeHostObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  // The plug-in calls by DISPID only; a name look-up is a fault of the caller.
  Error(L"GetIDsOfNames called: calls go by DISPID");
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE TFakeHostObject::SupportsService(BSTR AName, TBoolean* AResult) {
  if (!AResult)
    return E_POINTER;
  const std::wstring_view name(AName ? AName : L"", AName ? SysStringLen(AName) : 0);
  *AResult = false;
  for (const std::wstring& service : FServices)
    if (SameServiceName(service, name))
      *AResult = true;
  return S_OK;
}

TFakeHostObject::TMismatch TFakeHostObject::Mismatch(const THostRecordCall& ACall, WORD AFlags,
                                                     const DISPPARAMS& AParams,
                                                     UINT* AArgErr) const {
  const std::wstring name = CallName(ACall.DispId, &ACall);
  if (AParams.cArgs != ACall.ArgCount)
    return {DISP_E_BADPARAMCOUNT, name + L": " + std::to_wstring(AParams.cArgs) +
                                      L" arguments where " + std::to_wstring(ACall.ArgCount) +
                                      L" are declared"};
  if (AParams.cNamedArgs != 0)
    return {DISP_E_NONAMEDARGS, name + L": named arguments are never passed"};
  const WORD flags =
      ACall.ArgCount == 0 ? (DISPATCH_METHOD | DISPATCH_PROPERTYGET) : DISPATCH_METHOD;
  if (AFlags != flags)
    return {DISP_E_MEMBERNOTFOUND, name + L": flags " + std::to_wstring(AFlags) + L" where " +
                                       std::to_wstring(flags) + L" are expected"};
  for (unsigned i = 0; i < ACall.ArgCount; ++i) {
    // Declared argument i arrives in rgvarg[n-1-i].
    const VARIANT& arg = AParams.rgvarg[ACall.ArgCount - 1 - i];
    const VARTYPE want = ArrivingVarType(ACall.ArgTypes[i]);
    if (V_VT(&arg) != want || ((want & VT_BYREF) && !V_BYREF(&arg))) {
      if (AArgErr)
        *AArgErr = ACall.ArgCount - 1 - i;
      return {DISP_E_TYPEMISMATCH, name + L": argument " + std::to_wstring(i + 1) +
                                       L" arrived as VARTYPE " + Hex(V_VT(&arg)) + L" where " +
                                       Hex(want) + L" is declared"};
    }
  }
  return {};
}

HRESULT STDMETHODCALLTYPE TFakeHostObject::Invoke(DISPID ADispId, REFIID, LCID, WORD AFlags,
                                                  DISPPARAMS* AParams, VARIANT* AResult,
                                                  EXCEPINFO* AExcepInfo, UINT* AArgErr) {
  try {
    DISPPARAMS none{};
    return InvokeChecked(ADispId, AFlags, AParams ? *AParams : none, AResult, AExcepInfo, AArgErr);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    Error(L"DISPID " + std::to_wstring(ADispId) + L": the handler failed");
    return E_UNEXPECTED;
  }
}

bool TFakeHostObject::Matches(const THostRecordCall& ACall, WORD AFlags,
                              const DISPPARAMS& AParams) {
  if (AParams.cArgs != ACall.ArgCount || AParams.cNamedArgs != 0)
    return false;
  const WORD flags =
      ACall.ArgCount == 0 ? (DISPATCH_METHOD | DISPATCH_PROPERTYGET) : DISPATCH_METHOD;
  if (AFlags != flags)
    return false;
  for (unsigned i = 0; i < ACall.ArgCount; ++i) {
    const VARIANT& arg = AParams.rgvarg[ACall.ArgCount - 1 - i];
    const VARTYPE want = ArrivingVarType(ACall.ArgTypes[i]);
    if (V_VT(&arg) != want || ((want & VT_BYREF) && !V_BYREF(&arg)))
      return false;
  }
  return true;
}

HRESULT TFakeHostObject::InvokeChecked(DISPID ADispId, WORD AFlags, DISPPARAMS& AParams,
                                       VARIANT* AResult, EXCEPINFO* AExcepInfo, UINT* AArgErr) {
  // Held by value: a handler may script this object again while it runs.
  const TRoute& route = RouteOf(ADispId);
  const std::shared_ptr<const TFakeHandler> handler = route.Handler;
  // Of the served records' calls with this DISPID, the first that matches.
  const THostRecordCall* call = nullptr;
  for (const THostRecordCall* candidate : route.Calls)
    if (Matches(*candidate, AFlags, AParams)) {
      call = candidate;
      break;
    }
  TMismatch mismatch;
  if (!call)
    for (const THostRecordCall* candidate : route.Calls) {
      TMismatch why = Mismatch(*candidate, AFlags, AParams, AArgErr);
      if (mismatch.Code == S_OK)
        mismatch = std::move(why);
    }

  size_t index = 0;
  if (FLogCalls) {
    TFakeCall logged;
    logged.DispId = ADispId;
    logged.Flags = AFlags;
    if (call) {
      logged.Record = call->Record;
      logged.Operation = call->Operation;
    }
    logged.Args.reserve(AParams.cArgs);
    for (UINT i = 0; i < AParams.cArgs; ++i)
      logged.Args.push_back(CopyArrived(AParams.rgvarg[i]));
    if (FCalls.size() >= kCallLogLimit) {
      const size_t dropped = FCalls.size() / 2;
      FCalls.erase(FCalls.begin(), FCalls.begin() + std::ptrdiff_t(dropped));
      FDroppedCalls += dropped;
    }
    FCalls.push_back(std::move(logged));
    index = FCalls.size() - 1;
  }
  const bool logged = FLogCalls;

  auto answer = [&](HRESULT AResultCode) {
    // The log may have been cleared or switched meanwhile by a handler.
    if (logged && index < FCalls.size())
      FCalls[index].Answer = AResultCode;
    return AResultCode;
  };

  if (mismatch.Code != S_OK) {
    Error(mismatch.Text);
    return answer(mismatch.Code);
  }
  if (!call && !handler) {
    if (FStrict) {
      Error(L"DISPID " + std::to_wstring(ADispId) + L" is not served by this object");
      return answer(DISP_E_MEMBERNOTFOUND);
    }
    return answer(S_OK);
  }
  if (handler) {
    TFakeInvocation invocation(ADispId, call, AParams, AResult, AExcepInfo);
    return answer((*handler)(invocation));
  }
  if (AResult)
    FakeDefaultResult(*AResult, call->ResultType);
  return answer(S_OK);
}
