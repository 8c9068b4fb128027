// Reads a body of server-sent events as bytes, line by line, and hands over the data of each
// event when its blank line arrives.
//
//   ServerSentEventParser parser;
//   parser.feed(packet, [](std::string_view data) { ...; return true; });  // per packet
//   if (auto leftover = parser.finish()) ...                               // at the end
//
// The rules are those of the event-stream format: lines end with LF, CR LF or CR; "data:" is a
// field only at the start of a line, and one space after its colon is dropped; several data
// lines of one event are joined with a line feed; a blank line ends the event; comment lines
// (starting with ":") and other fields ("event:", "id:", "retry:") are read and ignored; a blank
// line with no data before it hands over nothing. A line cut between two packets, even inside a
// multi-byte character or between CR and LF, waits for the next packet, so packets may be split
// anywhere. The data is handed over as bytes; checking that it is UTF-8 is the reader's job.
//
// One parser reads one body, on one thread at a time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/error.h"

namespace tessra::aiclient {

// The body ended with bytes that never made an event: an unfinished line, or data lines whose
// blank line never came.
class UnfinishedEventError : public Error {
 public:
  explicit UnfinishedEventError(std::string leftover);

  // The unread bytes: the data of the unfinished event, then the unfinished line.
  const std::string& leftover() const { return m_leftover; }

 private:
  std::string m_leftover;
};

class ServerSentEventParser {
 public:
  // Reads the next bytes of the body. `onEvent(std::string_view data)` returns false to stop:
  // the rest of the bytes are then left unread and `feed` returns false.
  template <class OnEvent>
  bool feed(std::string_view bytes, OnEvent&& onEvent);

  // The end of the body: what was never handed over, or nothing when the body ended cleanly
  // after a blank line (or held only comments and blank lines).
  std::optional<std::string> finish();

 private:
  enum class LineResult { nothing, event };

  // The first CR or LF at or after `from`. A plain loop: `find_first_of` calls memchr on the two
  // line-break characters for every byte of the body.
  static std::size_t findLineBreak(std::string_view bytes, std::size_t from) {
    for (std::size_t i = from; i < bytes.size(); ++i) {
      if (bytes[i] == '\n' || bytes[i] == '\r') return i;
    }
    return std::string_view::npos;
  }

  // Reads one complete line, without its line break.
  LineResult readLine(std::string_view line);
  // The data of the event that just ended; valid until the next event.
  std::string_view takeEvent();

  std::string m_line;
  std::string m_data;
  std::string m_event;
  bool m_hasData = false;
  bool m_skipLineFeed = false;
  bool m_atStart = true;
};

template <class OnEvent>
bool ServerSentEventParser::feed(std::string_view bytes, OnEvent&& onEvent) {
  std::size_t position = 0;
  if (m_skipLineFeed && !bytes.empty()) {
    // The previous packet ended with CR; its LF, if any, starts this one.
    m_skipLineFeed = false;
    if (bytes.front() == '\n') position = 1;
  }
  while (position < bytes.size()) {
    const std::size_t end = findLineBreak(bytes, position);
    if (end == std::string_view::npos) {
      m_line.append(bytes.substr(position));
      return true;
    }
    std::size_t next = end + 1;
    if (bytes[end] == '\r') {
      if (next == bytes.size()) {
        m_skipLineFeed = true;
      } else if (bytes[next] == '\n') {
        ++next;
      }
    }
    LineResult result;
    if (m_line.empty()) {
      result = readLine(bytes.substr(position, end - position));
    } else {
      m_line.append(bytes.substr(position, end - position));
      result = readLine(m_line);
      m_line.clear();
    }
    position = next;
    if (result == LineResult::event && !onEvent(takeEvent())) return false;
  }
  return true;
}

}  // namespace tessra::aiclient
