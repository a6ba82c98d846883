#include "transport-set.h"

#include "exceptions.h"

#include <cstring>
#include <new>
#include <stdexcept>

const IID IID_ITransportSet = {
    0x0130C08B, 0x40A4, 0x4EF1, {0x8B, 0xF3, 0xC6, 0x05, 0xD2, 0x84, 0xAE, 0x16}};

TTransportSet::TTransportSet(void* AData, std::size_t ASize, bool AOwner)
    : FSize(ASize), FOwner(AOwner) {
  // A larger size would read and write past the 32 bytes the words carry.
  if (ASize > kTransportSetBytes)
    throw std::invalid_argument("transport set above 32 bytes");
  if (FOwner) {
    FSet = new uint8_t[kTransportSetBytes]();
    if (AData && FSize)
      std::memcpy(FSet, AData, FSize);
  } else {
    FSet = static_cast<uint8_t*>(AData);
    if (!FSet)
      FSize = 0;
  }
}

TTransportSet::~TTransportSet() {
  if (FOwner)
    delete[] FSet;
}

HRESULT STDMETHODCALLTYPE TTransportSet::QueryInterface(REFIID AIid, void** AObject) {
  if (!AObject)
    return E_POINTER;
  if (IsEqualIID(AIid, IID_IUnknown) || IsEqualIID(AIid, IID_ITransportSet)) {
    *AObject = static_cast<ITransportSet*>(this);
    AddRef();
    return S_OK;
  }
  *AObject = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TTransportSet::AddRef() {
  return ULONG(++FRefCount);
}

ULONG STDMETHODCALLTYPE TTransportSet::Release() {
  const LONG n = --FRefCount;
  if (n == 0)
    delete this;
  return ULONG(n);
}

std::array<uint32_t, 8> TTransportSet::Words() const {
  uint8_t buffer[kTransportSetBytes] = {};
  if (FSize)
    std::memcpy(buffer, FSet, FSize);
  std::array<uint32_t, 8> words{};
  for (std::size_t i = 0; i < words.size(); ++i)
    words[i] = uint32_t(buffer[4 * i]) | uint32_t(buffer[4 * i + 1]) << 8 |
               uint32_t(buffer[4 * i + 2]) << 16 | uint32_t(buffer[4 * i + 3]) << 24;
  return words;
}

void TTransportSet::SetWords(const std::array<uint32_t, 8>& AWords) {
  for (std::size_t i = 0; i < FSize; ++i)
    FSet[i] = uint8_t(AWords[i / 4] >> (8 * (i % 4)));
}

HRESULT STDMETHODCALLTYPE TTransportSet::GetData(uint32_t* AData0, uint32_t* AData1,
                                                 uint32_t* AData2, uint32_t* AData3,
                                                 uint32_t* AData4, uint32_t* AData5,
                                                 uint32_t* AData6, uint32_t* AData7) {
  uint32_t* const out[] = {AData0, AData1, AData2, AData3, AData4, AData5, AData6, AData7};
  for (uint32_t* p : out)
    if (!p)
      return E_POINTER;
  const std::array<uint32_t, 8> words = Words();
  for (std::size_t i = 0; i < words.size(); ++i)
    *out[i] = words[i];
  return S_OK;
}

HRESULT STDMETHODCALLTYPE TTransportSet::SetData(uint32_t AData0, uint32_t AData1, uint32_t AData2,
                                                 uint32_t AData3, uint32_t AData4, uint32_t AData5,
                                                 uint32_t AData6, uint32_t AData7) {
  SetWords({AData0, AData1, AData2, AData3, AData4, AData5, AData6, AData7});
  return S_OK;
}

void TTransportSet::ImportFrom(ITransportSet* AIntf) {
  if (!AIntf)
    throw EOleSysError(E_POINTER, L"No transport set");
  std::array<uint32_t, 8> words{};
  const HRESULT hr = AIntf->GetData(&words[0], &words[1], &words[2], &words[3], &words[4],
                                    &words[5], &words[6], &words[7]);
  if (FAILED(hr))
    throw EOleSysError(hr, L"ITransportSet.GetData failed");
  SetWords(words);
}

void TTransportSet::ExportTo(ITransportSet* AIntf) {
  if (!AIntf)
    throw EOleSysError(E_POINTER, L"No transport set");
  const std::array<uint32_t, 8> w = Words();
  const HRESULT hr = AIntf->SetData(w[0], w[1], w[2], w[3], w[4], w[5], w[6], w[7]);
  if (FAILED(hr))
    throw EOleSysError(hr, L"ITransportSet.SetData failed");
}

void ImportTransportSet(void* ASet, std::size_t ASize, ITransportSet* AIntf) {
  TTransportSet* view = new TTransportSet(ASet, ASize, false);
  view->AddRef();
  try {
    view->ImportFrom(AIntf);
  } catch (...) {
    view->Release();
    throw;
  }
  view->Release();
}
