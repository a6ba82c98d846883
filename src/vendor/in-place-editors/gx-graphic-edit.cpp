#include "gx-graphic-edit.h"

#include "gx-resources.h"
#include "gx-utils.h"

#include "rtl-exceptions.h"
#include "seams.h"
#include "streams.h"

#include <commdlg.h>
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

int RectWidth(const RECT& R) {
  return R.right - R.left;
}
int RectHeight(const RECT& R) {
  return R.bottom - R.top;
}

constexpr POINT kNoPosition{-10000, -10000};
bool IsNoPosition(POINT AP) {
  return AP.x == kNoPosition.x && AP.y == kNoPosition.y;
}

// The clipboard opened for a scope; another program may hold it for a
// moment, so opening is tried a bounded number of times.
class TClipboardScope {
public:
  explicit TClipboardScope(HWND AOwner) {
    for (int attempt = 0; attempt < 10 && !FOpen; ++attempt) {
      FOpen = OpenClipboard(AOwner) != FALSE;
      if (!FOpen)
        SleepFor(10);
    }
    if (!FOpen)
      throw Exception(L"Cannot open clipboard");
  }
  TClipboardScope(const TClipboardScope&) = delete;
  TClipboardScope& operator=(const TClipboardScope&) = delete;
  ~TClipboardScope() { CloseClipboard(); }

private:
  bool FOpen = false;
};

class TSystemPictureDialog : public TgxPictureDialogSeam {
public:
  bool Execute(TOpenFileRequest& ARequest, bool ASave) override {
    if (!ASave)
      return ExecuteOpenFile(ARequest);
    const std::wstring filter = SystemFileFilter(ARequest.Filter);
    std::vector<wchar_t> file(32768, L'\0');
    std::copy_n(ARequest.FileName.begin(), std::min(ARequest.FileName.size(), file.size() - 1),
                file.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = ARequest.Owner;
    ofn.lpstrFilter = ARequest.Filter.empty() ? nullptr : filter.c_str();
    ofn.nFilterIndex = DWORD(ARequest.FilterIndex);
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = DWORD(file.size());
    ofn.lpstrDefExt = ARequest.DefaultExt.empty() ? nullptr : ARequest.DefaultExt.c_str();
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING;
    if (!GetSaveFileNameW(&ofn))
      return false;
    ARequest.FileName = file.data();
    return true;
  }
};

// The shared drawing canvas for one paint, attached to a context.
class TDrawCanvasScope {
public:
  explicit TDrawCanvasScope(HDC ADC) : FCanvas(GetEditorMeasureCanvas()) {
    if (!FCanvas) {
      FOwn = std::make_unique<TCanvas>();
      FCanvas = FOwn.get();
    }
    FCanvas->Lock();
    FPrevious = FCanvas->HandleAllocated() ? FCanvas->Handle() : nullptr;
    FCanvas->SetHandle(ADC);
  }
  TDrawCanvasScope(const TDrawCanvasScope&) = delete;
  TDrawCanvasScope& operator=(const TDrawCanvasScope&) = delete;
  ~TDrawCanvasScope() {
    FCanvas->SetHandle(FPrevious);
    FCanvas->Unlock();
  }
  TCanvas& Canvas() { return *FCanvas; }

private:
  TCanvas* FCanvas;
  std::unique_ptr<TCanvas> FOwn;
  HDC FPrevious = nullptr;
};

} // namespace

TgxPictureDialogSeam& TgxPictureDialogSeam::System() {
  static TSystemPictureDialog system;
  return system;
}

// ===========================================================================
// The picture value format

bool IsPictureEmpty(const TPicture* APicture) {
  return !APicture || !APicture->Graphic() || APicture->Graphic()->Empty();
}

