#include "Tessra/navigation/navigation_installation.h"

#include <QPointer>

#include "Tessra/chat_window/chat_panel_contents.h"
#include "Tessra/chat_window/floating_panel.h"
#include "Tessra/navigation/conversation_list_floating_panel_view.h"
#include "Tessra/navigation/conversation_side_pane_view.h"
#include "Tessra/navigation/new_conversation_floating_panel_view.h"
#include "Tessra/navigation/session_topic_list_floating_panel_view.h"

namespace tessra {

namespace {

// The panel's visibility as the navigation views read and write it: hiding closes the panel.
BoolBinding panelVisibility(FloatingPanel& hostingPanel) {
  QPointer<FloatingPanel> panel(&hostingPanel);
  return {[panel] { return panel && panel->isVisible(); },
          [panel](bool visible) {
            if (!visible && panel) panel->close();
          }};
}

}  // namespace

void installNavigation() {
  auto& contents = ChatPanelContents::shared();
  contents.conversationList = [](const ChatPanelContext& context) -> QWidget* {
    return new ConversationListFloatingPanelView(context.sessionID, context.setSessionID,
                                                 panelVisibility(context.panel));
  };
  contents.topicList = [](const ChatPanelContext& context) -> QWidget* {
    return new SessionTopicListFloatingPanelView(context.hub, context.sessionID, context.source,
                                                 panelVisibility(context.panel));
  };
  // The chat view ends its own edit when the panel closes; the panel keeps its copy.
  contents.newConversation = [](const ChatPanelContext& context) -> QWidget* {
    return new NewConversationFloatingPanelView(
        context.setSessionID, panelVisibility(context.panel), context.editingConversation, [] {});
  };
  contents.sidePane = [](ChatViewSignals& hub, ChatSource) -> QWidget* {
    return new ConversationSidePaneView(hub);
  };
}

}  // namespace tessra
