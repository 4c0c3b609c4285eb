# Warnings are errors for the project's own code.
function(vantrel_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Werror>)
endfunction()
