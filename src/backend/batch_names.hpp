// batch_names.hpp: BatchNames, the NUL-terminated names of one batch and the pointer array the solver takes.
#pragma once

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

  [[nodiscard]] const char* const* pointers() const noexcept { return m_pointers.data(); }

 private:
  BatchNames() = default;
  [[nodiscard]] static BatchNames generated(char prefix, std::uint64_t first_id, std::size_t count);
  [[nodiscard]] static Result<BatchNames> given(std::span<const TerminatedText> names, std::string_view what);

  std::unique_ptr<char[]> m_buffer;
  std::vector<const char*> m_pointers;
};

}  // namespace brenlox_copt::backend
