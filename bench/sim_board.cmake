# The simulated board: port accesses per second through VantrelPortIo, and system-speed
# instructions per second.
vantrel_benchmark(sim_board_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_board_port.cpp LIBS vantrel_sim)
