#include "image-lists.h"

#include "resource-ledger.h"
#include "streams.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kMagenta = 0xFF00FF;

// A bitmap of AWidth x 16 in stripes of 16 pixels, one colour each.
std::unique_ptr<TBitmap> Stripes(std::initializer_list<TColor> AColors) {
  auto bitmap = std::make_unique<TBitmap>(int(AColors.size()) * 16, 16);
  int x = 0;
  for (TColor color : AColors) {
    bitmap->Canvas().Brush().SetColor(color);
    bitmap->Canvas().FillRect({x, 0, x + 16, 16});
    x += 16;
  }
  return bitmap;
}

TColor PixelOf(TCustomImageList& AList, int AIndex, int AX, int AY) {
  TBitmap picture;
  AList.GetBitmap(AIndex, picture);
  return picture.Canvas().Pixel(AX, AY) & 0xFFFFFF;
}

class ImageListTest : public ::testing::Test {
protected:
  void SetUp() override { Baseline = TResourceLedger::Total(); }
  void TearDown() override {
    List.reset();
    EXPECT_EQ(TResourceLedger::Total(), Baseline) << "every handle went back";
  }
  std::unique_ptr<TImageList> List = std::make_unique<TImageList>(nullptr, 16, 16);
  size_t Baseline = 0;
};

TEST_F(ImageListTest, AddSplitsAWideImageIntoPicturesOfTheListsWidth) {
  auto image = Stripes({kRed, kBlue, kRed});
  EXPECT_EQ(List->Add(*image, nullptr), 0);
  EXPECT_EQ(List->Count(), 3);
  EXPECT_EQ(PixelOf(*List, 1, 8, 8), kBlue);
  EXPECT_EQ(PixelOf(*List, 2, 8, 8), kRed);
  EXPECT_EQ(List->Add(*Stripes({kBlue}), nullptr), 3);
}

TEST_F(ImageListTest, AddMaskedMakesTheColourSeeThroughAndLeavesTheSourceAlone) {
  auto image = Stripes({kMagenta});
  image->Canvas().Brush().SetColor(kBlue);
  image->Canvas().FillRect({0, 0, 8, 16});
  List->AddMasked(*image, kMagenta);
  EXPECT_EQ(image->Canvas().Pixel(12, 8) & 0xFFFFFF, kMagenta) << "the caller's bitmap";
  TBitmap back(16, 16);
  back.Canvas().Brush().SetColor(kRed);
  back.Canvas().FillRect({0, 0, 16, 16});
  List->Draw(back.Canvas(), 0, 0, 0);
  EXPECT_EQ(back.Canvas().Pixel(4, 8) & 0xFFFFFF, kBlue);
  EXPECT_EQ(back.Canvas().Pixel(12, 8) & 0xFFFFFF, kRed) << "the background shows through";
}

TEST_F(ImageListTest, BadIndexRaisesForDeleteAndGetBitmapAndDrawsNothing) {
  List->Add(*Stripes({kRed}), nullptr);
  EXPECT_THROW(List->Delete(1), EImageListError);
  TBitmap picture;
  EXPECT_THROW(List->GetBitmap(-1, picture), EImageListError);
  TBitmap back(16, 16);
  back.Canvas().Brush().SetColor(kBlue);
  back.Canvas().FillRect({0, 0, 16, 16});
  List->Draw(back.Canvas(), 0, 0, 5);
  EXPECT_EQ(back.Canvas().Pixel(8, 8) & 0xFFFFFF, kBlue);
}

TEST_F(ImageListTest, NewSizeEmptiesTheListAndBadSizeRaises) {
  List->Add(*Stripes({kRed}), nullptr);
  int changes = 0;
  List->OnChange = [&](TCustomImageList*) { ++changes; };
  List->SetSize(24, 24);
  EXPECT_EQ(List->Count(), 0);
  EXPECT_EQ(changes, 1);
  EXPECT_THROW(List->SetWidth(0), EImageListError);
  EXPECT_EQ(List->Width(), 24);
}

TEST_F(ImageListTest, ChangesReachTheLinksUntilTheyGo) {
  int calls = 0;
  TChangeLink link;
  link.OnChange = [&](TChangeLink* ALink) {
    EXPECT_EQ(ALink->Source(), List.get());
    ++calls;
  };
  List->RegisterChanges(&link);
  List->Add(*Stripes({kRed, kBlue}), nullptr);
  List->Delete(0);
  List->Clear();
  List->Clear();
  EXPECT_EQ(calls, 3) << "clearing an empty list changes nothing";
  {
    TChangeLink shortLived;
    List->RegisterChanges(&shortLived);
  }
  EXPECT_EQ(List->LinkCount(), 1) << "a freed link unregisters itself";
}

TEST_F(ImageListTest, StoredDataIsTheSystemStreamAndReadsBackTheSamePictures) {
  auto image = Stripes({kRed, kBlue});
  List->SetSize(16, 16);
  List->Add(*image, nullptr);
  TMemoryStream stream;
  List->WriteData(stream);
  ASSERT_GE(stream.GetSize(), 2);
  EXPECT_EQ(std::memcmp(stream.Memory(), "IL", 2), 0);
  TImageList copy(nullptr, 32, 32);
  copy.Add(*Stripes({kBlue, kBlue}), nullptr);
  stream.SetPosition(0);
  copy.ReadData(stream);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize()) << "the stream is read to the list's end";
  EXPECT_EQ(copy.Width(), 16);
  EXPECT_EQ(copy.Height(), 16);
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_EQ(PixelOf(copy, 0, 8, 8), kRed);
  EXPECT_EQ(PixelOf(copy, 1, 8, 8), kBlue);
}

TEST_F(ImageListTest, ReadingGarbageRaisesAndKeepsThePictures) {
  List->Add(*Stripes({kRed}), nullptr);
  TMemoryStream stream;
  stream.Write("not an image list", 17);
  stream.SetPosition(0);
  EXPECT_THROW(List->ReadData(stream), EReadError);
  EXPECT_EQ(List->Count(), 1);
}

// A head that claims what no list of ours holds is refused before the
// system takes room for it (the system reads such a head past its data).
TEST_F(ImageListTest, HeadsNoListCouldHaveRaiseBeforeTheSystemReadsThem) {
  auto image = Stripes({kRed, kBlue});
  List->SetSize(16, 16);
  List->Add(*image, nullptr);
  TMemoryStream stored;
  List->WriteData(stored);
  const auto* bytes = static_cast<const uint8_t*>(stored.Memory());
  const std::vector<uint8_t> good(bytes, bytes + stored.GetSize());
  // Offsets in the head: count 4, room 6, width 10, height 12.
  const struct {
    const char* Name;
    std::vector<std::pair<size_t, uint16_t>> Patches;
  } cases[] = {
      {"huge pictures", {{6, 0x7FFF}, {10, 0x7FFF}, {12, 0x7FFF}}},
      {"more pictures than room", {{4, 0x7FFF}}},
      {"zero height", {{12, 0}}},
      {"no IL", {{0, 0x4D42}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<uint8_t> data = good;
    for (const auto& [offset, value] : c.Patches)
      std::memcpy(data.data() + offset, &value, 2);
    TMemoryStreamReadOnly stream(data.data(), data.size());
    EXPECT_THROW(List->ReadData(stream), EReadError);
    EXPECT_EQ(List->Count(), 2);
    EXPECT_EQ(List->Width(), 16);
  }
  // Cut short anywhere, it is a read error too.
  TMemoryStreamReadOnly head(good.data(), 20);
  EXPECT_THROW(List->ReadData(head), EReadError);
}

} // namespace
