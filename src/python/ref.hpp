// ref.hpp: Ref, the owning handle of one Python reference; every PyObject* the layer keeps lives in one.
#pragma once

#include <Python.h>

#include <utility>

namespace brenlox_copt::python {

/// Owns one strong reference, or none. Built with `steal` (takes over a new reference) or `new_reference` (adds
/// one); `release` hands the reference out to the caller.
class Ref {
 public:
  Ref() noexcept = default;
  [[nodiscard]] static Ref steal(PyObject* object) noexcept { return Ref(object); }
  [[nodiscard]] static Ref new_reference(PyObject* object) noexcept {
    Py_XINCREF(object);
    return Ref(object);
  }

  Ref(Ref&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    Ref old(std::exchange(m_object, std::exchange(other.m_object, nullptr)));
    return *this;
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(m_object); }

  [[nodiscard]] PyObject* get() const noexcept { return m_object; }
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(m_object, nullptr); }
  explicit operator bool() const noexcept { return m_object != nullptr; }

 private:
  explicit Ref(PyObject* object) noexcept : m_object(object) {}

  PyObject* m_object = nullptr;
};

}  // namespace brenlox_copt::python
