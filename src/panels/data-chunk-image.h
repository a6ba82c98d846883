#pragma once

// A program image in memory as a flash writer reads it by DISPID: a target
// address, an array of 32-bit data units and a data length.

#include "flash-writer.h"
#include "support-service.h"

#include <cstdint>
#include <memory>

// The most data units one image may hold: its array lives in a 32-bit
// process, where a gigabyte in one piece is about the most there is. A
// length or item index beyond it is refused before anything is allocated.
inline constexpr uint32_t kMaxDataChunkUnits = 0x10000000;

class TDataChunkImageInterface : public TAbstractSupportService {
public:
  // All fields zero, an empty array.
  TDataChunkImageInterface();
  // Address, array and length of the record (the record's units are taken
  // over into an array of the object's own).
  explicit TDataChunkImageInterface(const TDataChunkImage& AImage);
  // The array is shared with the caller, not copied; the length is kept as
  // given, whatever the array's own length.
  TDataChunkImageInterface(uint32_t ATargetAddr, std::shared_ptr<TDynamicLongWordArray> ADataArray,
                           uint32_t ADataLen);

  uint32_t TargetAddr() const { return FInternalTargetAddr; }
  uint32_t DataLen() const { return FinternalDataLen; }
  const std::shared_ptr<TDynamicLongWordArray>& DataArray() const { return FInternalDataArray; }

  // The operations the host and the flash writers reach by DISPID.
  HRESULT GetTargetAddr(uint32_t* AResult);
  HRESULT SetTargetAddr(uint32_t AAddress);
  HRESULT GetDataLen(uint32_t* AResult);
  // Resizes the array (new units 0) and sets the length with it.
  HRESULT SetDataLen(uint32_t ALength);
  // 0 for an index not below the array's length.
  HRESULT GetDataArrayItem(uint32_t AIndex, uint32_t* AResult);
  // An index past the array grows it to index + 1 units, the length too.
  HRESULT SetDataArrayItem(uint32_t AIndex, uint32_t AValue);

  HRESULT DispatchInvoke(DISPID ADispId, TInvokeContext& AContext) override;
  HRESULT STDMETHODCALLTYPE SupportsService(BSTR AName, TBoolean* AResult) override;

private:
  void Resize(uint64_t AUnits);

  uint32_t FInternalTargetAddr = 0;
  std::shared_ptr<TDynamicLongWordArray> FInternalDataArray;
  uint32_t FinternalDataLen = 0;
};
