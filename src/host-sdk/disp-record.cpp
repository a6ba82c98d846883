#include "disp-record.h"

TComPtr<IDispatch> TDispRecordBase::AsDispatch() const {
  TComPtr<IDispatch> out;
  if (FIntf && (FAILED(FIntf->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(out.Receive()))) || !out))
    throw EIntfCastError(L"Interface not supported");
  return out;
}

TComPtr<IUnknown> TDispRecordBase::AsInterface() const {
  TComPtr<IUnknown> out;
  if (FIntf && (FAILED(FIntf->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(out.Receive()))) || !out))
    throw EIntfCastError(L"Interface not supported");
  return out;
}
