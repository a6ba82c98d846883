#pragma once

#include "edit-controls-units.h"
#include "ledger-mark.h"

// The library's units in load order, as the module's table runs them.
inline const TUnitStep kEditControlsSteps[] = {
    {L"kxControls", KxControlsStartup, KxControlsShutdown},
    {L"gxHooks", GxHooksStartup, GxHooksShutdown},
    {L"kxContainer", KxContainerStartup, KxContainerShutdown},
    {L"kxDataStrs", KxDataStringsStartup, KxDataStringsShutdown},
    {L"kxDataStorage", KxDataStorageStartup, KxDataStorageShutdown},
    {L"kxEditPaint", KxPaintStartup, KxPaintShutdown},
    {L"kxFormats", KxFormatsStartup, KxFormatsShutdown},
    {L"kxDateUtils", KxDateUtilsStartup, KxDateUtilsShutdown},
    {L"kxEditConsts", KxEditStringsStartup, KxEditStringsShutdown},
    {L"kxFilterConsts", KxFilterStringsStartup, KxFilterStringsShutdown},
    {L"kxEdit", KxEditStartup, KxEditShutdown},
    {L"kxFilterControlStrs", KxFilterControlStringsStartup, KxFilterControlStringsShutdown},
    {L"kxTextEdit", KxTextEditStartup, KxTextEditShutdown},
    {L"kxMemo", KxMemoStartup, KxMemoShutdown},
};
