#include "page-control-strings.h"

// The page control's resource strings, by name, in the order the unit
// hands them to the repository.

const TkxPCResourceStringEntry kxPCStrings[] = {
    {L"skxPCImageListIndexError", {L"Index (%d) must be between 0 and %d"}},
    {L"skxPCNoBaseImages", {L"BaseImages is not assigned"}},
    {L"skxPCNoRegisteredStyles", {L"There are no styles registered"}},
    {L"skxPCPageIndexError",
     {L"%d is an invalid PageIndex value.  PageIndex must be between 0 and %d"}},
    {L"skxPCPainterClassError", {L"PCPainterClass is nil"}},
    {L"skxPCStandardStyleError", {L"%s is an unsupported standard style"}},
    {L"skxPCStyleNameError", {L"%s is an unregistered style name"}},
    {L"skxPCTabCountEqualsZero", {L"Tabs.Count = 0"}},
    {L"skxPCTabIndexError", {L"Tab's index (%d) out of bounds"}},
    {L"skxPCTabVisibleIndexOutsOfBounds", {L"TabVisibleIndex (%d) must be between 0 and %d"}},
    {L"skxPCVisibleTabListEmpty", {L"There are no visible tabs"}},
    {L"skxPCAllowRotateError", {L"%s style does not support rotation of tabs"}},
};
const size_t kxPCStringsCount = sizeof(kxPCStrings) / sizeof(kxPCStrings[0]);
