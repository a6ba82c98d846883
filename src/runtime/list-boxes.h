#pragma once

#include "controls.h"
#include "forms.h"
#include "graphics.h"

#include <windows.h>

#include <cstdint>
#include <functional>

// The framework's vocabulary of scroll bars and owner-drawn list items,
// shared by every control that scrolls or draws items.

enum TScrollBarKind : uint8_t { sbHorizontal, sbVertical };

// What a scroll request asks; the order is the system's SB_xxx order.
enum TScrollCode : uint8_t {
  scLineUp,
  scLineDown,
  scPageUp,
  scPageDown,
  scPosition,
  scTrack,
  scTop,
  scBottom,
  scEndScroll
};

// A scroll request; the handler may change the position it will end at.
using TScrollEvent =
    std::function<void(TControl* ASender, TScrollCode AScrollCode, int& AScrollPos)>;

// A control's frame: none or a single line (the form border's first two).
using TBorderStyle = TFormBorderStyle;

// How an owner-drawn item is to look.
enum TOwnerDrawStateItem : uint16_t {
  odSelected = 1 << 0,
  odGrayed = 1 << 1,
  odDisabled = 1 << 2,
  odChecked = 1 << 3,
  odFocused = 1 << 4,
  odDefault = 1 << 5,
  odHotLight = 1 << 6,
  odInactive = 1 << 7,
  odNoAccel = 1 << 8,
  odNoFocusRect = 1 << 9,
  odReserved1 = 1 << 10,
  odReserved2 = 1 << 11,
  odComboBoxEdit = 1 << 12,
};
using TOwnerDrawState = uint16_t;

using TDrawItemEvent = std::function<void(TWinControl* AControl, int AIndex, const RECT& ARect,
                                          TOwnerDrawState AState)>;
