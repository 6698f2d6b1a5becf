# The subset of CMake's python_add_library that src/python uses (MODULE [WITH_SOABI] USE_SABI <version> sources), for
# the cross-builds' own FindPython.cmake, which sets first what a module is there: brenlox_module_type (MODULE or
# SHARED), brenlox_module_suffix and brenlox_module_link_options.
function(python_add_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "MODULE;WITH_SOABI" "USE_SABI" "")
  if(NOT arg_MODULE OR NOT arg_USE_SABI)
    message(FATAL_ERROR "python_add_library: the cross-builds make stable-ABI modules only")
  endif()
  add_library(${name} ${brenlox_module_type} ${arg_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX "${brenlox_module_suffix}")
  target_link_libraries(${name} PRIVATE Python::SABIModule)
  target_link_options(${name} PRIVATE ${brenlox_module_link_options})
endfunction()
