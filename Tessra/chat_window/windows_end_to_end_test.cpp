// The program's windows as a user meets them on a desktop with a window manager and a tray: the
// page painted at its first show, questions standing above the panel, the keyboard where the user
// clicks and wherever Tab leads, Escape cancelling a sheet, a right click that only opens the
// menu, screenshots that give the panel back. Driven with real clicks and keys; the prompt is read
// back through the clipboard, the page and the pictures sent through their pixels.
#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "Tessra/chat_window/chat_window_test_support.h"
#include "Tessra/storage/user_settings.h"
#include "keychain/keychain.h"
#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"
#include "testing/http_server.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

using nlohmann::json;
using testing::focusedWindow;
namespace fs = std::filesystem;

constexpr const char* kKey = "sk-end-to-end-windows";
// The OpenAI settings page's Update button, from the settings window's top left corner.
constexpr QPoint kUpdateKeyButton(626, 97);
// The paperclip, left of the side list, from the panel's bottom right corner.
constexpr QPoint kAttachButtonFromCorner(228, 67);

void key(const QString& keys) { testing::xdotool({QStringLiteral("key"), keys}); }
void type(const QString& text) { testing::xdotool({QStringLiteral("type"), text}); }
// Several keys, one after the other ("Tab Tab space").
void keys(const QString& sequence) {
  testing::xdotool(QStringList{QStringLiteral("key")} + sequence.split(u' '));
}

// How many pixels of `area` (screen pixels) are light, like text on the page's dark background.
int lightPixels(const QRect& area) {
  const QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                          .toImage();
  int light = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (qGray(shot.pixel(x, y)) > 180) ++light;
  return light;
}

// The topmost point of `area` (screen pixels) that is red like the apple before the first
// conversation's name; a null point when there is none.
QPoint firstRedPixel(const QRect& area) {
  const QImage shot = QGuiApplication::primaryScreen()
                          ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                          .toImage();
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (const QRgb pixel = shot.pixel(x, y);
          qRed(pixel) > 180 && qGreen(pixel) < 90 && qBlue(pixel) < 90)
        return area.topLeft() + QPoint(x, y);
  return {};
}

class WindowsEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_keychain.set(kKey, UserSettings::kOpenAiKeyItem).has_value());
    m_tessra.setEnvironment(QStringLiteral("TESSRA_AI_BASE_URL"), m_server.baseUrl());
  }
  void TearDown() override { (void)m_keychain.remove(UserSettings::kOpenAiKeyItem); }

  // Starts the program and waits until its panel has the keyboard.
  void start() {
    m_tessra.start();
    ASSERT_EVENTUALLY(m_tessra.hasKeyboard(), 20000);
    m_panel = focusedWindow();
    m_frame = testing::windowFrame(m_panel);
  }

  // Two conversations, "first" the one shown, with `firstMessages`.
  void seedConversations(const json& firstMessages = json::array()) {
    const fs::path data = m_tessra.dataFolder();
    fs::create_directories(data);
    json list = {{"conversations", json::array()}, {"latestSessionID", "first"}};
    for (const char* id : {"first", "second"}) {
      const std::string name = std::string(id == std::string("first") ? "🍎 " : "🍐 ") + id;
      list["conversations"].push_back({{"id", id}, {"name", name}});
      std::ofstream(data / (std::string(id) + ".json")) << json{
          {"id", id},
          {"name", name},
          {"messages", id == std::string("first")
                           ? firstMessages
                           : json::array()}}.dump();
    }
    std::ofstream(data / "conversations.json") << list.dump();
  }
  json storedFile(const std::string& name) const {
    std::ifstream file(m_tessra.dataFolder() / name);
    return json::parse(file, nullptr, false);
  }

  QStringList programWindows() const { return m_tessra.windows(); }
  bool panelShown() const { return programWindows().contains(m_panel); }

  // Right-clicks the side list's row (36 pixels each, at the panel's right edge), waits for the
  // menu and chooses its last item, Delete; waits for the question and gives its window.
  QString askToDeleteRow(int row) {
    const int windows = static_cast<int>(programWindows().size());
    testing::clickAt(m_frame.right() - 100, m_frame.top() + 18 + 36 * row, 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return programWindows().size() > windows; }, 5000))
        << "the menu opens";
    key(QStringLiteral("Up"));
    key(QStringLiteral("Return"));
    return m_tessra.waitForWindow(QStringLiteral("Confirm Deletion"));
  }

  // What the prompt holds: Ctrl+A and Ctrl+C in it, then the clipboard.
  QString promptText() { return testing::copyAll(); }

  testing::TempDir m_home;
  testing::RunningProgram m_tessra{QStringLiteral(TESSRA_BINARY), m_home.path()};
  testing::HttpServer m_server;
  keychain::Keychain m_keychain{std::string(UserSettings::kKeychainService)};
  QString m_panel;
  QRect m_frame;
};

