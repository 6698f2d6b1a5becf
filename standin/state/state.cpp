// state.cpp: the process's one stand-in state, its reset and the naming of handles.
#include "standin/state/state.hpp"

#include <cstdio>
#include <string_view>
#include <utility>

#include "standin/state/dump.hpp"

namespace brenlox_copt::standin {
namespace {

constexpr std::array<std::string_view, 3> kHandlePrefixes = {"config", "env", "prob"};

/// Set when the state is destroyed at exit, so that a copt.dll still mapped then finds no state instead of a dead one.
bool g_destroyed = false;

/// Writes the log and the live handle counts as one JSON object: what a child process saw up to its very end, after
/// its interpreter has released whatever it still held.
void write_exit_log(const State& state) noexcept {
  try {
    if (state.exit_log_path.empty()) {
      return;
    }
    const std::string text = "{\"log\":" + log_json(state) + ",\"live\":{\"configs\":" +
                             std::to_string(state.configs.size()) + ",\"envs\":" + std::to_string(state.envs.size()) +
                             ",\"problems\":" + std::to_string(state.problems.size()) +
                             "},\"loaded\":" + std::to_string(state.loaded_libraries) + "}\n";
    if (std::FILE* file = std::fopen(state.exit_log_path.c_str(), "w")) {
      std::fputs(text.c_str(), file);
      std::fclose(file);
    }
  } catch (...) {
    // Nothing can report a failure at exit; the test that reads the file finds it missing instead.
  }
}

struct StateHolder {
  StateHolder() = default;
  StateHolder(const StateHolder&) = delete;
  StateHolder& operator=(const StateHolder&) = delete;
  ~StateHolder() {
    write_exit_log(state);
    g_destroyed = true;
  }

  State state;
};

}  // namespace

void State::reset() {
  controls = Controls{};
  std::vector<LogEntry>().swap(log);
  call_counts.fill(0);
  m_numbers.fill(0);
}

std::string State::handle_name(const void* handle) const {
  if (const Config* config = configs.find(handle)) {
    return config->name;
  }
  if (const Env* env = envs.find(handle)) {
    return env->name;
  }
  if (const Problem* problem = problems.find(handle)) {
    return problem->name;
  }
  return "<invalid>";
}

HandleIdentity State::next_identity(HandleKind kind) {
  const auto index = static_cast<std::size_t>(kind);
  ++m_numbers[index];
  return {std::string(kHandlePrefixes[index]) + std::to_string(m_numbers[index]), ++m_serial};
}

State* live_state() noexcept {
  if (g_destroyed) {
    return nullptr;
  }
  static StateHolder holder;
  return &holder.state;
}

void record_library_event(bool loaded, const char* label) noexcept {
  try {
    State* state = live_state();
    if (state == nullptr) {
      return;
    }
    std::lock_guard lock(state->mutex);
    state->loaded_libraries += loaded ? 1 : -1;
    std::string name = loaded ? "load" : "unload";
    if (label != nullptr && *label != '\0') {
      name += ':';
      name += label;
    }
    state->log.push_back({std::move(name), {}, 0, true});
  } catch (...) {
    // A loader callback cannot report anything; the test that looks for the event fails instead.
  }
}

}  // namespace brenlox_copt::standin
