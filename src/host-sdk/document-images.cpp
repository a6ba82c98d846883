#include "document-images.h"

#include "client-access.h"
#include "host-utilities.h"

#include <shellapi.h>
#include <windows.h>

#include <memory>
#include <vector>

namespace {

// The shared list and the kind cache.
void FillSolid(HDC ADC, const RECT& AArea, COLORREF AColour) {
  HBRUSH brush = CreateSolidBrush(AColour);
  FillRect(ADC, &AArea, brush);
  DeleteObject(brush);
}

// A bitmap of the screen's format filled with magenta, the image list's
// mask colour, on which APaint draws the picture.
template <class TPaint> HBITMAP MaskedBitmap(int AWidth, int AHeight, TPaint&& APaint) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, AWidth, AHeight);
  HDC dc = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  FillSolid(dc, {0, 0, AWidth, AHeight}, RGB(255, 0, 255));
  APaint(dc);
  SelectObject(dc, old);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

class TImageListForm {
public:
  TImageListForm() {
    Main_ImageList = ImageList_Create(kDocumentImageSize, kDocumentImageSize,
                                      ILC_COLOR24 | ILC_MASK, kBuiltInImageCount, 16);
    if (!Main_ImageList)
      return;
    // The built-in images: plain tiles, one colour each, so every index
    // shows something distinct until real pictures replace them.
    for (int index = 0; index < kBuiltInImageCount; ++index) {
      const COLORREF colour =
          RGB(40 + (index * 37) % 200, 40 + (index * 61) % 200, 40 + (index * 89) % 200);
      HBITMAP bitmap = TileBitmap(colour);
      ImageList_AddMasked(Main_ImageList, bitmap, RGB(255, 0, 255));
      DeleteObject(bitmap);
    }
  }
  ~TImageListForm() {
    if (Main_ImageList)
      ImageList_Destroy(Main_ImageList);
  }

  static HBITMAP TileBitmap(COLORREF AColour) {
    return MaskedBitmap(kDocumentImageSize, kDocumentImageSize, [&](HDC ADC) {
      FillSolid(ADC, {2, 1, kDocumentImageSize - 2, kDocumentImageSize - 1}, AColour);
    });
  }

  // The cached index of a kind (letter case ignored), or -1.
  int Cached(const std::wstring& AKind) const {
    for (const auto& [kind, index] : FKinds)
      if (CompareStringOrdinal(kind.c_str(), -1, AKind.c_str(), -1, TRUE) == CSTR_EQUAL)
        return index;
    return -1;
  }
  void Remember(const std::wstring& AKind, int AIndex) { FKinds.emplace_back(AKind, AIndex); }

  HIMAGELIST Main_ImageList = nullptr;

private:
  std::vector<std::pair<std::wstring, int>> FKinds;
};

std::unique_ptr<TImageListForm> GImages;

TImageListForm& Images() {
  if (!GImages)
    GImages = std::make_unique<TImageListForm>();
  return *GImages;
}

// The colour of the bitmap's bottom-left pixel: the colour it shows as
// transparent.
COLORREF TransparentColour(HBITMAP ABitmap) {
  BITMAP info = {};
  GetObjectW(ABitmap, sizeof(info), &info);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, ABitmap);
  const COLORREF colour = GetPixel(dc, 0, info.bmHeight - 1);
  SelectObject(dc, old);
  DeleteDC(dc);
  return colour;
}

int AddBitmap(HBITMAP ABitmap, const std::wstring& AKey) {
  const int index =
      ImageList_AddMasked(Images().Main_ImageList, ABitmap, TransparentColour(ABitmap));
  if (index >= 0)
    Images().Remember(AKey, index);
  return index;
}

int AddImageFile(const std::wstring& AName, const std::wstring& AKey) {
  std::wstring candidate = GetHostBitmapFolder() + AName + L".bmp";
  if (!FileExists(candidate))
    candidate = GetHostSecondBitmapFolder() + AName + L".bmp";
  if (!FileExists(candidate)) {
    ForEachPluginFolder([&](const std::wstring& AFolder, bool& AStop) {
      candidate = AFolder + L"DocumentImages\\" + AName + L".bmp";
      if (!FileExists(candidate))
        candidate = AFolder + L"Buttons\\" + AName + L".bmp";
      AStop = FileExists(candidate);
    });
  }
  if (!FileExists(candidate))
    return -1;
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, candidate.c_str(), IMAGE_BITMAP, 0, 0,
                                                   LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (!bitmap)
    return -1;
  const int index = AddBitmap(bitmap, AKey);
  DeleteObject(bitmap);
  return index;
}

// The shell's small icon for an existing file, drawn on magenta.
int AddShellIcon(const std::wstring& AFileName, const std::wstring& AKey) {
  SHFILEINFOW info = {};
  const auto systemList = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
      AFileName.c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  if (!systemList)
    return -1;
  int width = kDocumentImageSize, height = kDocumentImageSize;
  ImageList_GetIconSize(Images().Main_ImageList, &width, &height);
  HBITMAP bitmap = MaskedBitmap(width, height, [&](HDC ADC) {
    ImageList_Draw(systemList, info.iIcon, ADC, 0, 0, ILD_TRANSPARENT);
  });
  const int index = AddBitmap(bitmap, AKey);
  DeleteObject(bitmap);
  return index;
}

bool StartsWithUnknown(const std::wstring& AKind) {
  constexpr wchar_t kUnknown[] = L"UNKNOWN";
  constexpr int length = int(std::size(kUnknown)) - 1;
  return AKind.size() >= std::size_t(length) &&
         CompareStringOrdinal(AKind.c_str(), length, kUnknown, length, TRUE) == CSTR_EQUAL;
}

int UnknownKindImage(const std::wstring& AKind) {
  // The kind becomes a file name in the temporary folder: it must not name
  // another folder or a device.
  if (AKind.find_first_of(L"\\/:*?\"<>|") != std::wstring::npos)
    return -1;
  const std::wstring temporary = MakeTempFileName();
  if (temporary.empty())
    return -1;
  const std::wstring named = temporary.substr(0, temporary.find_last_of(L'\\') + 1) + AKind;
  // A file of that name that is not ours is neither used nor deleted.
  if (!MoveFileW(temporary.c_str(), named.c_str())) {
    DeleteFileW(temporary.c_str());
    return -1;
  }
  int index = -1;
  try {
    index = AddShellIcon(named, AKind);
  } catch (...) {
    DeleteFileW(named.c_str());
    throw;
  }
  DeleteFileW(named.c_str());
  return index;
}

} // namespace

HIMAGELIST GetMainImageList() {
  return Images().Main_ImageList;
}

int GetDocumentKindImageIndex(const std::wstring& AKind) {
  const int cached = Images().Cached(AKind);
  if (cached >= 0)
    return cached;
  if (StartsWithUnknown(AKind))
    return UnknownKindImage(AKind);
  int index = -1;
  const IClient client = Client();
  if (!client.IsEmpty()) {
    const IServerWindowKind windowKind = client.GetServerWindowKind(AKind);
    if (!windowKind.IsEmpty())
      index = AddImageFile(windowKind.GetIconName(), AKind);
  }
  if (index < 0)
    index = AddImageFile(AKind, AKind);
  return index;
}

int AddImageFromSystemPath(const std::wstring& AName) {
  return AddImageFile(AName, AName);
}

void ReleaseDocumentImages() {
  GImages.reset();
}
