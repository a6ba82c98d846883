#include "gx-resources.h"

#include "gx-check-edit.h"

#include "application.h"
#include "classes.h"
#include "graphics.h"
#include "image-lists.h"
#include "resource-ledger.h"

#include <array>
#include <memory>

namespace {

// One text of the string table: its id and the text the module answers
// when it carries no table of its own.
struct TgxResourceString {
  UINT Id;
  const wchar_t* Text;
};

constexpr TgxResourceString kToolCaptions[kgxEditorToolCount] = {
    {38914, L"Cu&t"},    {38915, L"&Copy"},    {38916, L"&Paste"},
    {38917, L"&Delete"}, {38918, L"&Load..."}, {38919, L"&Save To..."}};
constexpr TgxResourceString kToolHints[kgxEditorToolCount] = {{38920, L"Cut"},
                                                              {38921, L"Copy"},
                                                              {38922, L"Paste"},
                                                              {38923, L"Delete"},
                                                              {38924, L"Load from file..."},
                                                              {38925, L"Save to file..."}};
constexpr TgxResourceString kInvalidDate{38927, L"Invalid Date"};
constexpr TgxResourceString kCaptions[kgxEditorCaptionCount] = {{38905, L"&OK"},
                                                                {38906, L"&Cancel"},
                                                                {38907, L"&Close"},
                                                                {38908, L"Cu&t"},
                                                                {38909, L"&Copy"},
                                                                {38910, L"&Paste"},
                                                                {38911, L"&Delete"},
                                                                {38912, L"&Save to file..."},
                                                                {38913, L"&Load from file..."}};
constexpr TgxResourceString kDateKeywords[kgxDateKeywordCount] = {
    {38928, L"TODAY"},   {38929, L"YESTERDAY"}, {38930, L"TOMORROW"},  {38931, L"SUNDAY"},
    {38932, L"MONDAY"},  {38933, L"TUESDAY"},   {38934, L"WEDNESDAY"}, {38935, L"THURSDAY"},
    {38936, L"FRIDAY"},  {38937, L"SATURDAY"},  {38938, L"FIRST"},     {38939, L"SECOND"},
    {38940, L"THIRD"},   {38941, L"FOURTH"},    {38942, L"FIFTH"},     {38943, L"SIXTH"},
    {38944, L"SEVENTH"}, {38945, L"BOM"},       {38946, L"EOM"},       {38947, L"NOW"}};

// The pictures of the two lists, in index order.
constexpr const wchar_t* kBlobPictures[8] = {
    L"GXINPLACE_BLOB_NULL", L"GXINPLACE_BLOB", L"GXINPLACE_MEMO_NULL", L"GXINPLACE_MEMO",
    L"GXINPLACE_PICT_NULL", L"GXINPLACE_PICT", L"GXINPLACE_OLE_NULL",  L"GXINPLACE_OLE"};
constexpr const wchar_t* kToolPictures[kgxEditorToolCount] = {L"GXTOOL_CUT",   L"GXTOOL_COPY",
                                                              L"GXTOOL_PASTE", L"GXTOOL_DELETE",
                                                              L"GXTOOL_LOAD",  L"GXTOOL_SAVE"};
// The blob pictures' see-through colour: olive.
constexpr TColor kBlobMaskColor = TColor(RGB(128, 128, 0));

const wchar_t kHandPointName[] = L"GX_HANDPOINT";
const wchar_t kControllerName[] = L"TgxCheckEditStyleController";

int GStartCount = 0;
int GCheckWidth = 0;
int GCheckHeight = 0;
bool GCursorLoaded = false;
std::wstring GInvalidDate;
std::array<std::wstring, kgxEditorToolCount> GToolCaptions;
std::array<std::wstring, kgxEditorToolCount> GToolHints;
std::array<std::wstring, kgxEditorCaptionCount> GCaptions;
std::array<std::wstring, kgxDateKeywordCount> GDateKeywords;
std::unique_ptr<TCanvas> GMeasureCanvas;
TgxCheckEditStyleController* GCheckController = nullptr;
std::unique_ptr<TImageList> GBlobImages;
std::unique_ptr<TImageList> GToolImages;

const std::wstring& Empty() {
  static const std::wstring empty;
  return empty;
}

std::wstring LoadText(const TgxResourceString& AString) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(ModuleInstance(), AString.Id, reinterpret_cast<LPWSTR>(&text), 0);
  return length > 0 && text ? std::wstring(text, size_t(length)) : AString.Text;
}

template <size_t N>
void LoadTexts(std::array<std::wstring, N>& ATexts, const TgxResourceString (&ATable)[N]) {
  for (size_t i = 0; i < N; ++i)
    ATexts[i] = LoadText(ATable[i]);
}

void ReadSystemCheckSize() {
  HBITMAP checks = LoadBitmapW(nullptr, MAKEINTRESOURCEW(32759));
  if (!checks)
    return;
  BITMAP info{};
  if (GetObjectW(checks, sizeof(info), &info) == sizeof(info)) {
    GCheckWidth = info.bmWidth / 4;
    GCheckHeight = info.bmHeight / 3;
  }
  DeleteObject(checks);
}

