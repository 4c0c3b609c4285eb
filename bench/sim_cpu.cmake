# Instructions per second of the simulated CPU at system speed, on the compiled ARM and
# Thumb workload that the CPU's tests also run.
if(TARGET vantrel_sim_cpu AND TARGET sim_cpu_workload_firmware)
  vantrel_benchmark(sim_cpu_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_cpu_workload.cpp LIBS vantrel_sim_cpu)
  add_dependencies(sim_cpu_bench sim_cpu_workload_firmware)
  target_compile_definitions(sim_cpu_bench PRIVATE
    SIM_CPU_WORKLOAD_BIN="$<TARGET_PROPERTY:sim_cpu_workload_firmware,ARM_FIRMWARE_BIN>")
endif()
