#pragma once

#include <cstdint>
#include <utility>
#include <vector>
#include <windows.h>
#include <oleauto.h>

// The data-chunk image's address, unit count and unit.
constexpr DISPID kImageAddress = 508709, kImageCount = 508711, kImageUnit = 508713;

// A data-chunk image as the flash memory utility hands it to a writer: a
// start address and its bytes, read by DISPID.
class TChunkImage : public IDispatch {
public:
  TChunkImage(uint32_t AAddress, std::vector<uint8_t> AData)
      : FAddress(AAddress), FData(std::move(AData)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override {
    if (AIid == IID_IUnknown || AIid == IID_IDispatch) {
      *AObject = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *AObject = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* ACount) override {
    *ACount = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID ADispId, REFIID, LCID, WORD, DISPPARAMS* AParams,
                                   VARIANT* AResult, EXCEPINFO*, UINT*) override {
    int32_t value = 0;
    if (ADispId == kImageAddress) {
      value = int32_t(FAddress);
    } else if (ADispId == kImageCount) {
      value = int32_t(FData.size());
    } else if (ADispId == kImageUnit && AParams && AParams->cArgs == 1) {
      VARIANT index;
      VariantInit(&index);
      if (FAILED(VariantChangeType(&index, &AParams->rgvarg[0], 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
      if (V_I4(&index) < 0 || size_t(V_I4(&index)) >= FData.size())
        return DISP_E_BADINDEX;
      value = FData[size_t(V_I4(&index))];
    } else {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (AResult) {
      VariantInit(AResult);
      V_VT(AResult) = VT_I4;
      V_I4(AResult) = value;
    }
    return S_OK;
  }

private:
  uint32_t FAddress;
  std::vector<uint8_t> FData;
};
