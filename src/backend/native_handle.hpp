// native_handle.hpp: sole ownership of one solver handle (configuration, environment or problem), and the check
// every creator's result goes through.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "backend/error.hpp"
#include "backend/function_table.hpp"

namespace brenlox_copt::backend {

/// Owns one handle and deletes it through `Deleter`, a member of the table of the library that created it. The
/// owner keeps that library alive and resets the handle before letting the library go.
template <class Handle, auto Deleter>
class NativeHandle {
 public:
  NativeHandle() noexcept = default;
  NativeHandle(const FunctionTable& table, Handle* handle) noexcept : m_table(&table), m_handle(handle) {}
  NativeHandle(NativeHandle&& other) noexcept
      : m_table(other.m_table), m_handle(std::exchange(other.m_handle, nullptr)) {}
  NativeHandle(const NativeHandle&) = delete;
  NativeHandle& operator=(const NativeHandle&) = delete;
  NativeHandle& operator=(NativeHandle&&) = delete;
  ~NativeHandle() { reset(); }

  [[nodiscard]] Handle* get() const noexcept { return m_handle; }
  [[nodiscard]] explicit operator bool() const noexcept { return m_handle != nullptr; }

  /// Deletes the handle if there is one; the deleter's status says nothing the caller could act on.
  void reset() noexcept {
    if (m_handle != nullptr) {
      static_cast<void>((m_table->*Deleter)(&m_handle));
      m_handle = nullptr;
    }
  }

 private:
  const FunctionTable* m_table = nullptr;
  Handle* m_handle = nullptr;
};

using ConfigHandle = NativeHandle<copt_env_config, &FunctionTable::COPT_DeleteEnvConfig>;
using EnvHandle = NativeHandle<copt_env, &FunctionTable::COPT_DeleteEnv>;
using ProblemHandle = NativeHandle<copt_prob, &FunctionTable::COPT_DeleteProb>;

/// When a handle that a failing creator returned anyway is deleted: before the message lookup (configurations and
/// problems), or after it (environments, whose failure the library may describe from the environment it made). Each
/// creator's order is part of its contract with the library, so the caller names it.
enum class DeleteFailed { BeforeLookup, AfterLookup };

/// The one check of a creator's result: the handle it owns for status 0 with a handle; otherwise the native call
/// check's error for `operation`, or BackendState "{operation} succeeded without returning {what}" for a null handle.
/// A handle returned with a failure is gone by the time this returns, in the order `when` says.
template <class Handle, auto Deleter>
[[nodiscard]] Result<NativeHandle<Handle, Deleter>> check_created(const FunctionTable& table, int status,
                                                                  NativeHandle<Handle, Deleter> handle,
                                                                  const char* operation, std::string_view what,
                                                                  DeleteFailed when) {
  if (status != 0) {
    if (when == DeleteFailed::BeforeLookup) {
      handle.reset();
    }
    BackendError error = native_call_error(table, status, operation);
    handle.reset();
    return std::unexpected(std::move(error));
  }
  if (!handle) {
    return std::unexpected(
        BackendError::backend_state(std::string(operation) + " succeeded without returning " + std::string(what)));
  }
  return handle;
}

}  // namespace brenlox_copt::backend
