# The cost of the software TAP clock: one port access, one chain-1 exchange, and the
# PortDelay busy-wait, all over a virtual port that does nothing.
vantrel_benchmark(tap_driver_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/tap_driver.cpp LIBS vantrel_core)
