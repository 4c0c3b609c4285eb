# The debug core's memory transfers over a port that does nothing: the CPU cost of the
# instruction sequences, with the number of port accesses they make.
vantrel_benchmark(arm7_transfer_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/arm7_transfer.cpp LIBS vantrel_core)
