// The first-start onboarding: a small window "Welcome" that leads through four pages (welcome,
// the side panel, conversations, launch at login) with back, next and finish buttons.
//
// While shown, the window counts on the taskbar. Finishing emits `startRequested()` (the program
// proper starts) and closes the window without a question. Closing the window by its close button
// asks "Are you sure?": OK quits the program, Cancel keeps the window on its page. A close by the
// program (the application quitting) asks nothing. The caller records that the onboarding was shown
// before showing it, so it appears once, also when it is left by quitting. GUI thread only.
#pragma once

#include <QWidget>

class QAbstractButton;
class QVBoxLayout;

namespace tessra::platform {
class WindowFrame;
}

namespace tessra {

enum class OnboardingPages { welcome, alwaysOn, multipleConversations, launchAtLogin };

// The paged content: exactly 460 × 540.
class OnboardingView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 460;
  static constexpr int kHeight = 540;

  explicit OnboardingView(QWidget* parent = nullptr);

  OnboardingPages currentPage() const { return m_currentPage; }
  void nextPage();
  void previousPage();

  // Null where the current page has no such button.
  QAbstractButton* backButton() const { return m_back; }
  QAbstractButton* nextButton() const { return m_next; }
  QAbstractButton* finishButton() const { return m_finish; }
  // The current page's content.
  QWidget* pageContent() const { return m_content; }

 signals:
  void currentPageChanged(tessra::OnboardingPages page);
  // The finish button was clicked.
  void startRequested();

 private:
  void showPage();

  OnboardingPages m_currentPage = OnboardingPages::welcome;
  QVBoxLayout* m_pageArea = nullptr;
  QWidget* m_content = nullptr;
  QWidget* m_navigation = nullptr;
  QAbstractButton* m_back = nullptr;
  QAbstractButton* m_next = nullptr;
  QAbstractButton* m_finish = nullptr;
};

// The window: as large as the pages, and no larger than its screen's work area, in which it then
// scrolls them. Its frame counts: whenever the window manager's frame becomes known or changes,
// the window is fitted and centred again, frame included.
class Onboarding : public QWidget {
  Q_OBJECT

 public:
  explicit Onboarding(QWidget* parent = nullptr);

  // Lets the shell's first start build the window.
  static void registerWindow();

  OnboardingView* view() const { return m_view; }
  // Starts the program and closes the window, without asking.
  void finish();

 signals:
  // The user finished the onboarding: the program proper starts.
  void startRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Accepts the close and takes the window off the taskbar count.
  void accept(QCloseEvent* event);
  // Shrinks the window, frame included as far as it is known, to its screen's work area.
  void fitWorkArea();
  // Fits and centres the window in its frame.
  void frameChanged();

  OnboardingView* m_view = nullptr;
  platform::WindowFrame* m_frame = nullptr;
  bool m_finishing = false;
  // Whether the window counts on the taskbar now.
  bool m_counted = false;
};

}  // namespace tessra
