// environment.hpp: the native client configuration, native environments and the shared, lockable environment record.
#pragma once

#include <memory>
#include <mutex>

#include "backend/error.hpp"
#include "backend/library.hpp"
#include "backend/native_handle.hpp"
#include "backend/text.hpp"

namespace brenlox_copt::backend {

/// A native client configuration with the library share that created it; settings go straight to the library.
class ClientConfig {
 public:
  /// Creates the native configuration through `library`; a failure leaves no handle and destroys the share.
  [[nodiscard]] static Result<ClientConfig> create(LibraryShare library);

  ClientConfig(ClientConfig&&) noexcept = default;
  ClientConfig(const ClientConfig&) = delete;
  ClientConfig& operator=(const ClientConfig&) = delete;
  ClientConfig& operator=(ClientConfig&&) = delete;
  ~ClientConfig();

  /// Sends one setting as text; a name or value holding a zero byte is refused before the library sees it.
  [[nodiscard]] Status set(TerminatedText name, TerminatedText value);

  [[nodiscard]] copt_env_config* handle() const noexcept { return m_handle.get(); }
  /// Environments made from this configuration take their own share of this library.
  [[nodiscard]] const LibraryShare& library() const noexcept { return m_library; }

 private:
  ClientConfig(LibraryShare library, ConfigHandle handle) noexcept;

  LibraryShare m_library;
  ConfigHandle m_handle;
};

/// A native environment handle with the library share whose table created it.
class NativeEnvironment {
 public:
  NativeEnvironment(LibraryShare library, EnvHandle handle) noexcept;
  NativeEnvironment(NativeEnvironment&&) noexcept = default;
  NativeEnvironment(const NativeEnvironment&) = delete;
  NativeEnvironment& operator=(const NativeEnvironment&) = delete;
  NativeEnvironment& operator=(NativeEnvironment&&) = delete;
  ~NativeEnvironment();

  [[nodiscard]] copt_env* handle() const noexcept { return m_handle.get(); }
  [[nodiscard]] const LibraryShare& library() const noexcept { return m_library; }

 private:
  LibraryShare m_library;
  EnvHandle m_handle;
};

/// A plain environment through `library` (COPT_CreateEnv).
[[nodiscard]] Result<NativeEnvironment> create_env(LibraryShare library);
/// An environment from `config`, using the library the configuration loaded; `config` is only read.
[[nodiscard]] Result<NativeEnvironment> create_env_with_config(const ClientConfig& config);

/// One native environment shared by an Env object and the models built on it; its lock serialises problem creation.
class EnvironmentRecord {
 public:
  /// Exclusive use of the environment. Leaving it while an exception unwinds poisons the record for good, because the
  /// native environment may then be in a state nobody checked.
  class Guard {
   public:
    Guard(Guard&&) noexcept = default;
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    Guard& operator=(Guard&&) = delete;
    ~Guard();

    [[nodiscard]] const NativeEnvironment& environment() const noexcept { return m_record->m_environment; }

   private:
    friend class EnvironmentRecord;
    Guard(EnvironmentRecord& record, std::unique_lock<std::mutex> lock) noexcept;

    EnvironmentRecord* m_record;
    std::unique_lock<std::mutex> m_lock;
    int m_exceptions_at_entry;
  };

  explicit EnvironmentRecord(NativeEnvironment environment) noexcept;
  EnvironmentRecord(const EnvironmentRecord&) = delete;
  EnvironmentRecord& operator=(const EnvironmentRecord&) = delete;

  /// Waits for the lock; fails with BackendState once the record is poisoned.
  [[nodiscard]] Result<Guard> lock();

 private:
  /// Serialises problem creation on the native environment and guards m_poisoned. Every caller today runs on the Env's
  /// creating thread, so it is never contended; it keeps the record correct without relying on that.
  std::mutex m_mutex;
  bool m_poisoned = false;
  NativeEnvironment m_environment;
};

/// One counted reference to an environment record; the last one deletes the native environment.
using EnvironmentShare = std::shared_ptr<EnvironmentRecord>;

/// Wraps a new environment in a record and returns its first share.
[[nodiscard]] EnvironmentShare make_record(NativeEnvironment environment);

}  // namespace brenlox_copt::backend
