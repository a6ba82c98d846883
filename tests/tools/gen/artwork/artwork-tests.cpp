// The artwork linked into a module: every picture and cursor of the table is
// there under its name, of its kind, at its size and in its format, and the
// product's own readers take it.

#include "alpha-image.h"
#include "ledger-balance.h"
#include "application.h"
#include "graphics.h"
#include "resource-ledger.h"
#include "streams.h"
#include "xp-image-list.h"

#include "artwork-table.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

class Artwork : public TLedgerBalancedTest {};

bool Is(const TArtworkRow& ARow, const char* AKind) {
  return std::strcmp(ARow.Kind, AKind) == 0;
}

std::string Narrow(const wchar_t* AText) {
  std::string result;
  for (; *AText; ++AText)
    result += char(*AText);
  return result;
}

// The bytes of a resource of this module.
std::vector<uint8_t> ResourceBytes(const wchar_t* AName, const wchar_t* AType) {
  TResourceStream stream(ModuleInstance(), AName, AType);
  return stream.ReadRest();
}

// A bitmap resource as the system loads it, with its section's description.
struct TLoadedBitmap {
  explicit TLoadedBitmap(const wchar_t* AName)
      : Handle(static_cast<HBITMAP>(
            LoadImageW(ModuleInstance(), AName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))) {
    if (Handle)
      GetObjectW(Handle, sizeof Section, &Section);
  }
  ~TLoadedBitmap() {
    if (Handle)
      DeleteObject(Handle);
  }
  // Red, green, blue of pixel (AX, AY) counted from the top.
  COLORREF Pixel(int AX, int AY) const {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, Handle);
    const COLORREF color = GetPixel(dc, AX, AY);
    SelectObject(dc, old);
    DeleteDC(dc);
    return color;
  }
  HBITMAP Handle;
  DIBSECTION Section{};
};

TEST_F(Artwork, EveryAlphaImageDecodesThroughTheReaderAtItsSize) {
  for (const TArtworkRow& row : kArtworkRows) {
    if (!Is(row, "alpha"))
      continue;
    SCOPED_TRACE(Narrow(row.Name));
    const auto bytes = ResourceBytes(row.Name, RT_RCDATA);
    ASSERT_GE(bytes.size(), 2u);
    // The picture classes tell an alpha image from a bitmap by these two.
    EXPECT_EQ(bytes[0], 0x78);
    EXPECT_EQ(bytes[1], 0xDA);
    TAlphaImage image(row.Name);
    EXPECT_EQ(image.Width(), row.Width);
    EXPECT_EQ(image.Height(), row.Height);
    EXPECT_EQ(image.ResName(), row.Name);
    TAlphaBitmap bitmap;
    bitmap.LoadFromResource(row.Name);
    EXPECT_TRUE(bitmap.IsAlpha());
    EXPECT_EQ(unsigned(bitmap.Width()), row.Width);
    EXPECT_EQ(unsigned(bitmap.Height()), row.Height);
  }
}

TEST_F(Artwork, EveryBitmapLoadsAtItsSizeAndDepth) {
  for (const TArtworkRow& row : kArtworkRows) {
    if (!Is(row, "bitmap"))
      continue;
    SCOPED_TRACE(Narrow(row.Name));
    TLoadedBitmap loaded(row.Name);
    ASSERT_NE(loaded.Handle, nullptr);
    EXPECT_EQ(unsigned(loaded.Section.dsBm.bmWidth), row.Width);
    EXPECT_EQ(unsigned(loaded.Section.dsBm.bmHeight), row.Height);
    const int bits = std::strcmp(row.Format, "bmp4") == 0 ? 4 : 24;
    EXPECT_EQ(loaded.Section.dsBmih.biBitCount, bits);
    // The framework's own reader takes the same resource.
    TBitmap framework;
    framework.LoadFromResourceName(ModuleInstance(), row.Name);
    EXPECT_EQ(unsigned(framework.Width()), row.Width);
    EXPECT_EQ(unsigned(framework.Height()), row.Height);
    framework.Dormant();
  }
}

