#include "xp-scroll-bar.h"

#include "resource-ledger.h"
#include "xp-colors.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <utility>

namespace {

// Parts and states of the system's scroll-bar theme class.
constexpr wchar_t kThemeClass[] = L"SCROLLBAR";
constexpr int kPartArrowButton = 1;
constexpr int kPartThumbHorizontal = 2;
constexpr int kPartThumbVertical = 3;
constexpr int kPartLowerTrackHorizontal = 4;
constexpr int kPartUpperTrackHorizontal = 5;
constexpr int kPartLowerTrackVertical = 6;
constexpr int kPartUpperTrackVertical = 7;
constexpr int kPartGripperHorizontal = 8;
constexpr int kPartGripperVertical = 9;
// The arrow's hover states (up, down, left, right) shown while the mouse is
// over another part of the bar.
constexpr int kArrowHoverState = 17;

// Glyph groups of the arrow glyph strip.
constexpr int kGlyphUp = 0;
constexpr int kGlyphDown = 4;
constexpr int kGlyphLeft = 8;
constexpr int kGlyphRight = 12;

// Cells of the emulated look's bitmaps.
constexpr int kFaceCell = 17;
constexpr SIZE kThumbCellHorizontal{22, 15};
constexpr SIZE kThumbCellVertical{15, 22};
constexpr int kGripperCell = 8;
constexpr int kGlyphCell = 9;
constexpr int kSkinMargin = 5;
// Half the gripper area's length along the bar.
constexpr int kGripperHalf = 10;

bool Empty(const RECT& ARect) {
  return ARect.right <= ARect.left || ARect.bottom <= ARect.top;
}

TColor OrDefault(TColor AColor, TColor ADefault) {
  return AColor == clDefault ? ADefault : AColor;
}

// --- shared bitmaps --------------------------------------------------------------------

enum TScrollBitmap {
  sbmArrowGlyphs,
  sbmArrows,
  sbmShaftHorizontal,
  sbmShaftVertical,
  sbmThumbHorizontal,
  sbmThumbVertical,
  sbmGripperHorizontal,
  sbmGripperVertical,
  sbmCount
};

constexpr std::array<const wchar_t*, sbmCount> kBitmapNames{L"SCROLLARROWGLYPHS",
                                                            L"SCROLLARROWS",
                                                            L"SCROLLSHAFTHORIZONTAL",
                                                            L"SCROLLSHAFTVERTICAL",
                                                            L"SCROLLTHUMBHORIZONTAL",
                                                            L"SCROLLTHUMBVERTICAL",
                                                            L"SCROLLTHUMBGRIPPERHORIZONTAL",
                                                            L"SCROLLTHUMBGRIPPERVERTICAL"};
constexpr wchar_t kPatternName[] = L"STDSCROLLPATTERN";

struct TScrollImages {
  std::array<std::unique_ptr<TBitmap>, sbmCount> Bitmaps;
  std::unique_ptr<TAlphaImage> Pattern;
};

std::unique_ptr<TScrollImages>& ImagesSlot() {
  static std::unique_ptr<TScrollImages> images;
  return images;
}

// All at once on the first request: a missing one raises the loader's
// error and leaves nothing half loaded.
TScrollImages& Images() {
  auto& slot = ImagesSlot();
  if (!slot) {
    auto images = std::make_unique<TScrollImages>();
    for (size_t i = 0; i < sbmCount; ++i) {
      images->Bitmaps[i] = std::make_unique<TBitmap>();
      images->Bitmaps[i]->LoadFromResourceName(FindResourceModule(kBitmapNames[i], RT_BITMAP),
                                               kBitmapNames[i]);
    }
    images->Pattern = std::make_unique<TAlphaImage>();
    images->Pattern->LoadFromResource(kPatternName);
    slot = std::move(images);
  }
  return *slot;
}

// A bitmap's cell drawn over ADest with its glyph's top-left pixel as the
// see-through colour, centred.
void DrawCentredGlyph(HDC ADC, const RECT& ADest, TBitmap& AGlyphs, int ACellWidth, int ACellHeight,
                      int AIndex) {
  const int x = ADest.left + (ADest.right - ADest.left - ACellWidth) / 2;
  const int y = ADest.top + (ADest.bottom - ADest.top - ACellHeight) / 2;
  HDC source = AGlyphs.Canvas().Handle();
  const TColor transparent = AGlyphs.Canvas().Pixel(0, 0);
  TransparentMaskBlt(ADC, x, y, ACellWidth, ACellHeight, source, 0, AIndex * ACellHeight,
                     transparent);
}

} // namespace

