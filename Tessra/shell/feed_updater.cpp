#include "Tessra/shell/feed_updater.h"

#include <QMetaObject>

#include <cstddef>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "Tessra/shell/app_version.h"
#include "Tessra/shell/update_window.h"
#include "platform/foundation/logger.h"
#include "platform/foundation/url_session.h"

namespace tessra {
namespace {

struct FeedResult {
  std::optional<UpdateItem> update;
  QString failure;
};

FeedResult parseFeed(const Result<platform::UrlData>& answer) {
  if (!answer) return {std::nullopt, QString::fromStdString(describe(answer.error()))};
  if (!answer->response.isSuccess())
    return {std::nullopt,
            QStringLiteral("The update feed answered HTTP %1.").arg(answer->response.statusCode)};
  auto update = FeedUpdater::readFeed(
      std::string_view(reinterpret_cast<const char*>(answer->body.data()), answer->body.size()));
  if (!update) return {std::nullopt, update.error()};
  return {std::move(*update), {}};
}

}  // namespace

std::expected<UpdateItem, QString> FeedUpdater::readFeed(std::string_view body) {
  const auto feed = nlohmann::json::parse(body, nullptr, false);
  if (!feed.is_object() || !feed.contains("version") || !feed["version"].is_string() ||
      !feed.contains("url") || !feed["url"].is_string())
    return std::unexpected(QStringLiteral("The update feed is not a version with a link."));
  const QUrl url(QString::fromStdString(feed["url"].get<std::string>()), QUrl::StrictMode);
  if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http"))
    return std::unexpected(QStringLiteral("The update feed's link is not a web address."));
  return UpdateItem{QString::fromStdString(feed["version"].get<std::string>()), url};
}

std::optional<FeedUpdater::Options> FeedUpdater::optionsFromEnvironment() {
  const char* feed = std::getenv(kFeedVariable);
  if (feed == nullptr || *feed == '\0') return std::nullopt;
  const QUrl url(QString::fromUtf8(feed), QUrl::StrictMode);
  if (!url.isValid() || (url.scheme() != u"https" && url.scheme() != u"http")) {
    platform::logError("{} is no http or https address; updates are not checked", kFeedVariable);
    return std::nullopt;
  }
  return Options{.feedUrl = url, .currentVersion = QString::fromLatin1(app_version::kVersion)};
}

bool FeedUpdater::isNewer(const QString& candidate, const QString& current) {
  const QStringList a = candidate.trimmed().split(u'.');
  const QStringList b = current.trimmed().split(u'.');
  for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
    const int left = i < a.size() ? a[i].toInt() : 0;
    const int right = i < b.size() ? b[i].toInt() : 0;
    if (left != right) return left > right;
  }
  return false;
}

FeedUpdater::FeedUpdater(Options options, UpdaterDelegate* delegate, QObject* parent)
    : UpdaterController(parent),
      m_options(std::move(options)),
      m_delegate(delegate),
      m_session(std::make_unique<platform::UrlSession>()) {
  m_schedule.setSingleShot(true);
  connect(&m_schedule, &QTimer::timeout, this, [this] {
    check(false);
    scheduleCheck(m_options.checkInterval);
  });
  scheduleCheck(m_options.firstCheckDelay);
}

FeedUpdater::~FeedUpdater() {
  if (!m_window) return;
  m_window->disconnect(this);
  delete m_window.data();
}

bool FeedUpdater::canCheckForUpdates() const { return !m_checking; }

void FeedUpdater::scheduleCheck(std::chrono::milliseconds delay) {
  m_delegate->updaterWillScheduleUpdateCheck();
  m_schedule.start(delay);
}

void FeedUpdater::checkForUpdates() {
  if (m_window && m_window->update()) {
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_delegate->standardUserDriverDidReceiveUserAttention(*m_window->update());
    return;
  }
  check(true);
}

void FeedUpdater::setChecking(bool checking) {
  if (checking == m_checking) return;
  m_checking = checking;
  emit canCheckForUpdatesChanged(!checking);
}

void FeedUpdater::check(bool userInitiated) {
  if (m_checking) return;
  setChecking(true);
  const QPointer<FeedUpdater> self(this);
  platform::UrlRequest request{.url = m_options.feedUrl.toString().toStdString()};
  request.idleTimeout = std::chrono::seconds(30);
  request.followRedirects = true;
  // The feed is a record of two short fields.
  request.maximumBodySize = std::size_t{1} << 20;
  m_session
      ->dataTask(request,
                 [self, userInitiated](Result<platform::UrlData> answer) {
                   FeedResult result = parseFeed(answer);
                   QMetaObject::invokeMethod(
                       self.data(),
                       [self, userInitiated, result = std::move(result)] {
                         if (self) self->finishCheck(userInitiated, result.update, result.failure);
                       },
                       Qt::QueuedConnection);
                 })
      .resume();
}

void FeedUpdater::finishCheck(bool userInitiated, std::optional<UpdateItem> update,
                              QString failure) {
  setChecking(false);
  if (!failure.isEmpty()) {
    platform::logError("Update check failed: {}", failure.toStdString());
    if (userInitiated)
      showWindow(
          true, [&](UpdateWindow& window) { window.showFailure(failure); }, std::nullopt);
    return;
  }
  if (!update || !isNewer(update->displayVersionString, m_options.currentVersion)) {
    if (userInitiated)
      showWindow(
          true, [&](UpdateWindow& window) { window.showUpToDate(m_options.currentVersion); },
          std::nullopt);
    return;
  }
  showWindow(
      userInitiated, [&](UpdateWindow& window) { window.showUpdate(*update); }, update);
}

void FeedUpdater::showWindow(bool userInitiated, const std::function<void(UpdateWindow&)>& fill,
                             const std::optional<UpdateItem>& update) {
  if (m_window && m_window->update() && update) {
    // The session is open already: it shows the latest find.
    fill(*m_window);
    return;
  }
  delete m_window.data();
  m_window = new UpdateWindow;
  fill(*m_window);
  if (update) {
    m_delegate->standardUserDriverWillHandleShowingUpdate(*update, {userInitiated});
    const UpdateItem item = *update;
    connect(m_window, &UpdateWindow::attended, this,
            [this, item] { m_delegate->standardUserDriverDidReceiveUserAttention(item); });
    connect(m_window, &QObject::destroyed, this,
            [this] { m_delegate->standardUserDriverWillFinishUpdateSession(); });
  }
  // A scheduled find waits behind the user's work; the badge and notification point to it.
  m_window->setAttribute(Qt::WA_ShowWithoutActivating, !userInitiated);
  m_window->show();
  if (userInitiated) {
    m_window->raise();
    m_window->activateWindow();
  }
}

}  // namespace tessra
