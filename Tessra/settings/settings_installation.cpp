#include "Tessra/settings/settings_installation.h"

#include <QPointer>

#include <memory>

#include "Tessra/chat_window/chat_panel_contents.h"
#include "Tessra/chat_window/floating_panel.h"
#include "Tessra/localized_text/localized_text.h"
#include "Tessra/settings/conversation_setings_view.h"
#include "Tessra/settings/enter_api_key_view.h"
#include "Tessra/settings/onboarding.h"
#include "Tessra/settings/settings_window.h"
#include "shortcuts/recorder.h"

namespace tessra {

void installSettings() {
  SettingsWindow::registerWindow();
  Onboarding::registerWindow();
  shortcuts::Recorder::setStringTable(
      [](const QString& key) { return LocalizedText::forKey(key); });

  auto& contents = ChatPanelContents::shared();
  contents.enterApiKey = [](const ChatPanelContext& context) -> QWidget* {
    auto* form = new EnterApiKeyView(false);
    QObject::connect(form, &EnterApiKeyView::closeRequested, &context.panel, &FloatingPanel::close);
    return form;
  };
  contents.conversationSettings = [](const ChatPanelContext& context) -> QWidget* {
    QPointer<FloatingPanel> panel(&context.panel);
    // The panel's own slot: the form ends the edit on every close.
    auto editing = std::make_shared<std::optional<Conversation>>(context.editingConversation);
    return new ConversationSetingsView({[panel] { return panel && panel->isVisible(); },
                                        [panel](bool visible) {
                                          if (!visible && panel) panel->close();
                                        }},
                                       {[editing] { return *editing; },
                                        [editing](std::optional<Conversation> conversation) {
                                          *editing = std::move(conversation);
                                        }});
  };
}

}  // namespace tessra
