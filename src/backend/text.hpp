// text.hpp: texts whose bytes are followed by a NUL in memory, so they reach the solver without a copy.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brenlox_copt::backend {

/// A view of UTF-8 bytes with a guaranteed zero byte just past its end (it may hold zero bytes inside, which the
/// backend's NUL check refuses). The owner of the bytes must outlive the view.
class TerminatedText {
 public:
  /// `data[size]` must be a zero byte (as for std::string or a str's cached UTF-8).
  [[nodiscard]] static TerminatedText assume_terminated(const char* data, std::size_t size) noexcept {
    return TerminatedText(data, size);
  }
  explicit TerminatedText(const std::string& text) noexcept : TerminatedText(text.c_str(), text.size()) {}

  [[nodiscard]] std::string_view view() const noexcept { return {m_data, m_size}; }
  [[nodiscard]] const char* c_str() const noexcept { return m_data; }

 private:
  TerminatedText(const char* data, std::size_t size) noexcept : m_data(data), m_size(size) {}

  const char* m_data;
  std::size_t m_size;
};

}  // namespace brenlox_copt::backend
