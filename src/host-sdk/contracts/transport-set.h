#pragma once

// A set value crossing the automation boundary: the host hands over an
// ITransportSet and the plug-in reads or writes the set's bytes through it.
// The eight words carry up to 32 bytes, low byte first; bytes beyond the
// set's size are 0.

#include <unknwn.h>

#include <array>
#include <cstddef>
#include <cstdint>

// {0130C08B-40A4-4EF1-8BF3-C605D284AE16}
extern const IID IID_ITransportSet;

struct ITransportSet : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetData(uint32_t* AData0, uint32_t* AData1, uint32_t* AData2,
                                            uint32_t* AData3, uint32_t* AData4, uint32_t* AData5,
                                            uint32_t* AData6, uint32_t* AData7) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetData(uint32_t AData0, uint32_t AData1, uint32_t AData2,
                                            uint32_t AData3, uint32_t AData4, uint32_t AData5,
                                            uint32_t AData6, uint32_t AData7) = 0;
};

constexpr std::size_t kTransportSetBytes = 32;

// The bytes of a set of ASize bytes, as an operation receives it.
template <std::size_t ASize> struct TSetValue {
  static_assert(ASize >= 1 && ASize <= kTransportSetBytes);
  std::array<uint8_t, ASize> Bytes{};
};

// Either owns a zeroed 32-byte block or views the caller's set in place.
class TTransportSet : public ITransportSet {
public:
  // AOwner: copy ASize bytes of AData into a block of its own; otherwise
  // read and write AData itself. ASize above 32 raises std::invalid_argument.
  TTransportSet(void* AData, std::size_t ASize, bool AOwner);
  TTransportSet(const TTransportSet&) = delete;
  TTransportSet& operator=(const TTransportSet&) = delete;
  virtual ~TTransportSet();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID AIid, void** AObject) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE GetData(uint32_t* AData0, uint32_t* AData1, uint32_t* AData2,
                                    uint32_t* AData3, uint32_t* AData4, uint32_t* AData5,
                                    uint32_t* AData6, uint32_t* AData7) override;
  HRESULT STDMETHODCALLTYPE SetData(uint32_t AData0, uint32_t AData1, uint32_t AData2,
                                    uint32_t AData3, uint32_t AData4, uint32_t AData5,
                                    uint32_t AData6, uint32_t AData7) override;

  // Read the set from another transport set, or hand it over; a failing
  // HRESULT raises EOleSysError.
  void ImportFrom(ITransportSet* AIntf);
  void ExportTo(ITransportSet* AIntf);

  std::size_t Size() const { return FSize; }
  const uint8_t* Bytes() const { return FSet; }

private:
  std::array<uint32_t, 8> Words() const;
  void SetWords(const std::array<uint32_t, 8>& AWords);

  uint8_t* FSet = nullptr;
  std::size_t FSize = 0;
  bool FOwner = false;
  LONG FRefCount = 0;
};

// Fills ASize bytes of the caller's set from AIntf (raises on failure).
void ImportTransportSet(void* ASet, std::size_t ASize, ITransportSet* AIntf);
