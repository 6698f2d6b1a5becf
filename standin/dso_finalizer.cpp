// dso_finalizer.cpp: runs this library's exit-time destructors when it is unloaded, whichever linker made it.
#ifndef _WIN32

extern "C" {
/// The address that identifies this shared object to the C++ runtime's registry of exit-time destructors.
extern void* __dso_handle;  // NOLINT(bugprone-reserved-identifier): the C++ ABI's own name
/// Runs and forgets the destructors registered for one shared object (the C++ ABI's __cxa_finalize).
void __cxa_finalize(void* dso);  // NOLINT(bugprone-reserved-identifier)
}

namespace {

// GCC's start files call __cxa_finalize at unload; zig's linker does not, so without this the destructors of this
// library's static objects would run at process exit, after dlclose took their code away. A second call finds nothing
// left to run, so it is harmless where the start files call it too.
__attribute__((destructor)) void finalize_static_objects() { __cxa_finalize(&__dso_handle); }

}  // namespace

#endif
