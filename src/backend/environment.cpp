// environment.cpp: creation and destruction of client configurations and native environments, and the record's lock.
#include "backend/environment.hpp"

#include <exception>
#include <string>
#include <utility>

namespace brenlox_copt::backend {

namespace {

/// The common end of both environment creators: keeps the environment only for status 0 with a handle. The library
/// share goes after any handle returned with a failure, as the function returns.
[[nodiscard]] Result<NativeEnvironment> check_created_env(LibraryShare library, int status, copt_env* returned,
                                                          const char* operation) {
  const FunctionTable& table = library->table();
  BRENLOX_ASSIGN_OR_PASS_UP(handle, check_created(table, status, EnvHandle(table, returned), operation,
                                                 "an environment", DeleteFailed::AfterLookup));
  return NativeEnvironment(std::move(library), std::move(handle));
}

}  // namespace

Result<ClientConfig> ClientConfig::create(LibraryShare library) {
  const FunctionTable& table = library->table();
  copt_env_config* returned = nullptr;
  const int status = table.COPT_CreateEnvConfig(&returned);
  BRENLOX_ASSIGN_OR_PASS_UP(handle, check_created(table, status, ConfigHandle(table, returned), "COPT_CreateEnvConfig",
                                                 "a configuration", DeleteFailed::BeforeLookup));
  return ClientConfig(std::move(library), std::move(handle));
}

ClientConfig::ClientConfig(LibraryShare library, ConfigHandle handle) noexcept
    : m_library(std::move(library)), m_handle(std::move(handle)) {}

ClientConfig::~ClientConfig() {
  m_handle.reset();
  m_library.reset();
}

Status ClientConfig::set(TerminatedText name, TerminatedText value) {
  BRENLOX_PASS_UP_IF_FAILED(
      check_no_nul(name.view(), "COPT environment configuration name", BackendError::invalid_input));
  BRENLOX_PASS_UP_IF_FAILED(
      check_no_nul(value.view(), "COPT environment configuration value", BackendError::invalid_input));
  const FunctionTable& table = m_library->table();
  return check_call(table, table.COPT_SetEnvConfig(m_handle.get(), name.c_str(), value.c_str()), "COPT_SetEnvConfig");
}

NativeEnvironment::NativeEnvironment(LibraryShare library, EnvHandle handle) noexcept
    : m_library(std::move(library)), m_handle(std::move(handle)) {}

NativeEnvironment::~NativeEnvironment() {
  m_handle.reset();
  m_library.reset();
}

Result<NativeEnvironment> create_env(LibraryShare library) {
  copt_env* returned = nullptr;
  const int status = library->table().COPT_CreateEnv(&returned);
  return check_created_env(std::move(library), status, returned, "COPT_CreateEnv");
}

Result<NativeEnvironment> create_env_with_config(const ClientConfig& config) {
  LibraryShare library = config.library();
  copt_env* returned = nullptr;
  const int status = library->table().COPT_CreateEnvWithConfig(config.handle(), &returned);
  return check_created_env(std::move(library), status, returned, "COPT_CreateEnvWithConfig");
}

EnvironmentRecord::Guard::Guard(EnvironmentRecord& record, std::unique_lock<std::mutex> lock) noexcept
    : m_record(&record), m_lock(std::move(lock)), m_exceptions_at_entry(std::uncaught_exceptions()) {}

EnvironmentRecord::Guard::~Guard() {
  if (m_lock.owns_lock() && std::uncaught_exceptions() > m_exceptions_at_entry) {
    m_record->m_poisoned = true;
  }
}

EnvironmentRecord::EnvironmentRecord(NativeEnvironment environment) noexcept : m_environment(std::move(environment)) {}

Result<EnvironmentRecord::Guard> EnvironmentRecord::lock() {
  std::unique_lock lock(m_mutex);
  if (m_poisoned) {
    return std::unexpected(BackendError::backend_state("COPT environment lock is poisoned"));
  }
  return Guard(*this, std::move(lock));
}

EnvironmentShare make_record(NativeEnvironment environment) {
  return std::make_shared<EnvironmentRecord>(std::move(environment));
}

}  // namespace brenlox_copt::backend
