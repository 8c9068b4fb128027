// `SettingsWindow`: the settings window, a normal titled window of 716 × 522 around a
// `SettingsView`, whose title follows the selected page.
//
// At most one exists: `present()` raises the open one, or builds a new one (on General) and
// centres it in its screen's available area. Closing it deletes it, so the next one starts
// afresh. When it becomes the active window it closes the floating chat panel, so the two never
// stand over each other. GUI thread only.
#pragma once

#include <QWidget>

#include <functional>

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

  // The open settings window, else null.
  static SettingsWindow* current();
  // Raises the open window, or makes, centres and shows a new one; returns it.
  static SettingsWindow* present();

  // What becoming active closes (the chat panel); set once by the shell.
  static void setOnBecameKey(std::function<void()> action);

  SettingsView* view() const { return m_view; }

 protected:
  bool event(QEvent* event) override;

 private:
  SettingsView* m_view = nullptr;
};

}  // namespace tessra
