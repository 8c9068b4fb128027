#include "Tessra/chat_window/messages_web_view.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QThread>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <algorithm>
#include <cmath>

#include "Tessra/chat_window/attachment_files.h"
#include "Tessra/chat_window/messages_page.h"
#include "Tessra/chat_window/page_bridge.h"
#include "Tessra/chat_window/page_script.h"
#include "Tessra/chat_window/page_texts.h"
#include "Tessra/shell/config.h"
#include "Tessra/storage/chat_session_manager.h"
#include "Tessra/storage/notification_names.h"
#include "Tessra/storage/paths.h"
#include "Tessra/storage/user_settings.h"
#include "Tessra/ui_foundation/palette.h"
#include "platform/foundation/json.h"
#include "platform/foundation/logger.h"
#include "platform/ui/animations.h"
#include "platform/ui/url_opener.h"

namespace tessra {

namespace {

constexpr auto kPageResource = ":/page/MessagesWebView.html";
constexpr auto kPageWorldScript = ":/page/bridge/page_world.js";
constexpr auto kChannelWorldScript = ":/page/bridge/channel_world.js";
constexpr auto kWebChannelScript = ":/qtwebchannel/qwebchannel.js";
constexpr std::string_view kTextsPlaceholder = "/*PAGE_TEXTS*/null";
// One frame at 60 Hz: the shortest time between two batches of script calls.
constexpr qint64 kFrameMilliseconds = 16;
// A batch of edits alone (a growing answer) waits this long after the last batch: each showing
// costs the page a frame, and ten a second read as smoothly as sixty.
constexpr qint64 kEditMilliseconds = 100;
// A renderer that ends this soon after the page loaded again, this many times in a row, ends for
// what the page shows: loading it again would only repeat.
constexpr qint64 kQuickRendererEndMilliseconds = 10000;
constexpr int kQuickRendererEndsToGiveUp = 3;
// The page's text that says no program opens a file.
constexpr std::string_view kCannotOpenFileText = "cannotOpenFile";
constexpr std::string_view kCannotOpenLinkText = "cannotOpenLink";
// The page's text that says an image offered as an attachment could not be read.
constexpr std::string_view kImageNotAttachedText = "imageNotAttached";

// The widths of the window-size steps above the smallest, in points.

QString resourceText(const char* path) {
  QFile file(QString::fromUtf8(path));
  if (!file.open(QIODevice::ReadOnly)) {
    platform::logError("The message page resource \"{}\" is missing", path);
    return {};
  }
  return QString::fromUtf8(file.readAll());
}

QWebEngineScript documentStartScript(const QString& name, const QString& source, quint32 worldId) {
  QWebEngineScript script;
  script.setName(name);
  script.setSourceCode(source);
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setRunsOnSubFrames(true);
  script.setWorldId(worldId);
  return script;
}

std::string stringField(const QJsonObject& body, const char* key, const char* fallback) {
  const QJsonValue value = body.value(QLatin1String(key));
  return value.isString() ? value.toString().toStdString() : std::string(fallback);
}

}  // namespace

QUrl MessagesWebView::pageUrl() { return QUrl(QStringLiteral("qrc:/page/MessagesWebView.html")); }

double MessagesWebView::floatingWindowWidth() {
  return Config::floatingWindowSize(
             rawValue(UserSettings::shared().value(setting::floatingWindowSize)))
      .width();
}

MessagesWebView::MessagesWebView(ChatSource source, ChatViewSignals& hub, QWidget* parent)
    // The attachment scheme must be known before the browser starts with the first view.
    : QWebEngineView((AttachmentSchemeHandler::registerScheme(), parent)),
      m_source(source),
      m_signals(hub),
      m_page(new MessagesPage(pageUrl(), this)),
      m_channel(new QWebChannel(this)),
      m_bridge(new PageBridge(this)) {
  setPage(m_page);
  QWebEngineProfile* profile = m_page->profile();
  if (!profile->urlSchemeHandler(AttachmentSchemeHandler::kScheme))
    profile->installUrlSchemeHandler(AttachmentSchemeHandler::kScheme,
                                     new AttachmentSchemeHandler(profile));
  // The page's own background, opaque, so nothing white flashes before the page has drawn. Not
  // transparent: a translucent view is blended over the window after everything else, and its
  // first frame stays unseen until something repaints the view; a window that is mapped once
  // (an overlay, any window without a window manager) would show no page until a click or a key.
  m_page->setBackgroundColor(palette::background());
  // A drop on the messages is the chat's (a pending attachment), never the page's: the browser
  // would open a dropped file in place of the page.
  setAcceptDrops(false);
  installScripts();
  m_channel->registerObject(QStringLiteral("handler"), m_bridge);
  m_page->setWebChannel(m_channel, QWebEngineScript::ApplicationWorld);
  connect(m_bridge, &PageBridge::posted, this, &MessagesWebView::handlePosted);
  connect(this, &QWebEngineView::loadFinished, this, &MessagesWebView::pageFinishedLoading);
  connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
          &MessagesWebView::renderProcessEnded);
  connect(m_page, &MessagesPage::linkNotOpened, this,
          [this] { evaluate(page_script::showNotice(kCannotOpenLinkText)); });

