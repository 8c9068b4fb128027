#include "Tessra/chat_engine/answer_delta.h"

namespace tessra {

void AnswerDelta::applyTo(ChatMessage& message) const {
  message.answer += appendedAnswer;
  if (tokenUsage) message.tokenUsage = tokenUsage;
  if (functionCalls) message.functionCalls = functionCalls;
  if (answerFiles) message.answerFiles = answerFiles;
  if (finished) message.finished = true;
}

bool AnswerDelta::absorb(const AnswerDelta& next) {
  if (!isGrowth() || !next.isGrowth()) return false;
  appendedAnswer += next.appendedAnswer;
  if (next.tokenUsage) tokenUsage = next.tokenUsage;
  return true;
}

}  // namespace tessra
