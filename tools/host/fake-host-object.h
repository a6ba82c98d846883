#pragma once

// A host object that answers the calls of one or more wrapper records by
// DISPID, driven by the records' call table: it checks what arrives (count,
// VARTYPEs in reversed order, flags), logs every call and answers from a
// script or with a typed default. It stands in for the host's objects in
// tests and in the test host.

#include "com-ptr.h"
#include "host-record-table.h"
#include "support-service.h"

#include <oaidl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One logged call. Args are copies in arrival order (rgvarg: the last
// declared argument first); by-reference arguments are copied as the value
// they pointed at on arrival. Dispatch copies hold a reference until the
// log is cleared.
struct TFakeCall {
  DISPID DispId = 0;
  WORD Flags = 0;
  std::wstring Record; // empty for a DISPID no served record declares
  std::wstring Operation;
  std::vector<VARIANT> Args;
  HRESULT Answer = S_OK;

  TFakeCall() = default;
  TFakeCall(const TFakeCall& AOther);
  TFakeCall(TFakeCall&& AOther) noexcept = default;
  TFakeCall& operator=(const TFakeCall& AOther);
  TFakeCall& operator=(TFakeCall&& AOther) noexcept;
  ~TFakeCall();
  // The argument of a declaration position (0 = the first declared).
  const VARIANT& Declared(unsigned AIndex) const { return Args[Args.size() - 1 - AIndex]; }
};

// What a scripted handler sees of one call: typed access to the arguments
// by declaration position, writes through by-reference ones, and the result.
class TFakeInvocation {
public:
  TFakeInvocation(DISPID ADispId, const THostRecordCall* ACall, DISPPARAMS& AParams,
                  VARIANT* AResult, EXCEPINFO* AExcepInfo)
      : FDispId(ADispId), FCall(ACall), FParams(AParams), FResult(AResult), FExcepInfo(AExcepInfo) {
  }

  DISPID DispId() const { return FDispId; }
  // The record call the DISPID was matched to; nullptr for a scripted-only DISPID.
  const THostRecordCall* Call() const { return FCall; }
  unsigned ArgCount() const { return FParams.cArgs; }
  // The argument of a declaration position; by-reference ones as they arrived.
  VARIANT& Arg(unsigned AIndex);

  // Values of arguments, reading through references.
  int32_t Int(unsigned AIndex);
  int64_t Int64(unsigned AIndex);
  bool Bool(unsigned AIndex);
  double Real(unsigned AIndex);
  std::wstring Text(unsigned AIndex);
  // The same text without a copy, valid while the call runs.
  std::wstring_view TextView(unsigned AIndex);
  bool IsNullText(unsigned AIndex);   // a by-value BSTR that is a null pointer
  IDispatch* Object(unsigned AIndex); // no reference added

  // Writes through by-reference arguments, as a host does.
  void SetInt(unsigned AIndex, int32_t AValue);
  void SetInt64(unsigned AIndex, int64_t AValue);
  void SetText(unsigned AIndex, const std::wstring& AValue);
  void SetObject(unsigned AIndex, IDispatch* AValue); // releases the old, adds a reference

  void ReturnInt(int32_t AValue);
  void ReturnInt64(int64_t AValue);
  void ReturnBool(bool AValue);
  void ReturnReal(double AValue);
  void ReturnText(const std::wstring& AValue);
  void ReturnText(const wchar_t* AText, size_t ALength);
  void ReturnObject(IDispatch* AValue); // adds a reference
  // Fails the call as a host exception with a description.
  HRESULT Raise(const std::wstring& ADescription, HRESULT ACode = E_FAIL);

private:
  VARIANT& Target(unsigned AIndex, VARTYPE AType);
  VARIANT& NewResult();

  DISPID FDispId;
  const THostRecordCall* FCall;
  DISPPARAMS& FParams;
  VARIANT* FResult;
  EXCEPINFO* FExcepInfo;
};

using TFakeHandler = std::function<HRESULT(TFakeInvocation&)>;

class TFakeHostObject : public IDispatch, public ISupportService {
public:
  // A new object with one reference, serving the named records.
  static TComPtr<TFakeHostObject> Create(std::initializer_list<std::wstring_view> ARecords = {});

