# Compiler settings shared by the main build and the Windows cross-build: C++23 and one set of warnings.
option(BRENLOX_WERROR "Treat compiler warnings as errors (CI builds)" OFF)

set(CMAKE_CXX_STANDARD 23)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

# Every target of ours links this for one shared set of warnings.
add_library(brenlox_warnings INTERFACE)
target_compile_options(brenlox_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnon-virtual-dtor
  $<$<BOOL:${BRENLOX_WERROR}>:-Werror>)