TEST_F(WindowsEndToEndTest, ThePageIsPaintedAtItsFirstShow) {
  start();
  // The welcome conversation's text, below the header and left of the side list.
  const QRect page(m_frame.left() + 16, m_frame.top() + 60, 400, 300);
  ASSERT_EVENTUALLY(lightPixels(page) > 500, 20000);
}

TEST_F(WindowsEndToEndTest, ADeleteQuestionStandsAboveThePanelAndARightClickSwitchesNothing) {
  std::string answer;
  std::vector<std::string> pieces;
  for (int i = 0; i < 60; ++i) pieces.push_back("word" + std::to_string(i) + " ");
  for (const std::string& piece : pieces) answer += piece;
  m_server.route("POST", "/v1/chat/completions", [&](const testing::RecordedRequest&) {
    return chat_window_test::streamedAnswer(pieces, std::chrono::milliseconds(100));
  });
  seedConversations();
  start();
  type(QStringLiteral("Tell me a story"));
  ASSERT_EQ(promptText(), "Tell me a story");
  key(QStringLiteral("Return"));
  ASSERT_EVENTUALLY(!m_server.requests().empty(), 20000);

  // Asked while the answer streams: the question is mapped above the panel and has the keyboard
  // before any key is pressed.
  const QString question = askToDeleteRow(1);
  ASSERT_FALSE(question.isEmpty());
  ASSERT_EVENTUALLY(focusedWindow() == question, 5000);
  const QStringList order = testing::stackingOrder();
  EXPECT_GT(order.indexOf(testing::topLevelOf(question)),
            order.indexOf(testing::topLevelOf(m_panel)));
  EXPECT_EQ(storedFile("conversations.json")["latestSessionID"], "first")
      << "the right click switched nothing";

  // A click on the question leaves the panel; Escape cancels, and the panel has the keyboard.
  const QRect frame = testing::windowFrame(question);
  testing::clickAt(frame.left() + 8, frame.top() + 8);
  key(QStringLiteral("Escape"));
  ASSERT_EVENTUALLY(m_tessra.windows(QStringLiteral("Confirm Deletion")).isEmpty(), 5000);
  EXPECT_TRUE(panelShown());
  ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);

  // Return answers Cancel too.
  ASSERT_FALSE(askToDeleteRow(1).isEmpty());
  key(QStringLiteral("Return"));
  ASSERT_EVENTUALLY(m_tessra.windows(QStringLiteral("Confirm Deletion")).isEmpty(), 5000);
  EXPECT_EQ(storedFile("conversations.json")["conversations"].size(), 2u);

  // The answer streamed on to its end in the conversation it was asked in.
  ASSERT_EVENTUALLY(storedFile("first.json")["messages"].size() == 1 &&
                        storedFile("first.json")["messages"][0]["finished"] == true,
                    20000);
  EXPECT_EQ(storedFile("first.json")["messages"][0]["answer"], answer);
}

TEST_F(WindowsEndToEndTest, TheTakenShortcutsNoticeCoversNoConversation) {
  // The window manager holds Alt+Space: the panel says so at its top until OK is pressed.
  testing::TestDesktop::current().useStockKeyBindings();
  seedConversations();
  start();
  // The notice's title, wider than the conversation's name there.
  ASSERT_EVENTUALLY(lightPixels(QRect(m_frame.left() + 120, m_frame.top() + 12, 160, 25)) > 100,
                    20000);
  QPoint apple;
  ASSERT_EVENTUALLY(
      !(apple = firstRedPixel(QRect(m_frame.right() - 200, m_frame.top(), 60, 300))).isNull(), 5000)
      << "the first conversation is seen in the side list";
  const auto windows = programWindows().size();
  testing::clickAt(apple.x() + 40, apple.y() + 4, 3);
  ASSERT_EVENTUALLY(programWindows().size() > windows, 5000) << "its menu opens";
  key(QStringLiteral("Escape"));
}

TEST_F(WindowsEndToEndTest, TheKeyboardComesBackToThePrompt) {
  start();
  // Shortcuts work as soon as the panel shows; the switcher gives the keyboard back as it goes.
  key(QStringLiteral("ctrl+k"));
  ASSERT_EVENTUALLY(m_tessra.hasKeyboard() && focusedWindow() != m_panel, 5000);
  key(QStringLiteral("Escape"));
  ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);
  type(QStringLiteral("hello"));
  EXPECT_EQ(promptText(), "hello");

  // Pinned, the panel stays while another program takes the keyboard; a click into the prompt
  // takes it back.
  key(QStringLiteral("ctrl+p"));
  QLineEdit other;
  other.setGeometry(100, 100, 400, 100);
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  const QString otherWindow = QString::number(other.winId());
  const QRect otherFrame = testing::windowFrame(otherWindow);
  testing::clickAt(otherFrame.center().x(), otherFrame.center().y());
  ASSERT_EVENTUALLY(focusedWindow() == otherWindow, 5000);
  testing::clickAt(m_frame.left() + 250, m_frame.bottom() - 78);
  ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);
  type(QStringLiteral(" world"));
  EXPECT_EQ(promptText(), "hello world");
  EXPECT_TRUE(other.text().isEmpty());
}

