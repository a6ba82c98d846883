#include "unit-steps.h"

void TUnitStepRunner::Startup() {
  while (FStarted < FCount) {
    const TUnitStep& step = FSteps[FStarted];
    LedgerStep(step.Name, true);
    try {
      if (step.Startup)
        step.Startup();
    } catch (...) {
      // A unit that cannot start leaves its work undone; loading goes on.
    }
    ++FStarted;
  }
}

void TUnitStepRunner::Shutdown() {
  while (FStarted > 0) {
    const TUnitStep& step = FSteps[--FStarted];
    try {
      if (step.Shutdown)
        step.Shutdown();
    } catch (...) {
      // Unloading goes on whatever one unit fails to give back.
    }
    LedgerStep(step.Name, false);
  }
}
