#include "alpha-image.h"

#include "application.h"
#include "resource-ledger.h"
#include "rtl-exceptions.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kHeaderSize = sizeof(BITMAPINFOHEADER);
static_assert(kHeaderSize == 40);

[[noreturn]] void RaiseLastOSError() {
  const DWORD code = GetLastError();
  if (code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0x400, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length && text) {
      std::wstring message(text, length);
      LocalFree(text);
      while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
        message.pop_back();
      throw EOutOfResources(message);
    }
  }
  throw EOutOfResources(L"Out of system resources");
}

[[noreturn]] void RaiseBadContent() {
  throw EReadError(L"Invalid alpha image data");
}

BITMAPINFOHEADER SectionHeader(unsigned AWidth, unsigned AHeight) {
  BITMAPINFOHEADER header{};
  header.biSize = kHeaderSize;
  header.biWidth = LONG(AWidth);
  header.biHeight = LONG(AHeight);
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  header.biSizeImage = DWORD(AWidth) * 4 * DWORD(AHeight);
  return header;
}

// Straight colour back from premultiplied: the reader multiplies by alpha
// and divides by 255, truncating, so this rounds to land within 1.
uint8_t Unpremultiply(uint8_t AValue, uint8_t AAlpha) {
  if (AAlpha == 255)
    return AValue;
  if (AAlpha == 0)
    return 0;
  const unsigned value = (unsigned(AValue) * 255 + AAlpha / 2) / AAlpha;
  return uint8_t(std::min(255u, value));
}

class TScreenDC {
public:
  TScreenDC() : FDC(GetDC(nullptr)) {
    if (!FDC)
      RaiseLastOSError();
    LedgerTake(TResourceKind::DeviceContext, FDC);
  }
  ~TScreenDC() {
    LedgerGive(TResourceKind::DeviceContext, FDC);
    ReleaseDC(nullptr, FDC);
  }
  TScreenDC(const TScreenDC&) = delete;
  TScreenDC& operator=(const TScreenDC&) = delete;
  operator HDC() const { return FDC; }

private:
  HDC FDC;
};

void CopyPixels(const TAlphaPixels& ASource, TAlphaPixels& ADest) {
  if (ASource.Bits && ADest.Bits)
    std::memcpy(ADest.Bits, ASource.Bits, size_t(ASource.Width) * ASource.Height * 4);
}

} // namespace

