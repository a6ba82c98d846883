#pragma once

#include "change-links.h"
#include "classes.h"
#include "graphics.h"
#include "rtl-exceptions.h"

#include <windows.h>

// Before commctrl.h, which declares the stream functions only after IStream.
#include <objidl.h>

#include <commctrl.h>

#include <functional>
#include <string>

class TStream;

class EImageListError : public Exception {
  using Exception::Exception;
};

// Pictures of one size in a system image list (32-bit colour with a mask),
// made when first needed. Every change reaches OnChange and the registered
// change links.
class TCustomImageList : public TComponent, public TChangeSource {
public:
  explicit TCustomImageList(TComponent* AOwner);
  TCustomImageList(TComponent* AOwner, int AWidth, int AHeight);
  ~TCustomImageList() override;
  std::wstring ClassName() const override { return L"TCustomImageList"; }

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // A new size empties the list. Sizes below 1 raise EImageListError.
  void SetWidth(int AValue) { SetSize(AValue, FHeight); }
  void SetHeight(int AValue) { SetSize(FWidth, AValue); }
  void SetSize(int AWidth, int AHeight);

  HIMAGELIST Handle();
  bool HandleAllocated() const { return FHandle != nullptr; }
  int Count() const;

  // Adds the image (split into pictures of the list's width when wider)
  // with AMask (nullptr: opaque); answers the index of the first picture.
  // Raises EImageListError when the list refuses it.
  int Add(TBitmap& AImage, TBitmap* AMask);
  // Adds the image with every pixel of AMaskColor see-through; AImage
  // itself is left as it was.
  int AddMasked(TBitmap& AImage, TColor AMaskColor);
  // Raises EImageListError for a bad index.
  void Delete(int AIndex);
  void Clear();

  // Draws picture AIndex with its mask at (AX, AY); a disabled picture is
  // drawn blended. A bad index draws nothing.
  void Draw(TCanvas& ACanvas, int AX, int AY, int AIndex, bool AEnabled = true);
  // Puts picture AIndex, drawn over black, into ABitmap at the list's size.
  void GetBitmap(int AIndex, TBitmap& ABitmap);

  // The list's stored form: the system's image-list stream (it begins with
  // "IL"), written from the current position and read back the same way.
  // Reading replaces the pictures and the size; data that is no list (its
  // head checked before the system reads it, so the stream must be able to
  // go back to where it stood) raise EReadError and leave the pictures as
  // they were.
  virtual void WriteData(TStream& AStream);
  virtual void ReadData(TStream& AStream);

  std::function<void(TCustomImageList* ASender)> OnChange;

protected:
  virtual void Change();

private:
  void CreateList();
  void FreeHandle();
  void CheckIndex(int AIndex) const;

  HIMAGELIST FHandle = nullptr;
  int FWidth = 16;
  int FHeight = 16;
};

class TImageList : public TCustomImageList {
public:
  using TCustomImageList::TCustomImageList;
  std::wstring ClassName() const override { return L"TImageList"; }
};
