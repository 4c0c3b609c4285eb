# Firmware for the simulated ARM7TDMI, built with the ARM cross toolchain.
#
# vantrel_arm_firmware(NAME <name>
#                      SOURCES <ARM-state .c/.S files>...
#                      [THUMB_SOURCES <Thumb-state .c/.S files>...]
#                      [LINKER_SCRIPT <file>]
#                      [MEMORY_ORIGIN <address>] [MEMORY_SIZE <bytes>]
#                      [INCLUDE_DIRECTORIES <dir>...] [DEFINITIONS <NAME[=value]>...]
#                      [BIG_ENDIAN])
#
# Compiles each SOURCES file with -marm and each THUMB_SOURCES file with -mthumb (the
# state is a per-command option, so the two kinds are never mixed in one command), all
# with -mcpu=arm7tdmi -mthumb-interwork -O2 -ffreestanding -nostdlib, links them with
# libgcc (division, 64-bit helpers) into an ELF and makes a raw binary image of it with
# objcopy. BIG_ENDIAN builds with -mbig-endian and links without libgcc, which the
# toolchain ships little-endian only: such programs must not need its helpers.
#
# Without LINKER_SCRIPT a generated script places one memory region at MEMORY_ORIGIN
# (default 0) of MEMORY_SIZE bytes (default 256 KiB): a .vectors input section first,
# then code, read-only data, data and bss; it defines __bss_start__, __bss_end__ and
# __stack_top__ (end of the region) for startup code. The image starts at the region's
# origin, so the .bin is loaded there.
#
# Results:
#   target <name>                      builds the ELF and the .bin (part of ALL)
#   variables <name>_ELF, <name>_BIN    their paths, set in the caller's scope
#   target properties ARM_FIRMWARE_ELF and ARM_FIRMWARE_BIN on <name>: the same paths,
#     for use from other directories ($<TARGET_PROPERTY:<name>,ARM_FIRMWARE_BIN>)
# A program that embeds or loads the image should add_dependencies() on <name>.

find_program(VANTREL_ARM_GCC arm-none-eabi-gcc)
find_program(VANTREL_ARM_OBJCOPY arm-none-eabi-objcopy)

function(_vantrel_arm_firmware_linker_script out origin size)
  set(script "${CMAKE_CURRENT_BINARY_DIR}/${out}")
  file(CONFIGURE OUTPUT "${script}" CONTENT [[
MEMORY { RAM (rwx) : ORIGIN = @origin@, LENGTH = @size@ }
ENTRY(_start)
SECTIONS {
  .text : { KEEP(*(.vectors)) *(.text .text.*) *(.glue_7 .glue_7t .vfp11_veneer .v4_bx) } > RAM
  .rodata : { *(.rodata .rodata.*) } > RAM
  .ARM.exidx : { *(.ARM.exidx*) } > RAM
  .data : { *(.data .data.*) } > RAM
  .bss (NOLOAD) : ALIGN(4) { __bss_start__ = .; *(.bss .bss.*) *(COMMON) . = ALIGN(4); __bss_end__ = .; } > RAM
  __stack_top__ = ORIGIN(RAM) + LENGTH(RAM);
}
]] @ONLY)
  set(${out}_PATH "${script}" PARENT_SCOPE)
endfunction()

