#pragma once

#include "graphics.h"
#include "streams.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// Control artwork: 32-bit images with per-pixel alpha, kept as
// zlib-compressed resources. The inflated content is a 4-byte count N, a
// BITMAPINFOHEADER and W x H pixels (blue, green, red, alpha; rows
// bottom-up). Stored colour is straight; in memory it is premultiplied.

// One decoded image: a bottom-up 32-bit DIB section with premultiplied
// pixels, entered in the resource ledger.
struct TAlphaPixels {
  HBITMAP Handle = nullptr;
  uint8_t* Bits = nullptr;
  unsigned Width = 0;
  unsigned Height = 0;
};

// A new bottom-up 32-bit DIB section, every pixel opaque black. Raises
// EOutOfResources with the system's text (or "Out of system resources").
TAlphaPixels NewAlphaSection(unsigned AWidth, unsigned AHeight);
void FreeAlphaSection(TAlphaPixels& APixels);

// Reads inflated alpha-image content (N, header, pixels) from AStream into a
// new section, premultiplying the colour. Everything the header claims is
// checked against N before a pixel is touched; malformed content raises
// EReadError.
TAlphaPixels ReadAlphaContent(TStream& AStream);

// The light holder controls use for their artwork.
class TAlphaImage {
public:
  TAlphaImage() = default;
  explicit TAlphaImage(const std::wstring& AResName);
  TAlphaImage(const TAlphaImage&) = delete;
  TAlphaImage& operator=(const TAlphaImage&) = delete;
  // Virtual: the control manager's prepared images leave its list when freed.
  virtual ~TAlphaImage();

  HBITMAP Handle() const { return FHandle; }
  unsigned Width() const { return FWidth; }
  unsigned Height() const { return FHeight; }
  const std::wstring& ResName() const { return FResName; }
  // Premultiplied pixels, rows bottom-up.
  uint8_t* Bits() const { return FBits; }

  // RT_RCDATA resource of the program's module.
  void LoadFromResource(const std::wstring& AName);
  void LoadFromFile(const std::wstring& AFileName);
  // The zlib stream at AStream's position.
  void LoadFromStream(TStream& AStream);
  // Pixels whose colour is exactly ASource get ADest's colour; alpha stays.
  void ReplaceColor(TColor ASource, TColor ADest);

private:
  void Clear();
  uint8_t* FBits = nullptr;
  HBITMAP FHandle = nullptr;
  unsigned FHeight = 0;
  unsigned FWidth = 0;
  std::wstring FResName;
};

// The shared image of alpha bitmaps; freeing it deletes the section.
class TAlphaBitmapImage {
public:
  TAlphaBitmapImage() = default;
  explicit TAlphaBitmapImage(const TAlphaPixels& APixels);
  TAlphaBitmapImage(const TAlphaBitmapImage&) = delete;
  TAlphaBitmapImage& operator=(const TAlphaBitmapImage&) = delete;
  ~TAlphaBitmapImage();

  uint8_t* FBits = nullptr;
  HBITMAP FHandle = nullptr;
  unsigned FHeight = 0;
  unsigned FWidth = 0;
  bool FMonochrome = false;
};

class TAlphaBitmap;

// The canvas of an alpha bitmap: a memory context with its section selected.
class TAlphaBitmapCanvas : public TCanvas {
public:
  explicit TAlphaBitmapCanvas(TAlphaBitmap* ABitmap) : FBitmap(ABitmap) {}
  ~TAlphaBitmapCanvas() override;
  std::wstring ClassName() const override { return L"TAlphaBitmapCanvas"; }
  void FreeContext();

protected:
  void CreateHandle() override;

private:
  TAlphaBitmap* FBitmap;
  HGDIOBJ FOldBitmap = nullptr;
};

// The graphic class of alpha images (file extension "img").
class TAlphaBitmap : public TGraphic {
public:
  TAlphaBitmap();
  ~TAlphaBitmap() override;
  static const wchar_t* StaticClassName() { return L"TAlphaBitmap"; }
  std::wstring ClassName() const override { return StaticClassName(); }
  TGraphicClass GraphicClass() const override { return GraphicClassOf<TAlphaBitmap>(); }
  void Assign(const TPersistent* ASource) override;

  bool Empty() const override;
  int Width() const override { return int(FImage->FWidth); }
  int Height() const override { return int(FImage->FHeight); }
  void SetWidth(int AValue) override;
  void SetHeight(int AValue) override;
  void SetTransparent(bool AValue) override;

  void Draw(TCanvas& ACanvas, const RECT& ARect) override;
  void LoadFromStream(TStream& AStream) override;
  void SaveToStream(TStream& AStream) override;
  void LoadFromClipboardFormat(UINT AFormat, HANDLE AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(UINT& AFormat, HANDLE& AData, HPALETTE& APalette) override;

  virtual void DrawRect(TCanvas& ACanvas, const RECT& ASource, const RECT& ADest);
  // Inflated alpha-image content: becomes the image, drawn with alpha.
  virtual void LoadAlphaData(TStream& AStream);

  TColor BackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor AValue) { FBackgroundColor = AValue; }
  TCanvas& Canvas();
  HBITMAP Handle();
  // Takes ownership of a 32-bit bottom-up DIB section.
  void SetHandle(HBITMAP AValue);
  bool HandleAllocated() const { return FImage->FHandle != nullptr; }
  bool Monochrome() const { return FImage->FMonochrome; }
  void SetMonochrome(bool AValue);
  bool IsAlpha() const { return FIsAlpha; }

  void BeginUpdate();
  void EndUpdate();
  void DrawBit(TCanvas& ACanvas, int ALeft, int ATop);
  void DrawStretch(TCanvas& ACanvas, const RECT& ARect);
  void LoadFromResource(const std::wstring& AName);

  // Premultiplied pixels, rows bottom-up (row 0 is the bottom row).
  uint8_t* Bits() const { return FImage->FBits; }

protected:
  void Changed() override;

private:
  friend class TAlphaBitmapCanvas;
  void TakePixels(const TAlphaPixels& APixels, bool AIsAlpha);
  // Copies the pixels into a section of our own when the image is shared.
  void Unshare();
  void Resize(int AWidth, int AHeight);

  std::shared_ptr<TAlphaBitmapImage> FImage;
  std::unique_ptr<TAlphaBitmapCanvas> FCanvas;
  bool FIsAlpha = true;
  int FUpdateCount = 0;
  TColor FBackgroundColor = TColor(0xFF00FF);
};

// A bitmap whose stored form ("Data") is the bitmap's data deflated.
class TCompressedBitmap : public TBitmap {
public:
  static const wchar_t* StaticClassName() { return L"TCompressedBitmap"; }
  std::wstring ClassName() const override { return StaticClassName(); }
  TGraphicClass GraphicClass() const override { return GraphicClassOf<TCompressedBitmap>(); }
  // Plain (uncompressed) bitmap data is read as well.
  void ReadData(TStream& AStream) override;
  void WriteData(TStream& AStream) override;
};

// The picture file formats of the drawing layer, registered when the
// plug-in loads and withdrawn when it unloads.
void RegisterXPPictureFormats();
void UnregisterXPPictureFormats();
