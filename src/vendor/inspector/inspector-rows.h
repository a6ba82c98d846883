#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

// The inspector's unit-level resources: the drag bitmap, the image list,
// the five customisation cursors, the registered row classes and the check
// row's default texts.

struct TgxInspectorCursor {
  int Slot;
  const wchar_t* ResourceName;
};
extern const TgxInspectorCursor kgxInspectorCursors[5];

// The two row classes of the row unit, then the sixteen text row classes of
// the row kinds unit, in registration order.
extern const wchar_t* const kgxInspectorRowClasses[2];
extern const wchar_t* const kgxInspectorTextRowClasses[16];

// The shared 1 x 1 image list while the row unit is loaded, else nullptr.
HIMAGELIST InspectorImageList();
// Whether the shared drag bitmap exists.
bool InspectorDragBitmapExists();

// The check row's default texts, read at the row kinds unit's load.
const std::wstring& InspectorCheckTrueText();
const std::wstring& InspectorCheckFalseText();
