#pragma once

#include <memory>

// A slot for an object the library's shut-down frees. The slot itself is
// never destroyed: at process exit the library touches nothing, so what is
// still held then (windows, hooks, library handles) is left to the system
// rather than freed by a static destructor after the program's own objects
// are gone.
template <typename T> std::unique_ptr<T>& Kept() {
  return *new std::unique_ptr<T>;
}
