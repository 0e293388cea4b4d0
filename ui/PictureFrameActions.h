#pragma once

#include <QObject>
#include <functional>

class QWidget;

// The mouse actions of a picture frame besides dropping: a context menu with "画像を選択..." and
// "画像を削除", and a double-click that chooses a picture. A click on the picture inside lands on
// its frame.
class TPictureFrameActions : public QObject {
    Q_OBJECT
public:
    TPictureFrameActions(QWidget* frame, std::function<void()> choose,
                         std::function<void()> remove);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowMenu(const QPoint& at);

    QWidget* m_frame;
    std::function<void()> m_choose;
    std::function<void()> m_remove;
};
