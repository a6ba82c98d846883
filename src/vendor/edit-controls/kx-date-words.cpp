#include "kx-date-words.h"
#include "edit-controls-units.h"

#include "kx-look-and-feels.h"
#include "unit-steps.h"

namespace {

// The painting library's date words, in the order the masks list them.
const TResourceString* const kDateWords[kkxSmartInputWordCount] = {
    &kxSDateToday,   &kxSDateYesterday, &kxSDateTomorrow, &kxSDateSunday, &kxSDateMonday,
    &kxSDateTuesday, &kxSDateWednesday, &kxSDateThursday, &kxSDateFriday, &kxSDateSaturday,
    &kxSDateFirst,   &kxSDateSecond,    &kxSDateThird,    &kxSDateFourth, &kxSDateFifth,
    &kxSDateSixth,   &kxSDateSeventh,   &kxSDateBOM,      &kxSDateEOM,    &kxSDateNow};

std::vector<std::wstring>* GWords = nullptr;
// The unit's object list: nothing adds to it, it only lives while loaded.
std::vector<void*>* GObjectList = nullptr;

const std::vector<std::wstring> kNoWords;

} // namespace

const std::vector<std::wstring>& SmartInputWords() {
  return GWords ? *GWords : kNoWords;
}

void LoadSmartInputWords() {
  if (!GWords)
    GWords = new std::vector<std::wstring>();
  GWords->clear();
  for (const auto& word : kDateWords)
    GWords->push_back(LoadTranslatedResString(*word));
}

void QuoteMaskLiteral(std::wstring& AMask, const std::wstring& AText) {
  size_t i = 0;
  while (i < AText.size()) {
    if (AText[i] == L'\'') {
      AMask += L"\\'";
      ++i;
      continue;
    }
    const size_t end = AText.find(L'\'', i);
    const size_t stop = end == std::wstring::npos ? AText.size() : end;
    AMask += L'\'';
    AMask.append(AText, i, stop - i);
    AMask += L'\'';
    i = stop;
  }
}

void AddSmartInputWords(std::wstring& AMask, bool AIncludeNow) {
  LoadSmartInputWords();
  const auto& words = *GWords;
  AMask = L"(" + AMask + L")|(";
  QuoteMaskLiteral(AMask, words[0]);
  for (size_t i = 1; i < kkxSmartInputWordCount; ++i) {
    if (i == kkxSmartInputWordCount - 1 && !AIncludeNow)
      continue;
    AMask += L'|';
    QuoteMaskLiteral(AMask, words[i]);
  }
  AMask += L")((\\+|-)\\d(\\d(\\d\\d?)?)?)?";
}

void KxDateUtilsStartup() {
  try {
    LoadSmartInputWords();
    GObjectList = new std::vector<void*>();
    LedgerRegistration(L"DateWords", L"SmartInputWords", true);
  } catch (...) {
  }
}

void KxDateUtilsShutdown() {
  try {
    const bool loaded = GObjectList != nullptr;
    delete GObjectList;
    GObjectList = nullptr;
    delete GWords;
    GWords = nullptr;
    if (loaded)
      LedgerRegistration(L"DateWords", L"SmartInputWords", false);
  } catch (...) {
  }
}
