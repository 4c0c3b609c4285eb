# cmake -DVERSION=x.y.z -DPROGRAM=vantrel -DLIBRARY=libVantrel.so.x.y.z -DBUILD_DIR=build
#       -P check_version.cmake
# Fails with the first place whose version differs from VERSION.
string(REGEX MATCH "^[0-9]+" major "${VERSION}")

function(expect what found)
  if(NOT found STREQUAL "${ARGN}")
    message(FATAL_ERROR "${what}: expected '${ARGN}', found '${found}'")
  endif()
  message(STATUS "${what}: ${found}")
endfunction()

execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE out RESULT_VARIABLE rc)
expect("vantrel --version (exit status ${rc})" "${out}" "vantrel ${VERSION}\n")

get_filename_component(file_name ${LIBRARY} NAME)
expect("library file" "${file_name}" "libVantrel.so.${VERSION}")
execute_process(COMMAND readelf -d ${LIBRARY} OUTPUT_VARIABLE dynamic)
string(REGEX MATCH "Library soname: \\[([^]]*)\\]" _ "${dynamic}")
expect("SONAME" "${CMAKE_MATCH_1}" "libVantrel.so.${major}")

file(STRINGS ${BUILD_DIR}/generated/include/vantrel_version.h define REGEX "VANTREL_VERSION_STRING")
string(REGEX MATCH "\"(.*)\"" _ "${define}")
expect("vantrel_version.h" "${CMAKE_MATCH_1}" "${VERSION}")

file(STRINGS ${BUILD_DIR}/package/vantrel.pc pc_version REGEX "^Version:")
expect("vantrel.pc" "${pc_version}" "Version: ${VERSION}")

set(PACKAGE_FIND_VERSION ${VERSION})
include(${BUILD_DIR}/package/VantrelConfigVersion.cmake)
expect("VantrelConfigVersion.cmake" "${PACKAGE_VERSION}" "${VERSION}")

include(${BUILD_DIR}/CPackConfig.cmake)
expect("Debian package" "${CPACK_PACKAGE_VERSION}" "${VERSION}")
