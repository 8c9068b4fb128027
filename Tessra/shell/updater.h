// Software updates as the program sees them: a controller that checks for updates on its own
// schedule and when the user asks, and the delegate it reports to.
//
// On Linux the software comes from the package manager, so the controller only tells: it reads
// a feed, shows the newer version in a window of its own with a link to it, and never downloads
// or installs anything (see `FeedUpdater`).
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

namespace tessra {

// One update found in the feed.
struct UpdateItem {
  QString displayVersionString;
  QUrl url;

  bool operator==(const UpdateItem&) const = default;
};

// How the update window came to be shown.
struct UserUpdateState {
  // False for a scheduled (background) check.
  bool userInitiated = false;
};

class UpdaterDelegate {
 public:
  virtual ~UpdaterDelegate() = default;
  // A scheduled check is about to be planned.
  virtual void updaterWillScheduleUpdateCheck() {}
  // Whether the delegate shows its own reminders for updates a scheduled check finds.
  virtual bool supportsGentleScheduledUpdateReminders() const { return false; }
  // The update window is about to be shown for `update`.
  virtual void standardUserDriverWillHandleShowingUpdate(const UpdateItem& update,
                                                         const UserUpdateState& state) = 0;
  // The user has turned to the update (brought its window forward or checked again).
  virtual void standardUserDriverDidReceiveUserAttention(const UpdateItem& update) = 0;
  // The update window has closed.
  virtual void standardUserDriverWillFinishUpdateSession() = 0;
};

class UpdaterController : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

 public:
  using QObject::QObject;

  // A check the user asked for, with the controller's own windows.
  virtual void checkForUpdates() = 0;
  // True while a check may be started.
  virtual bool canCheckForUpdates() const = 0;

 signals:
  void canCheckForUpdatesChanged(bool canCheck);
};

}  // namespace tessra
