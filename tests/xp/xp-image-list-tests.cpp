#include "xp-image-list.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

TEST(XPImageList, StoredFormIsTheDeflatedImageListStream) {
  const size_t before = TResourceLedger::Total();
  {
    TXPImageList list(nullptr, 18, 18);
    TBitmap strip(36, 18, TPixelFormat::pf32bit);
    strip.Canvas().Brush().SetColor(clRed);
    strip.Canvas().FillRect(RECT{0, 0, 36, 18});
    EXPECT_EQ(list.Add(strip, nullptr), 0);
    ASSERT_EQ(list.Count(), 2);
    TMemoryStream data;
    list.WriteData(data);
    const auto* bytes = static_cast<const uint8_t*>(data.Memory());
    EXPECT_EQ(bytes[0], 0x78);
    EXPECT_EQ(bytes[1], 0xDA);
    const auto plain = ZDecompressBytes(bytes, size_t(data.GetSize()));
    ASSERT_GE(plain.size(), 2u);
    EXPECT_EQ(plain[0], 'I');
    EXPECT_EQ(plain[1], 'L');

    data.SetPosition(0);
    TXPImageList copy(nullptr);
    copy.ReadData(data);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Width(), 18);
    EXPECT_EQ(copy.Height(), 18);
    strip.Dormant();
  }
  FinalizeGraphics();
  EXPECT_EQ(TResourceLedger::Total(), before);
}

TEST(XPImageList, DataThatIsNoImageListRaisesTheReadError) {
  const char junk[] = "not an image list at all";
  const auto deflated = ZCompressBytes(junk, sizeof(junk));
  TMemoryStreamReadOnly source(deflated.data(), deflated.size());
  TXPImageList list(nullptr);
  try {
    list.ReadData(source);
    ADD_FAILURE() << "no exception";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Failed to read ImageList data from stream");
  }
}

// The system's stream of a list of two 18 x 18 red pictures, not deflated.
std::vector<uint8_t> PlainImageListStream() {
  TImageList list(nullptr, 18, 18);
  TBitmap strip(36, 18, TPixelFormat::pf32bit);
  strip.Canvas().Brush().SetColor(clRed);
  strip.Canvas().FillRect(RECT{0, 0, 36, 18});
  list.Add(strip, nullptr);
  strip.Dormant();
  TMemoryStream data;
  list.WriteData(data);
  const auto* bytes = static_cast<const uint8_t*>(data.Memory());
  return std::vector<uint8_t>(bytes, bytes + data.GetSize());
}

// Stored forms that do not hold together raise the read error before the
// system is handed anything it would take room for, and the list keeps its
// pictures.
TEST(XPImageList, MalformedStoredFormsRaiseTheReadErrorAndKeepThePictures) {
  const size_t before = TResourceLedger::Total();
  {
    const std::vector<uint8_t> plain = PlainImageListStream();
    ASSERT_GE(plain.size(), 28u);
    auto head = [&](size_t AOffset, uint16_t AValue) {
      std::vector<uint8_t> copy = plain;
      std::memcpy(copy.data() + AOffset, &AValue, 2);
      return ZCompressBytes(copy.data(), copy.size());
    };
    const auto deflated = ZCompressBytes(plain.data(), plain.size());
    const struct {
      const char* Name;
      std::vector<uint8_t> Data;
    } cases[] = {
        {"not deflated", plain},
        {"deflated and cut short", {deflated.begin(), deflated.end() - 8}},
        {"the head alone", ZCompressBytes(plain.data(), 28)},
        {"pictures cut short", ZCompressBytes(plain.data(), plain.size() * 2 / 3)},
        {"no IL", head(0, 0x4D42)},
        {"zero width", head(10, 0)},
        {"huge cells",
         [&] {
           std::vector<uint8_t> copy = plain;
           const uint16_t huge = 0x7FFF;
           for (size_t offset : {6, 10, 12}) // room for, width, height
             std::memcpy(copy.data() + offset, &huge, 2);
           return ZCompressBytes(copy.data(), copy.size());
         }()},
        {"more pictures than room", head(4, 0x7FFF)},
    };
    TXPImageList list(nullptr, 18, 18);
    TBitmap one(18, 18, TPixelFormat::pf32bit);
    list.Add(one, nullptr);
    one.Dormant();
    for (const auto& c : cases) {
      SCOPED_TRACE(c.Name);
      TMemoryStreamReadOnly source(c.Data.data(), c.Data.size());
      EXPECT_THROW(list.ReadData(source), EReadError);
      EXPECT_EQ(list.Count(), 1);
      EXPECT_EQ(list.Width(), 18);
    }
  }
  FinalizeGraphics();
  EXPECT_EQ(TResourceLedger::Total(), before);
}

// In a form's data the next property follows: reading stops right after the
// list's deflated data.
TEST(XPImageList, ReadingStopsAtTheEndOfItsData) {
  const std::vector<uint8_t> plain = PlainImageListStream();
  auto data = ZCompressBytes(plain.data(), plain.size());
  const size_t end = data.size();
  data.insert(data.end(), {0xEE, 0xFF, 0xC0, 0x00});
  TMemoryStreamReadOnly source(data.data(), data.size());
  TXPImageList list(nullptr);
  list.ReadData(source);
  EXPECT_EQ(source.GetPosition(), int64_t(end));
  EXPECT_EQ(source.ReadValue<uint32_t>(), 0xC0FFEEu);
  EXPECT_EQ(list.Count(), 2);
  FinalizeGraphics();
}

TEST(XPImageList, CompressedBitmapIsWrittenAgainstAForeignAncestorOrWhenItHoldsImages) {
  TXPImageList list(nullptr, 18, 18);
  TXPImageList otherList(nullptr, 18, 18);
  TBitmap foreign(1, 1);
  EXPECT_FALSE(list.StoresCompressedBitmap(nullptr));
  EXPECT_TRUE(list.StoresCompressedBitmap(&foreign));
  EXPECT_FALSE(list.StoresCompressedBitmap(&otherList));
  TBitmap image(18, 18, TPixelFormat::pf32bit);
  list.Add(image, nullptr);
  EXPECT_TRUE(list.StoresCompressedBitmap(nullptr));
  EXPECT_STREQ(TXPImageList::DataPropertyName(), L"CompressedBitmap");
}

} // namespace
