// control_api.cpp: the C functions behind the test controls; each works on the locked state and never throws.
#include "standin/state/control_api.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "standin/state/dump.hpp"
#include "standin/state/state.hpp"

namespace {

namespace standin = brenlox_copt::standin;

constexpr int kDone = 0;
constexpr int kRefused = -1;
constexpr int kOutOfMemory = -2;

/// Runs `change` on the locked state; every control goes through here, so none can throw into its caller.
template <class Change>
int with_state(Change&& change) noexcept {
  try {
    standin::State* state = standin::live_state();
    if (state == nullptr) {
      return kRefused;
    }
    std::lock_guard lock(state->mutex);
    return change(*state);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  } catch (...) {
    return kRefused;
  }
}

std::optional<standin::EntryPoint> entry_point_named(const char* name) {
  return name == nullptr ? std::nullopt : standin::find_entry_point(name);
}

/// A malloc'ed copy, so the caller can free it through standin_free whatever its own allocator.
char* copy_out(const std::string& text) noexcept {
  auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy != nullptr) {
    std::memcpy(copy, text.c_str(), text.size() + 1);
  }
  return copy;
}

template <class Dump>
char* dump_with(Dump dump) noexcept {
  char* text = nullptr;
  with_state([&](const standin::State& state) {
    text = copy_out(dump(state));
    return kDone;
  });
  return text;
}

}  // namespace

extern "C" {

void standin_reset(void) {
  with_state([](standin::State& state) {
    state.reset();
    return kDone;
  });
}

void standin_set_logging(int enabled) {
  with_state([enabled](standin::State& state) {
    state.controls.logging = enabled != 0;
    return kDone;
  });
}

void standin_set_discard(int enabled) {
  with_state([enabled](standin::State& state) {
    state.controls.discard = enabled != 0;
    return kDone;
  });
}

int standin_log_at_exit(const char* path) {
  return with_state([&](standin::State& state) {
    state.exit_log_path = path == nullptr ? "" : path;
    return kDone;
  });
}

int standin_arm(const char* entry_point, int kind, int code, long long nth, int persistent) {
  return with_state([&](standin::State& state) {
    const auto found = entry_point_named(entry_point);
    if (!found || kind < 0 || kind > 2 || nth < 1) {
      return kRefused;
    }
    const auto arm_kind = static_cast<standin::ArmKind>(kind);
    if ((arm_kind != standin::ArmKind::NullHandle && code == 0) ||
        (arm_kind != standin::ArmKind::Fail && !standin::is_creator(*found))) {
      return kRefused;
    }
    state.controls.arms[static_cast<std::size_t>(*found)] = standin::Arm{arm_kind, code, nth, persistent != 0};
    return kDone;
  });
}

int standin_set_message(int code, const char* bytes, long long length) {
  return with_state([&](standin::State& state) {
    if (length < 0) {
      state.controls.messages[code] = std::nullopt;
      return kDone;
    }
    if (bytes == nullptr && length > 0) {
      return kRefused;
    }
    state.controls.messages[code] = std::string(bytes == nullptr ? "" : bytes, static_cast<std::size_t>(length));
    return kDone;
  });
}

int standin_force_int(const char* attribute, int value) {
  return with_state([&](standin::State& state) {
    const std::string_view name = attribute == nullptr ? "" : attribute;
    auto& forced = state.controls.forced;
    if (name == "Status") {
      forced.status = value;
    } else if (name == "HasSol") {
      forced.has_solution = value;
    } else if (name == "IsMIP") {
      forced.is_mip = value;
    } else {
      return kRefused;
    }
    return kDone;
  });
}

int standin_force_double(const char* attribute, double value) {
  return with_state([&](standin::State& state) {
    if (attribute == nullptr || std::string_view(attribute) != "ObjVal") {
      return kRefused;
    }
    state.controls.forced.objective = value;
    return kDone;
  });
}

int standin_force_solution(const double* values, long long count) {
  return with_state([&](standin::State& state) {
    if (count < 0 || (values == nullptr && count > 0)) {
      return kRefused;
    }
    state.controls.forced.values.emplace(values, values + count);
    return kDone;
  });
}

long long standin_call_count(const char* entry_point) {
  long long count = -1;
  with_state([&](const standin::State& state) {
    if (const auto found = entry_point_named(entry_point)) {
      count = static_cast<long long>(state.call_counts[static_cast<std::size_t>(*found)]);
    }
    return kDone;
  });
  return count;
}

long long standin_live(int kind) {
  long long count = -1;
  with_state([&](const standin::State& state) {
    if (kind == 0) {
      count = static_cast<long long>(state.configs.size());
    } else if (kind == 1) {
      count = static_cast<long long>(state.envs.size());
    } else if (kind == 2) {
      count = static_cast<long long>(state.problems.size());
    }
    return kDone;
  });
  return count;
}

long long standin_loaded(void) {
  long long count = -1;
  with_state([&](const standin::State& state) {
    count = state.loaded_libraries;
    return kDone;
  });
  return count;
}

char* standin_log_json(void) { return dump_with(standin::log_json); }

char* standin_problems_json(void) { return dump_with(standin::problems_json); }

void standin_free(char* text) { std::free(text); }

const char* standin_entry_point_name(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= standin::kEntryPointCount) {
    return nullptr;
  }
  // The names come from string literals, so they are NUL-terminated.
  return standin::kEntryPointNames[static_cast<std::size_t>(index)].data();
}

}  // extern "C"
