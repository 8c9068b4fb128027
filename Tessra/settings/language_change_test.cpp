// The question a change of the program's language asks, on each desktop as its session sets Qt
// up: Return answers it with its first button, "Restart Now".
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <gtest/gtest.h>

#include "platform/ui/single_instance.h"
#include "testing/qt_wait.h"
#include "testing/running_program.h"
#include "testing/temp_dir.h"
#include "testing/test_desktop.h"

namespace tessra {
namespace {

void key(const QString& keys) { testing::xdotool({QStringLiteral("key"), keys}); }

TEST(LanguageChangeTest, ReturnRestartsTheProgram) {
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

  // The settings from the panel; the language picker, after the list of pages and the page;
  // Down chooses the next language.
  key(QStringLiteral("ctrl+comma"));
  const QString settings = tessra.waitForWindow(QStringLiteral("General"));
  ASSERT_FALSE(settings.isEmpty());
  ASSERT_EVENTUALLY(testing::focusedWindow() == settings, 20000);
  key(QStringLiteral("Tab"));
  key(QStringLiteral("Tab"));
  key(QStringLiteral("Down"));
  // The question is known by its title: a count of the program's windows would also count the
  // panel, which the settings window closes, while it slides out.
  const auto askedWithKeyboard = [] {
    const QString question = testing::windowsTitled(QStringLiteral("Language Change")).value(0);
    return !question.isEmpty() &&
           testing::topLevelOf(testing::focusedWindow()) == testing::topLevelOf(question);
  };
  ASSERT_EVENTUALLY(askedWithKeyboard(), 20000) << "the question comes with the keyboard";
  key(QStringLiteral("Return"));
  ASSERT_EQ(tessra.waitForExit(), 0) << "the program ends to restart";
  ASSERT_EVENTUALLY(bus->serviceOwner(name).value() == QDBusConnection::sessionBus().baseService(),
                    20000);
}

}  // namespace
}  // namespace tessra
