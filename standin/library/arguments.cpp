// arguments.cpp: the argument recorder of the call log.
#include "standin/library/arguments.hpp"

#include <algorithm>
#include <string_view>

namespace brenlox_copt::standin {

std::optional<std::size_t> array_length(int count) noexcept {
  return count < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(count));
}

std::optional<std::size_t> matrix_length(int count, const int* starts, const int* counts) noexcept {
  const auto items = array_length(count);
  if (!items || (*items > 0 && (starts == nullptr || counts == nullptr))) {
    return std::nullopt;
  }
  std::int64_t end = 0;
  for (std::size_t item = 0; item < *items; ++item) {
    if (starts[item] < 0 || counts[item] < 0) {
      return std::nullopt;
    }
    end = std::max(end, std::int64_t{starts[item]} + counts[item]);
  }
  return static_cast<std::size_t>(end);
}

Arguments::Arguments(const State& state) : m_state(state) { m_out.begin_array(); }

Arguments& Arguments::handle(const void* handle) {
  if (handle == nullptr) {
    m_out.null();
  } else {
    m_out.text(m_state.handle_name(handle));
  }
  return *this;
}

Arguments& Arguments::integer(std::int64_t value) {
  m_out.integer(value);
  return *this;
}

Arguments& Arguments::number(double value) {
  m_out.number(value);
  return *this;
}

Arguments& Arguments::text(const char* value) {
  if (value == nullptr) {
    m_out.null();
  } else {
    m_out.text(value);
  }
  return *this;
}

template <class T, class Write>
Arguments& Arguments::array(const T* values, std::optional<std::size_t> length, Write write) {
  if (values == nullptr || !length) {
    marker(values, "<unread>");
  } else {
    m_out.begin_array();
    for (std::size_t index = 0; index < *length; ++index) {
      write(values[index]);
    }
    m_out.end_array();
  }
  return *this;
}

Arguments& Arguments::integers(const int* values, std::optional<std::size_t> length) {
  return array(values, length, [this](int value) { m_out.integer(value); });
}

Arguments& Arguments::numbers(const double* values, std::optional<std::size_t> length) {
  return array(values, length, [this](double value) { m_out.number(value); });
}

Arguments& Arguments::characters(const char* values, std::optional<std::size_t> length) {
  return array(values, length, [this](const char& value) { m_out.text(std::string_view(&value, 1)); });
}

Arguments& Arguments::texts(const char* const* values, std::optional<std::size_t> length) {
  return array(values, length, [this](const char* value) { text(value); });
}

Arguments& Arguments::marker(const void* pointer, std::string_view marker) {
  if (pointer == nullptr) {
    m_out.null();
  } else {
    m_out.text(marker);
  }
  return *this;
}

Arguments& Arguments::output(const void* destination) { return marker(destination, "<out>"); }

Arguments& Arguments::int_output(const int* destination) { return integers(destination, 1); }

Arguments& Arguments::number_output(const double* destination) { return numbers(destination, 1); }

Arguments& Arguments::discarded(const void* values) { return marker(values, "<discarded>"); }

std::string Arguments::take() {
  m_out.end_array();
  return m_out.take();
}

}  // namespace brenlox_copt::standin
