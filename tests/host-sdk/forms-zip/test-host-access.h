#pragma once

// The one test host of this program: the plug-in code finds its client
// through the program's ClientAPI_GetClientInterface export.

#include "host-args.h"
#include "test-host.h"

TTestHost& SharedTestHost();
