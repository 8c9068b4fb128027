#include "platform/ui/single_instance.h"

#include <unistd.h>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace tessra::platform {
namespace {

// Each start of the program has a connection of its own to the session bus.
QDBusConnection ownConnection(const QString& name) {
  return QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
}

TEST(SingleInstanceTest, TheFirstHoldsTheNameALaterOneReachesItAndARestartTakesItOver) {
  const QString name = QStringLiteral("org.tessra.SingleInstanceTest.p%1").arg(getpid());
  SingleInstance first(name, ownConnection(QStringLiteral("first")));
  ASSERT_TRUE(first.isPrimary());
  QSignalSpy activations(&first, &SingleInstance::activationRequested);

  SingleInstance later(name, ownConnection(QStringLiteral("later")));
  EXPECT_FALSE(later.isPrimary());
  EXPECT_TRUE(later.activatePrimary());
  EXPECT_EQ(activations.size(), 1);

  first.release();
  SingleInstance restarted(name, ownConnection(QStringLiteral("restarted")));
  EXPECT_TRUE(restarted.isPrimary());
  EXPECT_FALSE(first.isPrimary());
}

TEST(SingleInstanceTest, EachDisplayHasAValidNameOfItsOwn) {
  // A name of this test's own: the program's copies on the session bus hold the program's.
  const QString base = QStringLiteral("org.tessra.SingleInstanceTest.p%1").arg(getpid());
  const struct {
    const char* display;
    const char* sameAs;  // another way to write the same display, or nothing
  } cases[] = {
      {":0", ":0.0"},
      {":61", ":61.1"},
      {"localhost:10.0", "localhost:10"},
      {"[::1]:3", nullptr},
      {"unix/host.example.com:1", nullptr},
      {"", nullptr},
  };
  QStringList names;
  for (const auto& c : cases) {
    const QString name = SingleInstance::serviceNameFor(base, QString::fromUtf8(c.display));
    if (c.sameAs != nullptr) {
      EXPECT_EQ(name, SingleInstance::serviceNameFor(base, QString::fromUtf8(c.sameAs)));
    }
    EXPECT_FALSE(names.contains(name)) << c.display;
    names << name;
    // The bus refuses a name it cannot hold: such a copy would never find the first.
    QDBusConnection connection = ownConnection(QStringLiteral("valid %1").arg(c.display));
    EXPECT_TRUE(connection.registerService(name)) << name.toStdString();
    connection.unregisterService(name);
    QDBusConnection::disconnectFromBus(connection.name());
  }
}

}  // namespace
}  // namespace tessra::platform
