#pragma once

// Every wrapper record of the host's interfaces: one class per host
// interface, one method per host call, each a single Invoke by DISPID.
// The classes are written from records.txt at build time.

#include "disp-record.h"
#include "host-records.generated.h"
