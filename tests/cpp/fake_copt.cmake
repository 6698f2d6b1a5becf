# fake_copt.cmake: fake solver libraries for the loader tests. brenlox_fake_copt(<target> [entry points to leave
# out...]) builds fake_copt.cpp as a library file named copt.dll in its own directory, <binary dir>/<target>/copt.dll.
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

# The complete library, libraries lacking the first row, the last row, and two rows in the middle, and one whose first
# row is exported with a null address.
macro(brenlox_fake_copt_variants)
  brenlox_fake_copt(fake_copt)
  brenlox_fake_copt(fake_copt_without_banner COPT_GetBanner)
  brenlox_fake_copt(fake_copt_without_lp_solution COPT_GetLpSolution)
  brenlox_fake_copt(fake_copt_without_update_and_solve COPT_Solve COPT_Update)
  brenlox_fake_copt(fake_copt_null_banner COPT_GetBanner)
  target_compile_definitions(fake_copt_null_banner PRIVATE FAKE_COPT_NULL_ENTRY_POINT="COPT_GetBanner")
  set(brenlox_fake_copt_targets fake_copt fake_copt_without_banner fake_copt_without_lp_solution
    fake_copt_without_update_and_solve fake_copt_null_banner)
endmacro()

# After brenlox_fake_copt_variants(), gives a test program the variants' paths as FAKE_COPT... macros, prefixed with
# BRENLOX_FAKE_COPT_PATH_PREFIX (a drive letter where the program sees the build directory through one).
function(brenlox_use_fake_copt test)
  foreach(variant IN LISTS brenlox_fake_copt_targets)
    string(TOUPPER ${variant} macro)
    target_compile_definitions(${test} PRIVATE ${macro}="${BRENLOX_FAKE_COPT_PATH_PREFIX}$<TARGET_FILE:${variant}>")
  endforeach()
  add_dependencies(${test} ${brenlox_fake_copt_targets})
endfunction()
