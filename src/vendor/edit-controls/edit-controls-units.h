#pragma once

// Interface stable.

// Start-up and shut-down of the edit control library's units. Each pair is
// one step of the module's load table (src/runtime/unit-steps.h): the
// start-ups run once, on the loading thread, in the order below; the
// shut-downs run in exact reverse. None of them raises.

// Control unit: the KX_ screen cursors, the two GUID-named messages and the
// system controller's hidden window, which takes over the main-thread
// wake-up.
void KxControlsStartup();
void KxControlsShutdown();

// Hook unit: the hook controller with its five hook kinds, none installed.
void GxHooksStartup();
void GxHooksShutdown();

// Container unit: own scroll bars when "GetScrollBarInfo" exists; the popup
// list and the three popup-closing hooks of the loading thread.
void KxContainerStartup();
void KxContainerShutdown();

// Data strings unit: the data controller's message texts.
void KxDataStringsStartup();
void KxDataStringsShutdown();

// Data storage unit: the fifteen value types.
void KxDataStorageStartup();
void KxDataStorageShutdown();

// Paint unit: the system-colour brush table and the solid brush cache.
void KxPaintStartup();
void KxPaintShutdown();

// Format unit: nothing at load; the format controller is freed at unload.
void KxFormatsStartup();
void KxFormatsShutdown();

// Date unit: the smart date input words.
void KxDateUtilsStartup();
void KxDateUtilsShutdown();

// Editor strings unit.
void KxEditStringsStartup();
void KxEditStringsShutdown();

// Filter strings unit.
void KxFilterStringsStartup();
void KxFilterStringsShutdown();

// Edit unit: screen cursor 4101, the default edit style controller, the
// list of edit properties objects.
void KxEditStartup();
void KxEditShutdown();

// Filter-control strings unit.
void KxFilterControlStringsStartup();
void KxFilterControlStringsShutdown();

// Text edit unit: the text properties class and its filter helper.
void KxTextEditStartup();
void KxTextEditShutdown();

// Memo unit: the memo properties class and its filter helper.
void KxMemoStartup();
void KxMemoShutdown();
