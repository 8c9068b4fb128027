#include "aiclient/ai_client.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

#include "aiclient/models.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/percent_encoding.h"

namespace tessra::aiclient {
namespace {

bool isValidScheme(std::string_view scheme) {
  if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme.front()))) return false;
  for (char c : scheme) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  return true;
}

bool isValidHost(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return false;
    if (std::string_view("/?#@[]\\%").find(c) != std::string_view::npos) return false;
  }
  return true;
}

ErrorPtr badURL(std::string detail) {
  return std::make_exception_ptr(
      platform::UrlError(platform::UrlError::Code::badURL, std::move(detail)));
}

// "scheme://host[:port][/base path]" into the configuration; false when it is not that.
bool applyBaseUrl(std::string_view url, AIClient::Configuration& configuration) {
  const std::size_t schemeEnd = url.find("://");
  if (schemeEnd == std::string_view::npos) return false;
  const std::string_view scheme = url.substr(0, schemeEnd);
  std::string_view rest = url.substr(schemeEnd + 3);
  const std::size_t pathStart = rest.find('/');
  std::string_view authority = rest.substr(0, pathStart);
  const std::string_view basePath =
      pathStart == std::string_view::npos ? std::string_view() : rest.substr(pathStart);

  std::int64_t port = scheme == "http" ? 80 : 443;
  if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    const std::string_view digits = authority.substr(colon + 1);
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (error != std::errc() || end != digits.data() + digits.size()) return false;
    authority = authority.substr(0, colon);
  }
  if (!isValidScheme(scheme) || !isValidHost(authority) || port <= 0 || port > 65535) {
    return false;
  }
  configuration.scheme = std::string(scheme);
  configuration.host = std::string(authority);
  configuration.port = port;
  configuration.basePath = basePath == "/" ? std::string() : std::string(basePath);
  return true;
}

}  // namespace

AIClient::Configuration AIClient::Configuration::forToken(std::string token) {
  Configuration configuration{.token = std::move(token), .host = std::string(kPublicHost)};
  const char* baseUrl = std::getenv(kBaseUrlVariable);
  if (baseUrl == nullptr || *baseUrl == '\0') return configuration;
  if (!applyBaseUrl(baseUrl, configuration)) {
    platform::logError(
        "{} is not a base URL such as http://127.0.0.1:8080; using the public service",
        kBaseUrlVariable);
  }
  return configuration;
}

AIClient::AIClient(std::string apiToken) : AIClient(Configuration::forToken(std::move(apiToken))) {}

AIClient::AIClient(Configuration configuration)
    : AIClient(std::move(configuration), platform::UrlSession::shared()) {}

AIClient::AIClient(Configuration configuration, platform::UrlSession& session)
    : m_configuration(std::move(configuration)),
      m_session(&session),
      m_streamingSessions(std::make_shared<SessionList>()) {}

Result<std::string> AIClient::buildURL(std::string_view path) const {
  const Configuration& c = m_configuration;
  if (!isValidScheme(c.scheme)) return std::unexpected(badURL("scheme \"" + c.scheme + "\""));
  if (!isValidHost(c.host)) return std::unexpected(badURL("host \"" + c.host + "\""));
  if (c.port <= 0 || c.port > 65535) {
    return std::unexpected(badURL("port " + std::to_string(c.port)));
  }
  std::string fullPath = c.basePath;
  if (!fullPath.empty() && !fullPath.starts_with('/')) fullPath.insert(0, 1, '/');
  if (fullPath.ends_with('/') && path.starts_with('/')) fullPath.pop_back();
  fullPath.append(path);
  // "%" is encoded too, so a path that already looks encoded is sent as written.
  return c.scheme + "://" + c.host + ":" + std::to_string(c.port) +
         platform::percentEncode(fullPath, platform::kPathCharacters);
}

Result<platform::UrlRequest> AIClient::buildRequest(std::string_view path,
                                                    std::string method) const {
  auto url = buildURL(path);
  if (!url) return std::unexpected(url.error());
  return build(JSONRequest(std::move(*url), std::move(method)));
}

Result<platform::UrlRequest> AIClient::build(const JSONRequest& request) const {
  return bounded(request.build(m_configuration.token, m_configuration.organizationIdentifier,
                               m_configuration.timeoutInterval));
}

Result<platform::UrlRequest> AIClient::bounded(Result<platform::UrlRequest> request) const {
  if (request) request->maximumBodySize = m_configuration.maximumBodySize;
  return request;
}

Result<platform::UrlRequest> AIClient::buildModelRequest(std::string_view model) const {
  // The path encoder keeps "/" and encodes "%", so the identifier is encoded on its own and put
  // after the rest of the URL: neither a "/" nor an encoded one can change what is asked for.
  auto url = buildURL("/v1/models/");
  if (!url) return std::unexpected(url.error());
  return build(JSONRequest(*url + modelPathSegment(model), "GET"));
}

Result<platform::UrlRequest> AIClient::buildMultipartRequest(
    std::string_view path, std::shared_ptr<const MultipartFormDataBodyEncodable> body) const {
  auto url = buildURL(path);
  if (!url) return std::unexpected(url.error());
  return bounded(MultipartFormDataRequest(std::move(body), std::move(*url))
                     .build(m_configuration.token, m_configuration.organizationIdentifier,
                            m_configuration.timeoutInterval));
}

void AIClient::images(const ImagesQuery& query, Completion<ImagesResult> completion) {
  performJSON<ImagesResult>("/v1/images/generations", "POST", query, std::move(completion));
}

void AIClient::chats(const ChatQuery& query, Completion<ChatResult> completion) {
  performJSON<ChatResult>("/v1/chat/completions", "POST", query, std::move(completion));
}

StreamingTask AIClient::chatsStream(const ChatQuery& query,
                                    StreamResultHandler<ChatStreamResult> onResult,
                                    StreamCompletion completion) {
  ChatQuery streamed = query;
  streamed.stream = true;
  return performStreamingRequest<ChatStreamResult>(
      buildJSONRequest("/v1/chat/completions", "POST", streamed), std::move(onResult),
      std::move(completion));
}

void AIClient::forget(const std::weak_ptr<SessionList>& list, const StreamingSessionBase& session) {
  const auto sessions = list.lock();
  if (!sessions) return;
  sessions->removeAll([&](const std::shared_ptr<StreamingSessionBase>& listed) {
    return listed.get() == &session;
  });
}

}  // namespace tessra::aiclient
