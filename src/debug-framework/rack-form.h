#pragma once

// The rack panels as the drivers see them: the instrument form and view
// bases, the ARM controller panel, and the hard device viewer of a device
// that has a boundary-scan description.

#include "arm-instrument-form.h"
#include "hard-device-viewer.h"
#include "instrument-forms.h"
#include "instrument-views.h"
