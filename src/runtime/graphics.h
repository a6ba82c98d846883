#pragma once

#include "persistent.h"
#include "streams.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// --- colours -------------------------------------------------------------------

// A colour: 0x00BBGGRR, or a system colour (0xFF000000 | COLOR_xxx index),
// or one of the markers clNone and clDefault.
using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor SystemColor(int AIndex) {
  return TColor(0xFF000000u | unsigned(AIndex));
}
constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clBackground = SystemColor(COLOR_BACKGROUND);
constexpr TColor clActiveCaption = SystemColor(COLOR_ACTIVECAPTION);
constexpr TColor clInactiveCaption = SystemColor(COLOR_INACTIVECAPTION);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clWindowFrame = SystemColor(COLOR_WINDOWFRAME);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clActiveBorder = SystemColor(COLOR_ACTIVEBORDER);
constexpr TColor clInactiveBorder = SystemColor(COLOR_INACTIVEBORDER);
constexpr TColor clAppWorkSpace = SystemColor(COLOR_APPWORKSPACE);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor cl3DDkShadow = SystemColor(COLOR_3DDKSHADOW);
constexpr TColor cl3DLight = SystemColor(COLOR_3DLIGHT);
constexpr TColor clInfoText = SystemColor(COLOR_INFOTEXT);
constexpr TColor clInfoBk = SystemColor(COLOR_INFOBK);
constexpr TColor clHotLight = SystemColor(COLOR_HOTLIGHT);
constexpr TColor clGradientActiveCaption = SystemColor(COLOR_GRADIENTACTIVECAPTION);
constexpr TColor clGradientInactiveCaption = SystemColor(COLOR_GRADIENTINACTIVECAPTION);
constexpr TColor clMenuHighlight = SystemColor(COLOR_MENUHILIGHT);
constexpr TColor clMenuBar = SystemColor(COLOR_MENUBAR);

// The RGB value of a colour: system colours through GetSysColor, every other
// value unchanged.
TColor ColorToRGB(TColor AColor);
// The colour as GDI takes it (0x00BBGGRR, no flag bits).
COLORREF ColorToColorRef(TColor AColor);

// --- graphics objects ------------------------------------------------------------

class TGraphicsObject;
using TNotifyGraphicsEvent = std::function<void(TGraphicsObject*)>;

// A font, pen or brush. Its GDI handle is made on first request and made
// again after a change; `OnChange` fires after every change (a canvas uses it
// to select the new handle before it draws again).
class TGraphicsObject : public TPersistent {
public:
  TGraphicsObject() = default;
  TGraphicsObject(const TGraphicsObject&) = delete;
  TGraphicsObject& operator=(const TGraphicsObject&) = delete;
  ~TGraphicsObject() override;
  std::wstring ClassName() const override { return L"TGraphicsObject"; }

  TNotifyGraphicsEvent OnChange;
  bool HandleAllocated() const { return FHandle != nullptr; }

protected:
  virtual HGDIOBJ CreateHandle() = 0;
  HGDIOBJ GetObjectHandle();
  // Drops the current handle (deleted when owned) and fires OnChange.
  void Changed();
  // Takes AHandle as the object's handle; the object deletes it when owned.
  void SetObjectHandle(HGDIOBJ AHandle, bool AOwned);
  void FreeHandle();

private:
  HGDIOBJ FHandle = nullptr;
  bool FOwned = true;
};

enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;
enum class TFontPitch { Default, Variable, Fixed };
enum class TFontQuality { Default, Draft, Proof, NonAntialiased, Antialiased, ClearType };

class TFont : public TGraphicsObject {
public:
  TFont();
  std::wstring ClassName() const override { return L"TFont"; }
  void Assign(const TPersistent* ASource) override;

  HFONT Handle() { return static_cast<HFONT>(GetObjectHandle()); }
  // Takes the logical font of AHandle (the handle itself is not kept).
  void SetHandle(HFONT AHandle);

