#pragma once

#include "gx-container.h"

#include "controls.h"

#include <windows.h>

#include <cstdint>

// The base of the controls that drop down below an editor (calculator,
// calendar, blob popup), and the frame routines their popup lists share.
// Only with its popup flag set does the control behave as a popup: an
// owned top-level window that is never activated, draws its own frame and
// drop shadow in its non-client area, closes when it loses the focus and
// keeps the editor's form looking active while it is open.

enum TgxPopupBorder : uint8_t { pbDefault, pbSingle, pbFrame3D, pbFlat };
using TgxPopupBorderStyle = TgxPopupBorder;

// The notice a popup posts to its editor when it has closed.
constexpr UINT WM_GX_POPUPCLOSED = WM_APP + 0x65;

// Draws the frame (and the shadow) into ARect and shrinks ARect to the
// inside.
void DrawPopupBorder(HDC ADC, RECT& ARect, TgxPopupBorder ABorderStyle, bool ABothScrollBars,
                     bool AHasShadow, int AShadowSize);
// DrawPopupBorder on the whole window through its window DC.
void DrawPopupNC(HWND AWnd, TgxPopupBorder ABorderStyle, bool ABothScrollBars, bool AHasShadow,
                 int AShadowSize);
// With a shadow, the window's region is its rectangle less the shadow,
// united with that rectangle moved by the shadow; without, no region.
void SetPopupShadowRegion(HWND AWnd, bool AHasShadow, int AShadowSize);
// The frame's thickness of a border style (0, 1, 4 or 2 pixels).
int PopupBorderSize(TgxPopupBorder ABorderStyle);

class TgxInplacePopupControl : public TCustomControl {
public:
  explicit TgxInplacePopupControl(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxInplacePopupControl"; }

  // --- the new virtual operations, in slot order ---------------------------------
  virtual void HidePopup(bool AByMouse);
  virtual void ShowPopup();

  TgxPopupBorderStyle PopupBorderStyle() const { return FPopupBorderStyle; }
  void SetPopupBorderStyle(TgxPopupBorderStyle AValue);
  bool Shadow() const { return FShadow; }
  void SetShadow(bool AValue);
  int ShadowSize() const { return FShadowSize; }
  void SetShadowSize(int AValue);
  bool IsPopupControl() const { return FIsPopupControl; }
  bool DrawNC() const { return FDrawNC; }

  // The editor the popup belongs to, set before the popup shows.
  TgxInplaceEdit* OwnerControl = nullptr;

protected:
  void CreateParams(TCreateParams& AParams) override;
  void WndProc(TMessage& AMessage) override;
  void PaintNonClient(HDC ADC) override;
  // The window of the owner editor's form (its top-level window when it
  // sits on no form).
  HWND OwnerFormWindow() const;

  TgxPopupBorderStyle FPopupBorderStyle = pbDefault;
  bool FShadow = false;
  int FShadowSize = 2;
  bool FIsPopupControl = false;
  bool FDrawNC = true;
};
