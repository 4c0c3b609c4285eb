# The project's own code is compiled with these warnings; VANTREL_WERROR makes them
# errors (the test script and CI turn it on; a user's build with a newer or older
# compiler should not fail on a warning nobody here has seen yet).
function(vantrel_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra>)
  if(VANTREL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# -Wconversion for a target whose code is clean of it: an implicit conversion that may
# change a value is then an error under VANTREL_WERROR. SIGNS adds -Wsign-conversion
# (an implicit change of sign) where the code is clean of that too.
function(vantrel_conversion_warnings target)
  cmake_parse_arguments(C "SIGNS" "" "" ${ARGN})
  target_compile_options(${target} PRIVATE -Wconversion)
  # clang's -Wconversion takes -Wsign-conversion in; GCC's does not.
  if(C_SIGNS)
    target_compile_options(${target} PRIVATE -Wsign-conversion)
  else()
    target_compile_options(${target} PRIVATE -Wno-sign-conversion)
  endif()
endfunction()
