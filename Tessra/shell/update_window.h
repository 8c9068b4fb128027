// The window that tells the user of a newer version (or that there is none, or that the check
// failed), with a button that opens the version's page. It has a taskbar entry while it is open.
#pragma once

#include <QDialog>
#include <optional>

#include "Tessra/shell/updater.h"

class QLabel;
class QPushButton;

namespace tessra {

class UpdateWindow final : public QDialog {
  Q_OBJECT

 public:
  explicit UpdateWindow(QWidget* parent = nullptr);

  // A newer version: its number and a button to its page.
  void showUpdate(const UpdateItem& update);
  // No newer version than `currentVersion`.
  void showUpToDate(const QString& currentVersion);
  // The check failed for `reason`.
  void showFailure(const QString& reason);

  const std::optional<UpdateItem>& update() const { return m_update; }

 signals:
  // The window became the active window (the user turned to it).
  void attended();

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void setTexts(const QString& title, const QString& detail, bool canOpen);

  QLabel* m_title;
  QLabel* m_detail;
  QPushButton* m_open;
  std::optional<UpdateItem> m_update;
};

}  // namespace tessra
