# Run with cmake -DLIBRARY=<path> -P check_exports.cmake: the shared library must export
# exactly the six host functions and the five seam functions.
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(names)
foreach(line ${lines})
  string(REGEX REPLACE "^.* ([^ ]+)$" "\\1" name "${line}")
  list(APPEND names ${name})
endforeach()
list(SORT names)
set(expected Dll_Jtag_Entry VantrelSetTraceSink VantrelSetTransferMode VantrelUseClock VantrelUsePortBatch VantrelUsePortIo
  getDbgStatus getJtagProcess
  jtagClearLastError jtagGetLastError setJtagProcessBreak)
list(SORT expected)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported symbols differ.\nexpected: ${expected}\nfound:    ${names}")
endif()
message(STATUS "exports: ${names}")
