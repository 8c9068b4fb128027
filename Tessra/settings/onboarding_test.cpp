#include "Tessra/settings/onboarding.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "Tessra/settings/login_launch.h"
#include "Tessra/settings/settings_test_support.h"
#include "Tessra/ui_foundation/small_views.h"
#include "testing/qt_wait.h"
#include "testing/scoped_env.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

// Clicks the button titled `title` of the next message box that comes up.
void answerNextBox(const QString& title, bool* asked) {
  QTimer::singleShot(10, [title, asked] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) {
      answerNextBox(title, asked);
      return;
    }
    *asked = box->text() == "Are you sure?" &&
             box->informativeText() == "Closing this window will quit Tessra Ai.";
    for (QAbstractButton* button : box->buttons())
      if (button->text() == title) button->click();
  });
}

TEST(OnboardingTest, PagesGoForwardAndBackOneAtATime) {
  OnboardingView view;
  view.show();
  EXPECT_EQ(view.size(), QSize(460, 540));
  struct Step {
    OnboardingPages page;
    bool back;
    bool next;
    bool finish;
  };
  const Step pages[] = {
      {OnboardingPages::welcome, false, true, false},
      {OnboardingPages::alwaysOn, true, true, false},
      {OnboardingPages::multipleConversations, true, true, false},
      {OnboardingPages::launchAtLogin, true, false, true},
  };
  for (std::size_t i = 0; i < std::size(pages); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(view.currentPage(), pages[i].page);
    EXPECT_EQ(view.backButton() != nullptr, pages[i].back);
    EXPECT_EQ(view.nextButton() != nullptr, pages[i].next);
    EXPECT_EQ(view.finishButton() != nullptr, pages[i].finish);
    if (view.nextButton()) {
      view.nextButton()->click();
      ASSERT_EVENTUALLY(view.currentPage() != pages[i].page, 5000);
    }
  }
  // On the last page forward does nothing; back and forth leaves one page.
  view.nextPage();
  EXPECT_EQ(view.currentPage(), OnboardingPages::launchAtLogin);
  view.backButton()->click();
  ASSERT_EVENTUALLY_EQ(view.currentPage(), OnboardingPages::multipleConversations, 5000);
  view.previousPage();
  view.previousPage();
  view.previousPage();
  EXPECT_EQ(view.currentPage(), OnboardingPages::welcome);
  int shownPages = 0;
  for (QWidget* child : view.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (child->isVisible() && child != view.backButton()) ++shownPages;
  EXPECT_EQ(shownPages, 2);  // the page and the button bar
}

TEST(OnboardingTest, ThePanelPictureShowsTheEdgeIndicatorItsTextTalksAbout) {
  OnboardingView view;
  view.show();
  view.nextPage();
  const auto* picture = view.pageContent()->findChild<QLabel*>(QStringLiteral("pageImage"));
  ASSERT_NE(picture, nullptr);
  const QImage image = picture->pixmap().toImage();
  ASSERT_FALSE(image.isNull());
  // The indicator: a bar of #2fd3b0 on the picture's right edge, half way down.
  int indicator = 0;
  for (int y = image.height() * 2 / 5; y < image.height() * 3 / 5; ++y)
    for (int x = image.width() * 97 / 100; x < image.width(); ++x) {
      const QColor color = image.pixelColor(x, y);
      indicator += std::abs(color.red() - 0x2f) + std::abs(color.green() - 0xd3) +
                       std::abs(color.blue() - 0xb0) <
                   30;
    }
  EXPECT_GT(indicator, 50) << "the picture is shown whole, its right edge included";
}

TEST(OnboardingTest, TheLastPageSwitchesLaunchAtLogin) {
  testing::TempDir dir;
  testing::ScopedEnv config{"XDG_CONFIG_HOME", (dir / "config").string()};
  OnboardingView view;
  for (int i = 0; i < 3; ++i) view.nextPage();
  auto* row = view.pageContent()->findChild<SettingsToggleView*>("launchAtLogin");
  ASSERT_NE(row, nullptr);
  EXPECT_FALSE(row->toggle()->isChecked());
  row->toggle()->click();
  EXPECT_TRUE(LoginLaunch::isEnabled());
  LoginLaunch::setEnabled(false);
  EXPECT_FALSE(row->toggle()->isChecked());
}

TEST(OnboardingTest, CancelOnCloseKeepsThePageAndFinishingAsksNothing) {
  int starts = 0;
  Onboarding window;
  QObject::connect(&window, &Onboarding::startRequested, [&] { ++starts; });
  window.show();
  EXPECT_EQ(window.windowTitle(), "Welcome");
  window.view()->nextPage();
  bool asked = false;
  answerNextBox("Cancel", &asked);
  settings_test::closeAsTheUserWould(&window);
  ASSERT_EVENTUALLY(asked, 10000);
  QTest::qWait(50);  // a check that nothing happens: Cancel leaves the window open
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.view()->currentPage(), OnboardingPages::alwaysOn);

  for (int i = 0; i < 2; ++i) window.view()->nextPage();
  window.view()->finishButton()->click();
  EXPECT_EQ(starts, 1);
  // A close by the program asks nothing.
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace tessra
