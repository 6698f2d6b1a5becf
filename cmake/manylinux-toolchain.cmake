# Toolchain of the Linux release wheels: zig's clang, targeting glibc 2.17 with LLVM's C++ library linked in statically,
# so the module needs nothing newer than manylinux2014 systems have (the build machine's glibc and libstdc++ are newer).
# BRENLOX_ZIG_TARGET picks the machine (x86_64, or aarch64 for scripts/aarch64-check.sh); another machine than the
# build machine's is a cross build, whose programs CMAKE_CROSSCOMPILING_EMULATOR runs.
# zig comes from the ziglang package of the building interpreter, which the checks of the compiler see too.
set(BRENLOX_ZIG_TARGET x86_64-linux-gnu.2.17 CACHE STRING "zig's target: <machine>-linux-gnu.<glibc version>")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES Python_EXECUTABLE BRENLOX_ZIG_TARGET)
string(REGEX MATCH "^[^-]+" brenlox_zig_machine "${BRENLOX_ZIG_TARGET}")
if(NOT brenlox_zig_machine STREQUAL CMAKE_HOST_SYSTEM_PROCESSOR)
  set(CMAKE_SYSTEM_NAME Linux)
  set(CMAKE_SYSTEM_PROCESSOR ${brenlox_zig_machine})
endif()
execute_process(
  COMMAND "${Python_EXECUTABLE}" -c "import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), 'zig'))"
  OUTPUT_VARIABLE brenlox_zig OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CMAKE_C_COMPILER "${brenlox_zig}" cc -target ${BRENLOX_ZIG_TARGET})
set(CMAKE_CXX_COMPILER "${brenlox_zig}" c++ -target ${BRENLOX_ZIG_TARGET})
