// handle_table.hpp: the live objects of one kind, owned here and found by the address handed out as their handle.
#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <unordered_map>
#include <vector>

namespace brenlox_copt::standin {

template <class T>
class HandleTable {
 public:
  /// The object behind `handle`, or nullptr for a null, foreign or deleted handle; a handle is never dereferenced
  /// before it is found here, so a bad one cannot crash the stand-in.
  [[nodiscard]] T* find(const void* handle) const noexcept {
    const auto found = m_objects.find(handle);
    return found == m_objects.end() ? nullptr : found->second.get();
  }

  T& insert(std::unique_ptr<T> object) {
    T& inserted = *object;
    m_objects.emplace(&inserted, std::move(object));
    return inserted;
  }

  void erase(const T& object) noexcept { m_objects.erase(&object); }

  [[nodiscard]] std::size_t size() const noexcept { return m_objects.size(); }

  /// Live objects, oldest first.
  [[nodiscard]] std::vector<const T*> in_creation_order() const {
    std::vector<const T*> objects;
    objects.reserve(m_objects.size());
    for (const auto& entry : m_objects) {
      objects.push_back(entry.second.get());
    }
    std::ranges::sort(objects, {}, [](const T* object) { return object->serial; });
    return objects;
  }

 private:
  std::unordered_map<const void*, std::unique_ptr<T>> m_objects;
};

}  // namespace brenlox_copt::standin
