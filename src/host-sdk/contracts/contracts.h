#pragma once

// The contract classes: each maps the DISPIDs the host calls on one kind of
// object to virtual operations, and answers its service names. Descendants
// implement the operations; until then they answer E_NOTIMPL.
//
// The classes are written from contracts.txt at build time.

#include "contract-params.h"
#include "contracts.generated.h"
