#include "kx-geometry.h"

#include "classes.h"
#include "unit-steps.h"

// The value's byte size is that of four 32-bit coordinates on every target.
static_assert(sizeof(RECT) == 16);

const RECT NullRect{0, 0, 0, 0};
const SIZE NullSize{0, 0};
const POINT NullPoint{0, 0};
const RECT UnitRect{1, 1, 1, 1};
const SIZE UnitSize{1, 1};
const POINT InvalidPoint{-1, -1};

namespace {

// Rounds down, not toward zero: the extra pixel of an odd space goes after.
int FloorHalf(int64_t AValue) {
  return int(AValue >= 0 ? AValue / 2 : -((-AValue + 1) / 2));
}

} // namespace

// ---- TkxRect ---------------------------------------------------------------

void TkxRect::SetRect(const RECT& AValue) {
  RECT value = AValue;
  AdjustNewRect(value);
  if (RectsAreEqual(value, FRect))
    return;
  FRect = value;
  NotifyChange();
}

int TkxRect::GetValue(int AIndex) const {
  switch (AIndex) {
  case 0:
    return FRect.left;
  case 1:
    return FRect.top;
  case 2:
    return FRect.right;
  default:
    return FRect.bottom;
  }
}

void TkxRect::SetValue(int AIndex, int AValue) {
  RECT value = FRect;
  LONG* const sides[] = {&value.left, &value.top, &value.right, &value.bottom};
  if (AIndex < 0 || AIndex > 3)
    return;
  *sides[AIndex] = AValue;
  SetRect(value);
}

POINT TkxRect::GetCorner(TgxCorner ACorner) const {
  const bool right = ACorner == coTopRight || ACorner == coBottomRight;
  const bool bottom = ACorner == coBottomLeft || ACorner == coBottomRight;
  return {right ? FRect.right : FRect.left, bottom ? FRect.bottom : FRect.top};
}

void TkxRect::SetCorner(TgxCorner ACorner, POINT AValue) {
  RECT value = FRect;
  (ACorner == coTopRight || ACorner == coBottomRight ? value.right : value.left) = AValue.x;
  (ACorner == coBottomLeft || ACorner == coBottomRight ? value.bottom : value.top) = AValue.y;
  SetRect(value);
}

void TkxRect::SetWidth(int AValue) {
  SetValue(2, FRect.left + AValue);
}

void TkxRect::SetHeight(int AValue) {
  SetValue(3, FRect.top + AValue);
}

bool TkxRect::IsEmpty() const {
  return RectIsEmpty(FRect);
}

bool TkxRect::IsEqual(const RECT& ARect) const {
  return RectsAreEqual(FRect, ARect);
}

void TkxRect::DoAssign(const TPersistent* ASource) {
  SetRect(static_cast<const TkxRect*>(ASource)->Rect());
}

// ---- Routines --------------------------------------------------------------

RECT InflateRectSides(const RECT& R, int DX1, int DY1, int DX2, int DY2) {
  return {R.left - DX1, R.top - DY1, R.right + DX2, R.bottom + DY2};
}

RECT OffsetRectBy(const RECT& R, int DX, int DY, bool APositive) {
  if (!APositive) {
    DX = -DX;
    DY = -DY;
  }
  return {R.left + DX, R.top + DY, R.right + DX, R.bottom + DY};
}

POINT OffsetPointBy(POINT P, int X, int Y, bool APositive) {
  return APositive ? POINT{P.x + X, P.y + Y} : POINT{P.x - X, P.y - Y};
}

bool PointInRect(const RECT& R, int X, int Y) {
  return R.left <= X && X < R.right && R.top <= Y && Y < R.bottom;
}

bool RectIsEmpty(const RECT& R) {
  return R.right <= R.left || R.bottom <= R.top;
}

bool RectsAreEqual(const RECT& R1, const RECT& R2) {
  return R1.left == R2.left && R1.top == R2.top && R1.right == R2.right && R1.bottom == R2.bottom;
}

RECT TransposeRect(const RECT& R) {
  return {R.top, R.left, R.bottom, R.right};
}

RECT RectFromPoints(POINT ATopLeft, POINT ABottomRight) {
  return {ATopLeft.x, ATopLeft.y, ABottomRight.x, ABottomRight.y};
}

RECT PlaceRectHorz(const RECT& R, int ALeft, int AWidth) {
  return {ALeft, R.top, ALeft + AWidth, R.bottom};
}

RECT CenterRect(const RECT& R, int AWidth, int AHeight) {
  const int left = FloorHalf(int64_t(R.left) + R.right - AWidth);
  const int top = FloorHalf(int64_t(R.top) + R.bottom - AHeight);
  return {left, top, left + AWidth, top + AHeight};
}

POINT MakePoint(int X, int Y) {
  return {X, Y};
}

// ---- The unit --------------------------------------------------------------

void kxGeometryStartup() {
  // A module loaded again finds its class still listed when a previous
  // shut-down did not run (process exit leaves the registry as it is).
  if (!TClassRegistry::IsRegistered(TkxRect::StaticClassName()))
    TClassRegistry::RegisterOf<TkxRect>(TkxRect::StaticClassName());
  LedgerRegistration(L"StreamingClass", L"TkxRect", true);
}

void kxGeometryShutdown() {
  TClassRegistry::Unregister(TkxRect::StaticClassName());
  LedgerRegistration(L"StreamingClass", L"TkxRect", false);
}
