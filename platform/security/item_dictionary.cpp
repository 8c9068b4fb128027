#include "platform/security/item_dictionary.h"

#include <fmt/format.h>

namespace tessra::platform::security {
namespace {

template <class... Fs>
struct Overloaded : Fs... {
  using Fs::operator()...;
};

}  // namespace

std::string describe(const Value& value) {
  return std::visit(Overloaded{
                        [](bool flag) -> std::string { return flag ? "true" : "false"; },
                        [](std::int64_t number) { return std::to_string(number); },
                        [](const std::string& text) { return fmt::format("\"{}\"", text); },
                        [](const Bytes& bytes) { return fmt::format("<{} bytes>", bytes.size()); },
                        [](const Date& date) { return date.iso8601(); },
                        [](MatchLimit limit) -> std::string {
                          return limit == MatchLimit::one ? "<match one>" : "<match all>";
                        },
                        [](SynchronizableAny) -> std::string { return "<synchronizable any>"; },
                        [](const std::shared_ptr<const AccessControl>&) -> std::string {
                          return "<access control>";
                        },
                        [](const std::shared_ptr<const AuthenticationContext>&) -> std::string {
                          return "<authentication context>";
                        },
                    },
                    value);
}

std::string describe(const Dictionary& dictionary) {
  std::string text = "[";
  for (const auto& [key, value] : dictionary) {
    if (text.size() > 1) text += ", ";
    text += key;
    text += ": ";
    text += describe(value);
  }
  if (dictionary.empty()) text += ":";
  text += "]";
  return text;
}

}  // namespace tessra::platform::security