// ===========================================================================
// TXPScrollsResourceManager

TBitmap& TXPScrollsResourceManager::ArrowGlyphs() {
  return *Images().Bitmaps[sbmArrowGlyphs];
}
TBitmap& TXPScrollsResourceManager::Arrows() {
  return *Images().Bitmaps[sbmArrows];
}
TBitmap& TXPScrollsResourceManager::ShaftHorizontal() {
  return *Images().Bitmaps[sbmShaftHorizontal];
}
TBitmap& TXPScrollsResourceManager::ShaftVertical() {
  return *Images().Bitmaps[sbmShaftVertical];
}
TBitmap& TXPScrollsResourceManager::ThumbHorizontal() {
  return *Images().Bitmaps[sbmThumbHorizontal];
}
TBitmap& TXPScrollsResourceManager::ThumbVertical() {
  return *Images().Bitmaps[sbmThumbVertical];
}
TBitmap& TXPScrollsResourceManager::ThumbGripperHorizontal() {
  return *Images().Bitmaps[sbmGripperHorizontal];
}
TBitmap& TXPScrollsResourceManager::ThumbGripperVertical() {
  return *Images().Bitmaps[sbmGripperVertical];
}
TAlphaImage& TXPScrollsResourceManager::ScrollPattern() {
  return *Images().Pattern;
}
bool TXPScrollsResourceManager::Loaded() {
  return ImagesSlot() != nullptr;
}
void TXPScrollsResourceManager::FreeImages() {
  ImagesSlot().reset();
}
void TXPScrollsResourceManager::Startup() {
  ImagesSlot().reset();
}

// ===========================================================================
// TCustomXPScrollBar

TCustomXPScrollBar::TCustomXPScrollBar(TComponent* AOwner)
    : TXPCustomControl(AOwner), FArrowImage(std::make_unique<TPicture>()),
      FButtonImage(std::make_unique<TAlphaBitmap>()), FThumbImage(std::make_unique<TAlphaBitmap>()),
      FShaftImage(std::make_unique<TAlphaBitmap>()) {
  FControlStyle = (FControlStyle & ~uint32_t(csSetCaption)) | csOpaque;
  SetParentColor(false);
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->SetOnTimer([this](TTimer*) { TimerTick(); });
  FBtnSize = GetXPScrollBarSize();
  SetBounds(Left(), Top(), 121, FBtnSize);
  SetTabStop(true);
  RecalcUsedMax();
  FArrowImage->OnChange = [this](TPicture*) { ImagesChanged(); };
  for (TAlphaBitmap* image : {FButtonImage.get(), FThumbImage.get(), FShaftImage.get()})
    image->OnChange = [this](TGraphic*) { ImagesChanged(); };
}

TCustomXPScrollBar::~TCustomXPScrollBar() {
  // The timer is owned as a component; stop it before anything goes.
  if (FTimer)
    FTimer->SetEnabled(false);
}

void TCustomXPScrollBar::ImagesChanged() {
  if (FLookAndFeel == xlfCustom)
    Invalidate();
}

void TCustomXPScrollBar::RecalcUsedMax() {
  // A page larger than the range leaves no room to move: the largest
  // position is then the smallest.
  FUsedMax = std::max(FMin, FMax - FPageSize + 1);
}

