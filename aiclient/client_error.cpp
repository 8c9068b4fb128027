#include "aiclient/client_error.h"

#include <string>

namespace tessra::aiclient {

std::string_view toString(AIClientError::Code code) {
  switch (code) {
    case AIClientError::Code::emptyData:
      return "emptyData";
  }
  return "unknown";
}

std::string_view toString(StreamingError::Code code) {
  switch (code) {
    case StreamingError::Code::unknownContent:
      return "unknownContent";
    case StreamingError::Code::emptyContent:
      return "emptyContent";
  }
  return "unknown";
}

AIClientError::AIClientError(Code code) : Error(std::string(toString(code))), m_code(code) {}

StreamingError::StreamingError(Code code) : Error(std::string(toString(code))), m_code(code) {}

}  // namespace tessra::aiclient
