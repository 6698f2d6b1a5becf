# FindPython.cmake for the Windows cross-build, in place of CMake's own module (which needs a Windows interpreter to
# ask). It makes Python::SABIModule from what a Windows CPython 3.11 really is: the headers of CPython's source with
# Windows' own PC/pyconfig.h, and an import library made from the real python3.dll of the embeddable distribution.
# python_add_library() builds a .pyd against it, so src/python/CMakeLists.txt builds the module unchanged.
set(BRENLOX_PYTHON_SOURCE_DIR "" CACHE PATH "CPython 3.11's source tree (holding Include/Python.h and PC/pyconfig.h)")
set(BRENLOX_PYTHON3_DLL "" CACHE FILEPATH "python3.dll of a Windows CPython 3.11")
if(NOT EXISTS "${BRENLOX_PYTHON_SOURCE_DIR}/Include/Python.h"
   OR NOT EXISTS "${BRENLOX_PYTHON_SOURCE_DIR}/PC/pyconfig.h")
  message(FATAL_ERROR "Set BRENLOX_PYTHON_SOURCE_DIR to CPython 3.11's source tree")
endif()
if(NOT EXISTS "${BRENLOX_PYTHON3_DLL}")
  message(FATAL_ERROR "Set BRENLOX_PYTHON3_DLL to the python3.dll of a Windows CPython 3.11")
endif()
find_program(BRENLOX_GENDEF NAMES gendef REQUIRED)
find_program(BRENLOX_DLLTOOL NAMES x86_64-w64-mingw32-dlltool REQUIRED)

set(_python_dir ${CMAKE_BINARY_DIR}/python)
# Python.h includes "pyconfig.h" from its own directory first, so Windows' copy goes beside the headers.
file(COPY ${BRENLOX_PYTHON_SOURCE_DIR}/Include/ DESTINATION ${_python_dir}/include)
file(COPY_FILE ${BRENLOX_PYTHON_SOURCE_DIR}/PC/pyconfig.h ${_python_dir}/include/pyconfig.h ONLY_IF_DIFFERENT)

# python3.dll forwards each export to python3X.dll ("Name = python311.Name"); the module imports the names from
# python3.dll itself, which is what keeps it loadable by every later CPython.
if(BRENLOX_PYTHON3_DLL IS_NEWER_THAN ${_python_dir}/libpython3.a)
  execute_process(COMMAND ${BRENLOX_GENDEF} - ${BRENLOX_PYTHON3_DLL}
    OUTPUT_VARIABLE _exports ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE " = [^\n]*" "" _exports "${_exports}")
  file(WRITE ${_python_dir}/python3.def "${_exports}")
  execute_process(
    COMMAND ${BRENLOX_DLLTOOL} -d ${_python_dir}/python3.def -D python3.dll -l ${_python_dir}/libpython3.a
    COMMAND_ERROR_IS_FATAL ANY)
endif()

# The module and the test-only module both ask for Python; the first asking makes the target.
if(NOT TARGET Python::SABIModule)
  add_library(Python::SABIModule INTERFACE IMPORTED GLOBAL)
  target_include_directories(Python::SABIModule SYSTEM INTERFACE ${_python_dir}/include)
  target_link_libraries(Python::SABIModule INTERFACE ${_python_dir}/libpython3.a)
endif()

set(brenlox_module_type MODULE)
set(brenlox_module_suffix .pyd)
set(brenlox_module_link_options "")
include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/cross_python_library.cmake)

set(Python_FOUND TRUE)
set(Python_Interpreter_FOUND TRUE)
set(Python_Development.SABIModule_FOUND TRUE)
