// The single instance between real processes of the built program: a second start hands over
// to the first and ends, "/Kill" ends the first, and a lock left by a killed instance does not
// stop the next start.
#include "support/app_test_main.h"
#include "support/child_process.h"

#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>

using velkan::test::ChildProcess;

namespace {

constexpr int kStartMs = 15000;

std::unique_ptr<ChildProcess> startProgram(const std::vector<std::string>& arguments,
                                           std::vector<std::string> environment = {}) {
    environment.emplace_back("QT_QPA_PLATFORM=offscreen");
    return std::make_unique<ChildProcess>(VELKAN_PROGRAM_PATH, arguments, environment);
}

// The running instance can be reached once its channel is open.
bool waitForChannel(ChildProcess& process) {
    const std::filesystem::path socket =
        std::filesystem::path(qgetenv("XDG_RUNTIME_DIR").toStdString()) /
        ("velkan-" + std::to_string(process.pid()) + ".sock");
    QElapsedTimer waited;
    waited.start();
    while (process.running() && waited.elapsed() < kStartMs) {
        if (std::filesystem::exists(socket)) {
            return true;
        }
        QTest::qWait(50);
    }
    return false;
}

} // namespace

class InstanceTest : public QObject {
    Q_OBJECT

private slots:
    void secondStartHandsOverAndEnds() {
        // The same program in another login session, started earlier: not the instance here.
        const QTemporaryDir otherSession;
        auto other =
            startProgram({"--simulate"}, {"XDG_RUNTIME_DIR=" + otherSession.path().toStdString()});
        auto first = startProgram({"--simulate"});
        QVERIFY(waitForChannel(*first));
        const QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("second.png"));
        auto second = startProgram({"--screenshot", picture.toStdString()});
        QCOMPARE(second->waitForExit(kStartMs), std::optional<int>(0));
        QVERIFY(!QFile::exists(picture)); // it never made a window
        QVERIFY(first->running());

        auto kill = startProgram({"/KILL"});
        QCOMPARE(kill->waitForExit(kStartMs), std::optional<int>(0));
        QCOMPARE(first->waitForExit(kStartMs), std::optional<int>(0));
        QVERIFY(other->running());
    }

    void killWithNoInstanceEndsQuietly() {
        auto kill = startProgram({"/kill", "--simulate"});
        QCOMPARE(kill->waitForExit(kStartMs), std::optional<int>(0));
    }

    void lockOfAKilledInstanceDoesNotBlock() {
        auto first = startProgram({"--simulate"});
        QVERIFY(waitForChannel(*first));
        first->kill();

        const QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("next.png"));
        auto next = startProgram({"--simulate", "--screenshot", picture.toStdString()});
        QCOMPARE(next->waitForExit(kStartMs + 15000), std::optional<int>(0));
        QVERIFY(QFile::exists(picture)); // it ran as the first instance and showed its window
    }
};

VELKAN_APP_TEST_MAIN(InstanceTest)
#include "instance_test.moc"
