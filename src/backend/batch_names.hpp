// batch_names.hpp: BatchNames, the NUL-terminated names of one batch and the pointer array the solver takes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <variant>

#include "backend/error.hpp"
#include "backend/small_array.hpp"
#include "backend/text.hpp"

namespace brenlox_copt::backend {

/// The names of one batch as the solver takes them: views of the given names, or generated ones, owned.
class BatchNames {
 public:
  /// The given names in order, each passing the NUL check with the label `what`; or, without names,
  /// "{prefix}{id}" for the `count` ids from first_id, written into one buffer sized up front.
  [[nodiscard]] static Result<BatchNames> of(const std::optional<std::span<const TerminatedText>>& given,
                                             std::string_view what, char prefix, std::uint64_t first_id,
                                             std::size_t count);

  /// One pointer per name, valid until this object is moved or destroyed.
  [[nodiscard]] const char* const* pointers() const noexcept {
    return std::visit([](const auto& names) { return names.pointers(); }, m_names);
  }

 private:
  /// Given names: views of the caller's texts, which must outlive the commit.
  struct Given {
    SmallArray<const char*, 1> items;
    [[nodiscard]] const char* const* pointers() const noexcept { return items.data(); }
  };
  /// Generated names of a batch of any size but one: their texts in one buffer, and pointers into it.
  struct Generated {
    std::unique_ptr<char[]> text;
    SmallArray<const char*, 1> items;
    [[nodiscard]] const char* const* pointers() const noexcept { return items.data(); }
  };
  /// The generated name of a batch of one, held inline so that it needs no allocation; a copy points at its own text.
  class OneGenerated {
   public:
    OneGenerated(char prefix, std::uint64_t id) noexcept;
    OneGenerated(const OneGenerated& other) noexcept : m_text(other.m_text) {}
    OneGenerated& operator=(const OneGenerated& other) noexcept {
      m_text = other.m_text;
      return *this;
    }
    ~OneGenerated() = default;
    [[nodiscard]] const char* const* pointers() const noexcept { return &m_pointer; }

   private:
    /// The prefix, at most 20 digits and the NUL.
    std::array<char, 22> m_text{};
    const char* m_pointer = m_text.data();
  };

  template <class Names, class... Arguments>
  explicit BatchNames(std::in_place_type_t<Names> kind, Arguments&&... arguments) noexcept
      : m_names(kind, std::forward<Arguments>(arguments)...) {}
  [[nodiscard]] static BatchNames generated(char prefix, std::uint64_t first_id, std::size_t count);
  [[nodiscard]] static Result<BatchNames> given(std::span<const TerminatedText> names, std::string_view what);

  std::variant<Given, Generated, OneGenerated> m_names;
};

}  // namespace brenlox_copt::backend
