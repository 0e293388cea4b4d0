#include "FileDropFilter.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace {

// A copy is asked for whenever the source allows it: accepting a move would let the file
// manager delete the user's file. A source that offers only a move is refused.
bool AcceptAsCopy(QDropEvent* event) {
    if (TFileDropFilter::FirstLocalFile(event->mimeData()).isEmpty()) return false;
    if (event->possibleActions() & Qt::CopyAction) {
        event->setDropAction(Qt::CopyAction);
    } else if (event->possibleActions() & Qt::LinkAction) {
        event->setDropAction(Qt::LinkAction);
    } else {
        return false;
    }
    event->accept();
    return true;
}

}  // namespace

TFileDropFilter::TFileDropFilter(QWidget* target, std::function<void(const QString&)> onDrop)
    : QObject(target), m_onDrop(std::move(onDrop)) {
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

QString TFileDropFilter::FirstLocalFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

bool TFileDropFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
            if (!AcceptAsCopy(static_cast<QDropEvent*>(event))) event->ignore();
            return true;
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!AcceptAsCopy(drop)) {
                drop->ignore();
                return true;
            }
            // The drop is released (the source told it is done) once this handler returns.
            m_onDrop(FirstLocalFile(drop->mimeData()));
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}
