#pragma once

// Interface stable.

#include "alpha-image.h"
#include "application.h"
#include "controls.h"
#include "graphics.h"
#include "unit-steps.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

// The base of the library's windowed controls and what all controls share:
// the library colours, the check-box size, the scroll-bar thickness and the
// artwork recoloured to the system colours.

// ---------------------------------------------------------------------------
// Library colours

// Set together: fixed XP values in the emulated look (theme state 1), the
// system colours otherwise. Set at start-up and again on every system colour
// change; before start-up they hold the system colours.
extern TColor clXPWindow;
extern TColor clXPBtnFace;
extern TColor clXPHighlight;
extern TColor clXPHighlightText;
extern TColor clXPBtnShadow;
extern TColor clXPBtnHighlight;
extern TColor clXPGrayText;

struct TXPLibraryColors {
  TColor Window;
  TColor BtnFace;
  TColor Highlight;
  TColor HighlightText;
  TColor BtnShadow;
  TColor BtnHighlight;
  TColor GrayText;
};

// The library colours of a theme state (0 classic, 1 emulated, 2 themed).
TXPLibraryColors XPLibraryColorsFor(int AThemeState);
// Sets the library colours by the current theme state.
void UpdateXPLibraryColors();

// Native looks follow the theme state; the custom look is drawn from the
// control's own colours and images (edits, combo box, popup list, scroll
// bar, progress bar).
enum TXPLookAndFeel : uint8_t { xlfNative, xlfCustom };

// ---------------------------------------------------------------------------
// Shared metrics

// The check-box size: the system check-box strip's width div 4 and height
// div 3.
void GetXPCheckSize(SIZE& ASize);
// The scroll-bar thickness: the default height of scroll and progress bars
// and the width of popup list scroll bars.
int GetXPScrollBarSize();

// ---------------------------------------------------------------------------
// A hidden message window with an event

// Owns a hidden top-level window (so broadcasts such as WM_SYSCOLORCHANGE
// reach it). Every message goes to OnMessage, with AHandled false; what the
// handler leaves unhandled goes to DefWindowProcW.
class TCustomWndProcObject {
public:
  using TMessageEvent = std::function<void(TMessage& AMessage, bool& AHandled)>;

  TCustomWndProcObject();
  TCustomWndProcObject(const TCustomWndProcObject&) = delete;
  TCustomWndProcObject& operator=(const TCustomWndProcObject&) = delete;
  virtual ~TCustomWndProcObject();

  HWND Handle() const;
  TMessageEvent OnMessage;

private:
  std::unique_ptr<THiddenWindow> FWnd;
};

// ---------------------------------------------------------------------------
// The base control

// Message 0x401 to any TXPCustomControl: wParam kXPModifiedQuery answers
// IsModified (0 or 1), wParam kXPModifiedSave runs SaveModifiedState; other
// values do nothing. Offered to form code; the library never sends it.
constexpr UINT XPM_MODIFIEDSTATE = WM_USER + 1;
constexpr WPARAM kXPModifiedQuery = 1;
constexpr WPARAM kXPModifiedSave = 2;

