#pragma once

// The host's chain device object answers its panels' processor questions
// from the driver bound to it: the driver itself, the processor state, the
// PC and SP register objects and the program memory space, whose object
// offers the driver's memory interface for that space.

#include "fake-host-object.h"

#include <oaidl.h>

// Serves those calls of ADevice from ADriver, which must stay alive while
// ADevice may be asked (the plug-in's drivers live as long as it is loaded).
void ServeProcessorFromDriver(TFakeHostObject& ADevice, IDispatch& ADriver);
