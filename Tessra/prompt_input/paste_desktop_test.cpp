// Pastes into the whole program's prompt from another program's clipboard whose owner serves its
// text once and then goes away, as a tool that copies and quits does, and from an empty one: what
// was served lands in the prompt, and the program never falls over.
#include <QProcess>
#include <QRect>
#include <QTest>

#include <csignal>

#include <gtest/gtest.h>

#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"

namespace tessra {
namespace {

constexpr int kStartMs = 20000;
constexpr int kServeMs = 10000;

// A clipboard owner that serves its text to one request for it, then ends.
class OneShotClipboard {
 public:
  explicit OneShotClipboard(const QString& text) {
    m_xclip.start(QStringLiteral("xclip"),
                  {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                   QStringLiteral("-loops"), QStringLiteral("1"), QStringLiteral("-quiet")});
    m_xclip.write(text.toUtf8());
    m_xclip.closeWriteChannel();
  }
  ~OneShotClipboard() {
    m_xclip.kill();
    m_xclip.waitForFinished();
  }
  OneShotClipboard(const OneShotClipboard&) = delete;
  OneShotClipboard& operator=(const OneShotClipboard&) = delete;

  bool owns() const { return !testing::selectionOwner(QStringLiteral("CLIPBOARD")).isEmpty(); }
  bool served() const { return m_xclip.state() == QProcess::NotRunning; }

 private:
  QProcess m_xclip;
};

TEST(PasteDesktopTest, PastesFromAnOwnerThatServesOnceLandInThePrompt) {
  testing::TempDir home;
  testing::RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
  tessra.start();
  ASSERT_EVENTUALLY(tessra.hasKeyboard(), kStartMs);
  // Into the prompt, left of the paperclip at the panel's bottom edge.
  const QRect panel = testing::windowFrame(testing::focusedWindow());
  testing::clickAt(panel.right() - 400, panel.bottom() - 67);

  // With nothing on the clipboard, Ctrl+V pastes nothing.
  ASSERT_TRUE(testing::selectionOwner(QStringLiteral("CLIPBOARD")).isEmpty());
  testing::pressKeys(QStringLiteral("ctrl+v"));

  QString expected;
  // What was served must land in the prompt; a read that failed halfway serves nothing, and
  // pastes nothing.
  const auto paste = [&](const QString& text) {
    OneShotClipboard clipboard(text);
    ASSERT_EVENTUALLY(clipboard.owns(), kServeMs);
    testing::pressKeys(QStringLiteral("ctrl+v"));
    if (QTest::qWaitFor([&] { return clipboard.served(); }, kServeMs)) expected += text;
  };
  for (const QString& text :
       {QStringLiteral("one\ntwo "), QStringLiteral("three\nfour "), QStringLiteral("five\nsix")})
    paste(text);
  // With the page focused, the panel forwards Ctrl+V to the prompt.
  testing::clickAt(panel.left() + 100, panel.top() + 200);
  paste(QStringLiteral(" seven"));
  ASSERT_TRUE(tessra.isRunning()) << "exit code " << tessra.waitForExit() << ", signal "
                                  << tessra.crashSignal();
  ASSERT_FALSE(expected.isEmpty()) << "no paste was served at all";
  EXPECT_EQ(testing::copyAll().toStdString(), expected.toStdString());
  EXPECT_EQ(tessra.quitWith(SIGTERM), 0);
}

}  // namespace
}  // namespace tessra
