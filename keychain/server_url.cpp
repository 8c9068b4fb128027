#include "keychain/server_url.h"

#include <curl/curl.h>

#include <memory>

namespace tessra::keychain {
namespace {

struct CurlUrlFree {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlFree {
  void operator()(char* text) const { curl_free(text); }
};

std::optional<std::string> part(CURLU* url, CURLUPart which) {
  char* raw = nullptr;
  if (curl_url_get(url, which, &raw, 0) != CURLUE_OK) return std::nullopt;
  std::unique_ptr<char, CurlFree> text(raw);
  return std::string(text.get());
}

}  // namespace

std::optional<ServerUrl> ServerUrl::parse(std::string_view text) {
  std::unique_ptr<CURLU, CurlUrlFree> url(curl_url());
  if (!url) return std::nullopt;
  std::string copy(text);
  if (curl_url_set(url.get(), CURLUPART_URL, copy.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
    return std::nullopt;
  ServerUrl server;
  server.m_text = std::move(copy);
  if (auto host = part(url.get(), CURLUPART_HOST); host && !host->empty()) server.m_host = *host;
  if (auto port = part(url.get(), CURLUPART_PORT)) server.m_port = std::stoll(*port);
  return server;
}

}  // namespace tessra::keychain
