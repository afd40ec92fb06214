# The order ctest -j starts the tests in on a fresh build folder (later runs take it from the
# times CTest records): the longest first, so that the short ones fill the cores beside them
# instead of the long ones running alone at the end. COST is a weight, about a test's seconds
# on two busy cores.

# test_cost(<cost> <regex>): gives the tests defined so far in the current directory whose
# names match <regex> the COST <cost>.
function(test_cost Cost Regex)
  get_property(Tests DIRECTORY PROPERTY TESTS)
  list(FILTER Tests INCLUDE REGEX "${Regex}")
  if(Tests)
    set_tests_properties(${Tests} PROPERTIES COST ${Cost})
  endif()
endfunction()