  const std::wstring& Name() const { return FName; }
  void SetName(const std::wstring& AValue);
  // Size in points; Height in pixels (negative: character height).
  int Size() const;
  void SetSize(int AValue);
  int Height() const { return FHeight; }
  void SetHeight(int AValue);
  TColor Color() const { return FColor; }
  void SetColor(TColor AValue);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles AValue);
  BYTE Charset() const { return FCharset; }
  void SetCharset(BYTE AValue);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch AValue);
  TFontQuality Quality() const { return FQuality; }
  void SetQuality(TFontQuality AValue);
  // Escapement in tenths of a degree.
  int Orientation() const { return FOrientation; }
  void SetOrientation(int AValue);
  int PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int AValue) { FPixelsPerInch = AValue; }

protected:
  HGDIOBJ CreateHandle() override;

private:
  std::wstring FName = L"Tahoma";
  int FHeight = -11;
  TColor FColor = clWindowText;
  TFontStyles FStyle = 0;
  BYTE FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = TFontPitch::Default;
  TFontQuality FQuality = TFontQuality::Default;
  int FOrientation = 0;
  int FPixelsPerInch = 96;
};

enum class TPenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Clear, InsideFrame };

class TPen : public TGraphicsObject {
public:
  std::wstring ClassName() const override { return L"TPen"; }
  void Assign(const TPersistent* ASource) override;
  HPEN Handle() { return static_cast<HPEN>(GetObjectHandle()); }

  TColor Color() const { return FColor; }
  void SetColor(TColor AValue);
  int Width() const { return FWidth; }
  void SetWidth(int AValue);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle AValue);
  // The raster operation of lines (R2_COPYPEN, R2_XORPEN, R2_NOT, ...).
  int Mode() const { return FMode; }
  void SetMode(int AValue);

protected:
  HGDIOBJ CreateHandle() override;

private:
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = TPenStyle::Solid;
  int FMode = R2_COPYPEN;
};

enum class TBrushStyle {
  Solid,
  Clear,
  Horizontal,
  Vertical,
  FDiagonal,
  BDiagonal,
  Cross,
  DiagCross
};

class TBitmap;

class TBrush : public TGraphicsObject {
public:
  std::wstring ClassName() const override { return L"TBrush"; }
  void Assign(const TPersistent* ASource) override;
  HBRUSH Handle() { return static_cast<HBRUSH>(GetObjectHandle()); }
  // Takes a brush made elsewhere (a system colour brush, a shared pattern);
  // the brush does not delete it.
  void SetHandle(HBRUSH AHandle);

  TColor Color() const { return FColor; }
  void SetColor(TColor AValue);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle AValue);
  // A pattern brush from the bitmap (not owned; it must live while the
  // brush uses it). nullptr goes back to a colour brush.
  TBitmap* Bitmap() const { return FBitmap; }
  void SetBitmap(TBitmap* AValue);

protected:
  HGDIOBJ CreateHandle() override;

private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = TBrushStyle::Solid;
  TBitmap* FBitmap = nullptr;
};

// --- canvas --------------------------------------------------------------------------

class TGraphic;

// Drawing on a device context with a font, a pen and a brush. The canvas
// selects its objects into the context when a drawing operation needs them
// and deselects them before the context goes (`SetHandle`, destruction), so
// the objects can be freed at any time.
class TCanvas : public TPersistent {
public:
  TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  ~TCanvas() override;
  std::wstring ClassName() const override { return L"TCanvas"; }