// The base of nearly every windowed control of the library. It answers
// WM_ERASEBKGND without painting (all painting happens in Paint), and
// WM_PRINT with PRF_NONCLIENT draws its frame (`PaintNonClient`, whose DC
// comes from `AcquireWindowDC`) into the print target, answering 1.
class TXPCustomControl : public TCustomControl {
public:
  explicit TXPCustomControl(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPCustomControl"; }

  // Whether text is drawn with the smooth text renderer. A changed value is
  // stored and the control redrawn.
  bool SmoothDraw() const { return FSmoothDraw; }
  void SetSmoothDraw(bool AValue);

  // Repaints the control; the base invalidates it.
  virtual void RedrawControl();
  // Whether the state or text differs from the saved one; the base: false.
  virtual bool IsModified();
  // Stores the current state or text as the saved one; the base: nothing.
  virtual void SaveModifiedState();

protected:
  void WndProc(TMessage& AMessage) override;
  void EraseBackground(HDC ADC) override;

  bool FSmoothDraw = false;
};

// A control drawn over its parent's background while Transparent is on.
// Its erase paints the parent's background beneath it (transparent, not
// designing), else fills the client area with Color.
class TXPCustomTransparentControl : public TXPCustomControl {
public:
  explicit TXPCustomTransparentControl(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPCustomTransparentControl"; }

  bool Transparent() const { return FTransparent; }
  // A changed value is stored and TransparentChanged runs.
  void SetTransparent(bool AValue);

protected:
  // Runs when Transparent changes; the base invalidates.
  virtual void TransparentChanged();
  void EraseBackground(HDC ADC) override;

  bool FTransparent = true;
};

// A control that keeps its pixels on resize: only strips of Delta pixels at
// the moved right and bottom edges are repainted.
class TXPNonFlickingControl : public TXPCustomTransparentControl {
public:
  explicit TXPNonFlickingControl(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TXPNonFlickingControl"; }

  int Delta() const { return FDelta; }
  void SetDelta(int AValue) { FDelta = AValue; }

protected:
  void CreateParams(TCreateParams& AParams) override;
  void WndProc(TMessage& AMessage) override;

  int FDelta = 2;
};

// ---------------------------------------------------------------------------
// The control manager

class TXPControlManager {
public:
  // Makes an alpha image from the RT_RCDATA resource AResName, recoloured
  // to the system colours (white to clBtnHighlight, 0xC0C0C0 to clBtnFace,
  // 0x808080 to clBtnShadow, black to clBtnText), and stores it in AImage
  // (an image AImage held before is freed). The caller owns the image; the
  // manager remembers it until it is freed and loads and recolours it again
  // on every system colour change. Raises the image loader's errors.
  static void CreateAndPrepareAlphaImage(std::unique_ptr<TAlphaImage>& AImage,
                                         const std::wstring& AResName);
  // Whether AImage is one the manager remembers.
  static bool IsPrepared(const TAlphaImage* AImage);
  // The window that hears system colour changes; nullptr until the first
  // image is prepared.
  static HWND MessageWindow();
  // Kept for callers of the start-up sequence; does nothing.
  static void UseSubstColors();
};

inline void CreateXPAlphaImage(std::unique_ptr<TAlphaImage>& AImage, const std::wstring& AResName) {
  TXPControlManager::CreateAndPrepareAlphaImage(AImage, AResName);
}

// Raises a list box's or an edit's change suppression for a scope, so the
// control's own changes of its text or choice report nothing.
template <typename TTarget> class TXPSuppressChangeScope {
public:
  explicit TXPSuppressChangeScope(TTarget& ATarget) : FTarget(ATarget) {
    FTarget.BeginSuppressChange();
  }
  TXPSuppressChangeScope(const TXPSuppressChangeScope&) = delete;
  TXPSuppressChangeScope& operator=(const TXPSuppressChangeScope&) = delete;
  ~TXPSuppressChangeScope() { FTarget.EndSuppressChange(); }

private:
  TTarget& FTarget;
};

// Raises a nesting counter for the time of a scope.
class TXPCountScope {
public:
  explicit TXPCountScope(int& ACounter) : FCounter(ACounter) { ++FCounter; }
  TXPCountScope(const TXPCountScope&) = delete;
  TXPCountScope& operator=(const TXPCountScope&) = delete;
  ~TXPCountScope() { --FCounter; }

private:
  int& FCounter;
};

// ---------------------------------------------------------------------------
// Start-up and shut-down of the drawing layer

// The drawing layer's start-up: binds the gradients, registers the picture
// formats, sets the library colours and computes the shared metrics.
// Guarded: a second call while started does nothing. Nothing raises out.
void XPLibraryStartup();
// Undoes the start-up in reverse and frees what the layer made meanwhile
// (the prepared-image list and its window, the smooth-text cache). Safe to
// call when not started or more than once. Nothing raises out.
void XPLibraryShutdown();
bool XPLibraryStarted();

// The layer's entry for the module's unit steps.
inline constexpr TUnitStep kXPLibraryUnitStep{L"XPControls", &XPLibraryStartup, &XPLibraryShutdown};