void LoadPictureFromVariant(TPicture& APicture, TGraphicClass AGraphicClass,
                            const TgxVariant& AValue) {
  const auto* text = std::get_if<std::wstring>(&AValue);
  if (!text) {
    APicture.SetGraphic(nullptr);
    return;
  }
  // One byte per character.
  std::vector<uint8_t> bytes(text->size());
  for (size_t i = 0; i < text->size(); ++i)
    bytes[i] = uint8_t((*text)[i]);
  TMemoryStreamReadOnly stream(bytes.data(), bytes.size());
  if (bytes.size() >= 8) {
    uint16_t first = 0, second = 0;
    uint32_t length = 0;
    std::memcpy(&first, bytes.data(), 2);
    std::memcpy(&second, bytes.data() + 2, 2);
    std::memcpy(&length, bytes.data() + 4, 4);
    const bool header = first == 1 && second == 0x0100 && length == bytes.size() - 8;
    stream.Seek(header ? 8 : 0, TSeekOrigin::Beginning);
  }
  if (stream.GetSize() - stream.Seek(0, TSeekOrigin::Current) <= 0) {
    APicture.SetGraphic(nullptr);
    return;
  }
  if (AGraphicClass) {
    std::unique_ptr<TGraphic> graphic(AGraphicClass->Create());
    graphic->LoadFromStream(stream);
    APicture.SetGraphic(graphic.get());
  } else {
    APicture.Bitmap().LoadFromStream(stream);
  }
}

