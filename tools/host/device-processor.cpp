#include "device-processor.h"

#include "cli-common.h"
#include "dispatch.h"
#include "memory-access.h"

#include <oleauto.h>

#include <functional>
#include <string>

namespace {

// What the device asks its driver (the driver contract's DISPIDs).
constexpr DISPID kSetProcessorRegisterValue = 503766, kGetProcessorRegisterValue = 503767,
                 kGetProcessorRegisterWidth = 503768, kGetRegisterIndex_PC = 503772,
                 kGetRegisterIndex_SP = 503773, kGetMemorySpace_Program = 503781,
                 kLittleEndian = 503785, kSingleStepProcessor = 503794, kResetProcessor = 503796,
                 kPauseProcessor = 503797, kContinueProcessor = 503798, kProcessorIsPaused = 503800,
                 kProcessorIsReset = 503801;
// What the device answers (ITarvoDevice) and the register objects answer
// (IProcessorRegister).
constexpr DISPID kDeviceGetDriver = 503635, kDeviceGetProcessorState = 503645,
                 kDeviceSingleStepProcessor = 503648, kDeviceResetProcessor = 503650,
                 kDevicePauseProcessor = 503651, kDeviceContinueProcessor = 503652,
                 kDeviceGetProcessorRegister = 503661, kDeviceGetRegister_PC = 503662,
                 kDeviceGetRegister_SP = 503663, kDeviceGetMemorySpace_Program = 503664,
                 kDeviceLittleEndian = 503674;
constexpr DISPID kRegisterRefresh = 503833, kRegisterGetWidth = 503838, kRegisterGetValue = 503839,
                 kRegisterSetValue = 503844;

// The device's run control, each passed on to the driver's operation.
struct TRunControl {
  DISPID Device;
  DISPID Driver;
  const wchar_t* Failure;
};
constexpr TRunControl kRunControl[] = {
    {kDeviceSingleStepProcessor, kSingleStepProcessor, L"The driver did not step the processor"},
    {kDeviceResetProcessor, kResetProcessor, L"The driver did not reset the processor"},
    {kDevicePauseProcessor, kPauseProcessor, L"The driver did not halt the processor"},
    {kDeviceContinueProcessor, kContinueProcessor, L"The driver did not start the processor"},
};

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

// A register object: its index is asked of the driver on each call (the
// PC's and SP's index by the driver's own DISPID), its value and width read
// and its value written through the driver.
using TRegisterIndex = std::function<HRESULT(std::int32_t&)>;

TComPtr<TFakeHostObject> RegisterObject(IDispatch& ADriver, TRegisterIndex AIndex) {
  const TComPtr<TFakeHostObject> reg = TFakeHostObject::Create({L"IProcessorRegister"});
  const auto ask = [&ADriver, AIndex](DISPID ADispId, const wchar_t* AFailure) {
    return [&ADriver, AIndex, ADispId, AFailure](TFakeInvocation& AGet) {
      std::int32_t index = 0, value = 0;
      HRESULT hr = AIndex(index);
      if (SUCCEEDED(hr))
        hr = AskNumber(ADriver, ADispId, {IntVariant(index)}, value);
      if (FAILED(hr))
        return AGet.Raise(AFailure, hr);
      AGet.ReturnInt(value);
      return S_OK;
    };
  };
  reg->OnCall(kRegisterGetValue,
              ask(kGetProcessorRegisterValue, L"The driver did not answer the register"));
  reg->OnCall(kRegisterGetWidth,
              ask(kGetProcessorRegisterWidth, L"The driver did not tell the register's width"));
  // The driver reads the target on every GetValue: there is nothing to refresh.
  reg->OnCall(kRegisterRefresh, [](TFakeInvocation&) { return S_OK; });
  reg->OnCall(kRegisterSetValue, [&ADriver, AIndex](TFakeInvocation& ASet) {
    std::int32_t index = 0, written = 0;
    HRESULT hr = AIndex(index);
    if (SUCCEEDED(hr))
      hr = AskNumber(ADriver, kSetProcessorRegisterValue, {IntVariant(index), IntVariant(ASet.Int(0))},
                     written);
    if (FAILED(hr) || !written)
      return ASet.Raise(L"The driver did not write the register", FAILED(hr) ? hr : E_FAIL);
    return S_OK;
  });
  return reg;
}

TFakeHandler NamedRegister(IDispatch& ADriver, DISPID AIndexDispId) {
  return [&ADriver, AIndexDispId](TFakeInvocation& AInvocation) {
    const TComPtr<TFakeHostObject> reg =
        RegisterObject(ADriver, [&ADriver, AIndexDispId](std::int32_t& AIndex) {
          return AskNumber(ADriver, AIndexDispId, {}, AIndex);
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
    std::int32_t reset = 0, paused = 0;
    HRESULT hr = AskNumber(ADriver, kProcessorIsReset, {}, reset);
    if (SUCCEEDED(hr) && !reset)
      hr = AskNumber(ADriver, kProcessorIsPaused, {}, paused);
    if (FAILED(hr))
      return AInvocation.Raise(L"The driver did not tell the processor state", hr);
    AInvocation.ReturnText(reset ? L"Reset" : paused ? L"Halted" : L"Running");
    return S_OK;
  });
  for (const TRunControl& control : kRunControl)
    ADevice.OnCall(control.Device, [&ADriver, control](TFakeInvocation& AInvocation) {
      TVariant result;
      const HRESULT hr = InvokeInOrder(ADriver, control.Driver, {}, &result);
      return FAILED(hr) ? AInvocation.Raise(control.Failure, hr) : S_OK;
    });
  ADevice.OnCall(kDeviceGetProcessorRegister, [&ADriver](TFakeInvocation& AInvocation) {
    const std::int32_t index = AInvocation.Int(0);
    const TComPtr<TFakeHostObject> reg = RegisterObject(ADriver, [index](std::int32_t& AIndex) {
      AIndex = index;
      return S_OK;
    });
    AInvocation.ReturnObject(reg->Dispatch());
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
  ADevice.OnCall(kDeviceGetRegister_PC, NamedRegister(ADriver, kGetRegisterIndex_PC));
  ADevice.OnCall(kDeviceGetRegister_SP, NamedRegister(ADriver, kGetRegisterIndex_SP));
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
