# The debug core's memory transfers on the simulated board: the CPU cost of the
# instruction sequences, with the number of port accesses they make.
if(TARGET vantrel_sim)
  vantrel_benchmark(arm7_transfer_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/arm7_transfer.cpp LIBS vantrel_core vantrel_sim)
endif()
