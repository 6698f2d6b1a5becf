// native_handle.hpp: sole ownership of one solver handle (configuration, environment or problem).
#pragma once

#include <utility>

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

}  // namespace brenlox_copt::backend
