// Starts the real executable to check the one-instance rule.
#include <QLocalServer>
#include <QMainWindow>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "InstanceChannel.h"

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

QString SocketPath() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/Vastrelle.socket");
}

}  // namespace

class InstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondInstanceEndsAtOnceAndLeavesTheFirstRunning();
    void secondStartBringsTheRunningWindowToTheFront();
    void socketLeftByADeadInstanceDoesNotStopListening();
};

void InstanceTest::secondInstanceEndsAtOnceAndLeavesTheFirstRunning() {
    QTemporaryDir dir;
    QString exe = CopyProgram(dir);
    QFile::remove(LockFilePath());

    QProcess first;
    first.start(exe, {});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(LockFilePath()), 10000);
    // Listening for the second start's request to show the window.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(SocketPath()), 10000);

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

void InstanceTest::secondStartBringsTheRunningWindowToTheFront() {
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("Vastrelle.socket"));
    QVERIFY(!AskRunningInstanceToShow(socket, 200));  // nobody listens yet

    QMainWindow running;
    QMainWindow other;
    running.showMinimized();
    other.show();
    other.activateWindow();
    TInstanceChannel channel;
    QVERIFY(channel.Listen(socket, &running));

    QVERIFY(AskRunningInstanceToShow(socket, 2000));
    QTRY_VERIFY(!running.isMinimized());
    QVERIFY(running.isVisible());
    QTRY_VERIFY(running.isActiveWindow());

    // Hidden (not yet shown, or closed to the tray by a window manager) works the same.
    running.hide();
    QVERIFY(AskRunningInstanceToShow(socket, 2000));
    QTRY_VERIFY(running.isVisible());
}

void InstanceTest::socketLeftByADeadInstanceDoesNotStopListening() {
    QTemporaryDir dir;
    const QString socket = dir.filePath(QStringLiteral("Vastrelle.socket"));
    {
        // A server whose file stays behind, as after a crash.
        QLocalServer dead;
        dead.setSocketOptions(QLocalServer::UserAccessOption);
        QVERIFY(dead.listen(socket));
        dead.close();
        QFile(socket).open(QIODevice::WriteOnly);
    }
    QVERIFY(QFile::exists(socket));
    QMainWindow window;
    TInstanceChannel channel;
    QVERIFY(channel.Listen(socket, &window));
    QVERIFY(AskRunningInstanceToShow(socket, 2000));
    QTRY_VERIFY(window.isVisible());
}

QTEST_MAIN(InstanceTest)
#include "InstanceTest.moc"
