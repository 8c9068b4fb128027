#include "Tessra/shell/floating_controller.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWindow>

#include <any>
#include <variant>

#include "Tessra/localized_text/localized_text.h"
#include "Tessra/shell/app_delegate.h"
#include "Tessra/shell/base_window.h"
#include "Tessra/shell/config.h"
#include "Tessra/shell/panel_notice.h"
#include "Tessra/shell/sounds.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/palette.h"
#include "Tessra/ui_foundation/plain_text.h"
#include "constraints/constrainable.h"
#include "platform/layout/constant_animation.h"
#include "platform/layout/view_layout.h"
#include "platform/ui/local_event_monitor.h"
#include "platform/ui/sound_effect.h"

namespace tessra {
namespace {

int g_promptKeyForwardingPauses = 0;

FloatingController::ChatViewFactory& chatViewFactory() {
  static FloatingController::ChatViewFactory factory;
  return factory;
}

FloatingController::PasteboardAttachmentReader& pasteboardAttachmentReader() {
  static FloatingController::PasteboardAttachmentReader reader;
  return reader;
}

// Stands in for the chat view until the chat window provides its own.
QWidget* makePlaceholderView(QWidget* parent) {
  auto* view = new QWidget(parent);
  view->setAutoFillBackground(true);
  QPalette colors = view->palette();
  colors.setColor(QPalette::Window, palette::background());
  view->setPalette(colors);
  auto* title = plainLabel(LocalizedText::General::tessraAI(), view);
  title->setAlignment(Qt::AlignCenter);
  QFont font = title->font();
  font.setPointSizeF(font.pointSizeF() * 1.6);
  title->setFont(font);
  auto* layout = new QVBoxLayout(view);
  layout->addWidget(title);
  return view;
}

QWidget* widgetOf(QWindow* window) {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->windowHandle() == window) return widget;
  return nullptr;
}

bool isTextInput(const QWidget* widget) {
  if (widget == nullptr) return false;
  if (const auto* combo = qobject_cast<const QComboBox*>(widget)) return combo->isEditable();
  return qobject_cast<const QLineEdit*>(widget) != nullptr ||
         qobject_cast<const QTextEdit*>(widget) != nullptr ||
         qobject_cast<const QPlainTextEdit*>(widget) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
         qobject_cast<const QKeySequenceEdit*>(widget) != nullptr;
}

bool isPrintable(const QString& text) {
  if (text.isEmpty()) return false;
  for (const QChar c : text)
    if (!c.isPrint() && !c.isSurrogate()) return false;
  return true;
}

// The notice's distance from the panel's edges.
constexpr int kNoticeMargin = 10;

constexpr Qt::KeyboardModifiers kBlockingModifiers =
    Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

void postInputText(const QString& text) {
  platform::NotificationCenter::defaultCenter().post(
      std::string(notification_names::kFocusOnPromptInput),
      {{std::string(notification_names::kInputedTextKey), text.toStdString()}});
}

}  // namespace

PromptKeyForwardingPause::PromptKeyForwardingPause() { ++g_promptKeyForwardingPauses; }
PromptKeyForwardingPause::~PromptKeyForwardingPause() { --g_promptKeyForwardingPauses; }
bool isPromptKeyForwardingEnabled() { return g_promptKeyForwardingPauses == 0; }

void FloatingController::setChatViewFactory(ChatViewFactory factory) {
  chatViewFactory() = std::move(factory);
}

void FloatingController::setPasteboardAttachmentReader(PasteboardAttachmentReader reader) {
  pasteboardAttachmentReader() = std::move(reader);
}

FloatingController::FloatingController(QWidget* parent)
    : QWidget(parent), m_popupPosition(UserSettings::shared().value(setting::popupPosition)) {
  m_container = new QWidget(this);
  m_containerTop = constraints::ConstrainableView(m_container).edgesToSuperview().front();

  const QPointer<FloatingController> self(this);
  auto recalculate = [self] {
    QMetaObject::invokeMethod(
        self.data(),
        [self] {
          if (self) self->recalculateSize();
        },
        Qt::QueuedConnection);
  };
  m_mainView = chatViewFactory() ? chatViewFactory()(m_container, recalculate)
                                 : makePlaceholderView(m_container);
  m_mainView->setParent(m_container);
  constraints::ConstrainableView mainView(m_mainView);
  mainView.width(m_container);
  mainView.height(m_container);

  m_counter = static_cast<int>(rawValue(UserSettings::shared().value(setting::floatingWindowSize)));
  m_popAudioPlayer = std::make_unique<platform::SoundEffect>(QUrl(sounds::popUrl()));
  // The padding changes the panel's height as the width step changes its width.
  UserSettings::shared().onValueChanged(setting::floatingWindowSize, this,
                                        &FloatingController::sizeDidChanged);
  UserSettings::shared().onValueChanged(setting::popupPadding, this,
                                        &FloatingController::sizeDidChanged);
  // A request to focus the controller focuses the chat view.
  setFocusProxy(m_mainView);
}

