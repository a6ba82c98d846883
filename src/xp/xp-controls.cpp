#include "xp-controls.h"

#include "resource-ledger.h"
#include "smooth-text.h"
#include "xp-graphics.h"
#include "xp-system.h"

#include <algorithm>
#include <exception>
#include <vector>

TColor clXPWindow = clWindow;
TColor clXPBtnFace = clBtnFace;
TColor clXPHighlight = clHighlight;
TColor clXPHighlightText = clHighlightText;
TColor clXPBtnShadow = clBtnShadow;
TColor clXPBtnHighlight = clBtnHighlight;
TColor clXPGrayText = clGrayText;

namespace {

constexpr TXPLibraryColors kEmulatedColors{TColor(0xFFFFFF), TColor(0xDEEBEF), TColor(0xC56A31),
                                           TColor(0xFFFFFF), TColor(0xBFC3C4), TColor(0xEDF1F1),
                                           TColor(0x92A1A1)};
constexpr TXPLibraryColors kSystemColors{clWindow,    clBtnFace,      clHighlight, clHighlightText,
                                         clBtnShadow, clBtnHighlight, clGrayText};

// The system's check-box strip: four columns, three rows of cells.
constexpr UINT kObmCheckBoxes = 32759;
constexpr SIZE kFallbackCheckSize{13, 13};
constexpr int kEmulatedScrollBarSize = 17;

// The artwork's neutral colours and the system colours they stand for.
struct TSubstColor {
  TColor Source;
  TColor Dest;
};
constexpr TSubstColor kSubstColors[] = {{TColor(0xFFFFFF), clBtnHighlight},
                                        {TColor(0xC0C0C0), clBtnFace},
                                        {TColor(0x808080), clBtnShadow},
                                        {TColor(0x000000), clBtnText}};

// A prepared image tells the manager when it goes, so a colour change never
// reloads an image that is no longer there.
class TPreparedAlphaImage : public TAlphaImage {
public:
  ~TPreparedAlphaImage() override;
};

struct TManagerState {
  bool MetricsReady = false;
  SIZE CheckSize = kFallbackCheckSize;
  int ScrollBarSize = kEmulatedScrollBarSize;
  bool ManagerReady = false;
  std::vector<TAlphaImage*> Prepared;
  std::unique_ptr<TCustomWndProcObject> Window;
};

// Never destroyed: an image some module keeps until the process ends may
// still leave the list after static destruction has begun.
TManagerState& Manager() {
  static TManagerState* state = new TManagerState;
  return *state;
}

bool GStarted = false;

// The picture formats the layer's start-up registers.
constexpr const wchar_t* kPictureFormats[] = {L"bmp", L"bmpx", L"img", L"png"};
constexpr wchar_t kGradientLibrary[] = L"msimg32.dll";

void SetLibraryColors(const TXPLibraryColors& AColors) {
  clXPWindow = AColors.Window;
  clXPBtnFace = AColors.BtnFace;
  clXPHighlight = AColors.Highlight;
  clXPHighlightText = AColors.HighlightText;
  clXPBtnShadow = AColors.BtnShadow;
  clXPBtnHighlight = AColors.BtnHighlight;
  clXPGrayText = AColors.GrayText;
}

SIZE SystemCheckSize() {
  HBITMAP strip = LoadBitmapW(nullptr, MAKEINTRESOURCEW(kObmCheckBoxes));
  if (!strip)
    return kFallbackCheckSize;
  LedgerTake(TResourceKind::GdiObject, strip);
  BITMAP info{};
  SIZE size = kFallbackCheckSize;
  if (GetObjectW(strip, sizeof(info), &info) == sizeof(info) && info.bmWidth >= 4 &&
      info.bmHeight >= 3)
    size = SIZE{info.bmWidth / 4, info.bmHeight / 3};
  DeleteObject(strip);
  LedgerGive(TResourceKind::GdiObject, strip);
  return size;
}

void ComputeMetrics() {
  TManagerState& manager = Manager();
  UpdateXPLibraryColors();
  manager.CheckSize = SystemCheckSize();
  manager.ScrollBarSize =
      GetXPThemeState() == xtsEmulated ? kEmulatedScrollBarSize : GetSystemMetrics(SM_CXHSCROLL);
  manager.MetricsReady = true;
}

void EnsureMetrics() {
  if (!Manager().MetricsReady)
    ComputeMetrics();
}

void Recolor(TAlphaImage& AImage) {
  for (const TSubstColor& subst : kSubstColors)
    AImage.ReplaceColor(subst.Source, subst.Dest);
}

// Every remembered image is read again from its resource before it is
// recoloured, so a pixel recoloured before is never recoloured twice.
void SystemColorsChanged() {
  UpdateXPLibraryColors();
  std::exception_ptr firstError;
  const std::vector<TAlphaImage*> images = Manager().Prepared;
  for (TAlphaImage* image : images) {
    if (!TXPControlManager::IsPrepared(image))
      continue;
    try {
      image->LoadFromResource(image->ResName());
      Recolor(*image);
    } catch (...) {
      if (!firstError)
        firstError = std::current_exception();
    }
  }
  if (firstError)
    std::rethrow_exception(firstError);
}

void EnsureManagerWindow() {
  TManagerState& manager = Manager();
  if (manager.Window)
    return;
  auto window = std::make_unique<TCustomWndProcObject>();
  window->OnMessage = [](TMessage& AMessage, bool& AHandled) {
    if (AMessage.Msg != WM_SYSCOLORCHANGE)
      return;
    AHandled = true;
    AMessage.Result = 0;
    SystemColorsChanged();
  };
  manager.Window = std::move(window);
  manager.ManagerReady = true;
}

void ManagerShutdown() {
  TManagerState& manager = Manager();
  manager.Window.reset();
  // The images belong to their callers; only the list goes.
  manager.Prepared.clear();
  manager.ManagerReady = false;
  manager.MetricsReady = false;
}

TPreparedAlphaImage::~TPreparedAlphaImage() {
  auto& prepared = Manager().Prepared;
  prepared.erase(std::remove(prepared.begin(), prepared.end(), this), prepared.end());
}

// One step of the start-up or shut-down; a step that fails leaves its work
// undone and the others still run.
template <typename TStep> void RunQuietly(TStep AStep) {
  try {
    AStep();
  } catch (...) {
  }
}

} // namespace