std::wstring SavePictureToString(const TPicture* APicture) {
  if (IsPictureEmpty(APicture))
    return {};
  TMemoryStream stream;
  APicture->Graphic()->SaveToStream(stream);
  const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
  std::wstring text(size_t(stream.GetSize()), L'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = wchar_t(bytes[i]);
  return text;
}

RECT FitRect(const RECT& ASource, int APicWidth, int APicHeight) {
  const int width = RectWidth(ASource), height = RectHeight(ASource);
  RECT result = ASource;
  if (double(width) / double(height) >= double(APicWidth) / double(APicHeight)) {
    result.right = result.left + APicWidth * height / APicHeight;
    result.bottom = result.top + height;
  } else {
    result.right = result.left + width;
    result.bottom = result.top + APicHeight * width / APicWidth;
  }
  return result;
}

// ===========================================================================
// TgxInplaceGraphicEditClass

const TgxInplaceGraphicEditClass& TgxInplaceGraphicEditClass::Instance() {
  static const TgxInplaceGraphicEditClass instance;
  return instance;
}

void TgxInplaceGraphicEditClass::CalcViewInfo(TgxEditViewData& AViewData, bool AAutoSize,
                                              TgxEditViewInfo& AViewInfo) const {
  auto* data = dynamic_cast<TgxGraphicEditViewData*>(&AViewData);
  if (!data || IsPictureEmpty(data->Picture))
    AAutoSize = false;
  TgxInplaceEditClass::CalcViewInfo(AViewData, AAutoSize, AViewInfo);
}

RECT TgxInplaceGraphicEditClass::GetMinRect(TgxEditViewData& AViewData) const {
  auto* data = dynamic_cast<TgxGraphicEditViewData*>(&AViewData);
  if (!data || IsPictureEmpty(data->Picture))
    return TgxInplaceEditClass::GetMinRect(AViewData);
  return RECT{0, 0, data->Picture->Width(), data->Picture->Height()};
}

bool TgxInplaceGraphicEditClass::DrawClientArea(HDC ADC, RECT& ARect, TgxEditViewData& AViewData,
                                                bool /*AIsControl*/) const {
  auto* data = dynamic_cast<TgxGraphicEditViewData*>(&AViewData);
  TPicture* picture = data ? data->Picture : nullptr;
  const bool empty = IsPictureEmpty(picture);
  if (AViewData.CalcHeight) {
    AViewData.LineCount = 1;
    AViewData.LineHeight = (data && data->Stretch) || empty ? 0 : picture->Height();
    return true;
  }
  if (RectWidth(ARect) <= 0 || RectHeight(ARect) <= 0)
    return true;
  const int saved = SaveDC(ADC);
  TBitmap* offscreen = AViewData.TempDrawBitmap;
  const bool direct = AViewData.Transparent || (!(data && data->DrawShadow) && !offscreen);
  RECT r = ARect;
  HDC target = ADC;
  if (!direct && offscreen) {
    EnsureBitmapSize(*offscreen, RectWidth(ARect), RectHeight(ARect));
    r = RECT{0, 0, RectWidth(ARect), RectHeight(ARect)};
    target = offscreen->Canvas().Handle();
  }
  {
    TDrawCanvasScope scope(target);
    TCanvas& canvas = scope.Canvas();
    if (empty) {
      const std::wstring text = VarToText(AViewData.Data);
      if (!text.empty()) {
        uint16_t flags = uint16_t(gxdtVCenter | gxdtCenter);
        if (AViewData.Transparent)
          flags |= gxdtNoFill;
        DrawTextInRect(target, text.c_str(), int(text.size()), r, r, flags, AViewData.Brush,
                       AViewData.Font, AViewData.BkColor, AViewData.TextColor);
      } else if (AViewData.Brush) {
        FillRect(target, &r, AViewData.Brush);
      }
    } else {
      TGraphic* graphic = picture->Graphic();
      HRGN clip = CreateRectRgn(0, 0, 0, 0);
      const bool hadClip = GetClipRgn(target, clip) == 1;
      IntersectClipRect(target, r.left, r.top, r.right, r.bottom);
      RECT r3 = r;
      r3.left += AViewData.OffsetSize.left;
      r3.top += AViewData.OffsetSize.top;
      r3.right -= AViewData.OffsetSize.right;
      r3.bottom -= AViewData.OffsetSize.bottom;
      RECT r2;
      if (data->Stretch) {
        r2 = FitRect(r3, picture->Width(), picture->Height());
      } else {
        r2 = RECT{r3.left, r3.top, r3.left + picture->Width(), r3.top + picture->Height()};
        if (data->Center)
          OffsetRect(&r2, (RectWidth(r3) - picture->Width()) / 2,
                     (RectHeight(r3) - picture->Height()) / 2);
      }
      if (graphic->Transparent()) {
        TBitmap* buffer = data->TempTransparentBitmap;
        if (offscreen || !buffer) {
          if (AViewData.Brush)
            FillRect(target, &r, AViewData.Brush);
          graphic->Draw(canvas, r2);
        } else {
          EnsureBitmapSize(*buffer, RectWidth(r), RectHeight(r));
          RECT whole{0, 0, RectWidth(r), RectHeight(r)};
          if (AViewData.Brush)
            FillRect(buffer->Canvas().Handle(), &whole, AViewData.Brush);
          RECT moved = r2;
          OffsetRect(&moved, -r.left, -r.top);
          graphic->Draw(buffer->Canvas(), moved);
          BitBlt(target, r.left, r.top, RectWidth(r), RectHeight(r), buffer->Canvas().Handle(), 0,
                 0, SRCCOPY);
        }
      } else {
        // The background goes round the picture, never under it.
        const int around = SaveDC(target);
        ExcludeClipRect(target, r2.left, r2.top, r2.right, r2.bottom);
        if (AViewData.Brush)
          FillRect(target, &r, AViewData.Brush);
        RestoreDC(target, around);
        graphic->Draw(canvas, r2);
      }
      SelectClipRgn(target, hadClip ? clip : nullptr);
      DeleteObject(clip);
    }
    if (data && data->DrawShadow)
      DitherRect(target, r, TColor(data->ShadowColor));
  }
  if (!direct && offscreen)
    BitBlt(ADC, ARect.left, ARect.top, RectWidth(ARect), RectHeight(ARect),
           offscreen->Canvas().Handle(), 0, 0, SRCCOPY);
  RestoreDC(ADC, saved);
  return true;
}

// ===========================================================================
// TgxInplaceGraphicEdit

TgxInplaceGraphicEdit::TgxInplaceGraphicEdit(TComponent* AOwner) : TgxInplaceEdit(AOwner) {
  FControlStyle = csClickEvents | csSetCaption | csDoubleClicks;
  TgxInplaceEdit::SetAutoSize(false);
  SetParentColor(false);
  SetBounds(Left(), Top(), 140, 100);
  FClipboardFormat = CF_PICTURE();
  FPicture = std::make_unique<TPicture>();
  FPicture->OnChange = [this](TPicture*) { PictureChanged(); };
  FPopupToolBar = new TgxPopupToolBar(this);
  FPopupToolBar->OnButtonClick = [this](TgxPopupToolBar*, TgxPopupToolBarButton AButton) {
    ToolBarButtonClick(int(AButton));
  };
  FPopupToolBar->SetIsPopupMenu(true);
  FToolbarLayout = std::make_unique<TgxPopupToolBarWindow>(this);
}

TgxInplaceGraphicEdit::~TgxInplaceGraphicEdit() {
  FToolbarLayout.reset();
  TComponent::Free(FPopupToolBar);
  FPopupToolBar = nullptr;
  FTempTransparentBitmap.reset();
  FTempPicture.reset();
  FPicture->OnChange = nullptr;
  FPicture.reset();
}

// --- value flow -------------------------------------------------------------------------------

void TgxInplaceGraphicEdit::SetEditValue(const TgxVariant& AValue) {
  const bool modified = GetModified();
  const bool previous = FInternalChanging;
  FInternalChanging = true;
  try {
    const auto* text = std::get_if<std::wstring>(&AValue);
    if ((FCustomGraphic && ComponentState().Contains(csDesigning)) || (text && text->empty()))
      FPicture->SetGraphic(nullptr);
    else
      LoadPictureFromVariant(*FPicture, GetGraphicClass(), AValue);
  } catch (...) {
    FInternalChanging = previous;
    SetModified(modified);
    throw;
  }
  FInternalChanging = previous;
  SetModified(modified);
}

void TgxInplaceGraphicEdit::GetDisplayValue(TgxVariant& AValue, bool AFromDefinition) {
  AValue = std::wstring(Text());
  if (FDataDefinition && AFromDefinition) {
    if (!FTempPicture)
      FTempPicture = std::make_unique<TPicture>();
    if (FCustomGraphic && ComponentState().Contains(csDesigning))
      FTempPicture->SetGraphic(nullptr);
    else
      LoadPictureFromVariant(*FTempPicture, GetGraphicClass(), FDataDefinition->GetEditValue());
  }
}

void TgxInplaceGraphicEdit::GetEditValue(TgxVariant& AValue) {
  AssignPicture(FPicture.get());
  // A reference to the graphic; the receiver takes it, nothing is copied.
  AValue = int64_t(reinterpret_cast<intptr_t>(FPicture->Graphic()));
}

void TgxInplaceGraphicEdit::PictureChanged() {
  RefreshView();
  Invalidate();
  if (FGraphicTransparency != gtDefault && !IsPictureEmpty(FPicture.get())) {
    auto handler = std::move(FPicture->OnChange);
    FPicture->OnChange = nullptr;
    try {
      FPicture->Graphic()->SetTransparent(FGraphicTransparency == gtTransparent);
    } catch (...) {
      FPicture->OnChange = std::move(handler);
      throw;
    }
    FPicture->OnChange = std::move(handler);
  }
  if (!FInternalChanging && !ComponentState().Contains(csLoading)) {
    DoChange();
    SetModified(true);
  }
}

void TgxInplaceGraphicEdit::CustomClick() {
  if (OnCustomClick)
    OnCustomClick(this);
}

void TgxInplaceGraphicEdit::AssignPicture(TPicture* APicture) {
  if (OnAssignPicture) {
    // The handler may change the picture; another object it puts in its
    // parameter is not used.
    TPicture* picture = APicture;
    OnAssignPicture(this, picture);
  }
}

TGraphicClass TgxInplaceGraphicEdit::GetGraphicClass() {
  TGraphicClass result = nullptr;
  if (OnGetGraphicClass)
    OnGetGraphicClass(this, result);
  return result;
}

// --- settings ------------------------------------------------------------------------------

void TgxInplaceGraphicEdit::SetCenter(bool AValue) {
  if (AValue == FCenter)
    return;
  FCenter = AValue;
  PictureChanged();
}

void TgxInplaceGraphicEdit::SetStretch(bool AValue) {
  if (AValue == FStretch)
    return;
  FStretch = AValue;
  PictureChanged();
}

void TgxInplaceGraphicEdit::SetCustomGraphic(bool AValue) {
  if (AValue == FCustomGraphic)
    return;
  FCustomGraphic = AValue;
  const bool previous = FInternalChanging;
  FInternalChanging = true;
  try {
    PictureChanged();
  } catch (...) {
    FInternalChanging = previous;
    throw;
  }
  FInternalChanging = previous;
}

void TgxInplaceGraphicEdit::SetGraphicTransparency(TgxGraphicEditTransparency AValue) {
  if (AValue == FGraphicTransparency)
    return;
  FGraphicTransparency = AValue;
  const bool previous = FInternalChanging;
  FInternalChanging = true;
  try {
    PictureChanged();
  } catch (...) {
    FInternalChanging = previous;
    throw;
  }
  FInternalChanging = previous;
}

void TgxInplaceGraphicEdit::SetToolbarPosStored(bool AValue) {
  FToolbarPosStored = AValue;
  if (!AValue)
    FToolbarPos = kNoPosition;
}

// --- commands -------------------------------------------------------------------------------

void TgxInplaceGraphicEdit::ClearPicture() {
  if (CanEditValue())
    FPicture->SetGraphic(nullptr);
}

void TgxInplaceGraphicEdit::CopyToClipboard() {
  if (!FPicture->Graphic())
    return;
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  FPicture->SaveToClipboardFormat(format, data, palette);
  TClipboardScope clipboard(HandleAllocated() ? Handle() : nullptr);
  EmptyClipboard();
  if (!SetClipboardData(format, data)) {
    GlobalFree(data);
    throw Exception(L"Cannot place the picture on the clipboard");
  }
  if (palette)
    SetClipboardData(CF_PALETTE, palette);
}

void TgxInplaceGraphicEdit::CutToClipboard() {
  CopyToClipboard();
  if (CanModify())
    ClearPicture();
}

void TgxInplaceGraphicEdit::PasteFromClipboard() {
  if (!CanModify() || !TgxPopupToolBar::ClipboardHasFormat(FClipboardFormat) || !CanEditValue())
    return;
  TClipboardScope clipboard(HandleAllocated() ? Handle() : nullptr);
  HPALETTE palette = static_cast<HPALETTE>(GetClipboardData(CF_PALETTE));
  if (FClipboardFormat == CF_PICTURE() && IsClipboardFormatAvailable(CF_BITMAP)) {
    TBitmap bitmap;
    bitmap.LoadFromClipboardFormat(CF_BITMAP, GetClipboardData(CF_BITMAP), palette);
    FPicture->SetGraphic(&bitmap);
    return;
  }
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    if ((FClipboardFormat == CF_PICTURE() || format == FClipboardFormat) &&
        TPicture::SupportsClipboardFormat(format)) {
      FPicture->LoadFromClipboardFormat(format, GetClipboardData(format), palette);
      return;
    }
  }
}

