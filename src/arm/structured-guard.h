#pragma once

// Calls a routine of a foreign library so that a structured exception
// raised inside it (an access violation, a RaiseException) ends that call
// and nothing else: the stack is unwound back to the guard, and the guard
// answers that the call raised. C++ exceptions of this program never pass
// through a guard: the routines it runs are plain calls into the library.

// Runs AThunk(AContext). True when it returned, False when it raised.
bool CallStructuredGuarded(void (*AThunk)(void*), void* AContext);