  // The context; a canvas without one asks CreateHandle, whose default
  // raises EInvalidGraphicOperation.
  HDC Handle();
  void SetHandle(HDC AValue);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TFont& Font() { return *FFont; }
  TPen& Pen() { return *FPen; }
  TBrush& Brush() { return *FBrush; }
  void SetFont(const TFont& AFont) { FFont->Assign(&AFont); }
  void SetPen(const TPen& APen) { FPen->Assign(&APen); }
  void SetBrush(const TBrush& ABrush) { FBrush->Assign(&ABrush); }
  // The raster operation of CopyRect and of drawing bitmaps (SRCCOPY by default).
  DWORD CopyMode() const { return FCopyMode; }
  void SetCopyMode(DWORD AValue) { FCopyMode = AValue; }
  POINT PenPos();
  void SetPenPos(POINT AValue) { MoveTo(AValue.x, AValue.y); }

  void MoveTo(int AX, int AY);
  void LineTo(int AX, int AY);
  void Polyline(const std::vector<POINT>& APoints);
  void Polygon(const std::vector<POINT>& APoints);
  void Rectangle(int AX1, int AY1, int AX2, int AY2);
  void Rectangle(const RECT& ARect) { Rectangle(ARect.left, ARect.top, ARect.right, ARect.bottom); }
  void Ellipse(int AX1, int AY1, int AX2, int AY2);
  void RoundRect(int AX1, int AY1, int AX2, int AY2, int AX3, int AY3);
  void FillRect(const RECT& ARect);
  void FrameRect(const RECT& ARect);
  void DrawFocusRect(const RECT& ARect);

  // Text at (AX, AY) with the font; the background is filled with the brush
  // unless the brush is clear. TextOut moves the pen position to the text's end.
  void TextOut(int AX, int AY, const std::wstring& AText);
  // The same, clipped to ARect (filled with the brush unless it is clear).
  void TextRect(const RECT& ARect, int AX, int AY, const std::wstring& AText);
  // DrawText into ARect with DT_xxx flags; with DT_CALCRECT ARect receives
  // the measured rectangle.
  void TextRect(RECT& ARect, const std::wstring& AText, UINT AFlags);
  SIZE TextExtent(const std::wstring& AText);
  int TextWidth(const std::wstring& AText) { return TextExtent(AText).cx; }
  int TextHeight(const std::wstring& AText) { return TextExtent(AText).cy; }

  void Draw(int AX, int AY, TGraphic* AGraphic);
  void StretchDraw(const RECT& ARect, TGraphic* AGraphic);
  // Copies ASource's ASourceRect onto ADestRect with CopyMode, stretching.
  void CopyRect(const RECT& ADestRect, TCanvas& ASource, const RECT& ASourceRect);

  TColor Pixel(int AX, int AY);
  void SetPixel(int AX, int AY, TColor AColor);
  RECT ClipRect();

  // Serialises drawing on a canvas shared between threads: Lock waits,
  // TryLock does not; both nest.
  void Lock();
  bool TryLock();
  void Unlock();
  int LockCount() const { return FLockCount; }

  // Deselects the objects and forgets what was selected, so the next drawing
  // operation selects them again.
  void Refresh();

  std::function<void(TCanvas*)> OnChange;
  std::function<void(TCanvas*)> OnChanging;

protected:
  virtual void CreateHandle();
  void Changing();
  void Changed();
  // Deselects the objects from the context (before it goes or changes).
  void DeselectHandles();

private:
  enum : unsigned { csHandleValid = 1, csFontValid = 2, csPenValid = 4, csBrushValid = 8 };
  void RequireState(unsigned AState);
  void SelectFont();
  void SelectPen();
  void SelectBrush();

  HDC FHandle = nullptr;
  unsigned FState = 0;
  std::unique_ptr<TFont> FFont;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
  DWORD FCopyMode = SRCCOPY;
  std::recursive_mutex FLock;
  int FLockCount = 0;
};

// --- graphics ------------------------------------------------------------------------

class TGraphic;
// A graphic class: its name and how to make an empty instance. Each class
// has one (see GraphicClassOf), so a class can be registered, found and
// unregistered by it.
struct TGraphicClassInfo {
  const wchar_t* Name;
  TGraphic* (*Create)();
};
using TGraphicClass = const TGraphicClassInfo*;

