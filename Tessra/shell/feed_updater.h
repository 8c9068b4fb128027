// The update controller on Linux: reads a JSON feed, {"version": "1.2.0", "url": "https://..."},
// and tells the user of a newer version than the running one. It never downloads or installs:
// the package manager does that.
//
//   auto options = FeedUpdater::optionsFromEnvironment();  // TESSRA_UPDATE_FEED_URL
//   if (options) updater = new FeedUpdater(*options, delegate, parent);
//
// Scheduled checks run after `firstCheckDelay` and then every `checkInterval`; a newer version
// found then is shown in a window that does not take the focus (the delegate adds its badge and
// notification). A check the user asks for brings an open update window forward, or checks and
// shows what it found: the update, "up to date" or the failure. Without a feed there is no
// controller at all. GUI thread only; the feed is read on the URL loader's worker.
#pragma once

#include <QPointer>
#include <QTimer>

#include <chrono>
#include <expected>
#include <memory>
#include <optional>
#include <string_view>

#include "Tessra/shell/update_window.h"
#include "Tessra/shell/updater.h"

namespace tessra {

namespace platform {
class UrlSession;
}

class FeedUpdater final : public UpdaterController {
  Q_OBJECT

 public:
  static constexpr const char* kFeedVariable = "TESSRA_UPDATE_FEED_URL";

  struct Options {
    QUrl feedUrl;
    QString currentVersion;
    std::chrono::milliseconds firstCheckDelay = std::chrono::minutes(1);
    std::chrono::milliseconds checkInterval = std::chrono::hours(24);
  };

  // The feed named by TESSRA_UPDATE_FEED_URL and the program's version; nothing when the
  // variable is unset or names no http or https address.
  static std::optional<Options> optionsFromEnvironment();

  // The version and link a feed's body names; the reason, for the user, when it names none.
  static std::expected<UpdateItem, QString> readFeed(std::string_view body);

  // True when `candidate` is a later version than `current` ("1.10" after "1.9"; missing parts
  // count as 0).
  static bool isNewer(const QString& candidate, const QString& current);

  // Starts the schedule at once; `delegate` must outlive the controller.
  FeedUpdater(Options options, UpdaterDelegate* delegate, QObject* parent = nullptr);
  ~FeedUpdater() override;

  void checkForUpdates() override;
  bool canCheckForUpdates() const override;

  // The open update window, if any.
  UpdateWindow* window() const { return m_window; }

 private:
  void scheduleCheck(std::chrono::milliseconds delay);
  void check(bool userInitiated);
  void finishCheck(bool userInitiated, std::optional<UpdateItem> update, QString failure);
  void showWindow(bool userInitiated, const std::function<void(UpdateWindow&)>& fill,
                  const std::optional<UpdateItem>& update);
  void setChecking(bool checking);

  Options m_options;
  UpdaterDelegate* m_delegate;
  std::unique_ptr<platform::UrlSession> m_session;
  QTimer m_schedule;
  QPointer<UpdateWindow> m_window;
  bool m_checking = false;
};

}  // namespace tessra