void TCustomXPScrollBar::SetParams(int APosition, int AMin, int AMax) {
  if ((APosition == FPosition && AMin == FMin && AMax == FMax) || AMax < AMin)
    return;
  FMin = AMin;
  FMax = AMax;
  RecalcUsedMax();
  FPosition = std::min(std::max(APosition, FMin), FUsedMax);
  Change();
  Invalidate();
}

void TCustomXPScrollBar::SetPageSize(int AValue) {
  AValue = std::min(std::max(AValue, 0), FMax - FMin + 1);
  if (AValue == FPageSize)
    return;
  FPageSize = AValue;
  RecalcUsedMax();
  Invalidate();
}

void TCustomXPScrollBar::SetKind(TScrollBarKind AValue) {
  if (AValue == FKind)
    return;
  FKind = AValue;
  if (!ComponentState().Contains(csLoading))
    SetBounds(Left(), Top(), Height(), Width());
  Invalidate();
}

void TCustomXPScrollBar::SetBelongsToControl(bool AValue) {
  if (AValue == FBelongsToControl)
    return;
  FBelongsToControl = AValue;
  if (HandleAllocated())
    RecreateWnd();
}

void TCustomXPScrollBar::SetLookAndFeel(TXPLookAndFeel AValue) {
  if (AValue == FLookAndFeel)
    return;
  FLookAndFeel = AValue;
  Invalidate();
}

void TCustomXPScrollBar::SetButtonColor(TColor AValue) {
  if (AValue == FButtonColor)
    return;
  FButtonColor = AValue;
  Invalidate();
}
void TCustomXPScrollBar::SetFrameColor(TColor AValue) {
  if (AValue == FFrameColor)
    return;
  FFrameColor = AValue;
  Invalidate();
}
void TCustomXPScrollBar::SetHotButtonColor(TColor AValue) {
  if (AValue == FHotButtonColor)
    return;
  FHotButtonColor = AValue;
  Invalidate();
}
void TCustomXPScrollBar::SetShaftColor(TColor AValue) {
  if (AValue == FShaftColor)
    return;
  FShaftColor = AValue;
  Invalidate();
}

void TCustomXPScrollBar::SetAlign(TAlign AValue) {
  if (AValue == alTop || AValue == alBottom)
    FKind = sbHorizontal;
  else if (AValue == alLeft || AValue == alRight)
    FKind = sbVertical;
  TXPCustomControl::SetAlign(AValue);
  Invalidate();
}

void TCustomXPScrollBar::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  TXPCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
  UpdateButtonSize();
}

void TCustomXPScrollBar::UpdateButtonSize() {
  if (!HandleAllocated())
    return;
  const RECT client = ClientRect();
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (FKind == sbHorizontal)
    FBtnSize = width < 2 * height ? width / 2 : height;
  else
    FBtnSize = height < 2 * width ? height / 2 : width;
  Invalidate();
}

void TCustomXPScrollBar::CreateParams(TCreateParams& AParams) {
  TXPCustomControl::CreateParams(AParams);
  if (GetXPThemeState() == xtsClassic && !FBelongsToControl)
    AParams.ExStyle |= WS_EX_STATICEDGE;
}

void TCustomXPScrollBar::CreateWnd() {
  TXPCustomControl::CreateWnd();
  UpdateButtonSize();
}

void TCustomXPScrollBar::EnabledChanged() {
  TXPCustomControl::EnabledChanged();
  Invalidate();
}

bool TCustomXPScrollBar::IsCustomLook() {
  return FLookAndFeel != xlfNative;
}

void TCustomXPScrollBar::Change() {
  if (OnChange)
    OnChange(this);
}

void TCustomXPScrollBar::Scroll(TScrollCode AScrollCode, int& AScrollPos) {
  if (OnScroll)
    OnScroll(this, AScrollCode, AScrollPos);
}

// ---------------------------------------------------------------------------
// Layout and hit test