TAlphaPixels NewAlphaSection(unsigned AWidth, unsigned AHeight) {
  TAlphaPixels result;
  // An image with one side still zero has no pixels but keeps the other
  // side, so that setting width and height one after the other sizes it.
  result.Width = AWidth;
  result.Height = AHeight;
  if (AWidth == 0 || AHeight == 0)
    return result;
  BITMAPINFO info{};
  info.bmiHeader = SectionHeader(AWidth, AHeight);
  void* bits = nullptr;
  HBITMAP section;
  {
    TScreenDC screen;
    SetLastError(0);
    section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  if (!section || !bits)
    RaiseLastOSError();
  LedgerTake(TResourceKind::GdiObject, section);
  result.Handle = section;
  result.Bits = static_cast<uint8_t*>(bits);
  result.Width = AWidth;
  result.Height = AHeight;
  uint32_t* pixel = reinterpret_cast<uint32_t*>(bits);
  std::fill(pixel, pixel + size_t(AWidth) * AHeight, 0xFF000000u);
  return result;
}

void FreeAlphaSection(TAlphaPixels& APixels) {
  if (APixels.Handle) {
    LedgerGive(TResourceKind::GdiObject, APixels.Handle);
    DeleteObject(APixels.Handle);
  }
  APixels = TAlphaPixels{};
}

TAlphaPixels ReadAlphaContent(TStream& AStream) {
  uint32_t count = 0;
  AStream.ReadValue(count);
  if (count < kHeaderSize)
    RaiseBadContent();
  BITMAPINFOHEADER header{};
  AStream.ReadBuffer(&header, kHeaderSize);
  // Every size the header claims must fit in the N bytes before the
  // section is made or a pixel read.
  if (header.biSize < kHeaderSize || header.biSize > count || header.biBitCount != 32 ||
      header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight <= 0)
    RaiseBadContent();
  const uint64_t pixelBytes = uint64_t(uint32_t(header.biWidth)) * uint32_t(header.biHeight) * 4;
  if (pixelBytes > uint64_t(count) - header.biSize)
    RaiseBadContent();
  // The rest of the header, then the pixels, which stand at the header's
  // own size.
  std::vector<uint8_t> skip(header.biSize - kHeaderSize);
  if (!skip.empty())
    AStream.ReadBuffer(skip.data(), skip.size());
  TAlphaPixels pixels = NewAlphaSection(unsigned(header.biWidth), unsigned(header.biHeight));
  try {
    AStream.ReadBuffer(pixels.Bits, size_t(pixelBytes));
    // Whatever N counts beyond the pixels is read past, in bounded pieces.
    uint64_t rest = uint64_t(count) - header.biSize - pixelBytes;
    uint8_t chunk[4096];
    while (rest) {
      const size_t piece = size_t(std::min<uint64_t>(rest, sizeof(chunk)));
      AStream.ReadBuffer(chunk, piece);
      rest -= piece;
    }
  } catch (...) {
    FreeAlphaSection(pixels);
    throw;
  }
  uint8_t* p = pixels.Bits;
  for (uint64_t i = 0; i < pixelBytes; i += 4, p += 4) {
    const unsigned alpha = p[3];
    p[0] = uint8_t(p[0] * alpha / 255);
    p[1] = uint8_t(p[1] * alpha / 255);
    p[2] = uint8_t(p[2] * alpha / 255);
  }
  return pixels;
}

// --- TAlphaImage ------------------------------------------------------------------

TAlphaImage::TAlphaImage(const std::wstring& AResName) {
  LoadFromResource(AResName);
}

TAlphaImage::~TAlphaImage() {
  Clear();
}

void TAlphaImage::Clear() {
  TAlphaPixels pixels{FHandle, FBits, FWidth, FHeight};
  FreeAlphaSection(pixels);
  FHandle = nullptr;
  FBits = nullptr;
  FWidth = FHeight = 0;
}

void TAlphaImage::LoadFromResource(const std::wstring& AName) {
  TResourceStream stream(ModuleInstance(), AName.c_str(), RT_RCDATA);
  FResName = AName;
  LoadFromStream(stream);
}

void TAlphaImage::LoadFromFile(const std::wstring& AFileName) {
  TFileStream stream(AFileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TAlphaImage::LoadFromStream(TStream& AStream) {
  Clear();
  TDecompressionStream inflated(AStream);
  const TAlphaPixels pixels = ReadAlphaContent(inflated);
  FHandle = pixels.Handle;
  FBits = pixels.Bits;
  FWidth = pixels.Width;
  FHeight = pixels.Height;
}

void TAlphaImage::ReplaceColor(TColor ASource, TColor ADest) {
  const uint32_t source = uint32_t(ColorToRGB(ASource));
  const uint32_t dest = uint32_t(ColorToRGB(ADest));
  uint8_t* p = FBits;
  for (size_t i = 0; p && i < size_t(FWidth) * FHeight; ++i, p += 4) {
    if (p[2] == (source & 0xFF) && p[1] == ((source >> 8) & 0xFF) &&
        p[0] == ((source >> 16) & 0xFF)) {
      p[2] = uint8_t(dest);
      p[1] = uint8_t(dest >> 8);
      p[0] = uint8_t(dest >> 16);
    }
  }
}

// --- TAlphaBitmapImage -------------------------------------------------------------

TAlphaBitmapImage::TAlphaBitmapImage(const TAlphaPixels& APixels)
    : FBits(APixels.Bits), FHandle(APixels.Handle), FHeight(APixels.Height), FWidth(APixels.Width) {
}

TAlphaBitmapImage::~TAlphaBitmapImage() {
  TAlphaPixels pixels{FHandle, FBits, FWidth, FHeight};
  FreeAlphaSection(pixels);
}

// --- TAlphaBitmapCanvas -------------------------------------------------------------

TAlphaBitmapCanvas::~TAlphaBitmapCanvas() {
  FreeContext();
}

void TAlphaBitmapCanvas::CreateHandle() {
  HDC dc;
  {
    TScreenDC screen;
    dc = CreateCompatibleDC(screen);
  }
  if (!dc)
    RaiseLastOSError();
  LedgerTake(TResourceKind::DeviceContext, dc);
  HBITMAP section = FBitmap->FImage->FHandle;
  FOldBitmap = section ? SelectObject(dc, section) : nullptr;
  SetHandle(dc);
}

void TAlphaBitmapCanvas::FreeContext() {
  if (!HandleAllocated())
    return;
  HDC dc = Handle();
  SetHandle(nullptr);
  if (FOldBitmap)
    SelectObject(dc, FOldBitmap);
  FOldBitmap = nullptr;
  LedgerGive(TResourceKind::DeviceContext, dc);
  DeleteDC(dc);
}

// --- TAlphaBitmap -------------------------------------------------------------------

TAlphaBitmap::TAlphaBitmap() : FImage(std::make_shared<TAlphaBitmapImage>()) {}

TAlphaBitmap::~TAlphaBitmap() {
  FCanvas.reset();
}

bool TAlphaBitmap::Empty() const {
  return !FImage->FHandle || FImage->FWidth == 0 || FImage->FHeight == 0;
}

void TAlphaBitmap::Changed() {
  if (FUpdateCount == 0)
    TGraphic::Changed();
}

void TAlphaBitmap::TakePixels(const TAlphaPixels& APixels, bool AIsAlpha) {
  if (FCanvas)
    FCanvas->FreeContext();
  FImage = std::make_shared<TAlphaBitmapImage>(APixels);
  FIsAlpha = AIsAlpha;
}

void TAlphaBitmap::Unshare() {
  if (FImage.use_count() <= 1 || !FImage->FHandle)
    return;
  TAlphaPixels copy = NewAlphaSection(FImage->FWidth, FImage->FHeight);
  CopyPixels(TAlphaPixels{FImage->FHandle, FImage->FBits, FImage->FWidth, FImage->FHeight}, copy);
  const bool monochrome = FImage->FMonochrome;
  TakePixels(copy, FIsAlpha);
  FImage->FMonochrome = monochrome;
}

TCanvas& TAlphaBitmap::Canvas() {
  if (!FCanvas)
    FCanvas = std::make_unique<TAlphaBitmapCanvas>(this);
  return *FCanvas;
}

HBITMAP TAlphaBitmap::Handle() {
  // Not selected anywhere, so the caller may select it itself.
  if (FCanvas)
    FCanvas->FreeContext();
  return FImage->FHandle;
}

void TAlphaBitmap::SetHandle(HBITMAP AValue) {
  TAlphaPixels pixels;
  if (AValue) {
    DIBSECTION dib{};
    if (GetObjectW(AValue, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 32 ||
        dib.dsBmih.biHeight <= 0)
      throw EInvalidGraphic(L"Invalid bitmap");
    LedgerTake(TResourceKind::GdiObject, AValue);
    pixels = TAlphaPixels{AValue, static_cast<uint8_t*>(dib.dsBm.bmBits),
                          unsigned(dib.dsBm.bmWidth), unsigned(dib.dsBm.bmHeight)};
  }
  TakePixels(pixels, FIsAlpha);
  Changed();
}

void TAlphaBitmap::Resize(int AWidth, int AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (unsigned(AWidth) == FImage->FWidth && unsigned(AHeight) == FImage->FHeight)
    return;
  TAlphaPixels fresh = NewAlphaSection(unsigned(AWidth), unsigned(AHeight));
  // Rows are bottom-up, so copying by row and column anchors the content
  // at the bottom-left corner.
  const unsigned rows = std::min(fresh.Height, FImage->FHeight);
  const unsigned columns = std::min(fresh.Width, FImage->FWidth);
  for (unsigned row = 0; FImage->FBits && row < rows; ++row)
    std::memcpy(fresh.Bits + size_t(row) * fresh.Width * 4,
                FImage->FBits + size_t(row) * FImage->FWidth * 4, size_t(columns) * 4);
  TakePixels(fresh, FIsAlpha);
  Changed();
}

void TAlphaBitmap::SetWidth(int AValue) {
  Resize(AValue, int(FImage->FHeight));
}

void TAlphaBitmap::SetHeight(int AValue) {
  Resize(int(FImage->FWidth), AValue);
}

void TAlphaBitmap::SetTransparent(bool AValue) {
  TGraphic::SetTransparent(AValue);
  if (FIsAlpha || Empty())
    return;
  Unshare();
  uint32_t* pixel = reinterpret_cast<uint32_t*>(FImage->FBits);
  const size_t count = size_t(FImage->FWidth) * FImage->FHeight;
  // The bottom-left pixel is the first of the bottom-up rows.
  const uint32_t key = pixel[0] & 0x00FFFFFF;
  for (size_t i = 0; i < count; ++i) {
    const bool clear = AValue && (pixel[i] & 0x00FFFFFF) == key;
    pixel[i] = (pixel[i] & 0x00FFFFFF) | (clear ? 0u : 0xFF000000u);
  }
}

void TAlphaBitmap::Assign(const TPersistent* ASource) {
  if (!ASource) {
    TakePixels(TAlphaPixels{}, true);
    Changed();
    return;
  }
  if (auto picture = dynamic_cast<const TPicture*>(ASource)) {
    Assign(picture->Graphic());
    return;
  }
  if (auto alpha = dynamic_cast<const TAlphaBitmap*>(ASource)) {
    if (alpha == this)
      return;
    TAlphaPixels copy = NewAlphaSection(alpha->FImage->FWidth, alpha->FImage->FHeight);
    CopyPixels(TAlphaPixels{alpha->FImage->FHandle, alpha->FImage->FBits, alpha->FImage->FWidth,
                            alpha->FImage->FHeight},
               copy);
    TakePixels(copy, alpha->FIsAlpha);
    FImage->FMonochrome = alpha->FImage->FMonochrome;
    Changed();
    return;
  }
  if (auto bitmap = dynamic_cast<const TBitmap*>(ASource)) {
    auto& source = const_cast<TBitmap&>(*bitmap);
    TAlphaPixels fresh = NewAlphaSection(unsigned(source.Width()), unsigned(source.Height()));
    TakePixels(fresh, false);
    if (!source.Empty())
      BitBlt(Canvas().Handle(), 0, 0, source.Width(), source.Height(), source.Canvas().Handle(), 0,
             0, SRCCOPY);
    if (FCanvas)
      FCanvas->FreeContext();
    SetTransparent(true);
    Changed();
    return;
  }
  if (auto png = dynamic_cast<const TPngImage*>(ASource)) {
    // The PNG's straight colour is premultiplied once, with rounding.
    TAlphaPixels fresh = NewAlphaSection(unsigned(png->Width()), unsigned(png->Height()));
    for (unsigned y = 0; y < fresh.Height; ++y)
      for (unsigned x = 0; x < fresh.Width; ++x) {
        const uint32_t argb = png->PixelARGB(int(x), int(fresh.Height - 1 - y));
        const int alpha = int(argb >> 24);
        uint8_t* p = fresh.Bits + (size_t(y) * fresh.Width + x) * 4;
        p[0] = uint8_t(MulDiv(int(argb & 0xFF), alpha, 255));
        p[1] = uint8_t(MulDiv(int((argb >> 8) & 0xFF), alpha, 255));
        p[2] = uint8_t(MulDiv(int((argb >> 16) & 0xFF), alpha, 255));
        p[3] = uint8_t(alpha);
      }
    TakePixels(fresh, true);
    SetTransparent(true);
    Changed();
    return;
  }
  if (auto graphic = dynamic_cast<const TGraphic*>(ASource)) {
    auto& source = const_cast<TGraphic&>(*graphic);
    TAlphaPixels fresh = NewAlphaSection(unsigned(source.Width()), unsigned(source.Height()));
    TakePixels(fresh, false);
    if (!Empty()) {
      TCanvas& canvas = Canvas();
      canvas.Brush().SetColor(FBackgroundColor);
      canvas.FillRect(RECT{0, 0, source.Width(), source.Height()});
      canvas.Draw(0, 0, &source);
      FCanvas->FreeContext();
    }
    SetTransparent(true);
    Changed();
    return;
  }
  TGraphic::Assign(ASource);
}

void TAlphaBitmap::DrawRect(TCanvas& ACanvas, const RECT& ASource, const RECT& ADest) {
  if (Empty())
    return;
  HDC dest = ACanvas.Handle();
  SetStretchBltMode(dest, HALFTONE);
  HDC source = Canvas().Handle();
  const int destWidth = ADest.right - ADest.left, destHeight = ADest.bottom - ADest.top;
  const int sourceWidth = ASource.right - ASource.left, sourceHeight = ASource.bottom - ASource.top;
  if (FIsAlpha) {
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dest, ADest.left, ADest.top, destWidth, destHeight, source, ASource.left,
               ASource.top, sourceWidth, sourceHeight, blend);
  } else {
    const uint8_t* p = FImage->FBits;
    const UINT key = RGB(p[2], p[1], p[0]);
    TransparentBlt(dest, ADest.left, ADest.top, destWidth, destHeight, source, ASource.left,
                   ASource.top, sourceWidth, sourceHeight, key);
  }
}

void TAlphaBitmap::Draw(TCanvas& ACanvas, const RECT& ARect) {
  DrawRect(ACanvas, RECT{0, 0, Width(), Height()}, ARect);
}

void TAlphaBitmap::DrawBit(TCanvas& ACanvas, int ALeft, int ATop) {
  DrawRect(ACanvas, RECT{0, 0, Width(), Height()},
           RECT{ALeft, ATop, ALeft + Width(), ATop + Height()});
}

void TAlphaBitmap::DrawStretch(TCanvas& ACanvas, const RECT& ARect) {
  Draw(ACanvas, ARect);
}

void TAlphaBitmap::LoadAlphaData(TStream& AStream) {
  const TAlphaPixels pixels = ReadAlphaContent(AStream);
  TakePixels(pixels, true);
  Changed();
}

void TAlphaBitmap::LoadFromStream(TStream& AStream) {
  uint8_t signature[2] = {};
  const int64_t start = AStream.GetPosition();
  AStream.ReadBuffer(signature, 2);
  AStream.SetPosition(start);
  if (signature[0] == 0x78 && signature[1] == 0xDA) {
    TDecompressionStream inflated(AStream);
    LoadAlphaData(inflated);
    return;
  }
  // An ordinary bitmap, as a file ("BM") or with a 4-byte length before it.
  if (signature[0] != 'B' || signature[1] != 'M')
    AStream.Seek(4, TSeekOrigin::Current);
  TBitmap bitmap;
  bitmap.LoadFromStream(AStream);
  Assign(&bitmap);
}

void TAlphaBitmap::SaveToStream(TStream& AStream) {
  const unsigned width = FImage->FWidth, height = FImage->FHeight;
  const BITMAPINFOHEADER header = SectionHeader(width, height);
  const uint32_t count = kHeaderSize + width * 4 * height;
  TCompressionStream deflated(AStream, TCompressionLevel::Max);
  deflated.WriteValue(count);
  deflated.WriteBuffer(&header, kHeaderSize);
  // Stored colour is straight, so that reading (which premultiplies) gives
  // back the pixels held now.
  std::vector<uint8_t> row(size_t(width) * 4);
  for (unsigned y = 0; y < height; ++y) {
    const uint8_t* p = FImage->FBits + size_t(y) * width * 4;
    for (unsigned x = 0; x < width; ++x) {
      const uint8_t alpha = p[x * 4 + 3];
      for (int c = 0; c < 3; ++c)
        row[x * 4 + c] = Unpremultiply(p[x * 4 + c], alpha);
      row[x * 4 + 3] = alpha;
    }
    deflated.WriteBuffer(row.data(), row.size());
  }
  deflated.Finish();
}

void TAlphaBitmap::LoadFromClipboardFormat(UINT, HANDLE, HPALETTE) {
  throw EInvalidGraphicOperation(L"Clipboard does not support alpha images");
}

void TAlphaBitmap::SaveToClipboardFormat(UINT&, HANDLE&, HPALETTE&) {
  throw EInvalidGraphicOperation(L"Clipboard does not support alpha images");
}

void TAlphaBitmap::SetMonochrome(bool AValue) {
  if (!AValue) {
    FImage->FMonochrome = false;
    return;
  }
  Unshare();
  uint8_t* p = FImage->FBits;
  for (size_t i = 0; p && i < size_t(FImage->FWidth) * FImage->FHeight; ++i, p += 4) {
    if (p[3] == 0)
      continue;
    const int grey = std::min(255, (77 * p[2] + 151 * p[1] + 28 * p[0]) >> 8);
    // A grey has no hue or saturation; only its luminance is lifted halfway to white.
    const int light = 255 - (255 - grey) / 2;
    p[0] = p[1] = p[2] = uint8_t(light);
  }
  FImage->FMonochrome = true;
  Changed();
}

void TAlphaBitmap::BeginUpdate() {
  if (FUpdateCount == 0)
    Unshare();
  ++FUpdateCount;
}

void TAlphaBitmap::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0)
    Changed();
}

void TAlphaBitmap::LoadFromResource(const std::wstring& AName) {
  TResourceStream stream(ModuleInstance(), AName.c_str(), RT_RCDATA);
  LoadFromStream(stream);
}

// --- TCompressedBitmap ----------------------------------------------------------------

void TCompressedBitmap::ReadData(TStream& AStream) {
  const int64_t start = AStream.GetPosition();
  try {
    TMemoryStream plain;
    ZDecompressStream(AStream, plain);
    plain.SetPosition(0);
    TBitmap::ReadData(plain);
    return;
  } catch (const EDecompressionError&) {
  }
  AStream.SetPosition(start);
  TBitmap::ReadData(AStream);
}

void TCompressedBitmap::WriteData(TStream& AStream) {
  TMemoryStream plain;
  TBitmap::WriteData(plain);
  plain.SetPosition(0);
  ZCompressStream(plain, AStream, TCompressionLevel::Max);
}

// --- picture formats --------------------------------------------------------------------

void RegisterXPPictureFormats() {
  TPicture::UnregisterGraphicClass(GraphicClassOf<TBitmap>());
  TPicture::RegisterFileFormat(L"bmp", L"Bitmaps", GraphicClassOf<TCompressedBitmap>());
  TPicture::RegisterFileFormat(L"bmpx", L"Bitmaps", GraphicClassOf<TBitmap>());
  TPicture::RegisterFileFormat(L"img", L"Compressed bitmaps with alpha channel",
                               GraphicClassOf<TAlphaBitmap>());
  TPicture::RegisterFileFormat(L"png", L"Portable Network Graphics", GraphicClassOf<TPngImage>());
}

void UnregisterXPPictureFormats() {
  TPicture::UnregisterGraphicClass(GraphicClassOf<TAlphaBitmap>());
  TPicture::UnregisterGraphicClass(GraphicClassOf<TCompressedBitmap>());
  TPicture::RegisterFileFormat(L"bmp", L"Bitmaps", GraphicClassOf<TBitmap>());
}
