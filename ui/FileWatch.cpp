#include "FileWatch.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include "QtText.h"

TFileWatch::TFileWatch(QObject* parent)
    : QObject(parent), m_watcher(new QFileSystemWatcher(this)), m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    m_timer->setInterval(kDelayMs);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &TFileWatch::Event);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &TFileWatch::Event);
    connect(m_timer, &QTimer::timeout, this, [this] {
        Rearm();
        emit Changed();
    });
}

void TFileWatch::SetPaths(const std::vector<std::filesystem::path>& paths) {
    QStringList wanted;
    for (const std::filesystem::path& path : paths) wanted << FromPath(path);
    if (wanted == m_paths) return;
    if (QStringList watched = m_watcher->files() + m_watcher->directories(); !watched.isEmpty())
        m_watcher->removePaths(watched);
    m_timer->stop();
    m_paths = wanted;
    Rearm();
}

// Each event starts the delay, none restarts it: a writer that keeps writing is still seen
// every 200 ms.
void TFileWatch::Event() {
    Rearm();
    if (!m_timer->isActive()) m_timer->start();
}

// The watcher lets go of a path whose file was removed or renamed over.
void TFileWatch::Rearm() {
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    for (const QString& path : m_paths)
        if (!watched.contains(path) && QFileInfo::exists(path)) m_watcher->addPath(path);
}
