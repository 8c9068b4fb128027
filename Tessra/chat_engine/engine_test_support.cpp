#include "Tessra/chat_engine/engine_test_support.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include "tokenizer/piece_scanner.h"
#include "tokenizer/test_vocabulary.h"

namespace tessra::engine_test {

std::shared_ptr<const tokenizer::Encoding> cl100kEncoding() {
  static const auto encoding = std::make_shared<const tokenizer::Encoding>(
      "gpt-4", tokenizer::test::encoderWith(tokenizer::test::cl100kRanks(), tokenizer::kPatternB),
      tokenizer::SpecialTokens{});
  return encoding;
}

std::string pngBytes(int width, int height, QColor fill) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(fill);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return bytes.toStdString();
}

Collected collect(platform::AsyncStream<AnswerDelta>& stream, ChatMessage message,
                  std::chrono::milliseconds timeout) {
  Collected collected;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !stream.waitForNext(left)) return collected;
    try {
      std::optional<AnswerDelta> change = stream.next();
      if (!change) {
        collected.ended = true;
        return collected;
      }
      change->applyTo(message);
      collected.messages.push_back(message);
    } catch (...) {
      collected.error = std::current_exception();
      collected.ended = true;
      return collected;
    }
  }
}

std::optional<ChatMessage> nextMessage(platform::AsyncStream<AnswerDelta>& stream,
                                       std::chrono::milliseconds timeout) {
  if (!stream.waitForNext(timeout)) return std::nullopt;
  std::optional<AnswerDelta> change = stream.next();
  if (!change) return std::nullopt;
  ChatMessage message;
  change->applyTo(message);
  return message;
}

}  // namespace tessra::engine_test