function(vantrel_arm_firmware)
  cmake_parse_arguments(F "BIG_ENDIAN" "NAME;LINKER_SCRIPT;MEMORY_ORIGIN;MEMORY_SIZE"
                        "SOURCES;THUMB_SOURCES;INCLUDE_DIRECTORIES;DEFINITIONS" ${ARGN})
  if(NOT F_NAME)
    message(FATAL_ERROR "vantrel_arm_firmware: NAME is required")
  endif()
  if(NOT F_SOURCES AND NOT F_THUMB_SOURCES)
    message(FATAL_ERROR "vantrel_arm_firmware(${F_NAME}): no SOURCES or THUMB_SOURCES")
  endif()
  if(NOT VANTREL_ARM_GCC OR NOT VANTREL_ARM_OBJCOPY)
    message(FATAL_ERROR "vantrel_arm_firmware(${F_NAME}): arm-none-eabi-gcc/objcopy not found; "
                        "install them with scripts/install-deps.sh")
  endif()

  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}.firmware")
  set(common -mcpu=arm7tdmi -mthumb-interwork -O2 -ffreestanding -nostdlib -g)
  if(F_BIG_ENDIAN)
    list(APPEND common -mbig-endian)
  endif()
  foreach(dir ${F_INCLUDE_DIRECTORIES})
    get_filename_component(dir "${dir}" ABSOLUTE)
    list(APPEND common "-I${dir}")
  endforeach()
  foreach(def ${F_DEFINITIONS})
    list(APPEND common "-D${def}")
  endforeach()

  set(objects)
  foreach(state arm thumb)
    if(state STREQUAL "arm")
      set(files ${F_SOURCES})
    else()
      set(files ${F_THUMB_SOURCES})
    endif()
    foreach(src ${files})
      get_filename_component(src "${src}" ABSOLUTE)
      get_filename_component(stem "${src}" NAME)
      # Named after the path, so that a.c in two folders makes two objects.
      file(RELATIVE_PATH rel "${CMAKE_CURRENT_SOURCE_DIR}" "${src}")
      string(MAKE_C_IDENTIFIER "${rel}" obj_name)
      set(obj "${out_dir}/${state}/${obj_name}.o")
      add_custom_command(
        OUTPUT "${obj}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${out_dir}/${state}"
        COMMAND ${VANTREL_ARM_GCC} ${common} -m${state} -MD -MF "${obj}.d" -c "${src}" -o "${obj}"
        DEPENDS "${src}"
        DEPFILE "${obj}.d"
        COMMENT "ARM firmware ${F_NAME}: ${stem} (${state})"
        VERBATIM)
      list(APPEND objects "${obj}")
    endforeach()
  endforeach()

  if(F_LINKER_SCRIPT)
    get_filename_component(script "${F_LINKER_SCRIPT}" ABSOLUTE)
  else()
    if(NOT F_MEMORY_ORIGIN)
      set(F_MEMORY_ORIGIN 0x00000000)
    endif()
    if(NOT F_MEMORY_SIZE)
      set(F_MEMORY_SIZE 0x40000)
    endif()
    set(origin ${F_MEMORY_ORIGIN})
    set(size ${F_MEMORY_SIZE})
    _vantrel_arm_firmware_linker_script(${F_NAME}.ld ${origin} ${size})
    set(script "${${F_NAME}.ld_PATH}")
  endif()

  set(libs)
  if(NOT F_BIG_ENDIAN)
    set(libs -lgcc)
  endif()
  set(elf "${out_dir}/${F_NAME}.elf")
  set(bin "${out_dir}/${F_NAME}.bin")
  add_custom_command(
    OUTPUT "${elf}"
    COMMAND ${VANTREL_ARM_GCC} ${common} -marm -T "${script}" -Wl,--no-warn-rwx-segments
            ${objects} ${libs} -o "${elf}"
    DEPENDS ${objects} "${script}"
    COMMENT "ARM firmware ${F_NAME}: link"
    VERBATIM)
  add_custom_command(
    OUTPUT "${bin}"
    COMMAND ${VANTREL_ARM_OBJCOPY} -O binary "${elf}" "${bin}"
    DEPENDS "${elf}"
    COMMENT "ARM firmware ${F_NAME}: raw image"
    VERBATIM)
  add_custom_target(${F_NAME} ALL DEPENDS "${bin}")
  set_target_properties(${F_NAME} PROPERTIES ARM_FIRMWARE_ELF "${elf}" ARM_FIRMWARE_BIN "${bin}")
  set(${F_NAME}_ELF "${elf}" PARENT_SCOPE)
  set(${F_NAME}_BIN "${bin}" PARENT_SCOPE)
endfunction()
