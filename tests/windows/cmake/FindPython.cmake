# FindPython.cmake for the Windows cross-build: no Windows interpreter exists here, so this stands in for CMake's own
# module. It makes Python::SABIModule from the build machine's Python 3.11 headers with a Windows pyconfig.h and an
# import library for python3.dll generated from what the limited-API headers declare, and python_add_library()
# builds a .pyd against it. src/python/CMakeLists.txt then builds the module unchanged.
set(BRENLOX_PYTHON_INCLUDE_DIR "" CACHE PATH "The build machine's Python 3.11 include directory (holding Python.h)")
if(NOT EXISTS "${BRENLOX_PYTHON_INCLUDE_DIR}/Python.h")
  message(FATAL_ERROR "Set BRENLOX_PYTHON_INCLUDE_DIR to a directory holding Python 3.11's Python.h")
endif()
find_program(BRENLOX_BUILD_PYTHON NAMES python3 REQUIRED)
find_program(BRENLOX_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)

set(_python_dir ${CMAKE_BINARY_DIR}/python)
# A private copy of the headers: Python.h includes "pyconfig.h" from its own directory first.
file(COPY ${BRENLOX_PYTHON_INCLUDE_DIR}/ DESTINATION ${_python_dir}/include
  FILES_MATCHING PATTERN "*.h" PATTERN "pyconfig.h" EXCLUDE)
file(COPY_FILE ${CMAKE_CURRENT_LIST_DIR}/../python/pyconfig.h ${_python_dir}/include/pyconfig.h ONLY_IF_DIFFERENT)

# python3.dll exports the stable ABI; the limited-API headers declare it. Preprocess them as the module sees them.
file(WRITE ${_python_dir}/limited_api.c "#define Py_LIMITED_API 0x030b0000\n#include <Python.h>\n")
execute_process(
  COMMAND ${CMAKE_CXX_COMPILER} -x c -E -I ${_python_dir}/include ${_python_dir}/limited_api.c
  OUTPUT_FILE ${_python_dir}/limited_api.i COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${BRENLOX_BUILD_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/../python/stable_abi_def.py
          ${_python_dir}/limited_api.i ${_python_dir}/include ${_python_dir}/python3.def.new
  COMMAND_ERROR_IS_FATAL ANY)
# Rewritten only when the exports change, so a reconfigure relinks nothing.
file(COPY_FILE ${_python_dir}/python3.def.new ${_python_dir}/python3.def ONLY_IF_DIFFERENT)
if(${_python_dir}/python3.def IS_NEWER_THAN ${_python_dir}/libpython3.a)
  execute_process(
    COMMAND ${BRENLOX_DLLTOOL} -d ${_python_dir}/python3.def -D python3.dll -l ${_python_dir}/libpython3.a
    COMMAND_ERROR_IS_FATAL ANY)
endif()

# GLOBAL, and the .def in the cache, for the module load test in the top directory (a python3.dll stand-in).
set(BRENLOX_PYTHON3_DEF ${_python_dir}/python3.def CACHE INTERNAL "python3.dll's exports for the cross-build")
add_library(Python::SABIModule INTERFACE IMPORTED GLOBAL)
target_include_directories(Python::SABIModule SYSTEM INTERFACE ${_python_dir}/include)
target_link_libraries(Python::SABIModule INTERFACE ${_python_dir}/libpython3.a)

# The subset of CMake's python_add_library that src/python uses: MODULE [WITH_SOABI] [USE_SABI <version>] sources.
function(python_add_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "MODULE;WITH_SOABI" "USE_SABI" "")
  if(NOT arg_MODULE OR NOT arg_USE_SABI)
    message(FATAL_ERROR "python_add_library: the Windows cross-build makes stable-ABI modules only")
  endif()
  add_library(${name} MODULE ${arg_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".pyd")
  target_link_libraries(${name} PRIVATE Python::SABIModule)
endfunction()

set(Python_FOUND TRUE)
set(Python_Interpreter_FOUND TRUE)
set(Python_Development.SABIModule_FOUND TRUE)
