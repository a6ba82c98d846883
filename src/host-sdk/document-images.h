#pragma once

// One shared list of 16 x 16 images for the whole plug-in, and the image of
// a kind of host document ("VHDL", "SCH", or "UNKNOWN" with a file
// extension), loaded on first demand from the host's bitmap folders, the
// registered plug-in folders or the shell, and remembered by kind.

#include <windows.h>

#include <commctrl.h>

#include <string>

// The shared image list (its 273 built-in images first).
HIMAGELIST GetMainImageList();
// The image index of a document kind, -1 when none is found; a kind
// without an image is searched again on the next request.
int GetDocumentKindImageIndex(const std::wstring& AKind);
// Adds the bitmap AName + ".bmp" from the host's bitmap folders or the
// plug-in folders to the shared list; its index, or -1.
int AddImageFromSystemPath(const std::wstring& AName);
// Frees the list and the kind cache (module shutdown).
void ReleaseDocumentImages();

constexpr int kBuiltInImageCount = 273;
constexpr int kDocumentImageSize = 16;
