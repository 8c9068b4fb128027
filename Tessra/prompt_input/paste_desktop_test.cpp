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

  // Whether a paste now reads from this owner. It says it waits for a request once it is on the
  // display, where no owner before it is left by then, but before its claim on the clipboard
  // reaches the display: the claim is awaited too. A paste may take the one serve as soon as the
  // claim lands, so having served counts as well.
  bool ready() {
    m_said += m_xclip.readAllStandardError();
    if (!m_said.contains("Waiting for one selection request")) return false;
    return served() || !testing::selectionOwner(QStringLiteral("CLIPBOARD")).isEmpty();
  }
  bool served() const {
    return m_xclip.state() == QProcess::NotRunning &&
           m_xclip.exitStatus() == QProcess::NormalExit && m_xclip.exitCode() == 0;
  }

 private:
  QProcess m_xclip;
  QByteArray m_said;
};

TEST(PasteDesktopTest, PastesFromAnOwnerThatServesOnceLandInThePrompt) {
  testing::TempDir home;
  testing::RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
  tessra.start();
  ASSERT_EVENTUALLY(tessra.hasKeyboard(), kStartMs);
  // Into the prompt, left of the paperclip at the panel's bottom edge.
  const QRect panel = testing::windowFrame(testing::focusedWindow());
  testing::clickAt(panel.right() - 400, panel.bottom() - 67);

  // With nothing on the clipboard, Ctrl+V pastes nothing. The key typed after it reaches the
  // prompt only once the paste was handled: handled late, it would take the first owner's serve.
  ASSERT_TRUE(testing::selectionOwner(QStringLiteral("CLIPBOARD")).isEmpty());
  testing::pressKeys(QStringLiteral("ctrl+v"));
  testing::typeText(QStringLiteral("x"));
  ASSERT_EQ(testing::copyAll().toStdString(), "x");
  testing::pressKeys(QStringLiteral("BackSpace"));
  // The copy made the program the clipboard's owner; each owner below takes it from nobody.
  testing::clearSelection(QStringLiteral("CLIPBOARD"));

  QString expected;
  // What was served must land in the prompt; a read that failed halfway serves nothing, and
  // pastes nothing.
  const auto paste = [&](const QString& text) {
    OneShotClipboard clipboard(text);
    ASSERT_EVENTUALLY(clipboard.ready(), kServeMs);
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
