# Memory reads, writes and downloads through the target layer over the simulated board:
# port accesses and CPU time per KiB, beside the figures the instruction sequences imply.
if(TARGET vantrel_sim)
  # The smoke run leaves out the download with a fast core: the board emulates 1000
  # instructions a TCK through it, about half a minute of CPU.
  vantrel_benchmark(transfers_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfers.cpp LIBS vantrel_core vantrel_sim
                    SMOKE_ARGS "--benchmark_filter=-Verify/3$")
endif()
