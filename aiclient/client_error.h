// The client's own failures, besides the transport's errors, the records' decoding errors and
// the service's error envelope (api_error.h).
//
// Their description is the name of the condition ("emptyData", "unknownContent"): that is the
// text the chat shows for them.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "platform/foundation/error.h"

namespace tessra::aiclient {

class AIClientError : public Error {
 public:
  enum class Code {
    // A plain or speech request completed with neither an error nor body bytes.
    emptyData,
  };

  explicit AIClientError(Code code);

  Code code() const { return m_code; }
  bool operator==(const AIClientError& other) const { return m_code == other.m_code; }

 private:
  Code m_code;
};

// A failure of the stream of server-sent events; the streaming session names it as its own.
class StreamingError : public Error {
 public:
  enum class Code {
    // A received packet is not UTF-8 text.
    unknownContent,
    // Kept for the closed set of conditions; nothing raises it.
    emptyContent,
  };

  explicit StreamingError(Code code);

  Code code() const { return m_code; }
  bool operator==(const StreamingError& other) const { return m_code == other.m_code; }

 private:
  Code m_code;
};

std::string_view toString(AIClientError::Code code);
std::string_view toString(StreamingError::Code code);

}  // namespace tessra::aiclient

template <>
struct std::hash<tessra::aiclient::AIClientError> {
  std::size_t operator()(const tessra::aiclient::AIClientError& error) const noexcept {
    return std::hash<int>()(static_cast<int>(error.code()));
  }
};

template <>
struct std::hash<tessra::aiclient::StreamingError> {
  std::size_t operator()(const tessra::aiclient::StreamingError& error) const noexcept {
    return std::hash<int>()(static_cast<int>(error.code()));
  }
};
