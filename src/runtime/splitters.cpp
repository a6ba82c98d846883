#include "splitters.h"

#include "application.h"
#include "resource-ledger.h"

#include <windows.h>

#include <utility>

// ===========================================================================
// Split cursors

void EnsureSplitCursors() {
  TScreen* screen = Screen();
  if (!screen->HasCursor(crHSplit))
    screen->LoadSystemCursor(crHSplit, IDC_SIZEWE);
  if (!screen->HasCursor(crVSplit))
    screen->LoadSystemCursor(crVSplit, IDC_SIZENS);
}

// ===========================================================================
// TSplitterLineDC

TSplitterLineDC::TSplitterLineDC(HWND AParent, bool APattern) : FParent(AParent) {
  FDC = GetDCEx(AParent, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS | DCX_LOCKWINDOWUPDATE);
  if (!FDC)
    return;
  LedgerTake(TResourceKind::DeviceContext, FDC);
  if (APattern) {
    FBrush = std::make_unique<TBrush>();
    FBrush->SetBitmap(AllocPatternBitmap(clBlack, clWhite));
    FPrevBrush = SelectObject(FDC, FBrush->Handle());
  }
}

TSplitterLineDC::~TSplitterLineDC() {
  if (!FDC)
    return;
  if (FPrevBrush)
    SelectObject(FDC, FPrevBrush);
  ReleaseDC(FParent, FDC);
  LedgerGive(TResourceKind::DeviceContext, FDC);
}

void TSplitterLineDC::Invert(const RECT& ARect) {
  if (FDC)
    PatBlt(FDC, ARect.left, ARect.top, ARect.right - ARect.left, ARect.bottom - ARect.top,
           PATINVERT);
}

// ===========================================================================
// TDragKeyWatch

namespace {

TDragKeyWatch* GKeyWatch = nullptr;

} // namespace

TDragKeyWatch::TDragKeyWatch(std::function<void()> AOnEscape) : FOnEscape(std::move(AOnEscape)) {
  FHook = SetWindowsHookExW(WH_GETMESSAGE, &HookProc, nullptr, GetCurrentThreadId());
  if (FHook)
    LedgerTake(TResourceKind::Hook, FHook);
  FPrevious = GKeyWatch;
  GKeyWatch = this;
}

TDragKeyWatch::~TDragKeyWatch() {
  if (GKeyWatch == this)
    GKeyWatch = FPrevious;
  if (FHook) {
    UnhookWindowsHookEx(FHook);
    LedgerGive(TResourceKind::Hook, FHook);
  }
}

LRESULT CALLBACK TDragKeyWatch::HookProc(int ACode, WPARAM AWParam, LPARAM ALParam) {
  auto* message = reinterpret_cast<MSG*>(ALParam);
  if (ACode == HC_ACTION && AWParam == PM_REMOVE && message->message == WM_KEYDOWN &&
      message->wParam == VK_ESCAPE && GKeyWatch) {
    // The key is the drag's: its window never sees it.
    message->message = WM_NULL;
    std::function<void()> onEscape = GKeyWatch->FOnEscape;
    try {
      if (onEscape)
        onEscape();
    } catch (...) {
      // A hook must not let an exception out; the drag has ended either way.
    }
    return 0;
  }
  return CallNextHookEx(nullptr, ACode, AWParam, ALParam);
}

// ===========================================================================
// TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  EnsureSplitCursors();
  FControlStyle &= ~uint32_t(csClickEvents | csDoubleClicks);
  SetAlign(alLeft);
  SetWidth(3);
  SetCursor(crHSplit);
  FLastAlign = alLeft;
}

TSplitter::~TSplitter() {
  FKeyWatch.reset();
  FLineDC.reset();
}

void TSplitter::SetBeveled(bool AValue) {
  if (AValue == FBeveled)
    return;
  FBeveled = AValue;
  Invalidate();
}

void TSplitter::AlignChanged() {
  if (Align() == FLastAlign)
    return;
  FLastAlign = Align();
  // Only a split cursor follows the side; one the user chose stays.
  if (Cursor() != crHSplit && Cursor() != crVSplit)
    return;
  SetCursor(Align() == alTop || Align() == alBottom ? crVSplit : crHSplit);
}

void TSplitter::Resize() {
  TGraphicControl::Resize();
  AlignChanged();
}

void TSplitter::Paint() {
  AlignChanged();
  TCanvas& canvas = Canvas();
  const RECT client = ClientRect();
  canvas.Brush().SetStyle(TBrushStyle::Solid);
  canvas.Brush().SetColor(Color());
  canvas.FillRect(client);
  if (FBeveled) {
    RECT edge = client;
    if (Align() == alLeft || Align() == alRight)
      InflateRect(&edge, 0, 2);
    else
      InflateRect(&edge, 2, 0);
    DrawEdge(canvas.Handle(), &edge, BDR_RAISEDINNER, BF_RECT);
  }
  if (OnPaint)
    OnPaint(this);
}

TControl* TSplitter::FindControl() const {
  TWinControl* parent = Parent();
  if (!parent)
    return nullptr;
  POINT point{Left(), Top()};
  switch (Align()) {
  case alLeft:
    point.x = Left() - 1;
    break;
  case alRight:
    point.x = Left() + Width();
    break;
  case alTop:
    point.y = Top() - 1;
    break;
  case alBottom:
    point.y = Top() + Height();
    break;
  default:
    return nullptr;
  }
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* control = parent->Controls(i);
    if (control == this || !control->Visible() || !control->Enabled())
      continue;
    RECT bounds = control->BoundsRect();
    // A control squeezed to nothing is still found on its side.
    if (bounds.right == bounds.left)
      (Align() == alTop || Align() == alLeft) ? --bounds.left : ++bounds.right;
    if (bounds.bottom == bounds.top)
      (Align() == alTop || Align() == alLeft) ? --bounds.top : ++bounds.bottom;
    if (PtInRect(&bounds, point))
      return control;
  }
  return nullptr;
}