  m_flushTimer.setSingleShot(true);
  m_flushTimer.setTimerType(Qt::PreciseTimer);
  connect(&m_flushTimer, &QTimer::timeout, this, &MessagesWebView::flush);

  if (QFile::exists(QString::fromUtf8(kPageResource))) load(pageUrl());

  m_resizeObserver = platform::NotificationCenter::defaultCenter().addObserver(
      std::string(notification_names::kWillResizeGptWindow), [this](const platform::Notification&) {
        if (m_source == ChatSource::master) applyPageWidth();
      });
  // Direct, so that an update sent on another thread is seen there and moved over by `apply`.
  connect(&m_signals, &ChatViewSignals::messageUpdates, this, &MessagesWebView::apply,
          Qt::DirectConnection);
}

MessagesWebView::~MessagesWebView() {
  // The page, destroyed after this body with the view's children, still answers the batch in
  // flight and reports its renderer's end: both must find the view gone by then.
  m_alive.reset();
  m_page->disconnect(this);
}

void MessagesWebView::installScripts() {
  // The page's world gets the functions the page calls and the texts it shows; the channel to
  // the program lives in a world of its own, out of reach of anything the page runs.
  QString pageWorld = resourceText(kPageWorldScript);
  const std::string texts = platform::encodeJson(messagePageTexts());
  pageWorld.replace(QString::fromUtf8(kTextsPlaceholder.data(), kTextsPlaceholder.size()),
                    QString::fromStdString(texts));
  const QString channelWorld =
      resourceText(kWebChannelScript) + u'\n' + resourceText(kChannelWorldScript);
  m_page->scripts().insert(documentStartScript(QStringLiteral("tessra-page-world"), pageWorld,
                                               QWebEngineScript::MainWorld));
  m_page->scripts().insert(documentStartScript(QStringLiteral("tessra-channel-world"), channelWorld,
                                               QWebEngineScript::ApplicationWorld));
}

void MessagesWebView::setSessionID(const std::string& sessionID) {
  const std::string previous = std::exchange(m_sessionID, sessionID);
  sessionChanged(previous);
}

void MessagesWebView::setMessages(std::vector<ChatMessage> messages) {
  m_messages = std::move(messages);
}

void MessagesWebView::sessionChanged(const std::string& previous) {
  if (m_sessionID == previous || m_sessionID.empty()) return;
  setIsEmptyLater(false);
  if (m_pageDidLoad) evaluate(page_script::showLoading(true));

  auto& store = ChatSessionManager::shared();
  std::string failure = "it is not in the store";
  try {
    store.loadSession(m_sessionID, true);
  } catch (const std::exception& e) {
    failure = e.what();
  }
  const ChatSession* session = store.session(m_sessionID);
  if (session == nullptr) {
    platform::logError("The conversation \"{}\" cannot be shown: {}", m_sessionID, failure);
    m_sessionWaitingToBeRestored.reset();
    // The previous conversation's messages must not stand under this one's name.
    if (m_pageDidLoad) restore(ChatSession{}, false);
    return;
  }
  if (m_pageDidLoad) {
    restore(*session, m_source == ChatSource::master);
  } else {
    m_sessionWaitingToBeRestored = m_sessionID;
  }
  setIsEmptyLater(session->messages.empty());
}

