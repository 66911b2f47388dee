// The desktop notification as the desktop receives it: a notification service of our own on a
// private session bus (ctest runs this program under dbus-run-session), and the program's own
// GUI service sending to it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTest>
#include <QWidget>
#include <memory>
#include <mutex>

#include "gui/GuiService.h"

namespace olvo::test {
namespace {

// Answers every call to /org/freedesktop/Notifications and keeps it.
class FakeNotificationService final : public QDBusVirtualObject {
  public:
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            m_calls.push_back(message);
        }
        connection.send(message.createReply(QVariant::fromValue(1u)));
        return true;
    }
    QString introspect(const QString&) const override { return {}; }

    std::vector<QDBusMessage> Calls() {
        const std::lock_guard<std::mutex> lock(m_lock);
        return m_calls;
    }

  private:
    std::mutex m_lock;
    std::vector<QDBusMessage> m_calls;
};

TEST(DesktopNotification, GoesToTheFreedesktopServiceAndNowhereWithoutOne) {
    if (!qEnvironmentVariableIsSet("OLVO_PRIVATE_BUS"))
        GTEST_SKIP() << "runs only on a private session bus (dbus-run-session)";
    const std::unique_ptr<GuiService> program = MakeDesktopGuiService();
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());

    // No service yet: nothing happens, and nothing waits.
    program->Notify("Split finished", "Split into 3 pieces in /tmp/data");

    FakeNotificationService service;
    QDBusConnection desktop =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));
    ASSERT_TRUE(
        desktop.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &service));
    ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.Notifications")));

    // With no window of the program active, the user is elsewhere.
    EXPECT_FALSE(program->ProgramInFront());
    program->Notify("Restore finished", "Restored Holiday & Co.avi");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !service.Calls().empty(); }, 5000));
    const std::vector<QDBusMessage> calls = service.Calls();
    ASSERT_EQ(calls.size(), 1u);
    const QDBusMessage& call = calls[0];
    EXPECT_EQ(call.interface(), QStringLiteral("org.freedesktop.Notifications"));
    EXPECT_EQ(call.member(), QStringLiteral("Notify"));
    EXPECT_EQ(call.signature(), QStringLiteral("susssasa{sv}i"));
    const QList<QVariant> arguments = call.arguments();
    ASSERT_EQ(arguments.size(), 8);
    EXPECT_EQ(arguments[0].toString(), QStringLiteral("Kestrava File Splitter"));
    EXPECT_EQ(arguments[1].toUInt(), 0u);
    EXPECT_EQ(arguments[2].toString(), QStringLiteral("olvo"));
    EXPECT_EQ(arguments[3].toString(), QStringLiteral("Restore finished"));
    EXPECT_EQ(arguments[4].toString(), QStringLiteral("Restored Holiday & Co.avi"));
    EXPECT_EQ(arguments[7].toInt(), -1);

    QWidget window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(program->ProgramInFront());
    desktop.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
}

}  // namespace
}  // namespace olvo::test
