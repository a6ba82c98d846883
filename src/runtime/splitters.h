#pragma once

#include "controls.h"
#include "graphics.h"

#include <windows.h>

#include <functional>
#include <memory>

// The framework's splitter: a thin bar aligned to one side of its parent
// that resizes the control aligned before it on that side, and the drag
// services it shares with the control library's section bars (the line
// device context with its halftone brush, the Escape watch).

// How a drag shows itself: not at all until the button is released, an
// inverted line, the controls following live, or an inverted halftone bar.
enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };

// The split cursors: across a vertical bar and across a horizontal bar.
// The screen's slots take the system's sizing cursors on first use.
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
// Puts the system's sizing cursors into the screen's split slots when they
// are empty (shared cursors, never destroyed).
void EnsureSplitCursors();

using TSplitterCanResizeEvent =
    std::function<void(TControl* ASender, int& ANewSize, bool& AAccept)>;

// The parent's device context a drag previews its line on, with the
// halftone pattern selected for rsPattern; released with the object.
class TSplitterLineDC {
public:
  TSplitterLineDC(HWND AParent, bool APattern);
  TSplitterLineDC(const TSplitterLineDC&) = delete;
  TSplitterLineDC& operator=(const TSplitterLineDC&) = delete;
  ~TSplitterLineDC();

  HDC Handle() const { return FDC; }
  // Inverts ARect with the selected brush.
  void Invert(const RECT& ARect);

private:
  HWND FParent;
  HDC FDC = nullptr;
  std::unique_ptr<TBrush> FBrush;
  HGDIOBJ FPrevBrush = nullptr;
};

// While it lives, an Escape key pressed in any window of the thread runs
// AOnEscape instead of reaching its window; other keys go on as usual. One
// watch runs at a time (a drag holds the mouse, so drags do not overlap).
class TDragKeyWatch {
public:
  explicit TDragKeyWatch(std::function<void()> AOnEscape);
  TDragKeyWatch(const TDragKeyWatch&) = delete;
  TDragKeyWatch& operator=(const TDragKeyWatch&) = delete;
  ~TDragKeyWatch();

private:
  static LRESULT CALLBACK HookProc(int ACode, WPARAM AWParam, LPARAM ALParam);
  std::function<void()> FOnEscape;
  HHOOK FHook = nullptr;
  TDragKeyWatch* FPrevious = nullptr;
};

class TSplitter : public TGraphicControl {
public:
  explicit TSplitter(TComponent* AOwner);
  ~TSplitter() override;
  std::wstring ClassName() const override { return L"TSplitter"; }

  bool AutoSnap() const { return FAutoSnap; }
  void SetAutoSnap(bool AValue) { FAutoSnap = AValue; }
  bool Beveled() const { return FBeveled; }
  void SetBeveled(bool AValue);
  int MinSize() const { return FMinSize; }
  void SetMinSize(int AValue) { FMinSize = AValue < 1 ? 1 : AValue; }
  TResizeStyle ResizeStyle() const { return FResizeStyle; }
  void SetResizeStyle(TResizeStyle AValue) { FResizeStyle = AValue; }

  // The control a running drag resizes, nullptr between drags.
  TControl* ResizeControl() const { return FControl; }

  TSplitterCanResizeEvent OnCanResize;
  TNotifyEvent OnMoved;
  TNotifyEvent OnPaint;

protected:
  void Paint() override;
  // An alignment that moved the bar to another side turns its cursor.
  void Resize() override;
  void MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void MouseMove(TShiftState AShift, int AX, int AY) override;
  void MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) override;
  void CancelMode(TControl* ASender) override;
  // Fires OnCanResize (Accept preset true).
  virtual bool CanResize(int& ANewSize);
  // CanResize; an accepted size at or below MinSize snaps to 0 with AutoSnap.
  virtual bool DoCanResize(int& ANewSize);
  // Ends a running drag: the preview goes, the line DC and the key watch
  // are released. Safe between drags.
  virtual void StopSizing();

private:
  TControl* FindControl() const;
  void CalcSplitSize(int AX, int AY, int& ANewSize, int& ASplit) const;
  void UpdateControlSize();
  void DrawLine();
  void AlignChanged();

  TControl* FControl = nullptr;
  POINT FDownPos{};
  std::unique_ptr<TSplitterLineDC> FLineDC;
  std::unique_ptr<TDragKeyWatch> FKeyWatch;
  bool FLineVisible = false;
  bool FAutoSnap = true;
  bool FBeveled = false;
  int FMinSize = 30;
  int FMaxSize = 0;
  int FNewSize = 0;
  int FOldSize = -1;
  int FSplit = 0;
  TAlign FLastAlign = alNone;
  TResizeStyle FResizeStyle = rsPattern;
};