FloatingController::~FloatingController() = default;

void FloatingController::sizeDidChanged() {
  m_counter = static_cast<int>(rawValue(UserSettings::shared().value(setting::floatingWindowSize)));
  recalculateSize();
}

QRect FloatingController::panelFrame(QScreen* screen) const {
  return Config::floatingWindowFrame(m_counter, Config::Environment::current(screen));
}

void FloatingController::recalculateSize(QScreen* screen) {
  platform::NotificationCenter::defaultCenter().post(
      std::string(notification_names::kWillResizeGptWindow));
  const QRect frame = panelFrame(screen);
  QWidget* panel = window();
  if (panel == this || panel->geometry() == frame) return;
  panel->setGeometry(frame);
  platform::layoutSubtreeIfNeeded(this);
}

bool FloatingController::recalculateSizeIfMoved() {
  const QWidget* panel = window();
  if (panel == this || panel->geometry() == panelFrame(nullptr)) return false;
  recalculateSize();
  return true;
}

void FloatingController::animateIn() {
  if (m_isAnimating) return;
  m_isAnimating = true;
  const PopupPosition position = UserSettings::shared().value(setting::popupPosition);
  if (m_constraint && position == m_popupPosition) {
    // The same edge again: the slide's constraint only goes back to its start, and the layout
    // moves the view without building its system anew.
    m_constraint->setConstant(m_slideStart);
  } else {
    // From a frame of nothing, so that the view's other axis starts at the panel's origin and
    // not where the last slide towards another edge left it.
    m_mainView->setGeometry(QRect());
    m_popupPosition = position;
    if (m_constraint) m_constraint->setActive(false);
    m_constraint = Config::slideInConstraint(m_mainView, m_container, m_popupPosition);
    m_slideStart = m_constraint->constant();
    m_constraint->setActive(true);
  }
  platform::layoutSubtreeIfNeeded(this);
  startSlide(0, true, {});
  // The chat view owns the panel's shortcuts (Escape, Ctrl+K...): the keyboard goes into it, to
  // what it focused itself when it appeared (its prompt), never to the controller around it.
  if (!m_mainView->isAncestorOf(window()->focusWidget()))
    m_mainView->setFocus(Qt::ActiveWindowFocusReason);
  if (UserSettings::shared().value(setting::soundEffectEnabled)) m_popAudioPlayer->play();
}

void FloatingController::animateOut(std::function<void()> completion) {
  // The window holds back requests made during a slide until it ends.
  if (m_isAnimating) return;
  m_slidIn = false;
  updateNotice();
  if (!m_constraint) {
    if (completion) completion();
    return;
  }
  m_isAnimating = true;
  const QWidget* panel = window();
  const bool horizontalEdge =
      m_popupPosition == PopupPosition::left || m_popupPosition == PopupPosition::right;
  double offset = panel == this ? 0 : (horizontalEdge ? panel->width() : panel->height());
  if (m_popupPosition == PopupPosition::left || m_popupPosition == PopupPosition::top)
    offset = -offset;
  // Told before the slide starts: with animations off it ends at once, the panel hidden.
  platform::NotificationCenter::defaultCenter().post(
      std::string(notification_names::kWillHideGptWindow));
  startSlide(offset, false, std::move(completion));
}