void TgxInplaceGraphicEdit::LoadFromFile() {
  if (!CanEditValue())
    return;
  TOpenFileRequest request;
  request.Owner = HandleAllocated() ? Handle() : nullptr;
  request.Filter = FCustomFilter.empty() ? TPicture::GraphicFilter(nullptr) : FCustomFilter;
  if (TgxPictureDialogSeam::Current().Execute(request, false))
    FPicture->LoadFromFile(request.FileName);
}

void TgxInplaceGraphicEdit::SaveToFile() {
  if (!FPicture->Graphic())
    return;
  const TGraphicClass kind = FPicture->Graphic()->GraphicClass();
  TOpenFileRequest request;
  request.Owner = HandleAllocated() ? Handle() : nullptr;
  request.Filter = FCustomFilter.empty() ? TPicture::GraphicFilter(kind) : FCustomFilter;
  request.DefaultExt = TPicture::GraphicExtension(kind);
  if (TgxPictureDialogSeam::Current().Execute(request, true))
    FPicture->SaveToFile(request.FileName);
}

// --- tool bar and context menu ------------------------------------------------------------------

void TgxInplaceGraphicEdit::BuildContextMenu() {
  if (FPopupToolBar->EditPopupMenu())
    return;
  auto* menu = new TPopupMenu(nullptr);
  FPopupToolBar->SetEditPopupMenu(menu);
  menu->SetImages(GetToolImages());
  struct TItem {
    TgxPopupToolBarButton Caption;
    int Tag; // the command; -1 for a separator
  };
  static constexpr TItem kItems[] = {{ptbCut, 0},    {ptbCopy, 1}, {ptbPaste, 2},
                                     {ptbDelete, 3}, {ptbCut, -1}, {ptbLoad, 4},
                                     {ptbSave, 5},   {ptbCut, -1}, {ptbCustom, 6}};
  for (const TItem& row : kItems) {
    auto* item = new TMenuItem(menu);
    if (row.Tag < 0) {
      item->SetCaption(L"-");
    } else {
      item->SetCaption(row.Caption == ptbCustom ? FToolbarLayout->CustomButtonCaption()
                                                : PopupToolBarCaption(row.Caption));
      if (row.Tag < 6)
        item->SetImageIndex(row.Tag);
      const int command = row.Tag;
      item->OnClick = [this, command](TMenuItem*) { ToolBarButtonClick(command); };
    }
    menu->Items()->Add(item);
  }
}

