#include "Tessra/storage/welcome.h"

#include <QLocale>
#include <QStringList>

#include "Tessra/storage/settings_enums.h"
#include "platform/foundation/uuid.h"

namespace tessra {

namespace {

constexpr std::string_view kEnglishQuestion =
    "Hi there! I'm new and excited to learn more about this app. Could you show me around?";

constexpr std::string_view kEnglishAnswer =
    "🎉 Welcome to *Tessra*,\n\n"
    "This is a conversation, you can create as many as you like. Simply use the plus button or "
    "press Ctrl+N to start a new one. Feel free to personalize each conversation with an emoji to "
    "add your unique style.\n\n"
    "Navigating between conversations is easy; select them in the sidebar, or use Ctrl+K for a "
    "quick search.\n\n"
    "At the footer, you'll notice the current model's name. Tap on it to explore and select from "
    "various models to customize the default behavior of your conversations.\n\n"
    "Interested in further personalizing Tessra? Click on the gear icon to access global "
    "Settings, where you can adjust window position, vertical padding, size, and explore other "
    "customization options.";

constexpr std::string_view kPortugueseQuestion =
    "Oi! Sou novo por aqui e estou animado para aprender mais sobre o Tessra. Pode me mostrar "
    "como funciona?";

constexpr std::string_view kPortugueseAnswer =
    "🎉 Bem-vindo ao *Tessra*,\n\n"
    "Esta é uma conversa, você pode criar quantas quiser. Basta usar o botão de mais ou "
    "pressionar Ctrl+N para iniciar uma nova. Sinta-se à vontade para personalizar cada conversa "
    "com um emoji.\n\n"
    "Navegar entre conversas é fácil; selecione-as na barra lateral ou use Ctrl+K para uma busca "
    "rápida.\n\n"
    "No rodapé, você notará o nome do modelo atual. Toque nele para explorar e selecionar entre "
    "vários modelos para personalizar o comportamento padrão de suas conversas.\n\n"
    "Interessado em personalizar ainda mais o Tessra? Clique no ícone de engrenagem para acessar "
    "as Configurações globais, onde você pode ajustar a posição da janela, espaçamento vertical, "
    "tamanho e explorar outras opções de personalização.";

}  // namespace

ChatSession welcomeSession(const std::vector<std::string>& preferredLanguages) {
  const std::string first = preferredLanguages.empty() ? "en" : preferredLanguages.front();
  const bool portuguese = appLanguageFromRawValue(first) == AppLanguage::brazilianPortuguese;
  ChatMessage greeting("0", std::string(portuguese ? kPortugueseQuestion : kEnglishQuestion),
                       std::string(portuguese ? kPortugueseAnswer : kEnglishAnswer), true, true);
  return ChatSession{std::string(kWelcomeSessionId), std::string(kWelcomeName), {greeting}};
}

ChatSession welcomeSession() { return welcomeSession(systemPreferredLanguages()); }

const ConversationList& initialConversationList() {
  static const ConversationList kInitial = [] {
    ConversationConfig config;
    config.model = ChatGPTModels::gpt35;
    config.contextWindow = 0;
    Conversation welcome{std::string(kWelcomeSessionId), std::string(kWelcomeName),
                         platform::Date::now(), config};
    return ConversationList{platform::makeUuidString(), std::string(kWelcomeSessionId), {welcome}};
  }();
  return kInitial;
}

std::vector<std::string> systemPreferredLanguages() {
  std::vector<std::string> tags;
  for (const QString& tag : QLocale::system().uiLanguages()) tags.push_back(tag.toStdString());
  return tags;
}

}  // namespace tessra
