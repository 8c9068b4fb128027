// A text that never changes once made, whose copies share one buffer: a record that carries a
// paste of many megabytes can be copied for a background write or a request without copying the
// text. It reads as a `const std::string&` or a `std::string_view`; a new value replaces the
// buffer, never changes it.
//
//   platform::SharedText text = std::move(pasted);  // takes the string over
//   platform::SharedText copy = text;                // shares it
//   std::string_view view = copy;
//   nlohmann::json j = copy;                         // a JSON string
//
// Threads: copies may be read and destroyed on any thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>

namespace tessra::platform {

class SharedText {
 public:
  SharedText();
  SharedText(std::string text);
  SharedText(std::string_view text) : SharedText(std::string(text)) {}
  SharedText(const char* text) : SharedText(std::string(text)) {}

  const std::string& str() const { return *m_text; }
  operator const std::string&() const { return *m_text; }
  operator std::string_view() const { return *m_text; }
  bool empty() const { return m_text->empty(); }
  std::size_t size() const { return m_text->size(); }

  friend bool operator==(const SharedText& a, const SharedText& b) {
    return a.m_text == b.m_text || *a.m_text == *b.m_text;
  }
  friend std::ostream& operator<<(std::ostream& out, const SharedText& text) {
    return out << *text.m_text;
  }

 private:
  std::shared_ptr<const std::string> m_text;
};

void to_json(nlohmann::json& j, const SharedText& text);
void from_json(const nlohmann::json& j, SharedText& text);

}  // namespace tessra::platform

template <>
struct std::hash<tessra::platform::SharedText> {
  std::size_t operator()(const tessra::platform::SharedText& text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};
