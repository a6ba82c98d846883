/* Everything in one loadable block at the start of SRAM; .bss follows and
   starts zeroed because both engines start from zeroed memory. */
ENTRY(_start)
SECTIONS
{
  . = 0x20000000;
  .text : { *(.text.start) *(.text*) *(.rodata*) *(.data*) }
  .bss : { *(.bss*) *(COMMON) }
  /DISCARD/ : { *(.ARM.*) *(.comment) }
}
