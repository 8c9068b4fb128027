// The conversation seeded at the very first start: a greeting session and the list that holds
// it. The greeting is in Brazilian Portuguese when the user's first preferred language is exactly
// "pt-BR", in English otherwise; the interface-language setting is not consulted.
#pragma once

#include <string>
#include <vector>

#include "Tessra/storage/chat_session.h"
#include "Tessra/storage/conversation.h"

namespace tessra {

inline constexpr std::string_view kWelcomeSessionId = "welcome";
inline constexpr std::string_view kWelcomeName = "🎉 Tessra";

// The greeting session, made anew at each call: id "welcome", one finished message "0" that
// closes a context, so none of it goes with the user's first question.
ChatSession welcomeSession(const std::vector<std::string>& preferredLanguages);
// The same for the system's preferred languages (language tags, most preferred first).
ChatSession welcomeSession();

// The seeded list: made once per run, at its first use, the same value afterwards. One
// conversation "welcome" on `gpt35` with `contextWindow` 0, marked as the latest session.
const ConversationList& initialConversationList();

// The system's preferred languages as tags ("pt-BR"), most preferred first.
std::vector<std::string> systemPreferredLanguages();

}  // namespace tessra