TXPScrollLayout TCustomXPScrollBar::Layout() {
  const RECT client = ClientRect();
  const bool horizontal = FKind == sbHorizontal;
  const int length = horizontal ? client.right : client.bottom;
  const int thickness = horizontal ? client.bottom : client.right;
  const int track = length - 2 * FBtnSize;
  int thumb = MulDiv(FPageSize, track, FMax - FMin + 1);
  thumb = std::max(thumb, thickness);
  FTrackThumbSize = thumb;
  int offset = FBtnSize;
  if (FMin != FUsedMax)
    offset += MulDiv(FPosition - FMin, track - thumb, FUsedMax - FMin);
  // Spans along the bar, made into rectangles across its full thickness.
  auto span = [&](int AFrom, int ATo, int AInset = 0) {
    return horizontal ? RECT{AFrom, AInset, ATo, thickness - AInset}
                      : RECT{AInset, AFrom, thickness - AInset, ATo};
  };
  TXPScrollLayout layout;
  layout.StartButton = span(0, FBtnSize);
  layout.EndButton = span(length - FBtnSize, length);
  layout.BeforeThumb = span(FBtnSize, offset);
  layout.Thumb = span(offset, offset + thumb);
  layout.AfterThumb = span(offset + thumb, length - FBtnSize);
  const int centre = offset + thumb / 2;
  layout.Gripper = span(centre - kGripperHalf, centre + kGripperHalf, (thickness / 2) / 2);
  return layout;
}

TXPScrollElem TCustomXPScrollBar::ElementAt(POINT APoint) {
  const TXPScrollLayout layout = Layout();
  const std::pair<const RECT*, TXPScrollElem> order[] = {{&layout.StartButton, pseStartButton},
                                                         {&layout.EndButton, pseEndButton},
                                                         {&layout.BeforeThumb, pseBeforeThumb},
                                                         {&layout.AfterThumb, pseAfterThumb},
                                                         {&layout.Thumb, pseThumb}};
  for (const auto& [rect, elem] : order)
    if (PtInRect(rect, APoint))
      return elem;
  return pseNone;
}

RECT TCustomXPScrollBar::HeldRect() {
  const TXPScrollLayout layout = Layout();
  switch (FPressedElem) {
  case pseStartButton:
    return layout.StartButton;
  case pseEndButton:
    return layout.EndButton;
  case pseBeforeThumb:
    return layout.BeforeThumb;
  case pseAfterThumb:
    return layout.AfterThumb;
  case pseThumb:
    return layout.Thumb;
  default:
    return RECT{0, 0, 0, 0};
  }
}

void TCustomXPScrollBar::HitTest(POINT APoint) {
  const TXPScrollElem hot = ElementAt(APoint);
  if (hot != FHotElem) {
    FHotElem = hot;
    Invalidate();
  }
  if (FPressedElem == pseThumb)
    return;
  const RECT held = HeldRect();
  const bool repeat = FPressedElem != pseNone && PtInRect(&held, APoint);
  FTimer->SetEnabled(repeat);
  if (!repeat)
    return;
  ScrollStep(FTimerCode);
  FTimer->SetInterval(kXPScrollRepeatDelay);
}

void TCustomXPScrollBar::ScrollStep(TScrollCode ACode) {
  FTimer->SetInterval(kXPScrollRepeatInterval);
  int position = FPosition;
  switch (ACode) {
  case scLineUp:
    position -= FSmallChange;
    break;
  case scLineDown:
    position += FSmallChange;
    break;
  case scPageUp:
    position -= FLargeChange;
    break;
  case scPageDown:
    position += FLargeChange;
    break;
  case scTop:
    position = FMin;
    break;
  case scBottom:
    position = FUsedMax;
    break;
  default:
    break;
  }
  position = std::min(std::max(position, FMin), FUsedMax);
  Scroll(ACode, position);
  SetPosition(position);
}

void TCustomXPScrollBar::TimerTick() {
  ScrollStep(FTimerCode);
}

// ---------------------------------------------------------------------------
// Mouse and keys