template <typename T> TGraphicClass GraphicClassOf() {
  static const TGraphicClassInfo info{T::StaticClassName(), []() -> TGraphic* { return new T; }};
  return &info;
}

// A picture that draws itself on a canvas and reads and writes its own
// file format. `ReadData`/`WriteData` are the stored form (as kept in form
// data): by default a 32-bit byte count followed by the file format.
class TGraphic : public TPersistent {
public:
  std::wstring ClassName() const override { return L"TGraphic"; }
  virtual TGraphicClass GraphicClass() const = 0;

  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int AValue) = 0;
  virtual void SetHeight(int AValue) = 0;
  virtual void SetSize(int AWidth, int AHeight);
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool AValue);
  bool Modified() const { return FModified; }
  void SetModified(bool AValue);

  virtual void Draw(TCanvas& ACanvas, const RECT& ARect) = 0;
  virtual void LoadFromStream(TStream& AStream) = 0;
  virtual void SaveToStream(TStream& AStream) = 0;
  void LoadFromFile(const std::wstring& AFileName);
  void SaveToFile(const std::wstring& AFileName);
  // Clipboard transfer: the graphic's data as a clipboard handle of AFormat
  // (the caller owns it) and back. The default raises EInvalidGraphic.
  virtual void LoadFromClipboardFormat(UINT AFormat, HANDLE AData, HPALETTE APalette);
  virtual void SaveToClipboardFormat(UINT& AFormat, HANDLE& AData, HPALETTE& APalette);

  virtual void ReadData(TStream& AStream);
  virtual void WriteData(TStream& AStream);

  std::function<void(TGraphic*)> OnChange;

protected:
  virtual void Changed();

private:
  bool FTransparent = false;
  bool FModified = false;
};

enum class TPixelFormat {
  pfDevice,
  pf1bit,
  pf4bit,
  pf8bit,
  pf15bit,
  pf16bit,
  pf24bit,
  pf32bit,
  pfCustom
};
enum class TTransparentMode { tmAuto, tmFixed };

// Bits per pixel of a pixel format (pf15bit counts 16; pfDevice the screen's).
int PixelFormatBits(TPixelFormat AFormat);

class TBitmapCanvas;

// A bitmap that is always a DIB section, so its pixels can be reached row by
// row (`ScanLine`, row 0 at the top). Its file format is BMP.
class TBitmap : public TGraphic {
public:
  TBitmap();
  TBitmap(int AWidth, int AHeight, TPixelFormat AFormat = TPixelFormat::pf32bit);
  ~TBitmap() override;
  static const wchar_t* StaticClassName() { return L"TBitmap"; }
  std::wstring ClassName() const override { return StaticClassName(); }
  TGraphicClass GraphicClass() const override { return GraphicClassOf<TBitmap>(); }
  void Assign(const TPersistent* ASource) override;