void TgxInplaceGraphicEdit::PrepareToolBar() {
  if (FToolbarLayout->IsPopupMenu()) {
    BuildContextMenu();
    TMenuItem* items = FPopupToolBar->EditPopupMenu()->Items();
    const TgxPopupToolBarButtons buttons = FToolbarLayout->Buttons();
    auto shows = [&](TgxPopupToolBarButton AButton) {
      return (buttons & ToolBarButtonBit(AButton)) != 0;
    };
    static constexpr int kItemOf[kgxPopupToolBarButtonCount] = {0, 1, 2, 3, 5, 6, 8};
    for (int i = 0; i < kgxPopupToolBarButtonCount; ++i)
      items->Items(kItemOf[i])->SetVisible(shows(TgxPopupToolBarButton(i)));
    items->Items(4)->SetVisible(shows(ptbLoad) || shows(ptbSave));
    items->Items(7)->SetVisible(shows(ptbCustom));
    items->Items(8)->SetCaption(FToolbarLayout->CustomButtonCaption());
  } else {
    FPopupToolBar->SetCanShow(FToolbarLayout->Visible());
    FPopupToolBar->SetCustomButtonCaption(FToolbarLayout->CustomButtonCaption());
    if (FToolbarLayout->HasCustomButtonGlyph())
      FPopupToolBar->SetCustomButtonGlyph(FToolbarLayout->CustomButtonGlyph());
    FPopupToolBar->Font().Assign(&Font());
    FPopupToolBar->SetShowCaptions(FToolbarLayout->ShowCaptions());
    FPopupToolBar->SetToolBarAlignment(FToolbarLayout->Alignment());
    FPopupToolBar->SetToolBarButtons(FToolbarLayout->Buttons());
  }
  FPopupToolBar->SetClipboardFormat(FClipboardFormat);
  FPopupToolBar->SetIsEmpty(IsPictureEmpty(FPicture.get()));
  FPopupToolBar->SetIsReadOnly(!CanModify());
}

