// The address of an internet-password keychain: the URL as given, with the host and port that
// scope its items.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessra::keychain {

class ServerUrl {
 public:
  // The URL of a text, or nothing when the text is not a valid absolute URL. A URL may lack a
  // host ("file:///srv") or a port; the port is only present when the text names one.
  static std::optional<ServerUrl> parse(std::string_view text);

  const std::string& text() const { return m_text; }
  const std::optional<std::string>& host() const { return m_host; }
  std::optional<std::int64_t> port() const { return m_port; }

  bool operator==(const ServerUrl&) const = default;

 private:
  ServerUrl() = default;

  std::string m_text;
  std::optional<std::string> m_host;
  std::optional<std::int64_t> m_port;
};

}  // namespace tessra::keychain
