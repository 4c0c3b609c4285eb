# Fails when a file of the library includes a header of a layer above its own, or of a
# layer more than one step below it. Run with -DSOURCE_DIR=<the source tree>.
#
# The layers, top to bottom. A file may include its own layer and the one directly
# below. platform/ (the operating system, the clock, trace) and common/ (the result
# codes, the ARM architecture's facts) are the base every layer stands on; include/ is
# the public protocol.
#
# The debug cores form one layer: every other folder of src/ (arm7/ today) is a core,
# implementing the core interface in core/, which holds interfaces only. target/ reaches
# a core through core/ alone; the registration file is the only file of target/ that
# names a core folder. A core includes no other core, and core/ includes only the base.
cmake_minimum_required(VERSION 3.25)
set(layers api commands target cores cable platform)
set(core_interface core)
set(core_registration target/active_core.cpp)
set(base_dirs platform common)

file(GLOB src_entries LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/*)
set(core_dirs "")
foreach(entry ${src_entries})
  if(IS_DIRECTORY ${SOURCE_DIR}/src/${entry} AND NOT entry IN_LIST layers AND NOT entry IN_LIST base_dirs
     AND NOT entry STREQUAL core_interface)
    list(APPEND core_dirs ${entry})
  endif()
endforeach()

# Skips a seam still to come would remove, each "<file>|<header>|<why>"; none today.
set(allowed_skips "")

# The layer a folder of src/ belongs to.
function(layer_of dir out)
  if(dir IN_LIST core_dirs)
    set(${out} cores PARENT_SCOPE)
  else()
    set(${out} ${dir} PARENT_SCOPE)
  endif()
endfunction()

function(layer_index layer out)
  list(FIND layers "${layer}" index)
  set(${out} ${index} PARENT_SCOPE)
endfunction()

function(listed_skip file header out)
  set(listed FALSE)
  foreach(entry ${allowed_skips})
    if(entry MATCHES "^${file}\\|${header}\\|")
      set(listed TRUE)
    endif()
  endforeach()
  set(${out} ${listed} PARENT_SCOPE)
endfunction()

# The core interface: reached by target/ (its user) and the core folders (its
# implementations); it reaches nothing but the base.
function(core_include_allowed from_dir file to_dir out)
  set(allowed FALSE)
  if(to_dir STREQUAL core_interface)
    if(from_dir STREQUAL "target" OR from_dir IN_LIST core_dirs)
      set(allowed TRUE)
    endif()
  elseif(to_dir IN_LIST core_dirs)
    if(file STREQUAL core_registration)
      set(allowed TRUE)
    endif()
  endif()
  set(${out} ${allowed} PARENT_SCOPE)
endfunction()

function(include_allowed from_dir file header out)
  string(REGEX MATCH "^[^/]+" to_dir "${header}")
  set(allowed TRUE)
  if(NOT header MATCHES "/" OR to_dir IN_LIST base_dirs OR to_dir STREQUAL from_dir)
    set(allowed TRUE)
  elseif(from_dir STREQUAL core_interface)
    set(allowed FALSE)
  elseif(to_dir STREQUAL core_interface OR (from_dir STREQUAL "target" AND to_dir IN_LIST core_dirs))
    core_include_allowed(${from_dir} ${file} ${to_dir} allowed)
  else()
    layer_of(${from_dir} from_layer)
    layer_of(${to_dir} to_layer)
    if(to_layer IN_LIST layers)
      layer_index(${from_layer} from)
      layer_index(${to_layer} to)
      math(EXPR below "${from} + 1")
      if(to_layer STREQUAL from_layer OR NOT to EQUAL below)
        listed_skip(${file} ${header} allowed)
      endif()
    endif()
  endif()
  set(${out} ${allowed} PARENT_SCOPE)
endfunction()

set(faults "")
set(scanned api commands target ${core_dirs} ${core_interface} cable platform common)
foreach(dir ${scanned})
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/${dir}/*.h ${SOURCE_DIR}/src/${dir}/*.cpp)
  foreach(file ${sources})
    file(STRINGS ${SOURCE_DIR}/src/${file} includes REGEX "^#include \"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      set(from_dir ${dir})
      if(dir STREQUAL "common")
        set(from_dir platform)  # the base includes nothing above itself
      endif()
      include_allowed(${from_dir} ${file} ${header} ok)
      if(NOT ok)
        string(APPEND faults "  src/${file} includes ${header}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

# The hosts and the board see the library only through include/.
string(JOIN "|" library_dirs ${scanned})
foreach(dir tools sim)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${dir}/*.h ${SOURCE_DIR}/${dir}/*.cpp)
  foreach(path ${sources})
    file(STRINGS ${path} includes REGEX "^#include \"(${library_dirs})/")
    foreach(line ${includes})
      file(RELATIVE_PATH file ${SOURCE_DIR} ${path})
      string(APPEND faults "  ${file}: ${line}\n")
    endforeach()
  endforeach()
endforeach()

if(faults)
  message(FATAL_ERROR "includes that run up or skip a layer:\n${faults}")
endif()
message(STATUS "layering: every include runs to its own layer or the one below")