void TCustomXPScrollBar::PressAt(POINT APoint) {
  TWinControl* focusTarget = this;
  if (FBelongsToControl)
    if (auto* owner = dynamic_cast<TWinControl*>(Owner()))
      focusTarget = owner;
  if (focusTarget->CanFocus() && !focusTarget->Focused())
    focusTarget->SetFocus();
  const TXPScrollLayout layout = Layout();
  switch (ElementAt(APoint)) {
  case pseStartButton:
    FPressedElem = pseStartButton;
    FTimerCode = scLineUp;
    break;
  case pseEndButton:
    FPressedElem = pseEndButton;
    FTimerCode = scLineDown;
    break;
  case pseBeforeThumb:
    FPressedElem = pseBeforeThumb;
    FTimerCode = scPageUp;
    break;
  case pseAfterThumb:
    FPressedElem = pseAfterThumb;
    FTimerCode = scPageDown;
    break;
  default: {
    FPressedElem = pseThumb;
    const int thumbStart = FKind == sbHorizontal ? layout.Thumb.left : layout.Thumb.top;
    FTrackThumbStart = FBtnSize + (AlongOf(APoint) - thumbStart);
    break;
  }
  }
  Invalidate();
  HitTest(APoint);
}

void TCustomXPScrollBar::ReleaseAt(POINT APoint) {
  const bool thumbHeld = FPressedElem == pseThumb;
  FPressedElem = pseNone;
  if (thumbHeld) {
    int position = FPosition;
    Scroll(scPosition, position);
    SetPosition(position);
  }
  Invalidate();
  HitTest(APoint);
  int position = FPosition;
  Scroll(scEndScroll, position);
  SetPosition(position);
}

void TCustomXPScrollBar::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseDown(AButton, AShift, AX, AY);
  if (AButton != mbLeft)
    return;
  if ((AShift & ssDouble) && FPressedElem != pseNone)
    ReleaseAt({AX, AY});
  PressAt({AX, AY});
}

void TCustomXPScrollBar::MouseMove(TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseMove(AShift, AX, AY);
  if (FPressedElem == pseThumb) {
    const RECT client = ClientRect();
    const int length = FKind == sbHorizontal ? client.right : client.bottom;
    const int room = length - 2 * FBtnSize - FTrackThumbSize;
    int position = FMin;
    if (room != 0)
      position = FMin + MulDiv(AlongOf({AX, AY}) - FTrackThumbStart, FUsedMax - FMin, room);
    position = std::min(std::max(position, FMin), FUsedMax);
    if (position != FPosition) {
      Scroll(scTrack, position);
      SetPosition(position);
    }
  }
  HitTest({AX, AY});
}

void TCustomXPScrollBar::MouseUp(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TXPCustomControl::MouseUp(AButton, AShift, AX, AY);
  if (AButton == mbLeft && FPressedElem != pseNone)
    ReleaseAt({AX, AY});
}

void TCustomXPScrollBar::MouseEnter(intptr_t AMarker) {
  TXPCustomControl::MouseEnter(AMarker);
  POINT cursor{};
  GetCursorPos(&cursor);
  HitTest(ScreenToClient(cursor));
}

void TCustomXPScrollBar::MouseLeave(intptr_t AMarker) {
  TXPCustomControl::MouseLeave(AMarker);
  POINT cursor{};
  GetCursorPos(&cursor);
  HitTest(ScreenToClient(cursor));
}

namespace {

// The keys of the bar and what each asks.
struct TScrollKey {
  WPARAM Key;
  TScrollCode Code;
};
constexpr TScrollKey kScrollKeys[] = {
    {VK_PRIOR, scPageUp}, {VK_NEXT, scPageDown}, {VK_END, scBottom},     {VK_HOME, scTop},
    {VK_LEFT, scLineUp},  {VK_UP, scLineUp},     {VK_RIGHT, scLineDown}, {VK_DOWN, scLineDown}};

const TScrollKey* FindScrollKey(WPARAM AKey) {
  for (const TScrollKey& key : kScrollKeys)
    if (key.Key == AKey)
      return &key;
  return nullptr;
}

} // namespace