void TgxInplaceGraphicEdit::ToolBarButtonClick(int AButton) {
  switch (AButton) {
  case 0:
    CutToClipboard();
    break;
  case 1:
    CopyToClipboard();
    break;
  case 2:
    PasteFromClipboard();
    break;
  case 3:
    ClearPicture();
    break;
  case 4:
    LoadFromFile();
    break;
  case 5:
    SaveToFile();
    break;
  case 6:
    CustomClick();
    break;
  default:
    break;
  }
  PrepareToolBar();
  FPopupToolBar->RefreshButtons();
}

void TgxInplaceGraphicEdit::ShowToolBar() {
  if (FToolbarLayout->IsPopupMenu() || !FToolbarLayout->Visible())
    return;
  PrepareToolBar();
  const POINT current{FPopupToolBar->Left(), FPopupToolBar->Top()};
  if (!IsNoPosition(FSavePos) && (current.x != FSavePos.x || current.y != FSavePos.y))
    FToolbarPos = current; // the user moved it since it was last placed
  if (!FToolbarPosStored || IsNoPosition(FToolbarPos)) {
    RECT window{};
    GetWindowRect(Handle(), &window);
    FPopupToolBar->CalcPosition(POINT{window.left, window.top});
  } else {
    FPopupToolBar->SetBounds(FToolbarPos.x, FToolbarPos.y, FPopupToolBar->Width(),
                             FPopupToolBar->Height());
  }
  FSavePos = POINT{FPopupToolBar->Left(), FPopupToolBar->Top()};
  FPopupToolBar->SetFlagHide(false);
  FPopupToolBar->RefreshButtons();
  FPopupToolBar->Show();
}

void TgxInplaceGraphicEdit::HideToolBar() {
  if (!FPopupToolBar->HandleAllocated() || GetFocus() != FPopupToolBar->Handle())
    FPopupToolBar->Hide();
}