TXPLibraryColors XPLibraryColorsFor(int AThemeState) {
  return AThemeState == xtsEmulated ? kEmulatedColors : kSystemColors;
}

void UpdateXPLibraryColors() {
  SetLibraryColors(XPLibraryColorsFor(GetXPThemeState()));
}

void GetXPCheckSize(SIZE& ASize) {
  EnsureMetrics();
  ASize = Manager().CheckSize;
}

int GetXPScrollBarSize() {
  EnsureMetrics();
  return Manager().ScrollBarSize;
}

// ---------------------------------------------------------------------------
// TCustomWndProcObject

TCustomWndProcObject::TCustomWndProcObject()
    : FWnd(std::make_unique<THiddenWindow>(
          [this](UINT AMsg, WPARAM AWParam, LPARAM ALParam, LRESULT& AResult) {
            if (!OnMessage)
              return false;
            TMessage message{AMsg, AWParam, ALParam, 0};
            bool handled = false;
            // The handler may be replaced while it runs: call a copy.
            TMessageEvent handler = OnMessage;
            handler(message, handled);
            AResult = message.Result;
            return handled;
          })) {}

TCustomWndProcObject::~TCustomWndProcObject() = default;

HWND TCustomWndProcObject::Handle() const {
  return FWnd->Handle();
}

// ---------------------------------------------------------------------------
// TXPCustomControl

TXPCustomControl::TXPCustomControl(TComponent* AOwner) : TCustomControl(AOwner) {}

void TXPCustomControl::SetSmoothDraw(bool AValue) {
  if (FSmoothDraw == AValue)
    return;
  FSmoothDraw = AValue;
  RedrawControl();
}

void TXPCustomControl::RedrawControl() {
  Invalidate();
}

bool TXPCustomControl::IsModified() {
  return false;
}

void TXPCustomControl::SaveModifiedState() {}

void TXPCustomControl::EraseBackground(HDC /*ADC*/) {
  // All painting happens in Paint; erasing first would only flicker.
}

void TXPCustomControl::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case XPM_MODIFIEDSTATE:
    AMessage.Result = 0;
    if (AMessage.WParam == kXPModifiedQuery)
      AMessage.Result = IsModified() ? 1 : 0;
    else if (AMessage.WParam == kXPModifiedSave)
      SaveModifiedState();
    return;
  case WM_PRINT: {
    // The framework's print path draws the frame through the window-DC
    // redirect, so the frame's painting lands in the print target; the
    // client area follows inside it.
    TCustomControl::WndProc(AMessage);
    const LPARAM flags = AMessage.LParam;
    if ((flags & PRF_CHECKVISIBLE) && !Showing())
      return;
    if (flags & PRF_NONCLIENT)
      AMessage.Result = 1;
    return;
  }
  default:
    break;
  }
  TCustomControl::WndProc(AMessage);
}

// ---------------------------------------------------------------------------
// TXPCustomTransparentControl

TXPCustomTransparentControl::TXPCustomTransparentControl(TComponent* AOwner)
    : TXPCustomControl(AOwner) {}

