// state.hpp: what the stand-in keeps across loads of copt.dll: test controls, the call log and the live handles.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "standin/state/entry_point.hpp"
#include "standin/state/export.hpp"
#include "standin/state/handle_table.hpp"
#include "standin/state/objects.hpp"

namespace brenlox_copt::standin {

/// How an armed entry point misbehaves when its turn comes.
enum class ArmKind { Fail, FailWithHandle, NullHandle };

/// One armed test control: fires on the `countdown`-th call from now, and on every later call if `persistent`.
struct Arm {
  ArmKind kind = ArmKind::Fail;
  int code = 0;
  std::int64_t countdown = 1;
  bool persistent = false;
};

/// Results that the next solve reports instead of the engine's; unset fields keep the engine's values.
struct ForcedResult {
  std::optional<int> status;
  std::optional<int> has_solution;
  std::optional<int> is_mip;
  std::optional<double> objective;
  std::optional<std::vector<double>> values;
};

struct Controls {
  std::array<std::optional<Arm>, kEntryPointCount> arms;
  /// Texts for COPT_GetRetcodeMsg by code, overriding the built-in ones; an empty optional makes the lookup fail.
  std::map<int, std::optional<std::string>> messages;
  ForcedResult forced;
  bool logging = true;
  bool discard = false;
};

/// One line of the log: an entry-point call with its arguments, or a library event such as "load".
struct LogEntry {
  std::string name;
  /// A JSON array, empty for events.
  std::string arguments;
  int code = 0;
  bool is_event = false;
};

enum class HandleKind { Config, Env, Problem };

struct State {
  /// Guards everything below; held for the whole of each entry-point call and each test-control call.
  std::mutex mutex;
  Controls controls;
  std::vector<LogEntry> log;
  /// Calls per entry point since the last reset, counted also while logging is off.
  std::array<std::uint64_t, kEntryPointCount> call_counts{};
  HandleTable<Config> configs;
  HandleTable<Env> envs;
  HandleTable<Problem> problems;
  /// Stand-in libraries (copt.dll and variants) currently mapped.
  std::int64_t loaded_libraries = 0;
  /// Where the log goes when the state is destroyed at exit (empty: nowhere); a reset keeps it.
  std::string exit_log_path;

  /// Clears controls, log, call counts and the numbering of new handles; live handles and loads stay as they are.
  STANDIN_STATE_API void reset();
  /// "env1" for a live handle of any kind, "<invalid>" for any other non-null address.
  [[nodiscard]] STANDIN_STATE_API std::string handle_name(const void* handle) const;
  /// Name and serial for a new handle of `kind`: "config1", "env1", "prob1", counted from the last reset.
  [[nodiscard]] STANDIN_STATE_API HandleIdentity next_identity(HandleKind kind);

 private:
  std::array<std::uint64_t, 3> m_numbers{};
  std::uint64_t m_serial = 0;
};

/// The process's one state, or nullptr once it has been destroyed at exit (copt.dll may still be mapped then).
[[nodiscard]] STANDIN_STATE_API State* live_state() noexcept;

/// Logs a load or unload of a stand-in library: "load" for copt.dll, "load:{label}" for a variant.
STANDIN_STATE_API void record_library_event(bool loaded, const char* label) noexcept;

}  // namespace brenlox_copt::standin
