# Fails when a file of the library includes a header of a layer above its own, or of a
# layer more than one step below it. Run with -DSOURCE_DIR=<the source tree>.
#
# The layers, top to bottom. A file may include its own layer and the one directly
# below. platform/ (the operating system, the clock, trace) and common/ (the result
# codes) are the base every layer stands on; include/ is the public protocol.
cmake_minimum_required(VERSION 3.25)
set(layers api commands target arm7 cable platform)
set(base_dirs platform common)

# Skips that go away only with the seams still to come: "<file>|<header>|<why>".
set(allowed_skips
  "commands/connection_commands.cpp|arm7/core_state.h|connect records the core's byte order until the core seam exists"
  "commands/ice_command.cpp|arm7/embedded_ice.h|the ICE command reads the watchpoint unit until the core seam exists"
  "commands/transfer_jobs.cpp|arm7/progress.h|progress and the break request sit in arm7 until they move to the session"
  "target/work_area.cpp|cable/port_config.h|the configured work area comes from the port configuration until the session holds it"
  "api/exports.cpp|arm7/embedded_ice.h|the status export reads the core until the core seam exists"
  "api/exports.cpp|arm7/progress.h|the progress export reads arm7's counters until they move to the session"
  "api/exports.cpp|cable/port_config.h|the port configuration is loaded at the API until the session holds it"
  "api/exports.cpp|cable/port_io.h|the port seam is plugged at the API until the session holds it"
  "api/exports.cpp|target/target_state.h|the status export reads the target state until the session holds it")

function(layer_index layer out)
  list(FIND layers "${layer}" index)
  set(${out} ${index} PARENT_SCOPE)
endfunction()

function(include_allowed from_layer file header out)
  string(REGEX MATCH "^[^/]+" to_layer "${header}")
  set(allowed TRUE)
  if(NOT header MATCHES "/" OR to_layer IN_LIST base_dirs OR to_layer STREQUAL from_layer)
    set(allowed TRUE)
  elseif(to_layer IN_LIST layers)
    layer_index(${from_layer} from)
    layer_index(${to_layer} to)
    math(EXPR below "${from} + 1")
    if(NOT to EQUAL below)
      set(allowed FALSE)
      foreach(entry ${allowed_skips})
        if(entry MATCHES "^${file}\\|${header}\\|")
          set(allowed TRUE)
        endif()
      endforeach()
    endif()
  endif()
  set(${out} ${allowed} PARENT_SCOPE)
endfunction()

set(faults "")
foreach(layer ${layers} common)
  file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR}/src ${SOURCE_DIR}/src/${layer}/*.h ${SOURCE_DIR}/src/${layer}/*.cpp)
  foreach(file ${sources})
    file(STRINGS ${SOURCE_DIR}/src/${file} includes REGEX "^#include \"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      set(from_layer ${layer})
      if(layer STREQUAL "common")
        set(from_layer platform)  # the base includes nothing above itself
      endif()
      include_allowed(${from_layer} ${file} ${header} ok)
      if(NOT ok)
        string(APPEND faults "  src/${file} includes ${header}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

# The hosts and the board see the library only through include/.
foreach(dir tools sim)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${dir}/*.h ${SOURCE_DIR}/${dir}/*.cpp)
  foreach(path ${sources})
    file(STRINGS ${path} includes REGEX "^#include \"(api|commands|target|arm7|cable|platform|common)/")
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
