#pragma once

// Rectangle and point routines for layout, and the geometry objects:
// persistent values that announce their changes. Rectangles are (Left,
// Top, Right, Bottom) with Right and Bottom outside.

#include "gx-core.h"
#include "kx-persistent.h"

#include <windows.h>

// A persistent value that fires OnChange when it changes.
class TkxGeometryObject : public TkxOwnedPersistent {
public:
  explicit TkxGeometryObject(TPersistent* AOwner) : TkxOwnedPersistent(AOwner) {}
  std::wstring ClassName() const override { return L"TkxGeometryObject"; }
  // The value's address and byte size (none here).
  virtual const void* GetDataAddress() const { return nullptr; }
  virtual size_t GetDataLength() const { return 0; }
  TkxNotifyEvent OnChange;

protected:
  virtual void NotifyChange() { InvokeNotifyEvent(this, OnChange); }
};

// A rectangle that fires OnChange once per assignment that changes it.
class TkxRect : public TkxGeometryObject {
public:
  explicit TkxRect(TPersistent* AOwner = nullptr) : TkxGeometryObject(AOwner) {}
  static const wchar_t* StaticClassName() { return L"TkxRect"; }
  std::wstring ClassName() const override { return StaticClassName(); }
  const void* GetDataAddress() const override { return &FRect; }
  size_t GetDataLength() const override { return sizeof(FRect); }

  const RECT& Rect() const { return FRect; }
  void SetRect(const RECT& AValue);
  // 0 Left, 1 Top, 2 Right, anything else Bottom.
  int GetValue(int AIndex) const;
  // Another index than 0 to 3 changes nothing.
  void SetValue(int AIndex, int AValue);
  int Left() const { return FRect.left; }
  int Top() const { return FRect.top; }
  int Right() const { return FRect.right; }
  int Bottom() const { return FRect.bottom; }
  void SetLeft(int AValue) { SetValue(0, AValue); }
  void SetTop(int AValue) { SetValue(1, AValue); }
  void SetRight(int AValue) { SetValue(2, AValue); }
  void SetBottom(int AValue) { SetValue(3, AValue); }
  // Corners by TgxCorner; setting one is one assignment of the rectangle.
  POINT GetCorner(TgxCorner ACorner) const;
  void SetCorner(TgxCorner ACorner, POINT AValue);
  POINT TopLeft() const { return GetCorner(coTopLeft); }
  POINT TopRight() const { return GetCorner(coTopRight); }
  POINT BottomLeft() const { return GetCorner(coBottomLeft); }
  POINT BottomRight() const { return GetCorner(coBottomRight); }
  void SetTopLeft(POINT AValue) { SetCorner(coTopLeft, AValue); }
  void SetTopRight(POINT AValue) { SetCorner(coTopRight, AValue); }
  void SetBottomLeft(POINT AValue) { SetCorner(coBottomLeft, AValue); }
  void SetBottomRight(POINT AValue) { SetCorner(coBottomRight, AValue); }
  int Width() const { return FRect.right - FRect.left; }
  int Height() const { return FRect.bottom - FRect.top; }
  void SetWidth(int AValue);
  void SetHeight(int AValue);
  bool IsEmpty() const;
  bool IsEqual(const RECT& ARect) const;
  bool IsEqual(const TkxRect& ARect) const { return IsEqual(ARect.Rect()); }

protected:
  bool IsOfOwnClass(const TPersistent* ASource) const override {
    return IsInstanceOf<TkxRect>(ASource);
  }
  void DoAssign(const TPersistent* ASource) override;
  // May correct a new rectangle before it is compared and stored.
  virtual void AdjustNewRect(RECT& /*ARect*/) {}

private:
  RECT FRect{};
};

// Neutral values, zero for the program's life.
extern const RECT NullRect;
extern const SIZE NullSize;
extern const POINT NullPoint;
// One-pixel margins, the unit size, and the controls' value for no point.
extern const RECT UnitRect;
extern const SIZE UnitSize;
extern const POINT InvalidPoint;

RECT InflateRectSides(const RECT& R, int DX1, int DY1, int DX2, int DY2);
// Moved by (DX, DY), or by (-DX, -DY) when APositive is false.
RECT OffsetRectBy(const RECT& R, int DX, int DY, bool APositive = true);
POINT OffsetPointBy(POINT P, int X, int Y, bool APositive = true);
bool PointInRect(const RECT& R, int X, int Y);
bool RectIsEmpty(const RECT& R);
bool RectsAreEqual(const RECT& R1, const RECT& R2);
// x and y exchanged.
RECT TransposeRect(const RECT& R);
RECT RectFromPoints(POINT ATopLeft, POINT ABottomRight);
RECT PlaceRectHorz(const RECT& R, int ALeft, int AWidth);
// A rectangle of the size centred in R; an odd remainder puts the extra
// pixel after it (the offset is rounded down, also below zero).
RECT CenterRect(const RECT& R, int AWidth, int AHeight);
POINT MakePoint(int X, int Y);

// The unit registers TkxRect with the streaming class registry.
void kxGeometryStartup();
void kxGeometryShutdown();
