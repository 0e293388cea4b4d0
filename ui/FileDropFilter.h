#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QMimeData;
class QWidget;

// Makes a widget a drop target for files from a file manager: only drags that carry a local
// file are accepted, and a drop hands the path of the first local file to the callback. Every
// other event passes on to the widget unchanged.
class TFileDropFilter : public QObject {
    Q_OBJECT
public:
    TFileDropFilter(QWidget* target, std::function<void(const QString&)> onDrop);

    // The full path of the first local file the data carries; empty when it carries none.
    static QString FirstLocalFile(const QMimeData* data);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const QString&)> m_onDrop;
};
