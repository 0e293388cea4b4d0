#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLocalServer;
class QWidget;

// How a second start shows the running instance's window: the running one listens on a local
// socket beside its instance lock, the second one connects and ends.
class TInstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit TInstanceChannel(QObject* parent = nullptr);

    // Listens at socketPath; every connection brings `window` to the front. Call only while
    // holding the instance lock: a socket file left by a dead instance is removed.
    bool Listen(const QString& socketPath, QWidget* window);

private:
    void ShowWindow();

    QLocalServer* m_server;
    QPointer<QWidget> m_window;
};

// Asks the instance listening at socketPath to show its window; false when none answered within
// timeoutMs (it may still be starting, so connecting is retried until then).
bool AskRunningInstanceToShow(const QString& socketPath, int timeoutMs);
