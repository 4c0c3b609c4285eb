# vantrel_version.h: the project's version for code (`vantrel --version`), generated
# from project(VERSION) and installed beside the other public headers.
set(VANTREL_GENERATED_INCLUDE_DIR ${PROJECT_BINARY_DIR}/generated/include)
configure_file(${CMAKE_CURRENT_LIST_DIR}/templates/vantrel_version.h.in
               ${VANTREL_GENERATED_INCLUDE_DIR}/vantrel_version.h @ONLY)
