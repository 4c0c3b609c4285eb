# Memory reads, writes and downloads through the target layer over the simulated board:
# port accesses and CPU time per KiB, beside the figures the instruction sequences imply.
if(TARGET vantrel_sim)
  vantrel_benchmark(transfers_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfers.cpp LIBS vantrel_core vantrel_sim)
endif()
