// A list that several threads change at once. The client keeps its live streaming sessions in
// one: a stream appends its session when it starts and removes it when it ends, each from its own
// thread.
//
//   ArrayWithThreadSafety<std::shared_ptr<Session>> sessions;
//   sessions.append(session);                                     // any thread
//   sessions.removeAll([&](const auto& s) { return s == session; });
//
// Both changes take the list's mutex for their whole run, so each sees every change made before
// it; an append has taken effect when it returns, so a removal asked for right after it always
// finds the element. The predicate of `removeAll` runs with the mutex held: it must not touch the
// same list. An exception from the predicate reaches the caller and leaves the list unchanged.
#pragma once

#include <algorithm>
#include <cstddef>
#include <mutex>
#include <utility>
#include <vector>

namespace tessra::aiclient {

template <class Element>
class ArrayWithThreadSafety {
 public:
  ArrayWithThreadSafety() = default;
  ArrayWithThreadSafety(const ArrayWithThreadSafety&) = delete;
  ArrayWithThreadSafety& operator=(const ArrayWithThreadSafety&) = delete;

  void append(Element element) {
    std::lock_guard lock(m_mutex);
    m_array.push_back(std::move(element));
  }

  // Removes every element the predicate holds for; the others keep their order.
  template <class Predicate>
  void removeAll(Predicate&& shouldBeRemoved) {
    std::lock_guard lock(m_mutex);
    std::vector<bool> removed(m_array.size());
    for (std::size_t i = 0; i < m_array.size(); ++i) removed[i] = shouldBeRemoved(m_array[i]);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_array.size(); ++i) {
      if (removed[i]) continue;
      if (kept != i) m_array[kept] = std::move(m_array[i]);
      ++kept;
    }
    m_array.erase(m_array.begin() + static_cast<std::ptrdiff_t>(kept), m_array.end());
  }

  // How many elements the list holds now; for diagnostics and tests.
  std::size_t count() const {
    std::lock_guard lock(m_mutex);
    return m_array.size();
  }

  // A copy of the elements in order; for diagnostics and tests.
  std::vector<Element> snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_array;
  }

 private:
  // Guards `m_array`.
  mutable std::mutex m_mutex;
  std::vector<Element> m_array;
};

}  // namespace tessra::aiclient
