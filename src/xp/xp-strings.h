#pragma once

#include <string>

// Text helpers of the control library: accelerator prefixes in captions,
// registry paths, and the natural order in which lists sort their texts
// ('Item 2' before 'Item 10').

// Removes the accelerator prefixes in place and answers the 1-based
// position of the accelerated character, 0 when there is none. A single
// "&" goes and the character that moves into its place is the accelerated
// one (with several, the last counts); "&&" becomes a literal "&". A
// trailing single "&" goes and answers the position just past the end.
int RemoveAccelChars(std::wstring& AText);
// The caption as it is shown: RemoveAccelChars on a copy.
std::wstring StripAccelChars(const std::wstring& ACaption);
// The text without its last character when that is "\".
std::wstring ExcludeTrailingBackslash(const std::wstring& AText);

// Natural comparison of two texts: -1, 0 or 1. Numbers compare by value,
// and texts with digits compare token by token, digit runs by value; what
// is left is decided case-insensitively.
int AlphaNumericCompare(const std::wstring& AText1, const std::wstring& AText2);
