/*
 * Entry of the flash loader. The writer resets the processor and sets only
 * PC to the first byte of the image: SP is whatever the reset took from the
 * flash vector table (erased flash gives 0xFFFFFFFC), so the stack pointer is
 * set before anything touches memory. The stack lies inside the image, so
 * the RAM the writer saves and restores around the loader covers it.
 */
  .syntax unified
  .thumb
  .cpu cortex-m3

  .section .entry, "ax"
  .global LoaderEntry
  .type LoaderEntry, %function
  .thumb_func
LoaderEntry:
  cpsid i                 /* nothing of ours runs in handlers */
  /* The stack ends where the command block starts (the linker script makes
     sure), so one address serves both: LoaderRun gets the command block. */
  ldr r0, =LoaderStackTop
  mov sp, r0
  bl LoaderRun
  /* The command is done and its status written: stop for the writer, and
     stop again should anyone resume the processor. */
LoaderHalt:
  bkpt #0
  b LoaderHalt
  .pool
  .size LoaderEntry, . - LoaderEntry
