#include "PictureFrameActions.h"

#include <QEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWidget>

#include "QtText.h"

TPictureFrameActions::TPictureFrameActions(QWidget* frame, std::function<void()> choose,
                                           std::function<void()> remove)
    : QObject(frame), m_frame(frame), m_choose(std::move(choose)), m_remove(std::move(remove)) {
    frame->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(frame, &QWidget::customContextMenuRequested, this, &TPictureFrameActions::ShowMenu);
    frame->installEventFilter(this);
}

bool TPictureFrameActions::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        m_choose();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TPictureFrameActions::ShowMenu(const QPoint& at) {
    QMenu menu(m_frame);
    menu.setObjectName(QStringLiteral("PictureMenu"));
    QAction* choose = menu.addAction(Tr("画像を選択..."));
    choose->setObjectName(QStringLiteral("ChoosePicture"));
    QAction* remove = menu.addAction(Tr("画像を削除"));
    remove->setObjectName(QStringLiteral("DeletePicture"));
    QAction* picked = menu.exec(m_frame->mapToGlobal(at));
    if (picked == choose)
        m_choose();
    else if (picked == remove)
        m_remove();
}
