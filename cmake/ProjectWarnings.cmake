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
