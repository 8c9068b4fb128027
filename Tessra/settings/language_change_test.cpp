// The question a change of the program's language asks, on each desktop as its session sets Qt
// up: it waits for a key pressed once it shows, never taking the Return that chose the language
// in the list for its answer; Escape answers "Later", and Return "Restart Now".
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/ui/single_instance.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

void key(const QString& keys) { testing::xdotool({QStringLiteral("key"), keys}); }

// The question is known by its title: a count of the program's windows would also count the
// panel, which the settings window closes, while it slides out.
bool askedWithKeyboard() {
  const QString question = testing::windowsTitled(QStringLiteral("Language Change")).value(0);
  return !question.isEmpty() &&
         testing::topLevelOf(testing::focusedWindow()) == testing::topLevelOf(question);
}

// Opens the focused language list and picks the next language in it, by keyboard.
void pickTheNextLanguage() {
  key(QStringLiteral("space"));
  key(QStringLiteral("Down"));
  key(QStringLiteral("Return"));
}

TEST(LanguageChangeTest, TheQuestionWaitsForAKeyPressedOnceItShows) {
  testing::TempDir home;
  testing::RunningProgram tessra(QStringLiteral(TESSRA_BINARY), home.path());
  // An Xfce session says so, and Qt lays dialog buttons out as GTK does there, Cancel first.
  if (testing::TestDesktop::current().kind() == testing::TestDesktop::Kind::Xfce)
    tessra.setEnvironment(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("XFCE"));
  tessra.start();
  ASSERT_EVENTUALLY(tessra.hasKeyboard(), 20000);
  // Queued for the name the program holds on the bus, this test takes it when the program lets
  // it go to restart: the copy it then starts finds a running copy and ends at once.
  const QString name = platform::SingleInstance::serviceNameFor(QStringLiteral("org.tessra.Tessra"),
                                                                qEnvironmentVariable("DISPLAY"));
  QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
  ASSERT_EQ(bus->registerService(name, QDBusConnectionInterface::QueueService,
                                 QDBusConnectionInterface::DontAllowReplacement)
                .value(),
            QDBusConnectionInterface::ServiceQueued);

  // The settings from the panel; the language list, after the list of pages and the page.
  key(QStringLiteral("ctrl+comma"));
  const QString settings = tessra.waitForWindow(QStringLiteral("General"));
  ASSERT_FALSE(settings.isEmpty());
  ASSERT_EVENTUALLY(testing::focusedWindow() == settings, 20000);
  key(QStringLiteral("Tab"));
  key(QStringLiteral("Tab"));
  pickTheNextLanguage();
  ASSERT_EVENTUALLY(askedWithKeyboard(), 20000) << "the question comes with the keyboard";
  key(QStringLiteral("Escape"));
  ASSERT_EVENTUALLY(testing::windowsTitled(QStringLiteral("Language Change")).isEmpty(), 20000);
  ASSERT_TRUE(tessra.isRunning()) << "Later keeps the program running";
  const auto defaults =
      nlohmann::json::parse(home.read("config/TessraAI/defaults.json"), nullptr, false);
  EXPECT_EQ(defaults.value("appLanguage", ""), "en") << "the language chosen is kept for later";

  // The keyboard is back on the list, which asks again for another language.
  ASSERT_EVENTUALLY(testing::focusedWindow() == settings, 20000);
  pickTheNextLanguage();
  ASSERT_EVENTUALLY(askedWithKeyboard(), 20000);
  ASSERT_TRUE(tessra.isRunning());
  key(QStringLiteral("Return"));
  ASSERT_EQ(tessra.waitForExit(), 0) << "the program ends to restart";
  ASSERT_EVENTUALLY(bus->serviceOwner(name).value() == QDBusConnection::sessionBus().baseService(),
                    20000);
}

}  // namespace
}  // namespace tessra
