#pragma once

#include "gx-container.h"
#include "gx-popup.h"

#include "controls.h"
#include "graphics.h"

#include <windows.h>

#include <cstdint>
#include <string>

// The control that hosts in-place editors (the base of the tree list), and
// the borderless window a container shows a cell's full text in.

// The look of a container's own scroll bars.
enum TScrollBarStyle : uint8_t { ssRegular, ssFlat, ssHotTrack };

// The flat scroll-bar mode comctl32 gives each style.
constexpr int FlatScrollBarMode(TScrollBarStyle AStyle) {
  return AStyle == ssFlat
             ? 1 /* FSB_ENCARTA_MODE */
             : (AStyle == ssHotTrack ? 2 /* FSB_FLAT_MODE */ : 0 /* FSB_REGULAR_MODE */);
}

// A windowed control hosting one live editor for its focused cell and
// painting the other cells through the editor classes. The editors find it
// as their owner and ask it the hooks of IgxEditContainer.
class TCustomgxContainer : public TCustomControl, public IgxEditContainer {
public:
  explicit TCustomgxContainer(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TCustomgxContainer"; }
  TWinControl* ContainerControl() override { return this; }

  // The popup border a drop-down editor uses when it has none of its own.
  virtual TgxPopupBorderStyle GetDefaultPopupBorderStyle(TgxEditBorderStyle AEditBorderStyle);

  // The container's own scroll bars, through the flat scroll-bar functions
  // when comctl32 has them and the plain ones otherwise. Set answers the
  // bar's new position.
  bool GetScrollInfo(int ABarFlag, SCROLLINFO& AScrollInfo);
  int SetScrollInfo(int ABarFlag, const SCROLLINFO& AScrollInfo, bool ARedraw);

  TScrollBarStyle ScrollBarStyle() const { return FScrollBarStyle; }
  // A changed style takes a new window.
  void SetScrollBarStyle(TScrollBarStyle AValue);
  bool SingleClickCheckEdit() const { return FSingleClickCheckEdit; }
  void SetSingleClickCheckEdit(bool AValue) { FSingleClickCheckEdit = AValue; }
  bool ReadOnly() { return IsContainerReadOnly(); }

  // Editors are sized by their container, never by themselves.
  virtual void AdjustSize() {}

protected:
  void CreateWnd() override;
  void WndProc(TMessage& AMessage) override;

  TScrollBarStyle FScrollBarStyle = ssRegular;
  bool FSingleClickCheckEdit = false;
};

// The hint a container shows a cell's or a row's full text in: a popup
// tool window that never takes the focus and lets the mouse through.
class TgxContainerHintWindow : public TCustomControl {
public:
  explicit TgxContainerHintWindow(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TgxContainerHintWindow"; }

  // At the screen point, wrapped at the screen width, in the status font
  // with AFont's name and character set.
  void ActivateHint(POINT AP, const std::wstring& AHint, TFont& AFont);
  // Wrapped at AWidth (the desktop width when 0 or less), AFont's size
  // taken as well when AUseFontSize; kept on the monitor nearest AP.
  void ActivateHintEx(POINT AP, int AWidth, const std::wstring& AHint, TFont& AFont,
                      bool AUseFontSize);
  void HideHint();

protected:
  void CreateParams(TCreateParams& AParams) override;
  void WndProc(TMessage& AMessage) override;
  void Paint() override;
};
