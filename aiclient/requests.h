// The request objects of the client: each knows its URL, method and body, and builds the HTTP
// request with the credentials.
//
//   auto request = JSONRequest(url, "POST", query).build(token, organizationIdentifier, 60.0);
//   if (!request) ... request.error() is why nothing can be sent ...
//
// A JSON request carries, in this order, "Content-Type: application/json" (also on a GET
// without a body), "Authorization: Bearer <token>" and, when one is given,
// "OpenAI-Organization: <identifier>". A multipart request carries "Authorization" first, then
// "Content-Type: multipart/form-data; boundary=<fresh boundary>", then the organization, and a
// body laid out with that same boundary.
//
// The token and the organization are sent as given but without white space or line breaks
// around them, so a pasted key with a trailing newline still works. One with a line break (or
// another control character) inside cannot be sent at all: it would end its header line and
// start another.
//
// The timeout is an idle timeout: the request fails when no byte moves for that long, however
// long a streamed answer takes as a whole.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "aiclient/multipart_form_data.h"
#include "aiclient/other_endpoint_records.h"
#include "platform/foundation/error.h"
#include "platform/foundation/json.h"
#include "platform/foundation/url_session.h"

namespace tessra::aiclient {

// A credential holds a character that cannot travel in a header line.
class InvalidHeaderValueError : public Error {
 public:
  explicit InvalidHeaderValueError(std::string headerName);

  const std::string& headerName() const { return m_headerName; }

 private:
  std::string m_headerName;
};

// The value without white space and line breaks around it.
std::string trimmedHeaderValue(std::string_view value);

// The JSON text of a record: written through `nlohmann::json`, or through
// `nlohmann::ordered_json` for records that keep their keys in a listed order. Throws
// `platform::JsonEncodingError` for a number that is not finite.
template <class Body>
std::string encodeJsonBody(const Body& body) {
  if constexpr (std::is_constructible_v<nlohmann::json, const Body&>) {
    return platform::encodeJson(nlohmann::json(body));
  } else {
    const DeferredType<nlohmann::ordered_json, Body> ordered = body;
    return platform::encodeJson(ordered);
  }
}

class JSONRequest {
 public:
  // A request without a body (the GET requests).
  JSONRequest(std::string url, std::string method);
  // A request whose body is `body` written as JSON when the request is built.
  template <class Body>
  JSONRequest(std::string url, std::string method, Body body)
      : JSONRequest(std::move(url), std::move(method)) {
    m_encodeBody = [body = std::move(body)] { return encodeJsonBody(body); };
  }

  // Fails when the body cannot be written as JSON (a number that is not finite) or a credential
  // cannot travel in a header; nothing is sent then.
  [[nodiscard]] Result<platform::UrlRequest> build(
      const std::string& token, const std::optional<std::string>& organizationIdentifier,
      double timeoutInterval) const;

  bool hasBody() const { return m_encodeBody != nullptr; }
  const std::string& url() const { return m_url; }
  const std::string& method() const { return m_method; }

 private:
  std::function<std::string()> m_encodeBody;
  std::string m_url;
  std::string m_method;
};

class MultipartFormDataRequest {
 public:
  MultipartFormDataRequest(std::shared_ptr<const MultipartFormDataBodyEncodable> body,
                           std::string url, std::string method = "POST");

  // Lays out the body with a boundary made for this build. Fails only when a credential cannot
  // travel in a header.
  [[nodiscard]] Result<platform::UrlRequest> build(
      const std::string& token, const std::optional<std::string>& organizationIdentifier,
      double timeoutInterval) const;

  const std::string& url() const { return m_url; }
  const std::string& method() const { return m_method; }

 private:
  std::shared_ptr<const MultipartFormDataBodyEncodable> m_body;
  std::string m_url;
  std::string m_method;
};

}  // namespace tessra::aiclient
