#include "device-processor.h"

#include "cli-common.h"
#include "dispatch.h"
#include "memory-access.h"

#include <oleauto.h>

#include <string>

namespace {

// What the device asks its driver (the driver contract's DISPIDs).
constexpr DISPID kGetProcessorRegisterValue = 503767, kGetRegisterIndex_PC = 503772,
                 kGetRegisterIndex_SP = 503773, kGetMemorySpace_Program = 503781,
                 kLittleEndian = 503785, kProcessorIsPaused = 503800;
// What the device answers (ITarvoDevice) and the register objects answer
// (IProcessorRegister).
constexpr DISPID kDeviceGetDriver = 503635, kDeviceGetProcessorState = 503645,
                 kDeviceGetRegister_PC = 503662, kDeviceGetRegister_SP = 503663,
                 kDeviceGetMemorySpace_Program = 503664, kDeviceLittleEndian = 503674,
                 kRegisterGetValue = 503839;

// The driver's answer as a number; a failing call fails the host's call.
HRESULT AskNumber(IDispatch& ADriver, DISPID ADispId, std::vector<VARIANT> AArgs,
                  std::int32_t& AValue) {
  TVariant result;
  const HRESULT hr = InvokeInOrder(ADriver, ADispId, std::move(AArgs), &result);
  if (FAILED(hr))
    return hr;
  if (V_VT(&result.Get()) == VT_BOOL)
    AValue = V_BOOL(&result.Get()) ? 1 : 0;
  else if (V_VT(&result.Get()) == VT_I4)
    AValue = V_I4(&result.Get());
  else
    return DISP_E_TYPEMISMATCH;
  return S_OK;
}

// The program memory space: its object offers the driver's memory
// interface, reading the space the host knows it by when asked for the
// space -1 ("this space").
class THostMemorySpace final : public IDispatch, public IMemoryAccess {
public:
  THostMemorySpace(IMemoryAccess* AAccess, std::int32_t ASpace) : FAccess(AAccess), FSpace(ASpace) {
    FAccess->AddRef();
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override {
    if (!AObject)
      return E_POINTER;
    if (IsEqualIID(AIid, IID_IUnknown) || IsEqualIID(AIid, IID_IDispatch))
      *AObject = static_cast<IDispatch*>(this);
    else if (IsEqualIID(AIid, IID_IMemoryAccess))
      *AObject = static_cast<IMemoryAccess*>(this);
    else {
      *AObject = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++FRefCount); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG count = --FRefCount;
    if (count == 0)
      delete this;
    return ULONG(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE MemoryRead(std::int32_t ASpace, PMemoryArray ABuffer,
                                       std::int64_t AAddress, std::int32_t ACount,
                                       TLongBool* ASuccess) override {
    return FAccess->MemoryRead(ASpace == -1 ? FSpace : ASpace, ABuffer, AAddress, ACount, ASuccess);
  }
  HRESULT STDMETHODCALLTYPE MemoryWrite(std::int32_t ASpace, PMemoryArray ABuffer,
                                        std::int64_t AAddress, std::int32_t ACount,
                                        TLongBool* ASuccess) override {
    return FAccess->MemoryWrite(ASpace == -1 ? FSpace : ASpace, ABuffer, AAddress, ACount,
                                ASuccess);
  }

private:
  ~THostMemorySpace() { FAccess->Release(); }
  LONG FRefCount = 1;
  IMemoryAccess* FAccess;
  std::int32_t FSpace;
};

// A register object reading its register through the driver on each GetValue.
TFakeHandler RegisterObject(IDispatch& ADriver, DISPID AIndexDispId) {
  return [&ADriver, AIndexDispId](TFakeInvocation& AInvocation) {
    const TComPtr<TFakeHostObject> reg = TFakeHostObject::Create({L"IProcessorRegister"});
    reg->OnCall(kRegisterGetValue, [&ADriver, AIndexDispId](TFakeInvocation& AGet) {
      std::int32_t index = 0, value = 0;
      HRESULT hr = AskNumber(ADriver, AIndexDispId, {}, index);
      if (SUCCEEDED(hr))
        hr = AskNumber(ADriver, kGetProcessorRegisterValue, {IntVariant(index)}, value);
      if (FAILED(hr))
        return AGet.Raise(L"The driver did not answer the register", hr);
      AGet.ReturnInt(value);
      return S_OK;
    });
    AInvocation.ReturnObject(reg->Dispatch());
    return S_OK;
  };
}

} // namespace

void ServeProcessorFromDriver(TFakeHostObject& ADevice, IDispatch& ADriver) {
  ADevice.OnCall(kDeviceGetDriver, [&ADriver](TFakeInvocation& AInvocation) {
    AInvocation.ReturnObject(&ADriver);
    return S_OK;
  });
  ADevice.OnCall(kDeviceGetProcessorState, [&ADriver](TFakeInvocation& AInvocation) {
    std::int32_t paused = 0;
    const HRESULT hr = AskNumber(ADriver, kProcessorIsPaused, {}, paused);
    if (FAILED(hr))
      return AInvocation.Raise(L"The driver did not tell the processor state", hr);
    AInvocation.ReturnText(paused ? L"Paused" : L"Running");
    return S_OK;
  });
  ADevice.OnCall(kDeviceLittleEndian, [&ADriver](TFakeInvocation& AInvocation) {
    std::int32_t little = 0;
    const HRESULT hr = AskNumber(ADriver, kLittleEndian, {}, little);
    if (FAILED(hr))
      return AInvocation.Raise(L"The driver did not tell its byte order", hr);
    AInvocation.ReturnBool(little != 0);
    return S_OK;
  });
  ADevice.OnCall(kDeviceGetRegister_PC, RegisterObject(ADriver, kGetRegisterIndex_PC));
  ADevice.OnCall(kDeviceGetRegister_SP, RegisterObject(ADriver, kGetRegisterIndex_SP));
  ADevice.OnCall(kDeviceGetMemorySpace_Program, [&ADriver](TFakeInvocation& AInvocation) {
    std::int32_t space = 0;
    const HRESULT hr = AskNumber(ADriver, kGetMemorySpace_Program, {}, space);
    if (FAILED(hr))
      return AInvocation.Raise(L"The driver did not name its program memory space", hr);
    TComPtr<IMemoryAccess> access;
    ADriver.QueryInterface(IID_IMemoryAccess, reinterpret_cast<void**>(access.Receive()));
    if (!access) {
      AInvocation.ReturnObject(nullptr);
      return S_OK;
    }
    auto* object = new THostMemorySpace(access.Get(), space);
    AInvocation.ReturnObject(object);
    object->Release();
    return S_OK;
  });
}
