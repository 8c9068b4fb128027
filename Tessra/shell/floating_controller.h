// The content of the floating panel: hosts the chat view, slides it in and out across the
// panel's screen edge, sizes the panel, plays the "pop", sends stray typing to the prompt and
// shows a notice at the panel's top, above the chat view, when the program has one for the user.
//
// Layout: the controller (rounded by its window) holds a container that fills it, less the
// notice's band at the top while there is a notice; the chat view is as large as the container
// and placed only by the slide constraint, which starts 500 points beyond the panel's edge and is
// animated to 0 (in, 0.2 s, ease-in) or to the panel's width or height (out, 0.2 s, ease-out).
//
// While the controller is on screen it watches the program's key presses. A press in the panel
// with printable text and no Ctrl, Alt or Super is posted as "focusOnPromptInput"
// {"inputedTextKey": text} and swallowed; Ctrl+V posts the clipboard: an attachment (carried as
// the notification's object, a `ChatAttachment`, with an empty payload) when the attachment source
// finds one, else its text. Nothing is redirected from any other window of the program, from a
// focused text field, nor while `isPromptKeyForwardingEnabled()` is false; Space on a focused
// button presses the button.
//
// The chat view comes from the factory set with `setChatViewFactory` (a placeholder until one is
// set). GUI thread only.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

#include "Tessra/storage/chat_attachment.h"
#include "Tessra/storage/settings_enums.h"
#include "platform/foundation/notification_center.h"
#include "platform/layout/layout_constraint.h"

class QKeyEvent;
class QScreen;
class QVariantAnimation;

namespace tessra {

class PanelNotice;

namespace platform {
class LocalEventMonitor;
class SoundEffect;
}  // namespace platform

// While one lives (the attachment preview or a question is shown over the chat), no key is
// redirected to the prompt. Several can live at once.
class PromptKeyForwardingPause {
 public:
  PromptKeyForwardingPause();
  ~PromptKeyForwardingPause();
  PromptKeyForwardingPause(const PromptKeyForwardingPause&) = delete;
  PromptKeyForwardingPause& operator=(const PromptKeyForwardingPause&) = delete;
};
bool isPromptKeyForwardingEnabled();

class FloatingController final : public QWidget {
  Q_OBJECT

 public:
  // Makes the chat view. `recalculateWindowSize` asks the controller to resize the panel; it
  // defers the work to the event loop, so the view may call it at any moment.
  using ChatViewFactory =
      std::function<QWidget*(QWidget* parent, std::function<void()> recalculateWindowSize)>;
  // What Ctrl+V pastes, read from the clipboard once: an attachment (a file, an image, a long
  // text) or an image that cannot be read, else the text to type ("" for none).
  struct Paste {
    AttachmentOffer offer;
    QString text;
  };
  // Reads the clipboard for Ctrl+V; without one, Ctrl+V types the clipboard's text.
  using PasteboardAttachmentReader = std::function<Paste()>;

  // The factory used by controllers made from now on; an empty one restores the placeholder.
  static void setChatViewFactory(ChatViewFactory factory);
  static void setPasteboardAttachmentReader(PasteboardAttachmentReader reader);

  explicit FloatingController(QWidget* parent = nullptr);
  ~FloatingController() override;

  // Sizes and places the panel's window from the settings, on `screen` or else on the main
  // screen; posts "willResizeGptWindow".
  void recalculateSize(QScreen* screen = nullptr);
  // The same on the main screen, only when that gives the panel's window another frame; whether
  // it did. A panel left as it was keeps its sheets and lists, and what the user typed in them.
  bool recalculateSizeIfMoved();
  void animateIn();
  void animateOut(std::function<void()> completion);

  bool isAnimating() const { return m_isAnimating; }
  QWidget* mainView() const { return m_mainView; }

  // A notice at the top of the panel, shown whenever the chat view has slid in, until the user
  // dismisses it (`noticeDismissed`) or `hideNotice` takes it away. While it is wanted, the chat
  // view stands below it.
  void showNotice(const QString& title, const QString& text);
  void hideNotice();
  // The notice once one was asked for, else nullptr.
  PanelNotice* notice() const { return m_notice; }
  // The edge read at the last slide-in.
  PopupPosition popupPosition() const { return m_popupPosition; }

 signals:
  // A slide in or out has ended (its completion has run).
  void slideFinished();
  // The user dismissed the notice.
  void noticeDismissed();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void sizeDidChanged();
  QRect panelFrame(QScreen* screen) const;
  void startSlide(double target, bool slidingIn, std::function<void()> completion);
  bool handleKeyDown(QWindow* window, QKeyEvent* event);
  void handlePaste();
  // Places the notice and shows it while it is wanted and the chat view stands in the panel.
  void updateNotice();

  QWidget* m_container = nullptr;
  // The container's top edge: below the notice while there is one.
  platform::LayoutConstraintPtr m_containerTop;
  QWidget* m_mainView = nullptr;
  // The slide's constraint, kept from one slide to the next while the edge stays the same, and
  // the constant it starts a slide in from.
  platform::LayoutConstraintPtr m_constraint;
  double m_slideStart = 0;
  QPointer<QVariantAnimation> m_animation;
  PopupPosition m_popupPosition;
  int m_counter = 0;
  bool m_isAnimating = false;
  // The last slide that ended brought the chat view in.
  bool m_slidIn = false;
  PanelNotice* m_notice = nullptr;
  bool m_noticeWanted = false;
  std::unique_ptr<platform::SoundEffect> m_popAudioPlayer;
  std::unique_ptr<platform::LocalEventMonitor> m_eventMonitor;
};

}  // namespace tessra
