#include "xp-image-list.h"

#include "rtl-exceptions.h"
#include "streams.h"

bool TXPImageList::StoresCompressedBitmap(const TPersistent* AAncestor) const {
  if (AAncestor)
    return dynamic_cast<const TCustomImageList*>(AAncestor) == nullptr;
  return Count() > 0;
}

void TXPImageList::WriteData(TStream& AStream) {
  TMemoryStream plain;
  TImageList::WriteData(plain);
  plain.SetPosition(0);
  ZCompressStream(plain, AStream, TCompressionLevel::Max);
}

void TXPImageList::ReadData(TStream& AStream) {
  TMemoryStream plain;
  ZDecompressStream(AStream, plain);
  plain.SetPosition(0);
  try {
    TImageList::ReadData(plain);
  } catch (const EReadError&) {
    throw EReadError(L"Failed to read ImageList data from stream");
  }
}
