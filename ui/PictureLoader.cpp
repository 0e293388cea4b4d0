#include "PictureLoader.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <optional>

#include "WaitCursor.h"

// What a load gives back across the thread: the picture or the failure it met.
struct TLoadedPicture {
    THeldPicture Picture;
    std::optional<VastrelleError> Failure;
};

namespace {

TLoadedPicture LoadCaught(const QString& path, QSize area) {
    try {
        return {LoadDroppedPicture(path, area), std::nullopt};
    } catch (const VastrelleError& error) {
        return {{}, error};
    } catch (const std::exception& error) {
        return {{}, VastrelleError(error.what())};
    }
}

}  // namespace

TPictureLoader::TPictureLoader(QObject* parent, QSize area, TFailed failed)
    : QObject(parent), m_area(area), m_failed(std::move(failed)) {}

TPictureLoader::~TPictureLoader() = default;

void TPictureLoader::Load(const QString& path, std::function<void(THeldPicture)> done) {
    Cancel();
    m_done = std::move(done);
    if (QFileInfo(path).size() < kBackgroundBytes) {
        TLoadedPicture loaded;
        {
            TWaitCursor wait;
            loaded = LoadCaught(path, m_area);
        }
        Deliver(std::move(loaded));
        return;
    }
    m_watcher = new QFutureWatcher<TLoadedPicture>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, [this] {
        TLoadedPicture loaded = m_watcher->result();
        m_watcher->deleteLater();
        m_watcher = nullptr;
        emit LoadingChanged();
        Deliver(std::move(loaded));
    });
    m_watcher->setFuture(QtConcurrent::run(LoadCaught, path, m_area));
    emit LoadingChanged();
}

// The worker runs on to its end; its watcher goes, so its result is never delivered.
void TPictureLoader::Cancel() {
    if (m_watcher == nullptr) return;
    m_watcher->disconnect(this);
    m_watcher->deleteLater();
    m_watcher = nullptr;
    m_done = nullptr;
    emit LoadingChanged();
}

void TPictureLoader::Deliver(TLoadedPicture loaded) {
    auto done = std::exchange(m_done, nullptr);
    if (loaded.Failure)
        m_failed(*loaded.Failure);
    else
        done(std::move(loaded.Picture));
}
