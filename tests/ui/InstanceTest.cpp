// Starts the real executable to check the one-instance rule.
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

namespace {

// A copy of the program in a folder of its own, so that it sees no card types of ours.
QString CopyProgram(const QTemporaryDir& dir) {
    QString exe = dir.filePath(QStringLiteral("vastrelle"));
    QFile::copy(QStringLiteral(VASTRELLE_EXE), exe);
    return exe;
}

QString LockFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/Vastrelle.lock");
}

}  // namespace

class InstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondInstanceEndsAtOnceAndLeavesTheFirstRunning();
};

void InstanceTest::secondInstanceEndsAtOnceAndLeavesTheFirstRunning() {
    QTemporaryDir dir;
    QString exe = CopyProgram(dir);
    QFile::remove(LockFilePath());

    QProcess first;
    first.start(exe, {});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(LockFilePath()), 10000);

    QProcess second;
    second.start(exe, {});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardError().isEmpty());
    QCOMPARE(first.state(), QProcess::Running);

    // A first instance that died without cleaning up does not keep the program from starting.
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(5000));
    QVERIFY(QFile::exists(LockFilePath()));
    QProcess third;
    third.start(exe, {});
    QVERIFY(third.waitForStarted());
    QVERIFY(!third.waitForFinished(2000));
    third.kill();
    third.waitForFinished(5000);
    // Neither ran long enough to be closed, so no settings were written.
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("setting.ini"))));
}

QTEST_MAIN(InstanceTest)
#include "InstanceTest.moc"