void FloatingController::startSlide(double target, bool slidingIn,
                                    std::function<void()> completion) {
  // A slide of no duration ends within `start()`: its end runs before this returns.
  auto* animation = new platform::ConstantAnimation(
      m_constraint, target, Config::slideDuration(),
      slidingIn ? Config::slideInCurve() : Config::slideOutCurve(), this);
  m_animation = animation;
  connect(animation, &QAbstractAnimation::finished, this,
          [this, slidingIn, completion = std::move(completion)] {
            if (completion) completion();
            m_isAnimating = false;
            m_slidIn = slidingIn;
            updateNotice();
            emit slideFinished();
          });
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void FloatingController::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_eventMonitor) return;
  m_eventMonitor = std::make_unique<platform::LocalEventMonitor>(
      QList<QEvent::Type>{QEvent::KeyPress}, [this](QWindow* window, QEvent* event) {
        return handleKeyDown(window, static_cast<QKeyEvent*>(event))
                   ? platform::EventDisposition::swallow
                   : platform::EventDisposition::keep;
      });
  m_eventMonitor->start();
}

void FloatingController::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  m_eventMonitor.reset();
}

void FloatingController::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  updateNotice();
}

void FloatingController::showNotice(const QString& title, const QString& text) {
  if (m_notice == nullptr) {
    m_notice = new PanelNotice(this);
    m_notice->hide();
    connect(m_notice, &PanelNotice::dismissed, this, [this] {
      m_noticeWanted = false;
      updateNotice();
      emit noticeDismissed();
    });
  }
  m_notice->setTexts(title, text);
  m_noticeWanted = true;
  updateNotice();
}

void FloatingController::hideNotice() {
  m_noticeWanted = false;
  updateNotice();
}

void FloatingController::updateNotice() {
  if (m_notice == nullptr) return;
  // The notice takes a band of its own above the chat view, which it would otherwise cover
  // (the conversation's name, the first conversations of the side list), for as long as it is
  // wanted: the chat view slides in below it.
  const int width = this->width() - 2 * kNoticeMargin;
  const int height = m_notice->heightForWidth(width);
  const double band = m_noticeWanted ? height + 2 * kNoticeMargin : 0;
  if (m_containerTop->constant() != band) {
    m_containerTop->setConstant(band);
    platform::layoutSubtreeIfNeeded(this);
  }
  // Not while the chat view slides: the notice would hang over an empty panel.
  if (!m_noticeWanted || !m_slidIn || m_isAnimating) {
    m_notice->hide();
    return;
  }
  m_notice->setGeometry(kNoticeMargin, kNoticeMargin, width, height);
  m_notice->show();
}

bool FloatingController::handleKeyDown(QWindow* window, QKeyEvent* event) {
  const QWidget* target = widgetOf(window);
  if (target == nullptr) return false;
  // Only the panel's own stray typing goes to the prompt: every other window of ours (the
  // detached answer, the update window, dialogs, pop-ups) keeps its keys, so Space still presses
  // its focused button.
  if (target != this->window()) return false;
  if (QApplication::activeModalWidget() != nullptr) return false;
  if (!isPromptKeyForwardingEnabled()) return false;
  if (isTextInput(QApplication::focusWidget())) return false;
  // Space presses the button the keyboard is on (Tab took it there).
  if (event->key() == Qt::Key_Space &&
      qobject_cast<const QAbstractButton*>(QApplication::focusWidget()) != nullptr)
    return false;

  const Qt::KeyboardModifiers modifiers = event->modifiers();
  if ((modifiers & kBlockingModifiers) == 0) {
    if (!isPrintable(event->text())) return false;
    postInputText(event->text());
    return true;
  }
  if (event->key() == Qt::Key_V && (modifiers & kBlockingModifiers) == Qt::ControlModifier) {
    handlePaste();
    return true;
  }
  return false;
}

void FloatingController::handlePaste() {
  Paste paste = pasteboardAttachmentReader() ? pasteboardAttachmentReader()()
                                             : Paste{{}, QGuiApplication::clipboard()->text()};
  // The prompt takes the attachment, or tells that an image cannot be attached.
  std::any object;
  if (auto* attachment = std::get_if<ChatAttachment>(&paste.offer)) object = std::move(*attachment);
  if (auto* image = std::get_if<UnreadableImage>(&paste.offer)) object = std::move(*image);
  if (object.has_value()) {
    platform::NotificationCenter::defaultCenter().post(
        std::string(notification_names::kFocusOnPromptInput), nlohmann::json::object(),
        std::move(object));
    return;
  }
  if (!paste.text.isEmpty()) postInputText(paste.text);
}

}  // namespace tessra
