#pragma once

#include <QObject>
#include <QStringList>
#include <filesystem>
#include <vector>

class QFileSystemWatcher;
class QTimer;

// Watches a few files and folders for changes made by anyone, and says so once per burst:
// Changed comes about 200 ms after the first event, so a save that writes, renames and flushes
// is one change. A path replaced by a rename, or made only later, is watched again as soon as it
// exists under its name.
class TFileWatch : public QObject {
    Q_OBJECT
public:
    static constexpr int kDelayMs = 200;

    explicit TFileWatch(QObject* parent);

    // Watches these paths from now on, and nothing else; empty stops watching.
    void SetPaths(const std::vector<std::filesystem::path>& paths);

signals:
    void Changed();

private:
    void Event();
    void Rearm();

    QFileSystemWatcher* m_watcher;
    QTimer* m_timer;
    QStringList m_paths;
};
