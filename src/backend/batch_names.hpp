// batch_names.hpp: BatchNames, the NUL-terminated names of one batch and the pointer array the solver takes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "backend/error.hpp"
#include "backend/text.hpp"

namespace brenlox_copt::backend {

/// The names of one batch as the solver takes them; given names are pointed to, not copied, so they must outlive
/// this object.
class BatchNames {
 public:
  /// The given names in order, each passing the NUL check with the label `what`; or, without names,
  /// "{prefix}{id}" for the `count` ids from first_id, written into one buffer sized up front.
  [[nodiscard]] static Result<BatchNames> of(const std::optional<std::span<const TerminatedText>>& given,
                                             std::string_view what, char prefix, std::uint64_t first_id,
                                             std::size_t count);

  /// One pointer per name, valid until this object is moved or destroyed.
  [[nodiscard]] const char* const* pointers() const noexcept {
    if (m_pointers.empty()) {
      // A batch of one keeps its pointer here, and a generated name its text too; the pointer is set on each request,
      // as a move carries the text to another address.
      if (m_single_text[0] != '\0') {
        m_single = m_single_text.data();
      }
      return &m_single;
    }
    return m_pointers.data();
  }

 private:
  BatchNames() = default;
  [[nodiscard]] static BatchNames generated(char prefix, std::uint64_t first_id, std::size_t count);
  [[nodiscard]] static Result<BatchNames> given(std::span<const TerminatedText> names, std::string_view what);

  /// The prefix, at most 20 digits and the NUL.
  static constexpr std::size_t kLongestGenerated = 22;

  std::unique_ptr<char[]> m_buffer;
  std::vector<const char*> m_pointers;
  std::array<char, kLongestGenerated> m_single_text{};
  mutable const char* m_single = nullptr;
};

}  // namespace brenlox_copt::backend
