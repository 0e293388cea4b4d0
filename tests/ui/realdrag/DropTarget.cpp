// The receiving side of the real-drag test: shows the card dialog for a new card, waits until a
// picture arrives on the front frame, presses OK and checks that the image folder holds a byte
// copy of the dragged file. Usage: DropTarget IMAGE_FOLDER DRAGGED_FILE READY_FILE.
// READY_FILE receives the centre of the front frame. Exit 0 on success.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "CardInfoInputDlg.h"
#include "QtText.h"
#include "cardlist/CardList.h"
#include "save/CardStore.h"

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int Fail(const char* why) {
    std::fprintf(stderr, "DropTarget: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) return 2;
    const QString imageFolder = QString::fromLocal8Bit(argv[1]);
    const QString dragged = QString::fromLocal8Bit(argv[2]);
    const QString ready = QString::fromLocal8Bit(argv[3]);

    TCardInfoInputForm dialog(nullptr);
    dialog.SetCardInfo(
        QStringLiteral("カード情報の新規作成画面"), TCardInfo{}, ToPath(imageFolder),
        [cardTypeFolder = ToPath(imageFolder).parent_path()](
            const TCardInfo& card, const TSideChange& front, const TSideChange& back) {
            // The only card of a new card type folder, whatever the folder holds.
            TCardsAsRead read{{}, CardListIdentityOf(cardTypeFolder / kCardListFileName)};
            return SaveCard(cardTypeFolder, std::move(read), std::nullopt, card, front, back)
                .Cards.back();
        });
    dialog.move(40, 40);
    dialog.show();
    auto* front = dialog.findChild<QWidget*>(QStringLiteral("Panel1"));
    auto* image = dialog.findChild<QLabel*>(QStringLiteral("ImageFront"));

    QTimer::singleShot(300, &dialog, [&] {
        QFile file(ready + QStringLiteral(".part"));
        if (!file.open(QIODevice::WriteOnly)) return;
        QPoint centre = front->mapToGlobal(front->rect().center());
        file.write(QByteArray::number(centre.x()) + ' ' + QByteArray::number(centre.y()) + '\n');
        file.close();
        QFile::rename(file.fileName(), ready);
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (image->pixmap().isNull()) return;
        dialog.findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
        app.quit();
    });
    poll.start(100);
    QTimer::singleShot(30000, &app, &QApplication::quit);
    app.exec();

    if (dialog.result() != QDialog::Accepted) return Fail("no picture arrived");
    const QString name = QFileInfo(dragged).fileName();
    if (FromCp932(dialog.EditedCard().FrontImageFileName) != name)
        return Fail("the card does not name the dragged file");
    if (ReadAll(imageFolder + QLatin1Char('/') + name) != ReadAll(dragged))
        return Fail("the stored picture differs from the dragged file");
    return 0;
}