bool TgxInplaceGraphicEdit::IsFocused() {
  return TgxInplaceEdit::IsFocused() ||
         (FPopupToolBar->HandleAllocated() && GetFocus() == FPopupToolBar->Handle());
}

void TgxInplaceGraphicEdit::FocusChanged() {
  TgxInplaceEdit::FocusChanged();
  if (!FDblClickActivate && Focused())
    ShowToolBar();
}

void TgxInplaceGraphicEdit::DoKillFocus(HWND AFocusedWnd) {
  HideToolBar();
  TgxInplaceEdit::DoKillFocus(AFocusedWnd);
}

TgxEditViewData* TgxInplaceGraphicEdit::CreateViewData(bool AFromDefinition) {
  TgxEditViewData* base = TgxInplaceEdit::CreateViewData(AFromDefinition);
  auto* data = dynamic_cast<TgxGraphicEditViewData*>(base);
  if (!data)
    return base;
  data->Center = FCenter;
  data->QuickDraw = FQuickDraw;
  data->Stretch = FStretch;
  data->Picture = AFromDefinition && FTempPicture ? FTempPicture.get() : FPicture.get();
  if (!IsPictureEmpty(data->Picture) && data->Picture->Graphic()->Transparent() &&
      !FTempTransparentBitmap)
    FTempTransparentBitmap = std::make_unique<TBitmap>();
  data->TempTransparentBitmap = FTempTransparentBitmap.get();
  return data;
}

// --- keys and mouse ---------------------------------------------------------------------------

void TgxInplaceGraphicEdit::KeyDown(WORD& AKey, TShiftState AShift) {
  if (AKey == VK_LEFT)
    MoveToNextCell(true);
  else if (AKey == VK_RIGHT)
    MoveToNextCell(false);
  TgxInplaceEdit::KeyDown(AKey, AShift);
  const TShiftState keys = AShift & (ssShift | ssCtrl | ssAlt);
  if (AKey == VK_INSERT && keys == ssShift)
    PasteFromClipboard();
  else if (AKey == VK_INSERT && keys == ssCtrl)
    CopyToClipboard();
  else if (AKey == VK_DELETE && keys == ssShift)
    CutToClipboard();
}

void TgxInplaceGraphicEdit::KeyPress(wchar_t& AKey) {
  TgxInplaceEdit::KeyPress(AKey);
  switch (AKey) {
  case 3:
    CopyToClipboard();
    break;
  case 22:
    PasteFromClipboard();
    break;
  case 24:
    CutToClipboard();
    break;
  default:
    break;
  }
}

void TgxInplaceGraphicEdit::MouseDown(TMouseButton AButton, TShiftState AShift, int AX, int AY) {
  TgxInplaceEdit::MouseDown(AButton, AShift, AX, AY);
  if (FDblClickActivate && (AShift & ssDouble))
    ShowToolBar();
}

void TgxInplaceGraphicEdit::ContextMenu(TMessage& AMessage) {
  for (TControl* control = this; control; control = control->Parent())
    if (control->PopupMenu())
      return;
  if (!FToolbarLayout->IsPopupMenu())
    return;
  POINT at{GET_X_LPARAM(AMessage.LParam), GET_Y_LPARAM(AMessage.LParam)};
  if (at.x == -1 && at.y == -1) {
    POINT caret{};
    GetCaretPos(&caret);
    caret.x = std::min<LONG>(caret.x, ClientWidth());
    at = ClientToScreen(caret);
  }
  PrepareToolBar();
  FPopupToolBar->RefreshButtons();
  TPopupMenu* menu = FPopupToolBar->EditPopupMenu();
  menu->SetPopupComponent(this);
  menu->Popup(at.x, at.y);
  AMessage.Result = 0;
}

void TgxInplaceGraphicEdit::WndProc(TMessage& AMessage) {
  switch (AMessage.Msg) {
  case WM_CONTEXTMENU:
    ContextMenu(AMessage);
    return;
  case WM_GETDLGCODE:
    TgxInplaceEdit::WndProc(AMessage);
    AMessage.Result |= DLGC_WANTARROWS | DLGC_WANTALLKEYS;
    return;
  default:
    break;
  }
  TgxInplaceEdit::WndProc(AMessage);
}
