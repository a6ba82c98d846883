#pragma once

#include <string>
#include <vector>

// The smart date input words ("today", weekday names, ordinals, ...) that
// date masks accept, read from their translatable strings.
constexpr size_t kkxSmartInputWordCount = 20;

// The words while the date unit is loaded (empty outside).
const std::vector<std::wstring>& SmartInputWords();
// Reads the twenty words again through their translations.
void LoadSmartInputWords();
// Appends AText to a regular-expression mask as literal text.
void QuoteMaskLiteral(std::wstring& AMask, const std::wstring& AText);
// Extends a regular-expression mask with the word alternative and an
// optional signed day offset of one to four digits.
void AddSmartInputWords(std::wstring& AMask, bool AIncludeNow);
