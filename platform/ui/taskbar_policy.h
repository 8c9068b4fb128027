// Whether the program shows in the taskbar, and which of its windows do.
//
// The program lives in the tray: its panel and side button are overlay windows the taskbar never
// lists. Windows that need a taskbar entry while they are open (onboarding, settings, the update
// window) count themselves in and out; they are normal windows. Every other window of the
// program is kept off the taskbar with `keepOffTaskbar`.
//
//   TaskbarPolicy::shared().countUp();    // a counted window opens: regular
//   TaskbarPolicy::shared().countDown();  // never below 0; at 0 the policy is accessory again
//
// GUI thread only.
#pragma once

#include <QObject>

class QWidget;

namespace tessra::platform {

class TaskbarPolicy final : public QObject {
  Q_OBJECT

 public:
  enum class Policy { accessory, regular };

  static TaskbarPolicy& shared();

  int openWindowCount() const { return m_count; }
  Policy policy() const { return m_policy; }

  // The policy becomes regular, then the count grows by 1.
  void countUp();
  // The count shrinks by 1 but never below 0; when the old count minus 1 is below 1 the policy
  // becomes accessory (also when it already was).
  void countDown();

  // Asks the window manager not to list `window` in the taskbar or pager. Call it before the
  // window is first shown.
  static void keepOffTaskbar(QWidget* window);

 signals:
  void policyChanged(tessra::platform::TaskbarPolicy::Policy policy);

 private:
  using QObject::QObject;
  void setPolicy(Policy policy);

  int m_count = 0;
  Policy m_policy = Policy::accessory;
};

}  // namespace tessra::platform
