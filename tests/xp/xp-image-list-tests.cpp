#include "xp-image-list.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "streams.h"

#include <gtest/gtest.h>

#include <memory>

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