void TXPCustomTransparentControl::SetTransparent(bool AValue) {
  if (FTransparent == AValue)
    return;
  FTransparent = AValue;
  TransparentChanged();
}

void TXPCustomTransparentControl::TransparentChanged() {
  Invalidate();
}

void TXPCustomTransparentControl::EraseBackground(HDC ADC) {
  if (FTransparent && !ComponentState().Contains(csDesigning)) {
    ::PaintParentBackground(this, ADC, nullptr);
    return;
  }
  FillSolidRect(ADC, ClientRect(), Color());
}

// ---------------------------------------------------------------------------
// TXPNonFlickingControl

TXPNonFlickingControl::TXPNonFlickingControl(TComponent* AOwner)
    : TXPCustomTransparentControl(AOwner) {}

void TXPNonFlickingControl::CreateParams(TCreateParams& AParams) {
  TXPCustomTransparentControl::CreateParams(AParams);
  // The framework's window class has neither CS_HREDRAW nor CS_VREDRAW, so a
  // resize repaints only what WM_NCCALCSIZE leaves invalid.
  AParams.Style |= WS_CLIPCHILDREN;
}

void TXPNonFlickingControl::WndProc(TMessage& AMessage) {
  TXPCustomTransparentControl::WndProc(AMessage);
  if (AMessage.Msg != WM_NCCALCSIZE || !AMessage.WParam)
    return;
  auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(AMessage.LParam);
  const RECT newClient = params->rgrc[0];
  const RECT oldWindow = params->rgrc[1];
  RECT source = oldWindow;
  OffsetRect(&source, oldWindow.left - newClient.left, oldWindow.top - newClient.top);
  // Keep the old pixels, except a strip of FDelta at each moved edge.
  auto adjust = [this](LONG& AEdge, LONG ANewEdge) {
    if (ANewEdge > AEdge)
      AEdge -= FDelta;
    else if (ANewEdge < AEdge)
      AEdge = ANewEdge - FDelta;
  };
  adjust(source.right, newClient.right);
  adjust(source.bottom, newClient.bottom);
  params->rgrc[2] = source;
  AMessage.Result = WVR_VALIDRECTS;
}

// ---------------------------------------------------------------------------
// TXPControlManager

void TXPControlManager::CreateAndPrepareAlphaImage(std::unique_ptr<TAlphaImage>& AImage,
                                                   const std::wstring& AResName) {
  EnsureManagerWindow();
  auto image = std::make_unique<TPreparedAlphaImage>();
  image->LoadFromResource(AResName);
  Recolor(*image);
  auto& prepared = Manager().Prepared;
  if (std::find(prepared.begin(), prepared.end(), image.get()) == prepared.end())
    prepared.push_back(image.get());
  AImage = std::move(image);
}

bool TXPControlManager::IsPrepared(const TAlphaImage* AImage) {
  const auto& prepared = Manager().Prepared;
  return AImage && std::find(prepared.begin(), prepared.end(), AImage) != prepared.end();
}

HWND TXPControlManager::MessageWindow() {
  const TManagerState& manager = Manager();
  return manager.Window ? manager.Window->Handle() : nullptr;
}

void TXPControlManager::UseSubstColors() {}

// ---------------------------------------------------------------------------
// Start-up and shut-down

void XPLibraryStartup() {
  if (GStarted)
    return;
  GStarted = true;
  RunQuietly([] {
    XPGraphicsStartup();
    if (XPGradientFillBound())
      LedgerRegistration(L"GradientFill", kGradientLibrary, true);
  });
  RunQuietly([] {
    RegisterXPPictureFormats();
    for (const wchar_t* format : kPictureFormats)
      LedgerRegistration(L"PictureFormat", format, true);
  });
  RunQuietly([] {
    Manager().MetricsReady = false;
    Manager().ManagerReady = false;
    ComputeMetrics();
  });
  RunQuietly(TXPControlManager::UseSubstColors);
}

void XPLibraryShutdown() {
  // Even without a start-up, what the layer made on demand goes.
  RunQuietly(ManagerShutdown);
  RunQuietly(TSmoothTextRenderer::Shutdown);
  if (!GStarted)
    return;
  GStarted = false;
  RunQuietly([] {
    UnregisterXPPictureFormats();
    for (const wchar_t* format : kPictureFormats)
      LedgerRegistration(L"PictureFormat", format, false);
  });
  RunQuietly([] {
    XPGraphicsShutdown();
    LedgerRegistration(L"GradientFill", kGradientLibrary, false);
  });
  RunQuietly([] { SetLibraryColors(kSystemColors); });
}

bool XPLibraryStarted() {
  return GStarted;
}