void MessagesWebView::pageFinishedLoading(bool ok) {
  if (m_pageDidLoad) return;
  if (!ok || url() != pageUrl()) {
    platform::logError("The message page did not load ({})", url().toDisplayString().toStdString());
    return;
  }
  m_pageDidLoad = true;
  // A renderer's quick end counts from the load, not from the start of it: on a busy machine the
  // load alone outlasts the quick span, and a renderer that ends at each load would start forever.
  if (m_sinceReload.isValid()) m_sinceReload.restart();
  evaluate(page_script::setLocale(rawValue(UserSettings::shared().value(setting::appLanguage))));
  if (!platform::animationsEnabled()) evaluate(page_script::setAnimationsEnabled(false));

  const auto waiting = std::exchange(m_sessionWaitingToBeRestored, std::nullopt);
  if (!m_messages.empty()) {
    restore(ChatSession{"", "", m_messages}, false);
  } else if (waiting) {
    // The store's copy now, not the one of the assignment: what was sent meanwhile is in it.
    if (const ChatSession* session = ChatSessionManager::shared().session(*waiting))
      restore(*session, m_source == ChatSource::master);
  }
  if (m_source == ChatSource::master) applyPageWidth();
}

void MessagesWebView::renderProcessEnded(QWebEnginePage::RenderProcessTerminationStatus status,
                                         int exitCode) {
  // What the page held and what waited for it are gone with it; the page shows the store's copy
  // once it has loaded again.
  m_pending.clear();
  m_shown.reset();
  m_flushTimer.stop();
  m_batchInFlight = false;
  ++m_pageGeneration;
  if (m_pageDidLoad && !m_sessionID.empty()) m_sessionWaitingToBeRestored = m_sessionID;
  m_pageDidLoad = false;

  const bool quick =
      m_sinceReload.isValid() && m_sinceReload.elapsed() < kQuickRendererEndMilliseconds;
  m_quickRendererEnds = quick ? m_quickRendererEnds + 1 : 0;
  if (m_quickRendererEnds >= kQuickRendererEndsToGiveUp) {
    platform::logError(
        "The message page's renderer ended again (status {}, exit code {}); the page stays "
        "empty",
        static_cast<int>(status), exitCode);
    return;
  }
  platform::logError(
      "The message page's renderer ended (status {}, exit code {}); the page loads again",
      static_cast<int>(status), exitCode);
  m_sinceReload.start();
  load(pageUrl());
}

void MessagesWebView::restore(const ChatSession& session, bool scrollToEnd) {
  evaluate(page_script::restoreMessages(session, scrollToEnd));
}

void MessagesWebView::setIsEmptyLater(bool isEmpty) {
  QMetaObject::invokeMethod(
      this,
      [this, isEmpty] {
        m_isEmpty = isEmpty;
        emit isEmptyChanged(isEmpty);
      },
      Qt::QueuedConnection);
}

void MessagesWebView::applyPageWidth() {
  const double width = floatingWindowWidth();
  if (m_preferredWidth == width) return;
  m_preferredWidth = width;
  setFixedWidth(static_cast<int>(std::lround(width)));
  updateGeometry();
}

void MessagesWebView::apply(const MessageUpdate& update) {
  if (QThread::currentThread() != thread()) {
    QMetaObject::invokeMethod(
        this, [this, update] { apply(update); }, Qt::QueuedConnection);
    return;
  }
  if (!m_pageDidLoad) {
    platform::logDebug(
        "A message update came before the message page loaded; the page shows "
        "the stored conversation instead");
    return;
  }
  if (const auto* edit = std::get_if<MessageUpdate::EditMessage>(&update.value)) {
    evaluateEdit(edit->message);
    return;
  }
  if (const auto* append = std::get_if<MessageUpdate::AppendMessage>(&update.value)) {
    evaluate(page_script::forUpdate(update), append->message);
    return;
  }
  evaluate(page_script::forUpdate(update));
}

void MessagesWebView::evaluate(std::string script, std::optional<ChatMessage> shows) {
  m_pending.push_back({std::move(script), std::nullopt, std::move(shows)});
  scheduleFlush();
}

void MessagesWebView::evaluateEdit(const ChatMessage& message) {
  // Only an edit right behind an edit of the same message is merged, so no update ever moves
  // past another.
  if (!m_pending.empty() && m_pending.back().edit && m_pending.back().edit->id == message.id) {
    m_pending.back().edit = message;
    return;
  }
  m_pending.push_back({std::string(), message, std::nullopt});
  scheduleFlush();
}

