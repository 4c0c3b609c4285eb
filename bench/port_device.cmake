# The cost of one port access through the kernel's port device beside the virtual port,
# with the device served by the preloaded stand-in (the program preloads it itself).
if(TARGET vantrel_ppdev_shim)
  vantrel_benchmark(port_device_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/port_device.cpp
                    LIBS vantrel_core vantrel_sim ${CMAKE_DL_LIBS})
  add_dependencies(port_device_bench vantrel_ppdev_shim)
  target_include_directories(port_device_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(port_device_bench PRIVATE VANTREL_PPDEV_SHIM_PATH="$<TARGET_FILE:vantrel_ppdev_shim>")
endif()
