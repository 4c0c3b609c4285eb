# GDB's stepi and next through `vantrel gdbserver` (and OpenOCD where installed), in
# port accesses counted by the simulated board: bench/gdb_step_comparison.sh. CTest runs
# it once with a few steps so that it cannot rot.
find_program(GDB_MULTIARCH_FOR_BENCH gdb-multiarch)
if(VANTREL_BUILD_TOOLS AND VANTREL_BUILD_EXAMPLES AND GDB_MULTIARCH_FOR_BENCH AND TARGET vantrel-board)
  add_test(NAME gdb_step_comparison.smoke
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/gdb_step_comparison.sh ${CMAKE_BINARY_DIR} 2 1)
  set_tests_properties(gdb_step_comparison.smoke PROPERTIES TIMEOUT 300 LABELS benchmark RESOURCE_LOCK vantrel_instance)
endif()
