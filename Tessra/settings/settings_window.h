// `SettingsWindow`: the settings window, a normal titled window of 716 × 522 around a
// `SettingsView`, whose title follows the selected page.
//
// The shell's openers (the tray, the chat window's gear) show it through `showSettingsWindow()`,
// which raises the open one or builds a new one (on General), centred in its screen's work area;
// `registerWindow()` hands them the way to build it. Closing it deletes it, so the next one starts
// afresh. While open it counts on the taskbar. When it becomes the active window it closes the
// floating chat panel, so the two never stand over each other. GUI thread only.
#pragma once

#include <QWidget>

namespace tessra {

class SettingsView;

class SettingsWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kIdentifier = "settings";
  static constexpr int kWidth = 716;
  static constexpr int kHeight = 522;
  static constexpr int kMinimumHeight = 470;

  SettingsWindow();
  ~SettingsWindow() override;

  // Lets the shell's openers build the window.
  static void registerWindow();
  // The open settings window, else null.
  static SettingsWindow* current();

  SettingsView* view() const { return m_view; }
  QSize sizeHint() const override { return {kWidth, kHeight}; }

 protected:
  bool event(QEvent* event) override;

 private:
  SettingsView* m_view = nullptr;
};

}  // namespace tessra