void TCustomXPScrollBar::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_KEYDOWN:
    if (const TScrollKey* key = FindScrollKey(AMessage.WParam)) {
      ScrollStep(key->Code);
      AMessage.Result = 0;
      return;
    }
    break;
  case WM_KEYUP:
    if (FindScrollKey(AMessage.WParam)) {
      int position = FPosition;
      Scroll(scEndScroll, position);
      SetPosition(position);
    }
    break;
  default:
    break;
  }
  TXPCustomControl::WndProc(AMessage);
}

// ---------------------------------------------------------------------------
// Painting

int TCustomXPScrollBar::ElementState(TXPScrollElem AElem) {
  if (!Enabled())
    return kXPScrollStateDisabled;
  if (AElem == FPressedElem) {
    if (AElem == pseThumb && GetXPThemeState() == xtsClassic)
      return kXPScrollStateHot;
    return kXPScrollStatePressed;
  }
  if (AElem == FHotElem)
    return kXPScrollStateHot;
  return kXPScrollStateNormal;
}

void TCustomXPScrollBar::Paint() {
  const TXPScrollLayout layout = Layout();
  if (!IsCustomLook() && GetXPThemeState() == xtsThemed) {
    PaintThemed(layout);
    return;
  }
  const bool vertical = FKind == sbVertical;
  PaintShaft(layout.BeforeThumb, ElementState(pseBeforeThumb));
  PaintShaft(layout.AfterThumb, ElementState(pseAfterThumb));
  PaintThumb(layout.Thumb, ElementState(pseThumb));
  PaintArrowButton(layout.StartButton, ElementState(pseStartButton), true,
                   vertical ? kGlyphUp : kGlyphLeft);
  PaintArrowButton(layout.EndButton, ElementState(pseEndButton), false,
                   vertical ? kGlyphDown : kGlyphRight);
}

void TCustomXPScrollBar::PaintThemed(const TXPScrollLayout& ALayout) {
  HDC dc = Canvas().Handle();
  HWND window = Handle();
  const bool horizontal = FKind == sbHorizontal;
  auto themeState = [this](TXPScrollElem AElem) { return ElementState(AElem) + 1; };
  const int upperTrack = horizontal ? kPartUpperTrackHorizontal : kPartUpperTrackVertical;
  const int lowerTrack = horizontal ? kPartLowerTrackHorizontal : kPartLowerTrackVertical;
  if (!Empty(ALayout.BeforeThumb))
    DrawThemePart(window, kThemeClass, upperTrack, themeState(pseBeforeThumb), dc,
                  ALayout.BeforeThumb);
  if (!Empty(ALayout.AfterThumb))
    DrawThemePart(window, kThemeClass, lowerTrack, themeState(pseAfterThumb), dc,
                  ALayout.AfterThumb);
  if (Enabled()) {
    DrawThemePart(window, kThemeClass, horizontal ? kPartThumbHorizontal : kPartThumbVertical,
                  themeState(pseThumb), dc, ALayout.Thumb);
    DrawThemePart(window, kThemeClass, horizontal ? kPartGripperHorizontal : kPartGripperVertical,
                  themeState(pseThumb), dc, ALayout.Gripper);
  } else {
    DrawThemePart(window, kThemeClass, upperTrack, themeState(pseThumb), dc, ALayout.Thumb);
  }
  const int startBase = horizontal ? kGlyphLeft : kGlyphUp;
  const int endBase = horizontal ? kGlyphRight : kGlyphDown;
  auto arrowState = [&](TXPScrollElem AElem, int ABase) {
    const int state = ElementState(AElem);
    if (state == kXPScrollStateNormal && FHotElem != pseNone && IsWindowsVistaOrLater())
      return kArrowHoverState + ABase / 4;
    return ABase + state + 1;
  };
  DrawThemePart(window, kThemeClass, kPartArrowButton, arrowState(pseStartButton, startBase), dc,
                ALayout.StartButton);
  DrawThemePart(window, kThemeClass, kPartArrowButton, arrowState(pseEndButton, endBase), dc,
                ALayout.EndButton);
}

