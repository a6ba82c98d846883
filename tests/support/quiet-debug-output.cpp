// GoogleTest copies every failure to OutputDebugStringA, which reaches the
// debugger by raising a structured exception. Where Wine runs under qemu's
// user-mode emulation that exception kills the test program, so the test
// programs route the call to a function that does nothing; the failure text
// is printed on stdout all the same.
#include <windows.h>

namespace {
void WINAPI IgnoreDebugString(LPCSTR) {}
} // namespace

extern "C" {
// The import slot the linker would otherwise take from kernel32.
void(WINAPI* OrvandelOutputDebugStringA)(LPCSTR) __asm__("__imp__OutputDebugStringA@4") =
    IgnoreDebugString;
}
