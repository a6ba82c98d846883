#include "structured-guard.h"

#include <windows.h>

#if defined(_WIN64)

// x86_64: a frame with its own exception scope. The unwind data names the
// run-time's scope handler, and the scope around the call says "execute
// the handler" for every exception: the system unwinds the library's
// frames and resumes at the scope's target with this frame's registers,
// where the guard answers False. The nop keeps the return address of the
// call inside the scope.
extern "C" int OrvStructuredGuardedCall(void (*AThunk)(void*), void* AContext);

asm(R"(
    .text
    .p2align 4
    .globl OrvStructuredGuardedCall
    .def OrvStructuredGuardedCall; .scl 2; .type 32; .endef
    .seh_proc OrvStructuredGuardedCall
OrvStructuredGuardedCall:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long 1
    .rva .LOrvGuardBegin, .LOrvGuardEnd
    .long 1
    .rva .LOrvGuardRaised
    .text
.LOrvGuardBegin:
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
.LOrvGuardEnd:
    movl $1, %eax
    addq $40, %rsp
    retq
.LOrvGuardRaised:
    xorl %eax, %eax
    addq $40, %rsp
    retq
    .seh_endproc
)");

bool CallStructuredGuarded(void (*AThunk)(void*), void* AContext) {
  return OrvStructuredGuardedCall(AThunk, AContext) != 0;
}

#else

// i686: an exception registration record on this frame's stack, at the
// head of the thread's handler chain while the call runs. Its handler lets
// the system unwind the records the library pushed after it, then jumps
// back into the guard.
namespace {

struct TGuardRecord {
  TGuardRecord* Next; // the registration record's layout: link, handler
  void* Handler;
  void* Resume[5];
};

TGuardRecord* HandlerChain() {
  return reinterpret_cast<TGuardRecord*>(__readfsdword(0));
}

void SetHandlerChain(TGuardRecord* ARecord) {
  __writefsdword(0, DWORD(reinterpret_cast<uintptr_t>(ARecord)));
}

extern "C" EXCEPTION_DISPOSITION __cdecl OrvStructuredGuardHandler(EXCEPTION_RECORD* AException,
                                                                   void* AFrame, CONTEXT*, void*) {
  if (AException->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
    return ExceptionContinueSearch;
  TGuardRecord* record = static_cast<TGuardRecord*>(AFrame);
  RtlUnwind(AFrame, nullptr, AException, nullptr);
  __builtin_longjmp(record->Resume, 1);
}

} // namespace

__attribute__((noinline)) bool CallStructuredGuarded(void (*AThunk)(void*), void* AContext) {
  TGuardRecord record;
  record.Handler = reinterpret_cast<void*>(&OrvStructuredGuardHandler);
  record.Next = HandlerChain();
  if (__builtin_setjmp(record.Resume)) {
    SetHandlerChain(record.Next);
    return false;
  }
  SetHandlerChain(&record);
  AThunk(AContext);
  SetHandlerChain(record.Next);
  return true;
}

#endif
