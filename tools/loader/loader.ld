/*
 * The flash loader occupies the 1 KB loader area at the start of SRAM: its
 * code, its state and its stack, all as bytes of the image so that the
 * writer's save and restore of that RAM covers every byte the loader uses.
 * The command block follows the area at 0x20000400.
 */
ENTRY(LoaderEntry)

/* The stack takes the rest of the area, its top at the command block. The
   deepest call chain needs under 100 bytes (gcc -fstack-usage). */
LOADER_MIN_STACK_SIZE = 128;

MEMORY
{
  LOADER_AREA (rwx) : ORIGIN = 0x20000000, LENGTH = 0x400
}

SECTIONS
{
  .loader :
  {
    KEEP(*(.entry))
    *(.text .text.*)
    *(.rodata .rodata.*)
    . = ALIGN(4);
    *(.data .data.*)
    /* Zero-initialised state becomes image bytes: no startup code clears it. */
    *(.bss .bss.*)
    *(COMMON)
    . = ALIGN(8);
    LoaderStackBottom = .;
    . = ORIGIN(LOADER_AREA) + LENGTH(LOADER_AREA);
    LoaderStackTop = .;
  } > LOADER_AREA

  /DISCARD/ :
  {
    *(.comment)
    *(.note .note.*)
    *(.ARM.exidx*)
    *(.ARM.extab*)
    *(.init_array*)
    *(.fini_array*)
  }
}

ASSERT(LoaderStackTop == 0x20000400, "the stack must end at the command block")
ASSERT(LoaderStackTop - LoaderStackBottom >= LOADER_MIN_STACK_SIZE,
       "the loader leaves too little of its 1 KB area for its stack")
