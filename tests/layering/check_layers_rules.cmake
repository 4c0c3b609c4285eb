# The layering check against small source trees: each case writes one include into one
# file of a tree that is otherwise sound, and says whether the check must pass it.
# Run with -DCHECK=<check_layers.cmake> -DWORK_DIR=<a scratch folder>.
cmake_minimum_required(VERSION 3.25)

# "<file>|<header it includes>|pass or fail"
set(cases
  "target/active_core.cpp|arm7/arm7tdmi_core.h|pass"
  "target/breakpoints.cpp|arm7/core_state.h|fail"
  "target/breakpoints.cpp|core/debug_core.h|pass"
  "arm7/memory_access.cpp|core/debug_core.h|pass"
  "arm7/memory_access.cpp|cable/tap.h|pass"
  "arm7/memory_access.cpp|target/register_cache.h|fail"
  "arm9/memory_access.cpp|arm7/core_state.h|fail"
  "arm9/memory_access.cpp|cable/tap.h|pass"
  "target/active_core.cpp|arm9/arm9tdmi_core.h|pass"
  "commands/ice_command.cpp|core/debug_core.h|fail"
  "commands/ice_command.cpp|arm7/embedded_ice.h|fail"
  "api/exports.cpp|core/watchpoint_unit.h|fail"
  "core/debug_core.h|cable/tap.h|fail"
  "core/debug_core.h|common/arm_architecture.h|pass"
  "cable/tap.h|core/debug_core.h|fail"
  "commands/host_view.cpp|target/core_status.h|pass")

set(failures "")
set(index 0)
foreach(case ${cases})
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 file)
  list(GET fields 1 header)
  list(GET fields 2 expected)
  set(tree ${WORK_DIR}/case${index})
  math(EXPR index "${index} + 1")
  file(REMOVE_RECURSE ${tree})
  foreach(dir api commands target core arm7 cable platform common)
    file(WRITE ${tree}/src/${dir}/placeholder.h "#pragma once\n")
  endforeach()
  file(WRITE ${tree}/src/${file} "#include \"${header}\"\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(result EQUAL 0)
    set(outcome pass)
  else()
    set(outcome fail)
  endif()
  if(NOT outcome STREQUAL expected)
    string(APPEND failures "  src/${file} including ${header}: ${outcome}ed, expected to ${expected}\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "the layering check judged wrongly:\n${failures}")
endif()
message(STATUS "layering check: every case judged as expected")
