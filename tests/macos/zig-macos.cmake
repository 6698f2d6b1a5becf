# zig-macos.cmake: cross-compiling for macOS with zig's clang and its own libc++ (linked in statically), for the zig
# target in BRENLOX_MACOS_TARGET: an architecture and the minimum macOS, as aarch64-macos.11.0.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES Python_EXECUTABLE BRENLOX_MACOS_TARGET)
set(CMAKE_SYSTEM_NAME Darwin)
execute_process(
  COMMAND "${Python_EXECUTABLE}" -c "import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), 'zig'))"
  OUTPUT_VARIABLE brenlox_zig OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CMAKE_C_COMPILER "${brenlox_zig}" cc -target ${BRENLOX_MACOS_TARGET})
set(CMAKE_CXX_COMPILER "${brenlox_zig}" c++ -target ${BRENLOX_MACOS_TARGET})
# CMake would ask for an SDK and xcrun, which a Linux machine has neither of; zig brings the headers and libSystem.
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)