  bool Empty() const override { return FWidth == 0 || FHeight == 0; }
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int AValue) override { SetSize(AValue, FHeight); }
  void SetHeight(int AValue) override { SetSize(FWidth, AValue); }
  // Keeps the pixels that the old and the new size share.
  void SetSize(int AWidth, int AHeight) override;
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  // Converts the pixels to the new format.
  void SetPixelFormat(TPixelFormat AValue);
  bool Monochrome() const { return FPixelFormat == TPixelFormat::pf1bit; }
  void SetMonochrome(bool AValue);

  // The pixels of row ARow (0 at the top), laid out as the format says.
  void* ScanLine(int ARow);
  int BytesPerScanLine() const;
  TCanvas& Canvas();

  // The DIB section (nullptr while empty). Setting it takes ownership and
  // turns a device-dependent bitmap into a DIB section.
  HBITMAP Handle();
  void SetHandle(HBITMAP AValue);
  bool HandleAllocated() const { return FHandle != nullptr; }
  // Gives up the DIB section: the caller owns it and the bitmap is empty.
  HBITMAP ReleaseHandle();
  // Releases the canvas's memory context; the pixels stay.
  void Dormant();
  void FreeImage();

  // The colour drawn as see-through when Transparent: the bottom-left pixel
  // under tmAuto, else the colour set.
  TColor TransparentColor();
  void SetTransparentColor(TColor AValue);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode AValue);

  void Draw(TCanvas& ACanvas, const RECT& ARect) override;
  void LoadFromStream(TStream& AStream) override;
  void SaveToStream(TStream& AStream) override;
  void LoadFromClipboardFormat(UINT AFormat, HANDLE AData, HPALETTE APalette) override;
  void SaveToClipboardFormat(UINT& AFormat, HANDLE& AData, HPALETTE& APalette) override;
  // A bitmap resource (RT_BITMAP) of the module; EResNotFound when it has none.
  void LoadFromResourceName(HINSTANCE AInstance, const std::wstring& AName);
  void LoadFromResourceID(HINSTANCE AInstance, int AResourceId);
  // A packed DIB (header, colour table, pixels), as resources and CF_DIB hold it.
  void LoadFromPackedDib(const void* AData, size_t ASize);

protected:
  friend class TBitmapCanvas;
  // Makes a new DIB section; the old one is deleted, its pixels not kept.
  void NewImage(int AWidth, int AHeight, TPixelFormat AFormat);
  // Copies the pixels of ASource (any HBITMAP) into this bitmap's section.
  void CopyFromBitmapHandle(HBITMAP ASource);

private:
  HBITMAP FHandle = nullptr;
  void* FBits = nullptr;
  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FPixelFormat = TPixelFormat::pfDevice;
  TTransparentMode FTransparentMode = TTransparentMode::tmAuto;
  TColor FTransparentColor = clDefault;
  std::unique_ptr<TBitmapCanvas> FCanvas;
};

// The canvas of a bitmap: a memory context with the bitmap's DIB section
// selected, made on demand and released by Dormant or a new image.
class TBitmapCanvas : public TCanvas {
public:
  explicit TBitmapCanvas(TBitmap* ABitmap) : FBitmap(ABitmap) {}
  ~TBitmapCanvas() override;
  std::wstring ClassName() const override { return L"TBitmapCanvas"; }
  void FreeContext();

protected:
  void CreateHandle() override;

private:
  TBitmap* FBitmap;
  HGDIOBJ FOldBitmap = nullptr;
};

// A PNG image with per-pixel alpha, decoded and encoded through GDI+. The
// pixels are kept straight (not premultiplied), 32 bits each: blue, green,
// red, alpha, rows from the top.
class TPngImage : public TGraphic {
public:
  TPngImage() = default;
  static const wchar_t* StaticClassName() { return L"TPngImage"; }
  std::wstring ClassName() const override { return StaticClassName(); }
  TGraphicClass GraphicClass() const override { return GraphicClassOf<TPngImage>(); }
  void Assign(const TPersistent* ASource) override;

  bool Empty() const override { return FWidth == 0 || FHeight == 0; }
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int AValue) override { SetSize(AValue, FHeight); }
  void SetHeight(int AValue) override { SetSize(FWidth, AValue); }
  // A new size clears the image to transparent black.
  void SetSize(int AWidth, int AHeight) override;
  bool Transparent() const override { return true; }

  // Row ARow's pixels (4 bytes each: blue, green, red, alpha).
  uint8_t* Scanline(int ARow);
  uint8_t Alpha(int AX, int AY) const;
  // ARGB (alpha in the top byte).
  uint32_t PixelARGB(int AX, int AY) const;
  void SetPixelARGB(int AX, int AY, uint32_t AValue);

  // Blended over the canvas by the alpha of each pixel.
  void Draw(TCanvas& ACanvas, const RECT& ARect) override;
  // Reads exactly one PNG (up to its IEND chunk) from the stream.
  void LoadFromStream(TStream& AStream) override;
  void SaveToStream(TStream& AStream) override;

