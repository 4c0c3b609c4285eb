# The thread-stress program: also built and run alone in a ThreadSanitizer build, by its
# label.
if(TARGET vantrel_e2e_fixture)
  vantrel_unit_test(e2e_transfer_stress_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/transfer_stress.cpp
                    LIBS vantrel_e2e_fixture USES_LIBRARY TSAN)
endif()
