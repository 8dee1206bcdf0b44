// The single instance between real processes of the built program: a second start hands over
// to the first and ends, "/Kill" ends the first, and a lock left by a killed instance does not
// stop the next start.
#include "support/app_test_main.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <memory>

namespace {

constexpr int kStartMs = 15000;

std::unique_ptr<QProcess> startProgram(const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(VELKAN_PROGRAM_PATH), arguments);
    return process;
}

// The running instance can be reached once its channel is open.
bool waitForChannel(const QProcess& process) {
    const std::filesystem::path socket =
        std::filesystem::path(qgetenv("XDG_RUNTIME_DIR").toStdString()) /
        ("velkan-" + std::to_string(process.processId()) + ".sock");
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kStartMs) {
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
        auto first = startProgram({QStringLiteral("--simulate")});
        QVERIFY(waitForChannel(*first));
        const QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("second.png"));
        auto second = startProgram({QStringLiteral("--screenshot"), picture});
        QVERIFY(second->waitForFinished(kStartMs));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 0);
        QVERIFY(!QFile::exists(picture)); // it never made a window
        QCOMPARE(first->state(), QProcess::Running);

        auto kill = startProgram({QStringLiteral("/KILL")});
        QVERIFY(kill->waitForFinished(kStartMs));
        QCOMPARE(kill->exitCode(), 0);
        QVERIFY(first->waitForFinished(kStartMs));
        QCOMPARE(first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(first->exitCode(), 0);
    }

    void killWithNoInstanceEndsQuietly() {
        auto kill = startProgram({QStringLiteral("/kill"), QStringLiteral("--simulate")});
        QVERIFY(kill->waitForFinished(kStartMs));
        QCOMPARE(kill->exitCode(), 0);
    }

    void lockOfAKilledInstanceDoesNotBlock() {
        auto first = startProgram({QStringLiteral("--simulate")});
        QVERIFY(waitForChannel(*first));
        first->kill();
        QVERIFY(first->waitForFinished(kStartMs));

        const QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("next.png"));
        auto next =
            startProgram({QStringLiteral("--simulate"), QStringLiteral("--screenshot"), picture});
        QVERIFY(next->waitForFinished(kStartMs + 15000));
        QCOMPARE(next->exitCode(), 0);
        QVERIFY(QFile::exists(picture)); // it ran as the first instance and showed its window
    }
};

VELKAN_APP_TEST_MAIN(InstanceTest)
#include "instance_test.moc"
