#pragma once

#include "controls.h"

#include <string>

// The small top-level window that shows a control's hint. It never takes
// the activation or the focus from the window the mouse is over.
class THintWindow : public TCustomControl {
public:
  explicit THintWindow(TComponent* AOwner);
  std::wstring ClassName() const override { return L"THintWindow"; }

  // The screen rectangle the hint needs for AHint, wrapped at AMaxWidth,
  // with its top-left corner at (0, 0).
  virtual RECT CalcHintRect(int AMaxWidth, const std::wstring& AHint);
  // Shows AHint at the screen rectangle ARect, above every other window.
  virtual void ActivateHint(const RECT& ARect, const std::wstring& AHint);
  // Hides the hint and gives its window back.
  void ReleaseHandle();

protected:
  void CreateParams(TCreateParams& AParams) override;
  void WndProc(TMessage& AMessage) override;
  void Paint() override;

private:
  static constexpr UINT kTextFlags = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
  static constexpr int kMargin = 2;
};
