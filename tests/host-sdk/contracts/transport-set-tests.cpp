// The transport set: the 32-byte, eight-word layout of a set value, owning
// and viewing sets, and the import and export through ITransportSet.

#include "contracts.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

namespace {

// The other side of an export or import: remembers the words it was given
// and answers the words it holds.
class TWordsSet : public ITransportSet {
public:
  std::array<uint32_t, 8> Words{};
  int SetCalls = 0;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(uint32_t* A0, uint32_t* A1, uint32_t* A2, uint32_t* A3,
                                    uint32_t* A4, uint32_t* A5, uint32_t* A6,
                                    uint32_t* A7) override {
    uint32_t* out[] = {A0, A1, A2, A3, A4, A5, A6, A7};
    for (int i = 0; i < 8; ++i)
      *out[i] = Words[i];
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetData(uint32_t A0, uint32_t A1, uint32_t A2, uint32_t A3, uint32_t A4,
                                    uint32_t A5, uint32_t A6, uint32_t A7) override {
    Words = {A0, A1, A2, A3, A4, A5, A6, A7};
    ++SetCalls;
    return S_OK;
  }
};

TEST(TransportSet, ExportOfATwoByteSetFillsOnlyTheLowHalfOfTheFirstWord) {
  uint8_t set[2] = {0x34, 0x12};
  TComPtr<TTransportSet> transport(new TTransportSet(set, 2, true));
  TWordsSet other;
  other.Words.fill(0xFFFFFFFF);
  transport->ExportTo(&other);
  EXPECT_EQ(other.SetCalls, 1);
  EXPECT_EQ(other.Words[0], 0x00001234u);
  for (int i = 1; i < 8; ++i)
    EXPECT_EQ(other.Words[i], 0u) << i;
}

TEST(TransportSet, WordsCarryTheBytesLowByteFirst) {
  uint8_t set[32];
  for (int i = 0; i < 32; ++i)
    set[i] = uint8_t(i + 1);
  TComPtr<TTransportSet> transport(new TTransportSet(set, 32, true));
  uint32_t w[8] = {};
  ASSERT_EQ(transport->GetData(&w[0], &w[1], &w[2], &w[3], &w[4], &w[5], &w[6], &w[7]), S_OK);
  EXPECT_EQ(w[0], 0x04030201u);
  EXPECT_EQ(w[7], 0x201F1E1Du);

  uint8_t five[5] = {1, 2, 3, 4, 5};
  TComPtr<TTransportSet> small(new TTransportSet(five, 5, true));
  ASSERT_EQ(small->GetData(&w[0], &w[1], &w[2], &w[3], &w[4], &w[5], &w[6], &w[7]), S_OK);
  EXPECT_EQ(w[0], 0x04030201u);
  EXPECT_EQ(w[1], 0x00000005u) << "bytes beyond the set's size are 0";
}

TEST(TransportSet, AnOwningSetKeepsACopyAndAViewWritesTheCallersSet) {
  uint8_t set[3] = {0xAA, 0xBB, 0xCC};
  TComPtr<TTransportSet> owning(new TTransportSet(set, 3, true));
  TComPtr<TTransportSet> view(new TTransportSet(set, 3, false));
  ASSERT_EQ(view->SetData(0x00332211, 0xFFFFFFFF, 0, 0, 0, 0, 0, 0), S_OK);
  EXPECT_EQ(set[0], 0x11);
  EXPECT_EQ(set[1], 0x22);
  EXPECT_EQ(set[2], 0x33);
  EXPECT_EQ(owning->Bytes()[0], 0xAA) << "the owning set copied at creation";
  ASSERT_EQ(owning->SetData(0x44332211, 0x88776655, 0, 0, 0, 0, 0, 0), S_OK);
  EXPECT_EQ(owning->Bytes()[3], 0) << "only its own size is written";
}

TEST(TransportSet, ImportCopiesOnlyTheSetsSize) {
  uint8_t set[4] = {9, 9, 9, 9};
  TWordsSet other;
  other.Words[0] = 0x44332211;
  ImportTransportSet(set, 2, &other);
  EXPECT_EQ(set[0], 0x11);
  EXPECT_EQ(set[1], 0x22);
  EXPECT_EQ(set[2], 9) << "past the size, untouched";
}

TEST(TransportSet, FailuresOfTheOtherSideAreRaised) {
  struct TFailing : TWordsSet {
    HRESULT STDMETHODCALLTYPE GetData(uint32_t*, uint32_t*, uint32_t*, uint32_t*, uint32_t*,
                                      uint32_t*, uint32_t*, uint32_t*) override {
      return E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE SetData(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                                      uint32_t, uint32_t) override {
      return E_OUTOFMEMORY;
    }
  } failing;
  uint8_t set[2] = {};
  TComPtr<TTransportSet> transport(new TTransportSet(set, 2, false));
  try {
    transport->ImportFrom(&failing);
    ADD_FAILURE() << "no error raised";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), E_ACCESSDENIED);
  }
  try {
    transport->ExportTo(&failing);
    ADD_FAILURE() << "no error raised";
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.ErrorCode(), E_OUTOFMEMORY);
  }
  EXPECT_THROW(transport->ImportFrom(nullptr), EOleSysError);
}

TEST(TransportSet, ASizeAboveThirtyTwoBytesIsRefused) {
  uint8_t set[40] = {};
  EXPECT_THROW(TTransportSet(set, 33, true), std::invalid_argument);
  EXPECT_THROW(TTransportSet(set, 33, false), std::invalid_argument);
}

TEST(TransportSet, AnswersItsInterfaceAndIsFreedWithItsLastReference) {
  uint8_t set[1] = {};
  auto* transport = new TTransportSet(set, 1, true);
  transport->AddRef();
  ITransportSet* asSet = nullptr;
  ASSERT_EQ(transport->QueryInterface(IID_ITransportSet, reinterpret_cast<void**>(&asSet)), S_OK);
  EXPECT_EQ(asSet, static_cast<ITransportSet*>(transport));
  IDispatch* asDispatch = nullptr;
  EXPECT_EQ(transport->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&asDispatch)),
            E_NOINTERFACE);
  EXPECT_EQ(asSet->Release(), 1u);
  EXPECT_EQ(transport->Release(), 0u);
}

} // namespace
