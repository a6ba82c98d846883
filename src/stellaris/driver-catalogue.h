#pragma once

#include <oaidl.h>

#include <cstdint>

// The device kinds this library hands out drivers for.
int32_t DriverKindCount();
// A new driver object for a kind in 0..DriverKindCount()-1, as IDispatch
// with one reference for the caller. Raises on failure.
IDispatch* CreateDriver(int32_t AKind);