TEST_F(WindowsEndToEndTest, TheKeyboardReachesThePanelsControlsAndEscapeCancelsEverySheet) {
  // An answer with links, each a stop for Tab in the page.
  seedConversations(json::array({{{"id", "m1"},
                                  {"type", "message"},
                                  {"question", "Links?"},
                                  {"shortQuestion", "Links?"},
                                  {"answer",
                                   "[one](https://example.com/1) [two](https://example.com/2) "
                                   "[three](https://example.com/3)"},
                                  {"finished", true},
                                  {"endContext", false}}}));
  start();
  type(QStringLiteral("Draft"));
  ASSERT_EQ(promptText(), "Draft");
  const auto fromThePrompt = [&] {
    testing::clickAt(m_frame.left() + 250, m_frame.bottom() - 78);
    ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);
  };
  // `open` is what the user does to open the sheet: keys, or a click.
  const auto opensAndEscapeCancels = [&](const char* sheet, const std::function<void()>& open) {
    SCOPED_TRACE(sheet);
    const QString from = focusedWindow();
    const auto windows = programWindows().size();
    open();
    ASSERT_EVENTUALLY(
        programWindows().size() > windows && m_tessra.hasKeyboard() && focusedWindow() != from,
        5000)
        << "the sheet opens with the keyboard";
    key(QStringLiteral("Escape"));
    ASSERT_EVENTUALLY(programWindows().size() == windows && focusedWindow() == from, 5000)
        << "Escape closes it and gives the keyboard back";
  };

  // Ctrl+N; the model pill, after the paperclip, the toolbar's two buttons, the side list and
  // the header's button: the page's links come only after the row of the pill.
  fromThePrompt();
  opensAndEscapeCancels("New Conversation", [] { key(QStringLiteral("ctrl+n")); });
  fromThePrompt();
  keys(QStringLiteral("Tab Tab Tab Tab Tab Tab"));
  opensAndEscapeCancels("the conversation's settings", [] { key(QStringLiteral("space")); });
  EXPECT_EQ(storedFile("conversations.json")["conversations"].size(), 2u);
  EXPECT_FALSE(storedFile("conversations.json")["conversations"][0].contains("config"))
      << "nothing stored by a cancelled sheet";

  // Tab goes round the two buttons of the delete-all question, from Cancel to Delete.
  fromThePrompt();
  key(QStringLiteral("ctrl+r"));
  keys(QStringLiteral("Tab Tab Tab space"));
  ASSERT_EVENTUALLY(storedFile("first.json")["messages"].empty(), 5000);

  // The side list, after the paperclip and the toolbar's two buttons.
  fromThePrompt();
  keys(QStringLiteral("Tab Tab Tab Tab Down"));
  ASSERT_EVENTUALLY(storedFile("conversations.json")["latestSessionID"] == "second", 5000);

  // The toolbar's settings button opens the settings; on its OpenAI page, Update opens the key's
  // sheet.
  fromThePrompt();
  keys(QStringLiteral("Tab Tab space"));
  const QString settings = m_tessra.waitForWindow(QStringLiteral("General"));
  ASSERT_FALSE(settings.isEmpty());
  ASSERT_EVENTUALLY(focusedWindow() == settings, 5000);
  key(QStringLiteral("Down"));
  ASSERT_FALSE(m_tessra.waitForWindow(QStringLiteral("OpenAI")).isEmpty());
  // The panel slides away as the settings take the keyboard; then nothing covers them.
  ASSERT_EVENTUALLY(!panelShown(), 5000);
  const QPoint update = testing::windowFrame(settings).topLeft() + kUpdateKeyButton;
  opensAndEscapeCancels("Update API Key", [&] { testing::clickAt(update.x(), update.y()); });
}

// The picture a question carried to the service, decoded.
QImage sentPicture(const testing::RecordedRequest& request) {
  const json body = json::parse(request.body, nullptr, false);
  if (body.is_discarded()) return {};
  for (const json& part : body["messages"].back()["content"]) {
    if (part.value("type", "") != "image_url") continue;
    const std::string url = part["image_url"]["url"];
    const std::string prefix = "data:image/jpeg;base64,";
    if (!url.starts_with(prefix)) return {};
    const auto bytes = platform::base64Decode(url.substr(prefix.size()));
    if (!bytes) return {};
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes->data()),
                            static_cast<int>(bytes->size()), "JPEG");
  }
  return {};
}