// One list of the first picture's size holding the named bitmaps, each
// masked by AMaskColor (clDefault: the bitmap's own see-through colour).
std::unique_ptr<TImageList> MakePictureList(const wchar_t* const* ANames, size_t ACount,
                                            TColor AMaskColor) {
  std::unique_ptr<TImageList> list;
  for (size_t i = 0; i < ACount; ++i) {
    TBitmap picture;
    picture.LoadFromResourceName(ModuleInstance(), ANames[i]);
    if (!list)
      list = std::make_unique<TImageList>(nullptr, picture.Width(), picture.Height());
    list->AddMasked(picture, AMaskColor == clDefault ? picture.TransparentColor() : AMaskColor);
  }
  return list;
}

void FreeList(std::unique_ptr<TImageList>& AList) {
  try {
    AList.reset();
  } catch (...) {
    AList.release();
  }
}

} // namespace

int GetSystemCheckWidth() {
  return GCheckWidth;
}

int GetSystemCheckHeight() {
  return GCheckHeight;
}

const std::wstring& GetInvalidDateText() {
  return GInvalidDate;
}

const std::wstring& GetToolMenuCaption(TgxEditorTool ATool) {
  return unsigned(ATool) < GToolCaptions.size() ? GToolCaptions[ATool] : Empty();
}

const std::wstring& GetToolHint(TgxEditorTool ATool) {
  return unsigned(ATool) < GToolHints.size() ? GToolHints[ATool] : Empty();
}

const std::wstring& GetEditorCaption(TgxEditorCaption ACaption) {
  return unsigned(ACaption) < GCaptions.size() ? GCaptions[ACaption] : Empty();
}

const std::wstring& GetDateKeyword(int AIndex) {
  return AIndex >= 0 && AIndex < kgxDateKeywordCount ? GDateKeywords[size_t(AIndex)] : Empty();
}

TCanvas* GetEditorMeasureCanvas() {
  return GMeasureCanvas.get();
}

TgxCheckEditStyleController* GetDefaultCheckEditStyleController() {
  return GCheckController;
}

TCustomImageList* GetBlobImages() {
  if (!GBlobImages)
    GBlobImages = MakePictureList(kBlobPictures, std::size(kBlobPictures), kBlobMaskColor);
  return GBlobImages.get();
}

TCustomImageList* GetToolImages() {
  if (!GToolImages)
    GToolImages = MakePictureList(kToolPictures, std::size(kToolPictures), clDefault);
  return GToolImages.get();
}

void GxExEditorsStartup() {
  // Only the first start-up does the work; later calls only count.
  if (GStartCount++ != 0)
    return;
  try {
    ReadSystemCheckSize();
    GCursorLoaded =
        Screen()->LoadModuleCursor(kgxHandPointCursor, ModuleInstance(), kHandPointName);
    if (GCursorLoaded)
      LedgerRegistration(L"ScreenCursor", std::to_wstring(kgxHandPointCursor).c_str(), true);
    GInvalidDate = LoadText(kInvalidDate);
    LoadTexts(GToolCaptions, kToolCaptions);
    LoadTexts(GToolHints, kToolHints);
    GMeasureCanvas = std::make_unique<TCanvas>();
    LoadTexts(GCaptions, kCaptions);
    GCheckController = new TgxCheckEditStyleController(nullptr);
    LedgerRegistration(L"StyleController", kControllerName, true);
    LoadTexts(GDateKeywords, kDateKeywords);
  } catch (...) {
  }
}

void GxExEditorsShutdown() {
  if (GStartCount == 0 || --GStartCount != 0)
    return;
  try {
    if (GCheckController) {
      TComponent::Free(GCheckController);
      GCheckController = nullptr;
      LedgerRegistration(L"StyleController", kControllerName, false);
    }
  } catch (...) {
    GCheckController = nullptr;
  }
  try {
    GMeasureCanvas.reset();
  } catch (...) {
    GMeasureCanvas.release();
  }
  FreeList(GBlobImages);
  FreeList(GToolImages);
  try {
    if (GCursorLoaded) {
      GCursorLoaded = false;
      if (TScreen* screen = Screen())
        screen->SetCursor(kgxHandPointCursor, nullptr, TCursorOwnership::Shared);
      LedgerRegistration(L"ScreenCursor", std::to_wstring(kgxHandPointCursor).c_str(), false);
    }
  } catch (...) {
  }
  GInvalidDate.clear();
  for (auto* texts : {&GToolCaptions, &GToolHints})
    for (std::wstring& text : *texts)
      text.clear();
  for (std::wstring& text : GCaptions)
    text.clear();
  for (std::wstring& text : GDateKeywords)
    text.clear();
  GCheckWidth = 0;
  GCheckHeight = 0;
}
