#include "aiclient/requests.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

#include "platform/foundation/json.h"

namespace tessra::aiclient {
namespace {

constexpr std::string_view kSpace = " \t\r\n\v\f";
// Longer timeouts than this are as good as none and would overflow the milliseconds.
constexpr double kLongestTimeout = 1e9;

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

std::chrono::milliseconds idleTimeout(double seconds) {
  // Zero stands for no limit; a timeout that is not a positive number sets none either.
  if (!(seconds > 0)) return std::chrono::milliseconds(0);
  const double clamped = std::min(seconds, kLongestTimeout);
  return std::chrono::milliseconds(
      std::max<long long>(1, static_cast<long long>(std::llround(clamped * 1000))));
}

struct Credentials {
  std::string authorization;
  std::optional<std::string> organization;
};

Result<Credentials> credentials(const std::string& token,
                                const std::optional<std::string>& organizationIdentifier) {
  Credentials result{.authorization = "Bearer " + trimmedHeaderValue(token), .organization = {}};
  if (std::ranges::any_of(result.authorization, isControl)) {
    return std::unexpected(std::make_exception_ptr(InvalidHeaderValueError("Authorization")));
  }
  if (organizationIdentifier) {
    result.organization = trimmedHeaderValue(*organizationIdentifier);
    if (std::ranges::any_of(*result.organization, isControl)) {
      return std::unexpected(
          std::make_exception_ptr(InvalidHeaderValueError("OpenAI-Organization")));
    }
  }
  return result;
}

platform::UrlRequest baseRequest(const std::string& url, const std::string& method,
                                 double timeoutInterval) {
  platform::UrlRequest request;
  request.method = method;
  request.url = url;
  request.idleTimeout = idleTimeout(timeoutInterval);
  return request;
}

}  // namespace

InvalidHeaderValueError::InvalidHeaderValueError(std::string headerName)
    : Error("The " + headerName + " value cannot be sent: it holds a line break or another " +
            "control character."),
      m_headerName(std::move(headerName)) {}

std::string trimmedHeaderValue(std::string_view value) {
  const std::size_t first = value.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const std::size_t last = value.find_last_not_of(kSpace);
  return std::string(value.substr(first, last - first + 1));
}

JSONRequest::JSONRequest(std::string url, std::string method)
    : m_url(std::move(url)), m_method(std::move(method)) {}

Result<platform::UrlRequest> JSONRequest::build(
    const std::string& token, const std::optional<std::string>& organizationIdentifier,
    double timeoutInterval) const {
  auto credentials = aiclient::credentials(token, organizationIdentifier);
  if (!credentials) return std::unexpected(credentials.error());

  platform::UrlRequest request = baseRequest(m_url, m_method, timeoutInterval);
  request.addHeader("Content-Type", "application/json");
  request.addHeader("Authorization", std::move(credentials->authorization));
  if (credentials->organization) {
    request.addHeader("OpenAI-Organization", std::move(*credentials->organization));
  }
  if (m_encodeBody) {
    try {
      const std::string text = m_encodeBody();
      request.body.assign(text.begin(), text.end());
    } catch (const platform::JsonEncodingError&) {
      return std::unexpected(std::current_exception());
    }
  }
  return request;
}

MultipartFormDataRequest::MultipartFormDataRequest(
    std::shared_ptr<const MultipartFormDataBodyEncodable> body, std::string url, std::string method)
    : m_body(std::move(body)), m_url(std::move(url)), m_method(std::move(method)) {}

Result<platform::UrlRequest> MultipartFormDataRequest::build(
    const std::string& token, const std::optional<std::string>& organizationIdentifier,
    double timeoutInterval) const {
  auto credentials = aiclient::credentials(token, organizationIdentifier);
  if (!credentials) return std::unexpected(credentials.error());

  MultipartFormData form = makeMultipartFormData(*m_body);
  platform::UrlRequest request = baseRequest(m_url, m_method, timeoutInterval);
  request.addHeader("Authorization", std::move(credentials->authorization));
  request.addHeader("Content-Type", std::move(form.contentType));
  if (credentials->organization) {
    request.addHeader("OpenAI-Organization", std::move(*credentials->organization));
  }
  request.body = std::move(form.body);
  return request;
}

}  // namespace tessra::aiclient
