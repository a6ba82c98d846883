#pragma once

#include "gx-core.h"

#include <cstddef>
#include <string>

struct TkxPCResourceStringEntry {
  const wchar_t* Name;
  TResourceString String;
};

// The page control's resource strings in registration order.
extern const TkxPCResourceStringEntry kxPCStrings[];
extern const size_t kxPCStringsCount;
// The product title they are registered under.
extern const wchar_t* const kkxPCStringsProduct;

// The text of the page control's string of that name (its translation when
// one is registered); empty for an unknown name.
std::wstring KxPCResString(const wchar_t* AName);