void TCustomXPScrollBar::PaintShaft(const RECT& ARect, int AState) {
  if (Empty(ARect))
    return;
  HDC dc = Canvas().Handle();
  const bool horizontal = FKind == sbHorizontal;
  const RECT margins =
      horizontal ? RECT{0, 1, kFaceCell, kFaceCell - 1} : RECT{1, 0, kFaceCell - 1, kFaceCell};
  if (FLookAndFeel == xlfCustom) {
    if (!FShaftImage->Empty()) {
      const int cell = FShaftImage->Height() / 4;
      DrawSkinBitmap(ARect, margins,
                     RECT{0, AState * cell, FShaftImage->Width(), (AState + 1) * cell}, dc,
                     FShaftImage->Handle(), true);
      return;
    }
    const TColor frame = Enabled() ? OrDefault(FFrameColor, clXPBtnShadow) : clXPBtnShadow;
    const TColor shaft = Enabled() ? OrDefault(FShaftColor, clXPBtnHighlight) : clXPBtnHighlight;
    FillSolidRect(dc, ARect, frame);
    RECT inner = ARect;
    if (horizontal)
      InflateRect(&inner, 0, -1);
    else
      InflateRect(&inner, -1, 0);
    FillSolidRect(dc, inner, shaft);
    return;
  }
  if (GetXPThemeState() == xtsEmulated) {
    TBitmap& shaft = horizontal ? TXPScrollsResourceManager::ShaftHorizontal()
                                : TXPScrollsResourceManager::ShaftVertical();
    DrawSkinBitmap(ARect, margins, RECT{0, AState * kFaceCell, kFaceCell, (AState + 1) * kFaceCell},
                   dc, shaft, false);
    return;
  }
  if (AState == kXPScrollStatePressed) {
    FillSolidRect(dc, ARect, clBlack);
    return;
  }
  HBRUSH pattern = CreatePatternBrush(TXPScrollsResourceManager::ScrollPattern().Handle());
  if (!pattern)
    return;
  LedgerTake(TResourceKind::GdiObject, pattern);
  // The pattern stays put on the screen as the thumb moves over it.
  POINT origin{};
  SetBrushOrgEx(dc, 0, 0, &origin);
  FillRect(dc, &ARect, pattern);
  SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
  DeleteObject(pattern);
  LedgerGive(TResourceKind::GdiObject, pattern);
}

void TCustomXPScrollBar::PaintThumb(const RECT& ARect, int AState) {
  if (Empty(ARect))
    return;
  HDC dc = Canvas().Handle();
  const bool horizontal = FKind == sbHorizontal;
  const SIZE cell = horizontal ? kThumbCellHorizontal : kThumbCellVertical;
  const RECT margins{kSkinMargin, kSkinMargin, cell.cx - kSkinMargin, cell.cy - kSkinMargin};
  if (FLookAndFeel == xlfCustom) {
    if (!FThumbImage->Empty()) {
      const int height = FThumbImage->Height() / 4;
      const RECT inner{kSkinMargin, kSkinMargin, FThumbImage->Width() - kSkinMargin,
                       height - kSkinMargin};
      DrawSkinBitmap(ARect, inner,
                     RECT{0, AState * height, FThumbImage->Width(), (AState + 1) * height}, dc,
                     FThumbImage->Handle(), true);
      return;
    }
    if (AState == kXPScrollStateDisabled) {
      FillSolidRect(dc, ARect, clXPBtnHighlight);
      FrameSolidRect(dc, ARect, clXPBtnShadow);
      return;
    }
    const TColor face = AState == kXPScrollStateNormal
                            ? OrDefault(FButtonColor, clXPBtnFace)
                            : OrDefault(FHotButtonColor, clXPBtnHighlight);
    FillSolidRect(dc, ARect, OrDefault(FFrameColor, clXPBtnShadow));
    RECT inner = ARect;
    if (horizontal)
      InflateRect(&inner, 0, -1);
    else
      InflateRect(&inner, -1, 0);
    FillSolidRect(dc, inner, face);
    return;
  }
  if (GetXPThemeState() == xtsEmulated) {
    TBitmap& thumb = horizontal ? TXPScrollsResourceManager::ThumbHorizontal()
                                : TXPScrollsResourceManager::ThumbVertical();
    DrawSkinBitmap(ARect, margins, RECT{0, AState * cell.cy, cell.cx, (AState + 1) * cell.cy}, dc,
                   thumb, false);
    TBitmap& gripper = horizontal ? TXPScrollsResourceManager::ThumbGripperHorizontal()
                                  : TXPScrollsResourceManager::ThumbGripperVertical();
    DrawCentredGlyph(dc, ARect, gripper, kGripperCell, kGripperCell, AState);
    return;
  }
  if (AState == kXPScrollStateDisabled) {
    PaintShaft(ARect, AState);
    return;
  }
  UINT flags = DFCS_BUTTONPUSH;
  if (AState == kXPScrollStateHot)
    flags |= DFCS_HOT;
  else if (AState == kXPScrollStatePressed)
    flags |= DFCS_PUSHED;
  RECT rect = ARect;
  DrawFrameControl(dc, &rect, DFC_BUTTON, flags);
}

