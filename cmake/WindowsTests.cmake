# The Windows pass (VANTREL_WINE_TESTS, cross build only): the simulated board, the
# end-to-end tests and the C front-end hosts built for 32-bit Windows, to be run under
# wine through CTest (CMAKE_CROSSCOMPILING_EMULATOR=wine; scripts/test-wine.sh sets it
# up). GoogleTest comes from Debian's sources, built with the same cross compiler.
set(googletest_source /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows pass")
if(NOT EXISTS ${googletest_source}/CMakeLists.txt)
  message(FATAL_ERROR "VANTREL_WINE_TESTS needs GoogleTest's sources in ${googletest_source} (package googletest)")
endif()
enable_testing()
# Every test program is self-contained: no libstdc++, libgcc or winpthread DLL to find.
add_link_options(-static -static-libgcc -static-libstdc++)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# It defines the GTest:: targets that tests/ links.
add_subdirectory(${googletest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(cmake/ArmFirmware.cmake)
add_subdirectory(sim)
add_subdirectory(tests)
