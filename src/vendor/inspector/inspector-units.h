#pragma once

// Interface stable.

// Start-up and shut-down of the inspector units, steps of the module's load
// table in this order (shut-downs in reverse). None of them raises.

// Row unit: the drag bitmap, the two row classes, the image list and the
// five GXINSP_ cursors.
void GxInspectorRowsStartup();
void GxInspectorRowsShutdown();

// Row kinds unit: the check texts and the sixteen text row classes.
void GxInspectorRowKindsStartup();
void GxInspectorRowKindsShutdown();
