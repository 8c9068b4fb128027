// Small helpers for the program's windows: finding one by its identifier, centring one in its
// screen's work area, the settings window's single instance, and a chat window of its own.
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

namespace tessra {

// The first top-level window whose identifier (object name) is `identifier`, or nullptr.
QWidget* windowWithIdentifier(const QString& identifier);

// Moves `window` to the middle of the work area of the screen it is on (the screen under the
// pointer for a window not yet shown), origin included.
void centerInWorkArea(QWidget* window);

// The identifier of the settings window.
inline constexpr QStringView kSettingsWindowIdentifier = u"settings";

// Makes the settings window; set by the settings window's own code. Until one is set there is
// no settings window and `showSettingsWindow` does nothing.
void setSettingsWindowFactory(std::function<QWidget*()> factory);
bool hasSettingsWindow();
// Raises the open settings window, or makes one, centres it in its screen's work area and shows
// it. The window counts itself on the taskbar while open.
void showSettingsWindow();

// A chat in a window of its own, with a taskbar entry while it is shown.
class StandaloneChatWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit StandaloneChatWindow(QWidget* parent = nullptr);
  ~StandaloneChatWindow() override;

  // Centres the window, fades it in and counts it on the taskbar.
  void showWindow();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool m_counted = false;
};

}  // namespace tessra