void TSplitter::CalcSplitSize(int AX, int AY, int& ANewSize, int& ASplit) const {
  const bool across = Align() == alLeft || Align() == alRight;
  int size = across ? AX - FDownPos.x : AY - FDownPos.y;
  switch (Align()) {
  case alLeft:
    size = FControl->Width() + size;
    break;
  case alRight:
    size = FControl->Width() - size;
    break;
  case alTop:
    size = FControl->Height() + size;
    break;
  case alBottom:
    size = FControl->Height() - size;
    break;
  default:
    break;
  }
  ANewSize = size;
  if (size < FMinSize)
    ANewSize = FMinSize;
  else if (size > FMaxSize)
    ANewSize = FMaxSize;
  int split = across ? AX - FDownPos.x : AY - FDownPos.y;
  if (size != ANewSize)
    split += Align() == alRight || Align() == alBottom ? size - ANewSize : ANewSize - size;
  ASplit = split;
}

bool TSplitter::CanResize(int& ANewSize) {
  bool accept = true;
  if (OnCanResize)
    OnCanResize(this, ANewSize, accept);
  return accept;
}

bool TSplitter::DoCanResize(int& ANewSize) {
  const bool accepted = CanResize(ANewSize);
  if (accepted && ANewSize <= FMinSize && FAutoSnap)
    ANewSize = 0;
  return accepted;
}

void TSplitter::DrawLine() {
  if (!FLineDC)
    return;
  FLineVisible = !FLineVisible;
  RECT line = BoundsRect();
  if (Align() == alLeft || Align() == alRight)
    OffsetRect(&line, FSplit, 0);
  else
    OffsetRect(&line, 0, FSplit);
  FLineDC->Invert(line);
}

void TSplitter::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton != mbLeft || FControl)
    return;
  FControl = FindControl();
  FDownPos = {AX, AY};
  if (!FControl)
    return;
  TWinControl* parent = Parent();
  const bool across = Align() == alLeft || Align() == alRight;
  FMaxSize = (across ? parent->ClientWidth() : parent->ClientHeight()) - FMinSize;
  for (int i = 0; i < parent->ControlCount(); ++i) {
    TControl* control = parent->Controls(i);
    if (!control->Visible())
      continue;
    if (across && (control->Align() == alLeft || control->Align() == alRight))
      FMaxSize -= control->Width();
    else if (!across && (control->Align() == alTop || control->Align() == alBottom))
      FMaxSize -= control->Height();
  }
  FMaxSize += across ? FControl->Width() : FControl->Height();
  CalcSplitSize(AX, AY, FNewSize, FSplit);
  if (parent->HandleAllocated())
    FLineDC = std::make_unique<TSplitterLineDC>(parent->Handle(), FResizeStyle == rsPattern);
  FKeyWatch = std::make_unique<TDragKeyWatch>([this] { StopSizing(); });
  if (FResizeStyle == rsLine || FResizeStyle == rsPattern)
    DrawLine();
}

void TSplitter::MouseMove(TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseMove(AShift, AX, AY);
  if (!(AShift & ssLeft) || !FControl)
    return;
  int newSize = 0;
  int split = 0;
  CalcSplitSize(AX, AY, newSize, split);
  if (!DoCanResize(newSize))
    return;
  if (FResizeStyle == rsLine || FResizeStyle == rsPattern)
    DrawLine();
  FNewSize = newSize;
  FSplit = split;
  if (FResizeStyle == rsUpdate)
    UpdateControlSize();
  else if (FResizeStyle == rsLine || FResizeStyle == rsPattern)
    DrawLine();
}

void TSplitter::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TGraphicControl::MouseUp(AButton, AShift, AX, AY);
  if (!FControl)
    return;
  if (FLineVisible)
    DrawLine();
  UpdateControlSize();
  StopSizing();
}

void TSplitter::CancelMode(TControl* ASender) {
  TGraphicControl::CancelMode(ASender);
  StopSizing();
}

void TSplitter::UpdateControlSize() {
  if (!FControl || FNewSize == FOldSize)
    return;
  TWinControl* parent = Parent();
  switch (Align()) {
  case alLeft:
    FControl->SetWidth(FNewSize);
    break;
  case alTop:
    FControl->SetHeight(FNewSize);
    break;
  case alRight:
    parent->DisableAlign();
    FControl->SetBounds(FControl->Left() + FControl->Width() - FNewSize, FControl->Top(), FNewSize,
                        FControl->Height());
    parent->EnableAlign();
    break;
  case alBottom:
    parent->DisableAlign();
    FControl->SetBounds(FControl->Left(), FControl->Top() + FControl->Height() - FNewSize,
                        FControl->Width(), FNewSize);
    parent->EnableAlign();
    break;
  default:
    break;
  }
  Update();
  if (OnMoved)
    OnMoved(this);
  FOldSize = FNewSize;
}

void TSplitter::StopSizing() {
  if (!FControl)
    return;
  if (FLineVisible)
    DrawLine();
  FLineVisible = false;
  FControl = nullptr;
  FLineDC.reset();
  FKeyWatch.reset();
}
