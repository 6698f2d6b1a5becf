// lifecycle.cpp: logs each real load and unload of this library file, so tests can watch dlopen and dlclose happen.
#include "standin/state/state.hpp"

#ifndef STANDIN_LIBRARY_LABEL
#error "STANDIN_LIBRARY_LABEL must name the library in its load events (empty for copt.dll itself)"
#endif

namespace {

// The state lives in its own library, which stays mapped while the tests hold it, so the events outlive this file.
__attribute__((constructor)) void on_load() { brenlox_copt::standin::record_library_event(true, STANDIN_LIBRARY_LABEL); }

__attribute__((destructor)) void on_unload() {
  brenlox_copt::standin::record_library_event(false, STANDIN_LIBRARY_LABEL);
}

}  // namespace
