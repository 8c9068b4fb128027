#include "Tessra/chat_window/chat_panel_contents.h"

namespace tessra {

ChatPanelContents& ChatPanelContents::shared() {
  static ChatPanelContents contents;
  return contents;
}

}  // namespace tessra