void TCustomXPScrollBar::PaintArrowButton(const RECT& ARect, int AState, bool AIsStart,
                                          int AGlyphBase) {
  (void)AIsStart;
  if (Empty(ARect))
    return;
  HDC dc = Canvas().Handle();
  const RECT margins{kSkinMargin, kSkinMargin, kFaceCell - kSkinMargin, kFaceCell - kSkinMargin};
  if (FLookAndFeel == xlfCustom) {
    if (!FButtonImage->Empty())
      DrawSkinBitmap(ARect, margins,
                     RECT{0, AState * kFaceCell, kFaceCell, (AState + 1) * kFaceCell}, dc,
                     FButtonImage->Handle(), true);
    else
      PaintThumb(ARect, AState);
    TGraphic* arrows = FArrowImage->Graphic();
    if (IsGraphicEmpty(arrows))
      return;
    // A strip of square cells along its longer side.
    const bool across = arrows->Width() >= arrows->Height();
    const int side = across ? arrows->Height() : arrows->Width();
    const int index = AGlyphBase + AState;
    const int x = ARect.left + (ARect.right - ARect.left - side) / 2;
    const int y = ARect.top + (ARect.bottom - ARect.top - side) / 2;
    HRGN saved = nullptr;
    ClipToRect(dc, RECT{x, y, x + side, y + side}, saved);
    const int drawX = across ? x - index * side : x;
    const int drawY = across ? y : y - index * side;
    Canvas().Draw(drawX, drawY, arrows);
    RestoreClipRgn(dc, saved);
    return;
  }
  if (GetXPThemeState() == xtsEmulated) {
    DrawSkinBitmap(ARect, margins, RECT{0, AState * kFaceCell, kFaceCell, (AState + 1) * kFaceCell},
                   dc, TXPScrollsResourceManager::Arrows(), false);
    DrawCentredGlyph(dc, ARect, TXPScrollsResourceManager::ArrowGlyphs(), kGlyphCell, kGlyphCell,
                     AGlyphBase + AState);
    return;
  }
  UINT flags = 0;
  switch (AGlyphBase) {
  case kGlyphUp:
    flags = DFCS_SCROLLUP;
    break;
  case kGlyphDown:
    flags = DFCS_SCROLLDOWN;
    break;
  case kGlyphLeft:
    flags = DFCS_SCROLLLEFT;
    break;
  default:
    flags = DFCS_SCROLLRIGHT;
    break;
  }
  if (AState == kXPScrollStateHot)
    flags |= DFCS_HOT;
  else if (AState == kXPScrollStatePressed)
    flags |= DFCS_PUSHED;
  else if (AState == kXPScrollStateDisabled)
    flags |= DFCS_INACTIVE;
  RECT rect = ARect;
  DrawFrameControl(dc, &rect, DFC_SCROLL, flags);
}
