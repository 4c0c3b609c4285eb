# Install rules: the library with its SONAME, the public headers, the CMake package
# (Vantrel::Vantrel) and vantrel.pc; the tools; the example firmware and sessions.
include(CMakePackageConfigHelpers)

set(VANTREL_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel)
set(VANTREL_EXAMPLES_DIR ${CMAKE_INSTALL_DATADIR}/vantrel/examples)

set_target_properties(Vantrel PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
target_include_directories(Vantrel INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<BUILD_INTERFACE:${VANTREL_GENERATED_INCLUDE_DIR}>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS Vantrel EXPORT VantrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES
  ${PROJECT_SOURCE_DIR}/include/vantrel.h
  ${PROJECT_SOURCE_DIR}/include/vantrel_port.h
  ${VANTREL_GENERATED_INCLUDE_DIR}/vantrel_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT VantrelTargets NAMESPACE Vantrel:: DESTINATION ${VANTREL_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/templates/VantrelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/VantrelConfig.cmake
  INSTALL_DESTINATION ${VANTREL_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/VantrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/package/VantrelConfig.cmake
  ${PROJECT_BINARY_DIR}/package/VantrelConfigVersion.cmake
  DESTINATION ${VANTREL_CMAKE_DIR})

# vantrel.pc names the prefix, known for certain only when installing (cmake --install
# --prefix); the build folder's copy names the configured prefix.
set(VANTREL_PC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/templates/vantrel.pc.in)
set(VANTREL_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
configure_file(${VANTREL_PC_TEMPLATE} ${PROJECT_BINARY_DIR}/package/vantrel.pc @ONLY)

foreach(tool vantrel vantrel-board)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

set(VANTREL_SESSION_SCRIPTS)
if(TARGET example_demo AND TARGET example_sieve)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/firmware/ DESTINATION ${VANTREL_EXAMPLES_DIR}/firmware
          PATTERN .clang-format EXCLUDE)
  install(FILES
    $<TARGET_PROPERTY:example_demo,ARM_FIRMWARE_ELF>
    $<TARGET_PROPERTY:example_demo,ARM_FIRMWARE_BIN>
    ${PROJECT_BINARY_DIR}/examples/example_demo.hex
    $<TARGET_PROPERTY:example_sieve,ARM_FIRMWARE_ELF>
    $<TARGET_PROPERTY:example_hello_semihosting,ARM_FIRMWARE_ELF>
    $<TARGET_PROPERTY:example_demo_flash,ARM_FIRMWARE_ELF>
    DESTINATION ${VANTREL_EXAMPLES_DIR}/images)
  file(GLOB VANTREL_SESSION_SCRIPTS ${PROJECT_SOURCE_DIR}/examples/sessions/*.vtl)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/templates/install_configured_files.cmake.in
               ${PROJECT_BINARY_DIR}/package/install_configured_files.cmake @ONLY)
install(SCRIPT ${PROJECT_BINARY_DIR}/package/install_configured_files.cmake)
