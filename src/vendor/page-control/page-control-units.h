#pragma once

// Interface stable.

// Start-up and shut-down of the page-control units, steps of the module's
// load table in this order (shut-downs in reverse). None of them raises.

// Page-control strings unit.
void KxPCStringsStartup();
void KxPCStringsShutdown();

// Painter factory unit: nothing at load; frees a registry left at unload.
void KxPCFactoryStartup();
void KxPCFactoryShutdown();

// Painter unit: the light face and OneNote colours, the OneNote palette
// notifier and the nine painter classes.
void KxPCPaintersStartup();
void KxPCPaintersShutdown();
