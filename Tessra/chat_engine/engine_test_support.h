// Shared by the chat engine's tests: the real encoding of the chat models, log capture and the
// collection of an answer stream with a deadline.
#pragma once

#include <QColor>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/chat_engine/answer_delta.h"
#include "Tessra/storage/chat_message.h"
#include "platform/foundation/async_stream.h"
#include "platform/foundation/error.h"
#include "testing/log_capture.h"
#include "tokenizer/encoding.h"

namespace tessra::engine_test {

// cl100k split by its pattern, as "gpt-4" and "gpt-3.5-turbo" count.
std::shared_ptr<const tokenizer::Encoding> cl100kEncoding();

using LogCapture = testing::LogCapture;

struct Collected {
  // The message after each element of the stream.
  std::vector<ChatMessage> messages;
  ErrorPtr error;
  // False when the stream had not ended by the deadline.
  bool ended = false;
};

// A PNG of one colour, as an image server would send it.
std::string pngBytes(int width, int height, QColor fill);

// Reads the stream to its end, or until the deadline passes, applying each element to `message`.
Collected collect(platform::AsyncStream<AnswerDelta>& stream, ChatMessage message = {},
                  std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Reads one element, waiting up to the deadline: an empty message with the element applied.
std::optional<ChatMessage> nextMessage(
    platform::AsyncStream<AnswerDelta>& stream,
    std::chrono::milliseconds timeout = std::chrono::seconds(20));

}  // namespace tessra::engine_test
