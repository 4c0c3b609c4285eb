/* The demo firmware as a product keeps it: code and constants in the boot flash at
   address 0 (1 MiB), variables and the stack in RAM after it. The startup code copies
   no initialised data, so the program must have none. */
MEMORY {
  FLASH (rx) : ORIGIN = 0x00000000, LENGTH = 1M
  RAM (rwx)  : ORIGIN = 0x00100000, LENGTH = 256K
}
ENTRY(_start)
SECTIONS {
  .text : { KEEP(*(.vectors)) *(.text .text.*) *(.glue_7 .glue_7t .vfp11_veneer .v4_bx) } > FLASH
  .rodata : { *(.rodata .rodata.*) } > FLASH
  .ARM.exidx : { *(.ARM.exidx*) } > FLASH
  .data : { *(.data .data.*) } > RAM AT > FLASH
  .bss (NOLOAD) : ALIGN(4) { __bss_start__ = .; *(.bss .bss.*) *(COMMON) . = ALIGN(4); __bss_end__ = .; } > RAM
  __stack_top__ = ORIGIN(RAM) + LENGTH(RAM);
  ASSERT(SIZEOF(.data) == 0, "the startup code copies no initialised data")
}
