#include "Tessra/chat_window/chat_window_installation.h"

#include "Tessra/chat_window/browser_rendering.h"
#include "Tessra/chat_window/chat_view.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"

namespace tessra {

void installChatWindow() {
  chooseBrowserRendering();
  FloatingController::setChatViewFactory(
      [](QWidget* parent, std::function<void()> recalculateWindowSize) -> QWidget* {
        auto* hub = new ChatViewSignals;
        ChatViewHost host{
            .recalculateWindowSize = std::move(recalculateWindowSize),
            .closeWindow =
                [] {
                  AppDelegate* delegate = AppDelegate::shared();
                  if (FloatingWindow* window = delegate ? delegate->floatingWindow() : nullptr)
                    window->close();
                },
            .isWindowPinned = [] { return isWindowPinned(); },
            .setWindowPinned = [](bool pinned) { setWindowPinned(pinned); },
            .setSideBarVisible = [](bool visible) { setSideBarVisible(visible); },
        };
        auto* view = new ChatView(ChatSource::master, *hub, std::move(host), parent);
        // The hub goes with the view, after everything in it that listens to it.
        hub->setParent(view);
        return view;
      });
}

}  // namespace tessra
