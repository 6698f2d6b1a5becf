# check_module_imports.cmake: the cross-built brenlox_copt.pyd must load in any Windows CPython 3.11+: it exports
# PyInit_brenlox_copt alone and imports only python3.dll (the stable ABI) and DLLs every Windows has.
execute_process(COMMAND ${OBJDUMP} -p ${MODULE} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
set(allowed_imports python3.dll KERNEL32.dll msvcrt.dll)
foreach(dll IN LISTS imports)
  if(NOT dll IN_LIST allowed_imports AND NOT dll MATCHES "^api-ms-win-")
    message(FATAL_ERROR "${MODULE} imports ${dll}; a Windows Python without it could not load the module")
  endif()
endforeach()
if(NOT "python3.dll" IN_LIST imports)
  message(FATAL_ERROR "${MODULE} does not import python3.dll")
endif()

# objdump lists exports as "[ordinal] name" rows after the "[Ordinal/Name Pointer] Table" line.
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\][^\n]*\n)*)" table "${dump}")
string(REGEX REPLACE "[ \t]+\\[[ 0-9]+\\][ \t]+([^\n]*)\n" "\\1;" exports "${CMAKE_MATCH_1}")
list(POP_BACK exports)
if(NOT exports STREQUAL "PyInit_brenlox_copt")
  message(FATAL_ERROR "${MODULE} should export PyInit_brenlox_copt alone, but exports: ${exports}")
endif()
