// Stands in for a file manager in the real-drag test: a window that starts a drag of one local
// file, offering copy, move and link as file managers do, when the mouse is pressed on it.
// Usage: DragSource FILE LEFT TOP READY_FILE. READY_FILE receives the window's centre.
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cstdio>

namespace {

class TDragSource : public QWidget {
public:
    explicit TDragSource(QString file) : m_file(std::move(file)) {}

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* drag = new QDrag(this);
        auto* data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(m_file)});
        drag->setMimeData(data);
        Qt::DropAction action = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction);
        std::printf("drop action %d\n", int(action));
        std::fflush(stdout);
        // A file manager would delete the file after a move; the test checks it is still there.
        if (action == Qt::MoveAction) QFile::remove(m_file);
    }

private:
    QString m_file;
};

// Written whole and then renamed, so a reader never sees half a line.
void WriteReady(const QString& path, const QPoint& centre) {
    QFile file(path + QStringLiteral(".part"));
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(QByteArray::number(centre.x()) + ' ' + QByteArray::number(centre.y()) + '\n');
    file.close();
    QFile::rename(file.fileName(), path);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 5) return 2;
    TDragSource window(QString::fromLocal8Bit(argv[1]));
    window.setGeometry(QString::fromLocal8Bit(argv[2]).toInt(),
                       QString::fromLocal8Bit(argv[3]).toInt(), 120, 120);
    window.show();
    const QString ready = QString::fromLocal8Bit(argv[4]);
    QTimer::singleShot(300, &window, [&window, ready] {
        WriteReady(ready, window.mapToGlobal(window.rect().center()));
    });
    QTimer::singleShot(60000, &app, &QApplication::quit);  // never outlive a broken test
    return app.exec();
}
