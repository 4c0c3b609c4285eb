# A 64 KiB image into the simulated board's amd16 flash through the flash layer (erase,
# program, verify), beside a plain fast RAM write of the same image: port accesses.
if(TARGET vantrel_sim AND TARGET vantrel_flash)
  vantrel_benchmark(flash_write_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/flash_write.cpp LIBS vantrel_flash vantrel_sim)
  target_compile_definitions(flash_write_bench PRIVATE VANTREL_LIBRARY_PATH="$<TARGET_FILE:Vantrel>")
  add_dependencies(flash_write_bench Vantrel)
  # It opens the cable as the library's one instance on the machine; the polls of the
  # loops it runs make it a slow smoke test.
  set_tests_properties(flash_write_bench.smoke PROPERTIES RESOURCE_LOCK vantrel_instance TIMEOUT 600)
endif()
