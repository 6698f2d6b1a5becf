# fake_copt.cmake: brenlox_fake_copt(<target> [entry points to leave out...]) builds fake_copt.cpp as a library file
# named copt.dll in its own directory, <binary dir>/<target>/copt.dll.
function(brenlox_fake_copt target)
  add_library(${target} MODULE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/fake_copt.cpp)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME copt SUFFIX ".dll"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../../src)
  foreach(entry_point IN LISTS ARGN)
    target_compile_definitions(${target} PRIVATE ${entry_point}=omitted_${entry_point})
  endforeach()
  target_link_libraries(${target} PRIVATE brenlox_warnings)
endfunction()

# The complete library, and libraries lacking the first row, the last row, and two rows in the middle.
macro(brenlox_fake_copt_variants)
  brenlox_fake_copt(fake_copt)
  brenlox_fake_copt(fake_copt_without_banner COPT_GetBanner)
  brenlox_fake_copt(fake_copt_without_lp_solution COPT_GetLpSolution)
  brenlox_fake_copt(fake_copt_without_update_and_solve COPT_Solve COPT_Update)
endmacro()