protected:
  void AssignTo(TPersistent* ADest) const override;

private:
  int FWidth = 0;
  int FHeight = 0;
  std::vector<uint32_t> FPixels;
};

// --- pictures --------------------------------------------------------------------------

// One registered picture file format.
struct TFileFormat {
  std::wstring Extension; // without the dot, lower case
  std::wstring Description;
  TGraphicClass GraphicClass;
};

// A holder of one graphic of any registered class. Files are read by the
// class registered for their extension; the clipboard by the class
// registered for the clipboard format.
class TPicture : public TPersistent {
public:
  TPicture() = default;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;
  ~TPicture() override;
  std::wstring ClassName() const override { return L"TPicture"; }
  // Takes a copy of a TPicture's or a TGraphic's graphic; nullptr clears.
  void Assign(const TPersistent* ASource) override;

  TGraphic* Graphic() const { return FGraphic.get(); }
  // Keeps a copy of AGraphic (nullptr clears).
  void SetGraphic(TGraphic* AGraphic);
  // The graphic as a bitmap; a picture holding another kind (or nothing)
  // gets a new empty bitmap.
  TBitmap& Bitmap();
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }

  // The class follows the extension; an unknown extension raises
  // EInvalidGraphic naming it.
  void LoadFromFile(const std::wstring& AFileName);
  void SaveToFile(const std::wstring& AFileName);
  void LoadFromClipboardFormat(UINT AFormat, HANDLE AData, HPALETTE APalette);
  void SaveToClipboardFormat(UINT& AFormat, HANDLE& AData, HPALETTE& APalette);

  std::function<void(TPicture*)> OnChange;

  // The registry of file and clipboard formats, shared by every picture.
  // Registering an extension again replaces its entry.
  static void RegisterFileFormat(const std::wstring& AExtension, const std::wstring& ADescription,
                                 TGraphicClass AGraphicClass);
  static void RegisterClipboardFormat(UINT AFormat, TGraphicClass AGraphicClass);
  // Removes every file and clipboard format of the class.
  static void UnregisterGraphicClass(TGraphicClass AGraphicClass);
  static bool SupportsClipboardFormat(UINT AFormat);
  static std::vector<TFileFormat> FileFormats();
  // The class registered for an extension (with or without its dot), or nullptr.
  static TGraphicClass GraphicClassOfExtension(const std::wstring& AExtension);
  // The first extension registered for the class ("" when none).
  static std::wstring GraphicExtension(TGraphicClass AGraphicClass);
  // "Description (*.ext)|*.ext" for the class, or for all formats with the
  // "All" entry first when AGraphicClass is nullptr.
  static std::wstring GraphicFilter(TGraphicClass AGraphicClass);

private:
  void Changed();
  void GraphicChanged(TGraphic* AGraphic);
  void TakeGraphic(std::unique_ptr<TGraphic> AGraphic);
  std::unique_ptr<TGraphic> FGraphic;
};

// The clipboard format of a picture as a whole ("Orvandel Picture"): a
// clipboard owner offering it accepts any format a registered class reads.
UINT CF_PICTURE();

// An 8 x 8 bitmap of two colours in a one-pixel checkerboard: ABackground
// where x + y is even, AForeground elsewhere. Shared and owned by the
// framework; (clBtnFace, clBtnHighlight) is the pressed-button dither,
// (clBlack, clWhite) the halftone of drag lines.
TBitmap* AllocPatternBitmap(TColor ABackground, TColor AForeground);

// Frees the shared pattern bitmaps and shuts GDI+ down (it starts on first
// use). Called when the plug-in unloads; everything works again after it.
void FinalizeGraphics();
