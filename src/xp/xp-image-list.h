#pragma once

#include "image-lists.h"

// An image list whose stored form is the system's image-list stream
// deflated, kept in the form property "CompressedBitmap" instead of the
// framework's "Bitmap".
class TXPImageList : public TImageList {
public:
  using TImageList::TImageList;
  std::wstring ClassName() const override { return L"TXPImageList"; }

  static constexpr const wchar_t* DataPropertyName() { return L"CompressedBitmap"; }
  // Whether the property is written: against an ancestor that is not an
  // image list, or, without an ancestor, when the list holds an image.
  bool StoresCompressedBitmap(const TPersistent* AAncestor) const;

  // Deflated at the maximum level.
  void WriteData(TStream& AStream) override;
  // Raises EReadError "Failed to read ImageList data from stream" when the
  // inflated data is no image list.
  void ReadData(TStream& AStream) override;
};
