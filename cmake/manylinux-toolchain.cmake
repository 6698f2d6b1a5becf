# Toolchain of the Linux release wheel: zig's clang, targeting glibc 2.17 with LLVM's C++ library linked in statically,
# so the module needs nothing newer than manylinux2014 systems have (the build machine's glibc and libstdc++ are newer).
# zig comes from the ziglang package of the building interpreter, which the checks of the compiler see too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES Python_EXECUTABLE)
execute_process(
  COMMAND "${Python_EXECUTABLE}" -c "import os, ziglang; print(os.path.join(os.path.dirname(ziglang.__file__), 'zig'))"
  OUTPUT_VARIABLE brenlox_zig OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(CMAKE_C_COMPILER "${brenlox_zig}" cc -target x86_64-linux-gnu.2.17)
set(CMAKE_CXX_COMPILER "${brenlox_zig}" c++ -target x86_64-linux-gnu.2.17)
