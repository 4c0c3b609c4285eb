# Programs that the transfer and breakpoint tests download and run on the board.
vantrel_arm_firmware(NAME e2e_checksum_image SOURCES ${CMAKE_CURRENT_LIST_DIR}/firmware/checksum_image.S
                     MEMORY_ORIGIN 0x10000 MEMORY_SIZE 0x10000)
vantrel_arm_firmware(NAME e2e_breakpoint_target SOURCES ${CMAKE_CURRENT_LIST_DIR}/firmware/breakpoint_target.S
                     MEMORY_ORIGIN 0x20000 MEMORY_SIZE 0x1000)
foreach(test e2e_transfer_jobs_test e2e_breakpoints_test e2e_watchpoints_test)
  if(TARGET ${test})
    add_dependencies(${test} e2e_checksum_image e2e_breakpoint_target)
    target_compile_definitions(${test} PRIVATE CHECKSUM_IMAGE_BIN="${e2e_checksum_image_BIN}"
                                               BREAKPOINT_TARGET_BIN="${e2e_breakpoint_target_BIN}")
  endif()
endforeach()
