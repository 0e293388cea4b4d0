#pragma once

#include <QObject>
#include <QSize>
#include <QString>
#include <functional>

#include "CardPictures.h"
#include "files/VastrelleError.h"

template <typename T>
class QFutureWatcher;
struct TLoadedPicture;

// Loads the pictures dropped on one picture frame. A small file is decoded at once under the
// wait cursor; a larger one on a worker thread, so that the window keeps drawing, and its result
// arrives later on the GUI thread. One load at a time: a new load or Cancel drops the one under
// way, whose result is then never delivered.
class TPictureLoader : public QObject {
    Q_OBJECT
public:
    // Files from this size on are decoded on a worker thread.
    static constexpr qint64 kBackgroundBytes = qint64{1} << 20;

    using TFailed = std::function<void(const VastrelleError&)>;
    // area: the frame's picture area that the shown image is fitted into.
    TPictureLoader(QObject* parent, QSize area, TFailed failed);
    ~TPictureLoader() override;

    // Reads and decodes the file, then calls done with it, or the failure callback with
    // "ファイル %s は開けません" or "JPEG エラー #%d". Either may be called before Load returns.
    void Load(const QString& path, std::function<void(THeldPicture)> done);
    void Cancel();
    bool IsLoading() const { return m_watcher != nullptr; }

signals:
    // A load on a worker thread started or ended (delivered, failed or cancelled).
    void LoadingChanged();

private:
    void Deliver(TLoadedPicture loaded);

    QSize m_area;
    TFailed m_failed;
    std::function<void(THeldPicture)> m_done;
    QFutureWatcher<TLoadedPicture>* m_watcher = nullptr;
};
