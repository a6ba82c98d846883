#pragma once

#include <oaidl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

// A host object that records each Invoke and answers from a script.
class TRecordingDispatch : public IDispatch {
public:
  struct TCall {
    DISPID DispId = 0;
    WORD Flags = 0;
    std::vector<VARTYPE> Types; // rgvarg order (last argument first)
    std::vector<VARIANT> Args;  // copies, rgvarg order
    std::vector<bool> NullStrings; // VT_BSTR arguments that were null
    bool HadResult = false;
    UINT NamedCount = 0;
  };

  std::vector<TCall> Calls;
  HRESULT Answer = S_OK;
  VARIANT Result; // copied into the caller's result on success
  const wchar_t* ExceptionText = nullptr;
  // Runs inside Invoke, can write through by-reference arguments.
  std::function<void(DISPPARAMS&)> OnInvoke;
  LONG Refs = 1;

  TRecordingDispatch() { VariantInit(&Result); }
  ~TRecordingDispatch() {
    VariantClear(&Result);
    for (TCall& c : Calls)
      for (VARIANT& v : c.Args) VariantClear(&v);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override {
    if (IsEqualIID(AIid, IID_IUnknown) || IsEqualIID(AIid, IID_IDispatch)) {
      *AObject = this;
      AddRef();
      return S_OK;
    }
    *AObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++Refs); }
  ULONG STDMETHODCALLTYPE Release() override { return ULONG(--Refs); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    ADD_FAILURE() << "outgoing calls never ask for names";
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID AId, REFIID, LCID, WORD AFlags, DISPPARAMS* AParams,
                                   VARIANT* AResult, EXCEPINFO* AExcep, UINT*) override {
    TCall call;
    call.DispId = AId;
    call.Flags = AFlags;
    call.HadResult = AResult != nullptr;
    call.NamedCount = AParams->cNamedArgs;
    for (UINT i = 0; i < AParams->cArgs; ++i) {
      call.Types.push_back(V_VT(&AParams->rgvarg[i]));
      call.NullStrings.push_back(V_VT(&AParams->rgvarg[i]) == VT_BSTR &&
                                 V_BSTR(&AParams->rgvarg[i]) == nullptr);
      VARIANT copy;
      VariantInit(&copy);
      VariantCopy(&copy, &AParams->rgvarg[i]);
      call.Args.push_back(copy);
    }
    Calls.push_back(std::move(call));
    if (OnInvoke) OnInvoke(*AParams);
    if (Answer == DISP_E_EXCEPTION && AExcep) {
      AExcep->scode = E_FAIL;
      AExcep->bstrDescription = SysAllocString(ExceptionText);
      AExcep->bstrSource = SysAllocString(L"Host");
    }
    if (Answer == S_OK && AResult) VariantCopy(AResult, &Result);
    return Answer;
  }
};
