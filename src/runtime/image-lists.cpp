#include "image-lists.h"

#include "resource-ledger.h"
#include "streams.h"

#include <algorithm>
#include <cstdint>

namespace {

// A COM reference released at the end of the scope.
struct TStreamAdapterScope {
  IStream* Stream;
  ~TStreamAdapterScope() { Stream->Release(); }
};

// The head of the system's image-list stream: "IL", a version, the count of
// pictures, the room for them, the growth step and the picture size.
#pragma pack(push, 2)
struct TImageListHead {
  uint16_t Magic;
  uint16_t Version;
  uint16_t Count;
  uint16_t Room;
  uint16_t Grow;
  uint16_t Width;
  uint16_t Height;
  uint32_t Background;
  uint16_t Flags;
  int16_t Overlays[4];
};
#pragma pack(pop)
static_assert(sizeof(TImageListHead) == 28);

constexpr uint16_t kImageListMagic = 0x4C49; // "IL"
// More than any list of this program holds by far; a head claiming more is
// not one of ours, and the system would try to make room for all of it.
constexpr uint64_t kMaxImageListBytes = uint64_t(64) << 20;

// Refuses, before the system sees it, a stream whose head cannot be a list:
// the system takes room for what the head claims before it reads a picture.
void CheckStoredHead(TStream& AStream) {
  const int64_t start = AStream.GetPosition();
  TImageListHead head{};
  AStream.ReadBuffer(&head, sizeof head);
  AStream.SetPosition(start);
  const uint64_t room = uint64_t(std::max<uint16_t>(head.Room, 1)) * head.Width * head.Height * 4;
  if (head.Magic != kImageListMagic || head.Width == 0 || head.Height == 0 ||
      head.Count > head.Room || room > kMaxImageListBytes)
    throw EReadError(L"Failed to read image list data");
}

} // namespace

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int AWidth, int AHeight)
    : TComponent(AOwner) {
  SetSize(AWidth, AHeight);
}

TCustomImageList::~TCustomImageList() {
  FreeHandle();
}

void TCustomImageList::CreateList() {
  FHandle = ImageList_Create(FWidth, FHeight, ILC_COLOR32 | ILC_MASK, 4, 4);
  if (!FHandle)
    throw EImageListError(L"Error creating image list");
  LedgerTake(TResourceKind::ImageList, FHandle);
}

void TCustomImageList::FreeHandle() {
  if (!FHandle)
    return;
  ImageList_Destroy(FHandle);
  LedgerGive(TResourceKind::ImageList, FHandle);
  FHandle = nullptr;
}

HIMAGELIST TCustomImageList::Handle() {
  if (!FHandle)
    CreateList();
  return FHandle;
}

int TCustomImageList::Count() const {
  return FHandle ? ImageList_GetImageCount(FHandle) : 0;
}

void TCustomImageList::SetSize(int AWidth, int AHeight) {
  if (AWidth < 1 || AHeight < 1)
    throw EImageListError(L"Invalid image size");
  if (AWidth == FWidth && AHeight == FHeight)
    return;
  FWidth = AWidth;
  FHeight = AHeight;
  const bool hadPictures = Count() > 0;
  FreeHandle();
  if (hadPictures)
    Change();
}

void TCustomImageList::CheckIndex(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    throw EImageListError(L"Invalid image list index (" + std::to_wstring(AIndex) + L")");
}

int TCustomImageList::Add(TBitmap& AImage, TBitmap* AMask) {
  // The list selects the bitmaps into its own contexts, which fails while
  // a canvas holds them.
  AImage.Dormant();
  if (AMask)
    AMask->Dormant();
  const int index = ImageList_Add(Handle(), AImage.Handle(), AMask ? AMask->Handle() : nullptr);
  if (index < 0)
    throw EImageListError(L"Unable to insert an image");
  Change();
  return index;
}

int TCustomImageList::AddMasked(TBitmap& AImage, TColor AMaskColor) {
  // The system blackens the masked pixels of the bitmap it is given; the
  // caller's bitmap stays untouched.
  TBitmap copy;
  copy.Assign(&AImage);
  copy.Dormant();
  const int index = ImageList_AddMasked(Handle(), copy.Handle(), ColorToRGB(AMaskColor));
  if (index < 0)
    throw EImageListError(L"Unable to insert an image");
  Change();
  return index;
}

void TCustomImageList::Delete(int AIndex) {
  CheckIndex(AIndex);
  ImageList_Remove(FHandle, AIndex);
  Change();
}

void TCustomImageList::Clear() {
  if (Count() == 0)
    return;
  ImageList_RemoveAll(FHandle);
  Change();
}

void TCustomImageList::Draw(TCanvas& ACanvas, int AX, int AY, int AIndex, bool AEnabled) {
  if (AIndex < 0 || AIndex >= Count())
    return;
  ImageList_DrawEx(FHandle, AIndex, ACanvas.Handle(), AX, AY, 0, 0, CLR_NONE,
                   AEnabled ? CLR_DEFAULT : ColorToRGB(clBtnFace),
                   AEnabled ? ILD_NORMAL : ILD_NORMAL | ILD_BLEND50);
}

void TCustomImageList::GetBitmap(int AIndex, TBitmap& ABitmap) {
  CheckIndex(AIndex);
  ABitmap.SetPixelFormat(TPixelFormat::pf32bit);
  ABitmap.SetSize(FWidth, FHeight);
  TCanvas& canvas = ABitmap.Canvas();
  canvas.Brush().SetColor(clBlack);
  canvas.FillRect({0, 0, FWidth, FHeight});
  Draw(canvas, 0, 0, AIndex);
}

void TCustomImageList::WriteData(TStream& AStream) {
  TStreamAdapterScope adapter{NewStreamAdapter(AStream)};
  if (!ImageList_Write(Handle(), adapter.Stream))
    throw EWriteError(L"Error writing image list");
}

void TCustomImageList::ReadData(TStream& AStream) {
  CheckStoredHead(AStream);
  TStreamAdapterScope adapter{NewStreamAdapter(AStream)};
  HIMAGELIST list = ImageList_Read(adapter.Stream);
  if (!list)
    throw EReadError(L"Failed to read image list data");
  LedgerTake(TResourceKind::ImageList, list);
  FreeHandle();
  FHandle = list;
  int width = 0;
  int height = 0;
  ImageList_GetIconSize(list, &width, &height);
  FWidth = width;
  FHeight = height;
  Change();
}

void TCustomImageList::Change() {
  if (ComponentState().Contains(csDestroying))
    return;
  if (OnChange)
    OnChange(this);
  NotifyLinks();
}
