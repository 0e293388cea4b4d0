#pragma once

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <map>
#include <string>

#include "TreeSnapshot.h"
#include "files/WholeFile.h"

// Shared by the card dialog tests: fixture files, simulated drops and image folder snapshots.

inline QString Utf8(const char* text) { return QString::fromUtf8(text); }

inline QString FixturePath(const char* name) {
    return QString::fromUtf8(VASTRELLE_TEST_DATA_DIR "/carddlg/") + QString::fromUtf8(name);
}

// The file's bytes, empty when it cannot be read.
inline QByteArray ReadBytes(const QString& path) {
    return QByteArray::fromStdString(ReadWholeFile(path.toStdString()).value_or(std::string()));
}

// Copies a fixture into folder under the given name and returns the copy's path.
inline QString CopyFixture(const char* fixture, const QString& folder, const QString& name) {
    QDir().mkpath(folder);
    QString target = folder + QLatin1Char('/') + name;
    QFile::remove(target);
    QFile::copy(FixturePath(fixture), target);
    return target;
}

// Sends a drag-enter and, only when it was accepted (as Qt does), the drop. True when the drop
// was accepted as something other than a move.
inline bool SimulateDrop(QWidget* target, const QMimeData& data,
                         Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
    const QPoint at(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), actions, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() && drop.dropAction() != Qt::MoveAction;
}

inline bool SimulateDrop(QWidget* target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    return SimulateDrop(target, data);
}

// Every file of a folder with its bytes and modification time, so a rewrite with the same bytes
// shows too.
using TFolderSnapshot = TreeSnapshot;

inline TFolderSnapshot Snapshot(const QString& folder) {
    return SnapshotTree(folder.toStdString(), true);
}

// Closes any modal box that shows up while a step runs that must not ask anything, and counts
// them.
class TUnexpectedBoxes {
public:
    TUnexpectedBoxes() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != m_allowed) {
                ++m_count;
                modal->close();
            }
        });
        m_timer.start(20);
    }
    void Allow(QWidget* dialog) { m_allowed = dialog; }
    int Count() const { return m_count; }

private:
    QTimer m_timer;
    QWidget* m_allowed = nullptr;
    int m_count = 0;
};
