// One element of the engine's answer stream: what changed in the message being answered since the
// element before it. A consumer applies the elements to its own copy of the message, in order:
//
//   ChatMessage shown = question;
//   answer.forEach(platform::mainQueue(), [&](AnswerDelta change) { change.applyTo(shown); }, ...);
//
// Text that grows folds into text still waiting to be taken (`absorb`, the stream's merge), so a
// consumer that falls behind gets one element with all it missed instead of a backlog; each other
// change (a tool's status line, its files, the end) stays an element of its own, in its place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Tessra/storage/chat_message.h"

namespace tessra {

struct AnswerDelta {
  // Text added at the end of the answer.
  std::string appendedAnswer{};
  // The service's latest token total, once it has reported one.
  std::optional<std::int64_t> tokenUsage{};
  // The tools' status lines as they stand now, when they changed.
  std::optional<std::vector<ChatMessageFunctionCall>> functionCalls{};
  // The files the tools made so far, when they changed.
  std::optional<std::vector<ChatMessageFile>> answerFiles{};
  // The answer is complete; only the last element of a stream has it.
  bool finished = false;

  // Only the text grew (and the token total moved).
  bool isGrowth() const { return !functionCalls && !answerFiles && !finished; }
  void applyTo(ChatMessage& message) const;
  // Takes `next` into this element when both are growth; false, with nothing changed, otherwise.
  bool absorb(const AnswerDelta& next);

  bool operator==(const AnswerDelta&) const = default;
};

}  // namespace tessra
