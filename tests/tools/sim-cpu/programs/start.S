@ Entry of every differential-test program: the image is loaded at the
@ start of SRAM, runs main and ends at the branch to itself (image offset 4),
@ where both engines stop.
  .syntax unified
  .thumb
  .section .text.start, "ax"
  .global _start
  .thumb_func
_start:
  bl main
  .global _finish
_finish:
  b _finish
