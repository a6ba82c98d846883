#include "device-picture.h"

#include "exceptions.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A 24-bit picture held top-down, rows padded to 4 bytes as GDI keeps them.
struct TPixels24 {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Bytes;
  int Stride() const { return (Width * 3 + 3) & ~3; }
  uint8_t* At(int AX, int AY) { return Bytes.data() + std::size_t(AY) * Stride() + AX * 3; }
};

BITMAPINFO Info24(int AWidth, int AHeight) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = AWidth;
  info.bmiHeader.biHeight = -AHeight; // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

bool ReadPixels(HBITMAP ABitmap, TPixels24& APixels) {
  BITMAP bm{};
  if (!ABitmap || !::GetObjectW(ABitmap, sizeof(bm), &bm))
    return false;
  APixels.Width = bm.bmWidth;
  APixels.Height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  APixels.Bytes.assign(std::size_t(APixels.Stride()) * APixels.Height, 0);
  if (APixels.Width <= 0 || APixels.Height <= 0)
    return true;
  BITMAPINFO info = Info24(APixels.Width, APixels.Height);
  HDC dc = GetDC(nullptr);
  const int rows =
      GetDIBits(dc, ABitmap, 0, UINT(APixels.Height), APixels.Bytes.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return rows == APixels.Height;
}

HBITMAP MakeBitmap(const TPixels24& APixels) {
  BITMAPINFO info = Info24(APixels.Width, APixels.Height);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits)
    std::memcpy(bits, APixels.Bytes.data(), APixels.Bytes.size());
  return bitmap;
}

// Replaces ABitmap by its 24-bit copy.
bool SwitchTo24Bit(HBITMAP& ABitmap, TPixels24& APixels) {
  if (!ReadPixels(ABitmap, APixels))
    return false;
  HBITMAP copy = MakeBitmap(APixels);
  if (!copy)
    return false;
  DeleteObject(ABitmap);
  ABitmap = copy;
  return true;
}

bool FileExists(const std::wstring& APath) {
  const DWORD attributes = GetFileAttributesW(APath.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

HBITMAP LoadBitmapFile(const std::wstring& AFileName) {
  return static_cast<HBITMAP>(LoadImageW(nullptr, AFileName.c_str(), IMAGE_BITMAP, 0, 0,
                                         LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}

void CopyBitmapAt(HBITMAP& ASource, HBITMAP& ATarget, int AX, bool ASkipCorners, int AY) {
  BITMAP source{}, target{};
  if (!ASource || !ATarget || !::GetObjectW(ASource, sizeof(source), &source) ||
      !::GetObjectW(ATarget, sizeof(target), &target))
    return;
  if (source.bmWidth <= 0 || source.bmHeight == 0 || target.bmWidth <= 0 || target.bmHeight == 0)
    return;
  TPixels24 from, to;
  if (!SwitchTo24Bit(ASource, from) || !SwitchTo24Bit(ATarget, to))
    return;
  for (int row = 0; row < from.Height; ++row) {
    for (int column = 0; column < from.Width; ++column) {
      const bool corner =
          (row == 0 || row == from.Height - 1) && (column == 0 || column == from.Width - 1);
      if (ASkipCorners && corner)
        continue;
      const int x = AX + column, y = AY + row;
      // A device image larger than the picture is cut at its edges.
      if (x < 0 || y < 0 || x >= to.Width || y >= to.Height)
        continue;
      std::memcpy(to.At(x, y), from.At(column, row), 3);
    }
  }
  HBITMAP result = MakeBitmap(to);
  if (result) {
    DeleteObject(ATarget);
    ATarget = result;
  }
}

void CopyBitmapCentred(HBITMAP& ASource, HBITMAP& ATarget, bool ASkipCorners) {
  BITMAP source{}, target{};
  if (!ASource || !ATarget || !::GetObjectW(ASource, sizeof(source), &source) ||
      !::GetObjectW(ATarget, sizeof(target), &target))
    return;
  const int sourceHeight = source.bmHeight < 0 ? -source.bmHeight : source.bmHeight;
  const int targetHeight = target.bmHeight < 0 ? -target.bmHeight : target.bmHeight;
  CopyBitmapAt(ASource, ATarget, (target.bmWidth - source.bmWidth) / 2, ASkipCorners,
               (targetHeight - sourceHeight) / 2);
}

HBITMAP BuildDevicePicture(const std::wstring& ASystemFolder, const std::wstring& AImageFile) {
  const std::wstring genericFile = ASystemFolder + kGenericDevicePicture;
  if (!FileExists(genericFile))
    return nullptr;
  HBITMAP picture = LoadBitmapFile(genericFile);
  if (!picture)
    throw Exception(L"Bitmap image is not valid");
  if (FileExists(AImageFile)) {
    HBITMAP image = LoadBitmapFile(AImageFile);
    if (image) {
      CopyBitmapCentred(image, picture, true);
      DeleteObject(image);
    }
  }
  return picture;
}
