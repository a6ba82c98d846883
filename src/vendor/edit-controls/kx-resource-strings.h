#pragma once

#include "gx-core.h"

#include <cstddef>
#include <string>

// One named resource string of the library with its default text.
struct TkxResourceStringEntry {
  const wchar_t* Name;
  TResourceString String;
};

// The data controller's message texts, the editor strings, the filter
// strings and the filter-control strings, each in registration order.
extern const TkxResourceStringEntry kxDataStrings[];
extern const size_t kxDataStringsCount;
extern const TkxResourceStringEntry kxEditStrings[];
extern const size_t kxEditStringsCount;
extern const TkxResourceStringEntry kxFilterStrings[];
extern const size_t kxFilterStringsCount;
extern const TkxResourceStringEntry kxFilterControlStrings[];
extern const size_t kxFilterControlStringsCount;

// The product titles the string units register under.
extern const wchar_t* const kkxDataStringsProduct;
extern const wchar_t* const kkxEditStringsProduct;
extern const wchar_t* const kkxFilterStringsProduct;
extern const wchar_t* const kkxFilterControlStringsProduct;

// The text of the library's string of that name (its translation when one
// is registered); empty for a name the library does not have.
std::wstring KxResString(const wchar_t* AName);
