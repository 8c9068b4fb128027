// The settings window's small pages: About (the program's icon, name, version and build, and
// the update check), the placeholder every page without content of its own shows, and the
// Smart Text Selection page no sidebar row leads to.
//
// The About page's button follows the updater while the page is shown: the updater is any
// object with a `canCheckForUpdates` property that announces its changes and a
// `checkForUpdates()` slot; without one (no feed configured) the button stays disabled. None of
// the pages stores anything. GUI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace tessra {

class FlatButton;

class AboutSettingsView : public QWidget {
  Q_OBJECT

 public:
  // Over the program's own updater (none before the shell has made one), version and build.
  explicit AboutSettingsView(QWidget* parent = nullptr);
  AboutSettingsView(QObject* updater, const QString& version, const QString& build,
                    QWidget* parent = nullptr);

  FlatButton* checkForUpdatesButton() const { return m_check; }
  QLabel* versionLabel() const { return m_version; }
  QLabel* buildLabel() const { return m_build; }

 private slots:
  void readUpdater();

 private:
  void followUpdater();

  QPointer<QObject> m_updater;
  FlatButton* m_check = nullptr;
  QLabel* m_version = nullptr;
  QLabel* m_build = nullptr;
};

// "Soon 👀", a short message and a button to the product's web site.
class SettingsUnimplementedView : public QWidget {
  Q_OBJECT

 public:
  explicit SettingsUnimplementedView(QWidget* parent = nullptr);
  FlatButton* websiteButton() const { return m_website; }

 private:
  FlatButton* m_website = nullptr;
};

// A switch that starts off every time the page is built, and a greeting.
class SmartTextSelectionSettingsView : public QWidget {
  Q_OBJECT

 public:
  explicit SmartTextSelectionSettingsView(QWidget* parent = nullptr);
};

}  // namespace tessra
