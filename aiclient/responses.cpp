#include "aiclient/responses.h"

#include <cctype>

#include "platform/foundation/utf8.h"

namespace tessra::aiclient {
namespace {

// As much of a body as a person can take in from one line of an error message.
constexpr std::size_t kBodyStartBytes = 200;

// The start of the body as one line of readable text: white space runs become one space, and
// bytes that are not UTF-8 become U+FFFD.
std::string bodyStart(std::string_view body) {
  const std::string_view head =
      body.substr(0, platform::completeUtf8Prefix(body.substr(0, kBodyStartBytes)));
  std::string line;
  bool pendingSpace = false;
  for (char c : platform::sanitizeUtf8(head)) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      pendingSpace = !line.empty();
      continue;
    }
    if (pendingSpace) line.push_back(' ');
    pendingSpace = false;
    line.push_back(c);
  }
  if (head.size() < body.size()) line += "…";
  return line;
}

std::string statusDescription(int statusCode, std::string_view body) {
  std::string text = "HTTP " + std::to_string(statusCode);
  const std::string start = bodyStart(body);
  if (!start.empty()) text += ": " + start;
  return text;
}

}  // namespace

HTTPStatusError::HTTPStatusError(int statusCode, std::string_view body)
    : Error(statusDescription(statusCode, body)), m_statusCode(statusCode) {}

std::optional<APIErrorResponse> decodeErrorEnvelope(std::string_view body) {
  try {
    return platform::decodeJson<APIErrorResponse>(body);
  } catch (const platform::JsonDecodingError&) {
    return std::nullopt;
  }
}

ErrorPtr errorForFailedResponse(int statusCode, std::string_view body) {
  if (auto envelope = decodeErrorEnvelope(body)) {
    return std::make_exception_ptr(std::move(*envelope));
  }
  return std::make_exception_ptr(HTTPStatusError(statusCode, body));
}

}  // namespace tessra::aiclient
