#pragma once

// The picture the host shows for a chain device: the host's generic device
// picture with the family's own image drawn centred on it.

#include <windows.h>

#include <string>

inline constexpr wchar_t kGenericDevicePicture[] = L"Generic_Hard_Device.bmp";

// A bitmap file loaded as a device-independent section; nullptr when the
// file is missing or not a bitmap.
HBITMAP LoadBitmapFile(const std::wstring& AFileName);

// Copies ASource's pixels into ATarget with its top-left pixel at (AX, AY);
// both become 24-bit bitmaps (the handles may be replaced). With
// ASkipCorners the source's four corner pixels are left out, so the target
// shows through there. Pixels that fall outside the target are dropped.
void CopyBitmapAt(HBITMAP& ASource, HBITMAP& ATarget, int AX, bool ASkipCorners, int AY);
// CopyBitmapAt with the source centred on the target (offsets truncated
// towards zero).
void CopyBitmapCentred(HBITMAP& ASource, HBITMAP& ATarget, bool ASkipCorners);

// The generic picture of ASystemFolder with the image AImageFile centred on
// it (corners skipped) when that file exists; nullptr without the generic
// picture; raises when the generic picture is not a bitmap. The caller owns
// the bitmap.
HBITMAP BuildDevicePicture(const std::wstring& ASystemFolder, const std::wstring& AImageFile);
