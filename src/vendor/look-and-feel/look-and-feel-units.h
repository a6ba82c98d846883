#pragma once

// Interface stable.

#include "unit-steps.h"

// The painting library's units in their start-up order.
extern const TUnitStep kLookAndFeelUnits[15];
