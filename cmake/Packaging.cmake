# The Debian package (cpack -G DEB in the build folder): the library, its headers and
# package files, the tools and the examples in one package, installed under /usr.
# Configure with -DCMAKE_INSTALL_PREFIX=/usr so that the library lands in Debian's
# multiarch folder (/usr/lib/<triplet>) rather than /usr/lib.
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Vantrel developers")
set(CPACK_PACKAGE_CONTACT "Vantrel developers <vantrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ARM7TDMI debug-probe driver for a parallel-port JTAG cable")
set(CPACK_PACKAGE_DESCRIPTION
  "A debugger front end loads libVantrel and, through six exported C functions, debugs an \
ARM7TDMI over a JTAG cable on a PC parallel port. The package holds the library, its \
headers with CMake and pkg-config files, the command-line host vantrel, the simulated \
board vantrel-board, and example firmware with sessions.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A shlibs file, so that packages linking libVantrel.so.1 get their dependency on this one.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