TEST_F(Artwork, EveryCursorLoadsWithItsHotSpot) {
  for (const TArtworkRow& row : kArtworkRows) {
    if (!Is(row, "cursor"))
      continue;
    SCOPED_TRACE(Narrow(row.Name));
    HCURSOR cursor = LoadCursorW(ModuleInstance(), row.Name);
    ASSERT_NE(cursor, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, row.HotX);
    EXPECT_EQ(info.yHotspot, row.HotY);
    // A monochrome cursor keeps both masks in one bitmap of twice the height.
    BITMAP mask{};
    GetObjectW(info.hbmMask, sizeof mask, &mask);
    EXPECT_EQ(unsigned(mask.bmWidth), row.Width);
    EXPECT_EQ(unsigned(mask.bmHeight), row.Height * 2);
    EXPECT_EQ(info.hbmColor, nullptr);
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
      DeleteObject(info.hbmColor);
  }
}

// An image list's stored form, read by the list that stores it that way;
// the see-through parts come out of the mask.
TEST_F(Artwork, ImageListStreamsReadThroughTheXPImageList) {
  for (const TArtworkRow& row : kArtworkRows) {
    if (!Is(row, "imagelist"))
      continue;
    SCOPED_TRACE(Narrow(row.Name));
    TResourceStream stream(ModuleInstance(), row.Name, RT_RCDATA);
    TXPImageList list(nullptr);
    list.ReadData(stream);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
    EXPECT_EQ(unsigned(list.Width()), row.CellWidth);
    EXPECT_EQ(unsigned(list.Height()), row.CellHeight);
    ASSERT_EQ(unsigned(list.Count()), row.Width / row.CellWidth);
    for (int i = 0; i < list.Count(); ++i) {
      TBitmap picture;
      list.GetBitmap(i, picture);
      EXPECT_EQ(picture.Canvas().Pixel(0, 0), clBlack) << "image " << i;
      EXPECT_NE(picture.Canvas().Pixel(list.Width() / 2, list.Height() / 2), clBlack)
          << "image " << i;
      picture.Dormant();
    }
  }
}

// Lamps: see-through around the lens, the second cell the lit one.
TEST_F(Artwork, LampCellsAreOffThenLitOverASeeThroughGround) {
  for (const TArtworkRow& row : kArtworkRows) {
    const std::wstring name = row.Name;
    if (!Is(row, "alpha") || name.rfind(L"INSTRUMENT_CHECK_", 0) != 0)
      continue;
    SCOPED_TRACE(Narrow(row.Name));
    TAlphaImage image(row.Name);
    ASSERT_EQ(image.Width(), 24u);
    const uint8_t* bits = image.Bits();
    const auto at = [&](unsigned AX, unsigned AYFromTop) {
      return bits + (size_t(image.Height() - 1 - AYFromTop) * image.Width() + AX) * 4;
    };
    for (unsigned corner : {0u, 11u, 12u, 23u}) {
      EXPECT_EQ(at(corner, 0)[3], 0) << corner;
      EXPECT_EQ(at(corner, 11)[3], 0) << corner;
    }
    const auto brightness = [&](unsigned AX) {
      const uint8_t* p = at(AX, 7);
      return int(p[0]) + p[1] + p[2];
    };
    EXPECT_GT(brightness(18), brightness(6) + 150);
  }
}

// Pictures whose pixels are given exactly, row by row from the top ('#'
// is the glyph colour, '.' the ground).
struct TExactCase {
  const wchar_t* Name;
  COLORREF Ink;
  COLORREF Ground;
  std::vector<const char*> Rows;
};

TEST_F(Artwork, PicturesDrawnPixelByPixelMatchTheirPattern) {
  constexpr COLORREF black = RGB(0, 0, 0), white = RGB(255, 255, 255);
  const std::vector<const char*> arrow = {"#....", "##...", "###..", "####.", "#####",
                                          "####.", "###..", "##...", "#...."};
  const std::vector<const char*> edit = {"#####", "..#..", "..#..", "..#..", "..#..",
                                         "..#..", "..#..", "..#..", "#####"};
  const std::vector<const char*> multiDot = {".....", ".....", "..#..", ".###.", ".###.",
                                             ".###.", "..#..", ".....", "....."};
  const TExactCase cases[] = {
      {L"GXGRID_ARROW", black, white, arrow},       {L"KX_ARROWBITMAP", black, white, arrow},
      {L"GXGRID_EDIT", black, white, edit},         {L"KX_EDITBITMAP", black, white, edit},
      {L"GXGRID_MULTIDOT", black, white, multiDot}, {L"KX_MULTIDOTBITMAP", black, white, multiDot},
  };
  for (const TExactCase& c : cases) {
    SCOPED_TRACE(Narrow(c.Name));
    TLoadedBitmap loaded(c.Name);
    ASSERT_NE(loaded.Handle, nullptr);
    for (size_t y = 0; y < c.Rows.size(); ++y)
      for (size_t x = 0; c.Rows[y][x]; ++x)
        EXPECT_EQ(loaded.Pixel(int(x), int(y)), c.Rows[y][x] == '#' ? c.Ink : c.Ground)
            << "at " << x << ", " << y;
  }
}

