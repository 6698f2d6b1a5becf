# FindPython.cmake for the macOS build, in place of CMake's own module (which needs a macOS interpreter to ask). It
# makes Python::SABIModule from CPython 3.11's headers as Debian installs them, with the x86-64 Linux pyconfig.h: the
# stable ABI depends on type sizes only, which 64-bit macOS shares. The module links no libpython: the interpreter
# that loads it supplies the names (-undefined dynamic_lookup, as macOS builds of extension modules do).
set(BRENLOX_PYTHON_INCLUDE_DIR /usr/include/python3.11 CACHE PATH "CPython 3.11's headers")
set(BRENLOX_PYCONFIG /usr/include/x86_64-linux-gnu/python3.11/pyconfig.h CACHE FILEPATH "pyconfig.h of a 64-bit build")
if(NOT EXISTS "${BRENLOX_PYTHON_INCLUDE_DIR}/Python.h" OR NOT EXISTS "${BRENLOX_PYCONFIG}")
  message(FATAL_ERROR "Set BRENLOX_PYTHON_INCLUDE_DIR and BRENLOX_PYCONFIG to CPython 3.11's headers")
endif()

set(_python_dir ${CMAKE_BINARY_DIR}/python/include)
# Python.h includes "pyconfig.h" from its own directory first; Debian's own there would refuse a non-Linux target.
file(COPY ${BRENLOX_PYTHON_INCLUDE_DIR}/ DESTINATION ${_python_dir})
file(COPY_FILE ${BRENLOX_PYCONFIG} ${_python_dir}/pyconfig.h ONLY_IF_DIFFERENT)

if(NOT TARGET Python::SABIModule)
  add_library(Python::SABIModule INTERFACE IMPORTED GLOBAL)
  target_include_directories(Python::SABIModule SYSTEM INTERFACE ${_python_dir})
endif()

# A plain shared library: the linker of zig 0.17 fails on CMake's -bundle for a MODULE.
set(brenlox_module_type SHARED)
set(brenlox_module_suffix .abi3.so)
set(brenlox_module_link_options "LINKER:-undefined,dynamic_lookup")
include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/cross_python_library.cmake)

set(Python_FOUND TRUE)
set(Python_Interpreter_FOUND TRUE)
set(Python_Development.SABIModule_FOUND TRUE)