bool isGreen(QRgb pixel) { return qGreen(pixel) > 150 && qRed(pixel) < 100 && qBlue(pixel) < 100; }

TEST_F(WindowsEndToEndTest, AfterEveryScreenshotThePanelComesBackWithTheKeyboardInThePrompt) {
  m_server.route("POST", "/v1/chat/completions", [](const testing::RecordedRequest&) {
    return chat_window_test::streamedAnswer({"Seen."}, std::chrono::milliseconds(0));
  });
  start();
  // The welcome conversation shown: the panel has settled.
  ASSERT_EVENTUALLY(lightPixels(QRect(m_frame.left() + 16, m_frame.top() + 60, 400, 300)) > 500,
                    20000);
  // Another program's window, partly under the panel, painted by this process's event loop,
  // which runs while the test waits.
  QWidget beneath;
  beneath.setWindowTitle(QStringLiteral("Beneath"));
  QPalette green;
  green.setColor(QPalette::Window, QColor(0, 200, 0));
  beneath.setPalette(green);
  beneath.setAutoFillBackground(true);
  beneath.setGeometry(m_frame.left() - 300, m_frame.top() + 150, 600, 300);
  beneath.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&beneath));
  ASSERT_EVENTUALLY(focusedWindow() == QString::number(beneath.winId()), 5000);
  const QRect beneathFrame = testing::windowFrame(QString::number(beneath.winId()));
  // A point of it that the panel covers.
  const QPoint covered(m_frame.left() + 100, beneathFrame.center().y());
  ASSERT_TRUE(beneathFrame.contains(covered));

  enum class Shot { screen, window, cancelled };
  const struct {
    const char* what;
    bool pinned;
    Shot shot;
  } cases[] = {
      {"pinned, entire screen", true, Shot::screen},
      {"unpinned, entire screen", false, Shot::screen},
      {"pinned, a window", true, Shot::window},
      {"unpinned, a window", false, Shot::window},
      {"pinned, cancelled", true, Shot::cancelled},
      {"unpinned, cancelled", false, Shot::cancelled},
  };
  const QString trayIcon = m_tessra.trayIcon();
  ASSERT_FALSE(trayIcon.isEmpty());
  bool pinned = false;
  std::size_t sent = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // The pin as the case has it, and the keyboard back in the prompt.
    if (pinned != c.pinned) key(QStringLiteral("ctrl+p"));
    pinned = c.pinned;
    testing::clickAt(m_frame.left() + 250, m_frame.bottom() - 78);
    ASSERT_EVENTUALLY(focusedWindow() == m_panel, 5000);

    const int windows = static_cast<int>(programWindows().size());
    testing::clickAt(m_frame.right() - kAttachButtonFromCorner.x(),
                     m_frame.bottom() - kAttachButtonFromCorner.y());
    ASSERT_EVENTUALLY(programWindows().size() > windows, 5000) << "the menu opens";
    if (c.shot == Shot::cancelled) {
      key(QStringLiteral("Escape"));
    } else {
      // "Upload File", "Take Screenshot", into its list: the windows, front first, then
      // "Entire Screen" at its end.
      key(QStringLiteral("Down"));
      key(QStringLiteral("Down"));
      key(QStringLiteral("Right"));
      if (c.shot == Shot::screen) key(QStringLiteral("Up"));
      key(QStringLiteral("Return"));
    }

    ASSERT_EVENTUALLY(panelShown() && focusedWindow() == m_panel, 5000);
    EXPECT_EQ(m_tessra.trayIcon(), trayIcon) << "the icon stayed in the tray";
    type(QStringLiteral("What is this?"));
    ASSERT_EQ(promptText(), "What is this?") << "the keyboard is in the prompt";
    if (c.shot == Shot::cancelled) {
      key(QStringLiteral("ctrl+a"));
      key(QStringLiteral("BackSpace"));
      continue;
    }
    key(QStringLiteral("Return"));
    ASSERT_EVENTUALLY(m_server.requests().size() == sent + 1, 20000);
    const QImage picture = sentPicture(m_server.requests()[sent++]);
    ASSERT_FALSE(picture.isNull());
    const QPoint inPicture = c.shot == Shot::screen ? covered : covered - beneathFrame.topLeft();
    EXPECT_TRUE(isGreen(picture.pixel(inPicture)))
        << "the window beneath drawn again, not what the panel left: "
        << QColor(picture.pixel(inPicture)).name().toStdString();
  }
}

}  // namespace
}  // namespace tessra
