#include "InstanceChannel.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QWidget>

TInstanceChannel::TInstanceChannel(QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)) {
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromServer();
        }
        ShowWindow();
    });
}

bool TInstanceChannel::Listen(const QString& socketPath, QWidget* window) {
    m_window = window;
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath);
    return m_server->listen(socketPath);
}

void TInstanceChannel::ShowWindow() {
    if (m_window.isNull()) return;
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

bool AskRunningInstanceToShow(const QString& socketPath, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    // The connection alone is the request: nothing needs to be read or written.
    do {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(
                static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)))) {
            socket.disconnectFromServer();
            return true;
        }
        QThread::msleep(50);
    } while (!deadline.hasExpired());
    return false;
}
