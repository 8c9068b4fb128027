// Turning an HTTP answer into a result: the expected record, or the error the user should read.
//
// - A status outside 200–299 fails: with the service's error envelope when the body is one (its
//   message is what the user reads), otherwise with `HTTPStatusError` ("HTTP 502: <start of the
//   body>"). Such an answer never decodes as a success.
// - A 2xx body decodes as the expected record; when it does not, as the envelope; when neither
//   works, the failure is the record's own decoding error, which says what was wrong.
#pragma once

#include <string>
#include <string_view>

#include "aiclient/api_error.h"
#include "platform/foundation/error.h"
#include "platform/foundation/json.h"
#include "platform/foundation/url_session.h"

namespace tessra::aiclient {

// An answer with an error status whose body is not the service's envelope, or a stream that was
// answered with something other than a stream.
class HTTPStatusError : public Error {
 public:
  // `body` may be long or binary: only its start, as readable text, goes into the description.
  HTTPStatusError(int statusCode, std::string_view body);

  int statusCode() const { return m_statusCode; }

 private:
  int m_statusCode;
};

// The failure for an answer that is not a result: the envelope in `body`, or an HTTPStatusError.
ErrorPtr errorForFailedResponse(int statusCode, std::string_view body);

// The service's error envelope in `body`, or nothing.
std::optional<APIErrorResponse> decodeErrorEnvelope(std::string_view body);

// A whole answer as a record of type R (see the top of this file).
template <class R>
[[nodiscard]] Result<R> decodeResponse(Result<platform::UrlData> answer) {
  if (!answer) return std::unexpected(answer.error());
  const std::string_view body(reinterpret_cast<const char*>(answer->body.data()),
                              answer->body.size());
  if (!answer->response.isSuccess()) {
    return std::unexpected(errorForFailedResponse(answer->response.statusCode, body));
  }
  try {
    return platform::decodeJson<R>(body);
  } catch (const platform::JsonDecodingError&) {
    ErrorPtr recordError = std::current_exception();
    if (auto envelope = decodeErrorEnvelope(body)) {
      return std::unexpected(std::make_exception_ptr(std::move(*envelope)));
    }
    return std::unexpected(recordError);
  }
}

// A whole answer whose body is the result as it stands (the speech endpoint's audio): R is
// made with its `audio` set to the body bytes, without reading them.
template <class R>
[[nodiscard]] Result<R> rawResponse(Result<platform::UrlData> answer) {
  if (!answer) return std::unexpected(answer.error());
  if (!answer->response.isSuccess()) {
    const std::string_view body(reinterpret_cast<const char*>(answer->body.data()),
                                answer->body.size());
    return std::unexpected(errorForFailedResponse(answer->response.statusCode, body));
  }
  R result{};
  result.audio = std::move(answer->body);
  return result;
}

}  // namespace tessra::aiclient
