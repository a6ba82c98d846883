#pragma once

#include <string>

// Path + "\" unless the path is empty or already ends with "\".
std::wstring AppendPathDelimiter(const std::wstring& APath);

// When ADelimiter occurs in AText (exact case), AToken gets the text before
// its first occurrence and AText keeps the text after it; otherwise AToken
// gets the whole text and AText becomes empty.
void CutToken(std::wstring& AText, const std::wstring& ADelimiter, std::wstring& AToken);

// 1-based position of the last occurrence of ASubText in AText that begins
// at or before AIndex and lies wholly within AText; 0 when there is none.
int BackPos(const std::wstring& ASubText, const std::wstring& AText, int AIndex);

// Number-aware ordering: -1, 0 or 1. Runs of digits compare by value, so
// "item9" sorts before "item10"; texts that tie there (differing only in
// blanks or leading zeros) are ordered by the plain comparison.
int LogicalCompare(const std::wstring& AS1, const std::wstring& AS2, bool ACaseSensitive);

// Conversion to the calling thread's ANSI code page; characters without a
// counterpart become the code page's default character.
std::string WideToAnsiString(const std::wstring& AText);

// The text without leading and trailing blanks (control characters and spaces).
std::wstring TrimBlanks(const std::wstring& AText);
