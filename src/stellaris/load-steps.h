#pragma once

#include "unit-steps.h"

#include <cstddef>

// The module's load table: every unit step of the libraries the plug-in is
// built from, in start-up order. Each step uses only what the steps before
// it made; shut-down runs the table backwards.
const TUnitStep* ModuleLoadSteps(size_t& ACount);

// Remembers the thread that loads the module (the library entry's attach).
void NoteLoadingThread();
// Runs the start-ups once, on the loading thread; every export calls it
// before it answers. On another thread it does nothing: what the steps make
// (hidden windows, thread hooks) must belong to the loading thread.
void EnsureModuleStarted();
// Runs the shut-downs of the steps that started, the last first (the
// library's detach at FreeLibrary).
void ShutDownModule();