  // Adds the calls of a record; raises std::invalid_argument for an unknown name.
  void Serve(std::wstring_view ARecord);
  // Answers a DISPID by a handler instead of the typed default. A DISPID no
  // served record declares becomes served, unchecked.
  void OnCall(DISPID ADispId, TFakeHandler AHandler);
  // Strict (the default): a DISPID that is not served fails with
  // DISP_E_MEMBERNOTFOUND and an error; otherwise it is logged and answered empty.
  void SetStrict(bool AStrict) { FStrict = AStrict; }
  // Service names SupportsService answers True for (case of ASCII letters ignored).
  void AddService(std::wstring AName) { FServices.push_back(std::move(AName)); }
  // An object that refuses QueryInterface for IDispatch, as a foreign object does.
  void SetRefusesDispatchQuery(bool ARefuses) { FRefusesDispatch = ARefuses; }
  // Called with each error as it is logged (tests turn it into a failure).
  void SetErrorSink(std::function<void(const std::wstring&)> ASink) {
    FErrorSink = std::move(ASink);
  }
  // Whether calls are logged (the default). An object on the scan road of a
  // long session switches it off; errors are kept either way.
  void SetCallLog(bool ALog) { FLogCalls = ALog; }
  bool LogsCalls() const { return FLogCalls; }

  // The calls in the order they came: the most recent ones only. Past
  // kCallLogLimit the older half is dropped, so a long session (a whole
  // flash image is millions of scans) keeps its memory bounded.
  static constexpr size_t kCallLogLimit = 65536;
  const std::vector<TFakeCall>& Calls() const { return FCalls; }
  size_t DroppedCalls() const { return FDroppedCalls; }
  const std::vector<std::wstring>& Errors() const { return FErrors; }
  void ClearLog();
  // Empties the log's copies of AObject, releasing their references: a
  // host lets go of what the plug-in takes back, and nothing of it may be
  // left to release once the plug-in's code is gone.
  void ForgetInLog(IUnknown* AObject);
  LONG RefCount() const { return FRefCount; }
  IDispatch* Dispatch() { return this; }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IDispatch: by DISPID only.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* ACount) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT AIndex, LCID ALocale, ITypeInfo** AInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID AIid, LPOLESTR* ANames, UINT ACount, LCID ALocale,
                                          DISPID* ADispIds) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID ADispId, REFIID AIid, LCID ALocale, WORD AFlags,
                                   DISPPARAMS* AParams, VARIANT* AResult, EXCEPINFO* AExcepInfo,
                                   UINT* AArgErr) override;
  // ISupportService
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;

private:
  TFakeHostObject() = default;
  virtual ~TFakeHostObject();
  HRESULT InvokeChecked(DISPID ADispId, WORD AFlags, DISPPARAMS& AParams, VARIANT* AResult,
                        EXCEPINFO* AExcepInfo, UINT* AArgErr);
  struct TMismatch {
    HRESULT Code = S_OK;
    std::wstring Text;
  };
  // The first mismatch of a call against a record call (Code S_OK: none).
  TMismatch Mismatch(const THostRecordCall& ACall, WORD AFlags, const DISPPARAMS& AParams,
                     UINT* AArgErr) const;
  // The same check without the text, for the calls that match.
  static bool Matches(const THostRecordCall& ACall, WORD AFlags, const DISPPARAMS& AParams);
  void Error(std::wstring AText);
  // What a DISPID resolves to, worked out on its first call and kept until
  // the object is scripted again: the served calls that declare it, in
  // serving order, and its handler.
  struct TRoute {
    std::vector<const THostRecordCall*> Calls;
    std::shared_ptr<const TFakeHandler> Handler;
  };
  const TRoute& RouteOf(DISPID ADispId);

  LONG FRefCount = 1;
  bool FLogCalls = true;
  bool FStrict = true;
  bool FRefusesDispatch = false;
  std::vector<const THostRecordKind*> FKinds;
  std::map<DISPID, std::shared_ptr<const TFakeHandler>> FHandlers;
  std::unordered_map<DISPID, TRoute> FRoutes;
  std::vector<std::wstring> FServices;
  std::vector<TFakeCall> FCalls;
  size_t FDroppedCalls = 0;
  std::vector<std::wstring> FErrors;
  std::function<void(const std::wstring&)> FErrorSink;
};

// Fills a result VARIANT with the typed default of a VARTYPE: 0, an empty
// string, False, an empty dispatch; nothing for no result.
void FakeDefaultResult(VARIANT& AResult, uint8_t AResultType);
