#include "Tessra/chat_window/chat_window_installation.h"

#include "Tessra/chat_window/browser_rendering.h"
#include "Tessra/chat_window/chat_view.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/floating_controller.h"
#include "Tessra/shell/floating_window.h"
#include "Tessra/storage/user_settings.h"

namespace tessra {

void installChatWindow() {
  chooseBrowserRendering();
  FloatingController::setChatViewFactory(
      [](QWidget* parent, std::function<void()> recalculateWindowSize) -> QWidget* {
        auto* hub = new ChatViewSignals;
        auto* view = new ChatView(ChatSource::master, *hub, parent);
        // The hub goes with the view, after everything in it that listens to it.
        hub->setParent(view);
        view->setPinWindow(isWindowPinned());
        QObject::connect(view, &ChatView::pinWindowChanged, view, &setWindowPinned);
        QObject::connect(view, &ChatView::sidePaneVisibleChanged, view,
                         [recalculate = std::move(recalculateWindowSize)](bool visible) {
                           UserSettings::shared().setValue(setting::sideBarVisible, visible);
                           if (recalculate) recalculate();
                         });
        QObject::connect(view, &ChatView::closeRequested, view, [] {
          AppDelegate* delegate = AppDelegate::shared();
          if (FloatingWindow* window = delegate ? delegate->floatingWindow() : nullptr)
            window->close();
        });
        return view;
      });
}

}  // namespace tessra
