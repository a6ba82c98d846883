#include "data-chunk-image.h"

#include "dispatch.h"
#include "exceptions.h"

#include <string>
#include <utility>

TDataChunkImageInterface::TDataChunkImageInterface()
    : FInternalDataArray(std::make_shared<TDynamicLongWordArray>()) {}

TDataChunkImageInterface::TDataChunkImageInterface(const TDataChunkImage& AImage)
    : FInternalTargetAddr(AImage.TargetAddr),
      FInternalDataArray(std::make_shared<TDynamicLongWordArray>(AImage.DataArray)),
      FinternalDataLen(AImage.DataLen) {}

TDataChunkImageInterface::TDataChunkImageInterface(
    uint32_t ATargetAddr, std::shared_ptr<TDynamicLongWordArray> ADataArray, uint32_t ADataLen)
    : FInternalTargetAddr(ATargetAddr), FInternalDataArray(std::move(ADataArray)),
      FinternalDataLen(ADataLen) {
  if (!FInternalDataArray)
    FInternalDataArray = std::make_shared<TDynamicLongWordArray>();
}

void TDataChunkImageInterface::Resize(uint64_t AUnits) {
  if (AUnits > kMaxDataChunkUnits)
    throw EConvertError("A data chunk image of " + std::to_string(AUnits) +
                        " units is larger than any image can be");
  FInternalDataArray->resize(std::size_t(AUnits), 0);
  FinternalDataLen = uint32_t(AUnits);
}

HRESULT TDataChunkImageInterface::GetTargetAddr(uint32_t* AResult) {
  *AResult = FInternalTargetAddr;
  return S_OK;
}

HRESULT TDataChunkImageInterface::SetTargetAddr(uint32_t AAddress) {
  FInternalTargetAddr = AAddress;
  return S_OK;
}

HRESULT TDataChunkImageInterface::GetDataLen(uint32_t* AResult) {
  *AResult = FinternalDataLen;
  return S_OK;
}

HRESULT TDataChunkImageInterface::SetDataLen(uint32_t ALength) {
  return Guarded([&] { Resize(ALength); });
}

HRESULT TDataChunkImageInterface::GetDataArrayItem(uint32_t AIndex, uint32_t* AResult) {
  *AResult = AIndex < FInternalDataArray->size() ? (*FInternalDataArray)[AIndex] : 0;
  return S_OK;
}

HRESULT TDataChunkImageInterface::SetDataArrayItem(uint32_t AIndex, uint32_t AValue) {
  return Guarded([&] {
    // Counted in 64 bits: index 0xFFFFFFFF asks for 2^32 units, it does not
    // wrap round to an empty array.
    if (AIndex >= FInternalDataArray->size())
      Resize(uint64_t(AIndex) + 1);
    (*FInternalDataArray)[AIndex] = AValue;
  });
}

struct TDataChunkImageTable {
  static constexpr TDispEntry Table[] = {
      Op<&TDataChunkImageInterface::GetTargetAddr>(508709),
      Op<&TDataChunkImageInterface::SetTargetAddr>(508710),
      Op<&TDataChunkImageInterface::GetDataLen>(508711),
      Op<&TDataChunkImageInterface::SetDataLen>(508712),
      Op<&TDataChunkImageInterface::GetDataArrayItem>(508713),
      Op<&TDataChunkImageInterface::SetDataArrayItem>(508714),
  };
};

HRESULT TDataChunkImageInterface::DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) {
  ORV_DISPATCH_THROUGH(TDataChunkImageTable::Table, TAbstractSupportService);
}

HRESULT STDMETHODCALLTYPE TDataChunkImageInterface::SupportsService(BSTR AName, TBoolean* AResult) {
  return ChainSupportsService(TAbstractSupportService::SupportsService(AName, AResult), AName,
                              L"DataChunkImageInterface", AResult);
}