std::string MessagesWebView::scriptFor(PendingScript& pending) {
  const auto keep = [this](ChatMessage message) {
    std::string answer = std::exchange(message.answer, {});
    m_shown = ShownMessage{std::move(message), std::move(answer)};
  };
  if (!pending.edit) {
    // Any other call may change what the page holds: the next edit is sent whole.
    m_shown.reset();
    if (pending.shows) keep(std::move(*pending.shows));
    return std::move(pending.script);
  }
  ChatMessage& message = *pending.edit;
  std::string answer = std::exchange(message.answer, {});
  const std::size_t shownSize = m_shown ? m_shown->answer.size() : 0;
  // The new end must begin on a whole character, as the page reads each call's text apart.
  const bool grows = m_shown && m_shown->withoutAnswer == message && answer.size() >= shownSize &&
                     answer.starts_with(m_shown->answer) &&
                     (answer.size() == shownSize ||
                      (static_cast<unsigned char>(answer[shownSize]) & 0xC0) != 0x80);
  if (grows) {
    std::string script =
        page_script::appendToAnswer(message.id, std::string_view(answer).substr(shownSize));
    m_shown->answer = std::move(answer);
    return script;
  }
  message.answer = std::move(answer);
  std::string script = page_script::forUpdate(MessageUpdate::editMessage(message));
  keep(std::move(message));
  return script;
}

void MessagesWebView::scheduleFlush() {
  if (m_batchInFlight || m_flushTimer.isActive() || m_pending.empty()) return;
  const bool onlyEdits = std::ranges::all_of(
      m_pending, [](const PendingScript& pending) { return pending.edit.has_value(); });
  const qint64 interval = onlyEdits ? kEditMilliseconds : kFrameMilliseconds;
  const qint64 sinceLast = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : interval;
  m_flushTimer.start(static_cast<int>(std::max<qint64>(0, interval - sinceLast)));
}

void MessagesWebView::flush() {
  if (m_batchInFlight || m_pending.empty()) return;
  auto batch = std::exchange(m_pending, {});
  m_batchInFlight = true;
  m_sinceFlush.restart();
  const auto text = [this](PendingScript& pending) {
    return QString::fromStdString(scriptFor(pending));
  };
  for (std::size_t i = 0; i + 1 < batch.size(); ++i) m_page->runJavaScript(text(batch[i]));
  // The page answers the last call after it has run every call of the batch.
  m_page->runJavaScript(text(batch.back()), [self = this, alive = std::weak_ptr<void>(m_alive),
                                             generation = m_pageGeneration](const QVariant&) {
    if (alive.expired() || generation != self->m_pageGeneration) return;
    self->m_batchInFlight = false;
    self->scheduleFlush();
  });
}

void MessagesWebView::handlePosted(const QJsonValue& body) {
  if (m_page->url() != pageUrl()) {
    platform::logError("Ignored a message from \"{}\", which is not the message page",
                       m_page->url().toDisplayString().toStdString());
    return;
  }
  if (!body.isObject()) return;
  const QJsonObject object = body.toObject();
  const std::string type = stringField(object, "type", "none");
  if (type == "show_message") {
    emit showMessageRequested(m_sessionID, stringField(object, "id", "0"));
  } else if (type == "delete_message") {
    emit deleteMessageRequested(stringField(object, "id", "0"));
  } else if (type == "open_file") {
    openFile(QString::fromStdString(stringField(object, "path", "")));
  } else {
    platform::logInfo("todo handle this action: {}",
                      QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString());
  }
}

void MessagesWebView::tellImageNotAttached() {
  evaluate(page_script::showNotice(kImageNotAttachedText));
}

void MessagesWebView::openFile(const QString& path) {
  const auto file = attachmentFilePath(QUrl(path, QUrl::StrictMode), "open the file");
  if (!file) return;
  platform::openFileExternally(*file, [self = QPointer<MessagesWebView>(this)] {
    if (self) self->evaluate(page_script::showNotice(kCannotOpenFileText));
  });
}

void MessagesWebView::contextMenuEvent(QContextMenuEvent* event) {
  event->accept();
  if (!m_page->hasSelection()) return;
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->addAction(m_page->action(QWebEnginePage::Copy));
  menu->popup(event->globalPos());
}

}  // namespace tessra