// The expand buttons: a dark right column and bottom row, and the sign in
// the same colour; the plus adds the upright stroke.
TEST_F(Artwork, ExpandButtonsCarryTheirSign) {
  constexpr COLORREF dark = RGB(48, 72, 96);
  struct TCase {
    const wchar_t* Name;
    bool Plus;
  };
  for (const TCase& c : {TCase{L"GXEXPANDBUTTON_MINUS", false}, {L"GXEXPANDBUTTON_PLUS", true}}) {
    SCOPED_TRACE(Narrow(c.Name));
    TLoadedBitmap loaded(c.Name);
    ASSERT_NE(loaded.Handle, nullptr);
    for (int i = 0; i < 11; ++i) {
      EXPECT_EQ(loaded.Pixel(10, i), dark);
      EXPECT_EQ(loaded.Pixel(i, 10), dark);
    }
    EXPECT_EQ(loaded.Pixel(0, 0), RGB(160, 176, 192));
    EXPECT_EQ(loaded.Pixel(1, 1), RGB(255, 255, 255));
    for (int i = 3; i <= 7; ++i) {
      EXPECT_EQ(loaded.Pixel(i, 5), dark);
      EXPECT_EQ(loaded.Pixel(5, i) == dark, c.Plus || i == 5) << i;
    }
    EXPECT_NE(loaded.Pixel(2, 5), dark);
    EXPECT_NE(loaded.Pixel(8, 5), dark);
  }
}

// Bitmaps drawn see-through take their bottom-left pixel as the see-through
// colour: it must be the ground, and the picture must not be all ground.
TEST_F(Artwork, KeyedBitmapsKeepTheirGroundInTheBottomLeftPixel) {
  struct TCase {
    const wchar_t* Name;
    COLORREF Ground;
  };
  constexpr COLORREF magenta = RGB(255, 0, 255), teal = RGB(0, 128, 128);
  const TCase cases[] = {
      {L"INSTRUMENT_CHECK_BUTTON", magenta},
      {L"INSTRUMENT_CHECK_RECT_AMBER", magenta},
      {L"INSTRUMENT_CHECK_RECT_BLUE", magenta},
      {L"INSTRUMENT_CHECK_RECT_GREEN", magenta},
      {L"INSTRUMENT_CHECK_RECT_PURPLE", magenta},
      {L"INSTRUMENT_CHECK_RECT_RED", magenta},
      {L"INSTRUMENT_CHECK_RECT_YELLOW", magenta},
      {L"INSTRUMENT_MOUNTING_HOLE", magenta},
      {L"INSTRUMENT_HEADER1", RGB(255, 255, 255)},
      {L"INSTRUMENT_HEADER2", RGB(255, 255, 255)},
      {L"STDARROWS", magenta},
      {L"BBOK", teal},
      {L"BBALL", teal},
      {L"XPCOLLAPSESECTION", magenta},
      {L"XPEXPANDSECTIONS", magenta},
      {L"GXINPLACE_BLOB", RGB(128, 128, 0)},
      {L"GXTOOL_SAVE", magenta},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(Narrow(c.Name));
    TLoadedBitmap loaded(c.Name);
    ASSERT_NE(loaded.Handle, nullptr);
    const int width = loaded.Section.dsBm.bmWidth, height = loaded.Section.dsBm.bmHeight;
    EXPECT_EQ(loaded.Pixel(0, height - 1), c.Ground);
    int ground = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        ground += loaded.Pixel(x, y) == c.Ground;
    EXPECT_LT(ground, width * height * 9 / 10);
    EXPECT_GT(ground, 0);
  }
}

} // namespace
