// Drives the real main window against prepared program folders.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QtTest>
#include <memory>

#include "CardListView.h"
#include "Main.h"
#include "ModalAnswer.h"
#include "ProgramFolder.h"
#include "Thumbnails.h"

namespace {

using Form = std::unique_ptr<TVastrelleMainForm>;

Form Open(const ProgramFolder& folder) {
    return std::make_unique<TVastrelleMainForm>(folder.Path());
}

QAction* Action(const Form& form, const char* name) {
    return form->findChild<QAction*>(QString::fromLatin1(name));
}

QComboBox* Combo(const Form& form) {
    return form->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
}

QAbstractItemModel* Model(const Form& form) { return form->ListView()->ReportView()->model(); }

// The user picks the item at `index` in ComboBox1.
void Choose(const Form& form, int index) {
    Combo(form)->setCurrentIndex(index);
    emit Combo(form)->activated(index);
}

QImage Thumbnail(const Form& form, int row) {
    QVariant decoration = Model(form)->data(Model(form)->index(row, 0), Qt::DecorationRole);
    return decoration.isNull() ? QImage() : decoration.value<QPixmap>().toImage();
}

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void startsWithRememberedCardTypeAndView();
    void firstRunLoadsFirstCardTypeInDetailView();
    void noCardTypesLeavesEverythingEmpty();
    void statusLineCountsOwnedCards_data();
    void statusLineCountsOwnedCards();
    void eachViewItemSelectsStyleAndThumbnails_data();
    void eachViewItemSelectsStyleAndThumbnails();
    void choosingTheCheckedViewClearsItAndKeepsTheStyle();
    void viewChangeReloadsTheFileFromDisk();
    void rememberedRowPositionSurvivesSwitches();
    void cardTypeWithoutCardListKeepsStatusLine();
    void brokenCardListIsReportedAndMarkedUnreadable();
    void brokenCardListAtStartUpStillOpensTheWindow();
    void unreadableThumbnailsLeaveOnlyTheirRowsWithoutImage();
    void thumbnailsAreLaidUnscaledOnAWhiteCanvas();
    void settingsAreWrittenWhenTheWindowCloses();
    void settingsWriteFailureIsReportedAtTeardown();
};

void MainFormTest::startsWithRememberedCardTypeAndView() {
    ProgramFolder folder;
    folder.AddCardType("Alpha", ProgramFolder::MakeCards(3, 1));
    folder.AddCardType("ベータ", ProgramFolder::MakeCards(10, 5));
    folder.WriteFile("setting.ini", "[lastsetting]\r\ncardname=" + Sjis("ベータ") +
                                        "\r\n[layout]\r\ndetail=0\r\ntitle_frontimg=1\r\n");
    Form form = Open(folder);
    QAbstractItemModelTester tester(Model(form));

    QCOMPARE(form->windowTitle(), U("Vastrelle ver.1.0.0.0"));
    QCOMPARE(Combo(form)->count(), 2);
    QCOMPARE(Combo(form)->itemText(1), U("ベータ"));
    QCOMPARE(Combo(form)->currentIndex(), 1);
    QCOMPARE(form->CurrentCardTypeName(), Sjis("ベータ"));
    QCOMPARE(form->CheckedView(), std::optional<ViewItem>(ViewItem::TitleFrontImg));
    QCOMPARE(form->ListView()->ViewStyle(), TViewStyle::SmallIcon);
    QCOMPARE(Model(form)->rowCount(), 10);
    QCOMPARE(form->StatusLineText(), U("5/10[50%]"));
    QVERIFY(form->IsCardTypeWritable());

    // The report's columns and one row's texts.
    QCOMPARE(Model(form)->columnCount(), 4);
    const char* headers[] = {"No.", "タイトル", "コメント", "所持"};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(Model(form)->headerData(i, Qt::Horizontal).toString(), U(headers[i]));
    QCOMPARE(form->ListView()->ReportView()->columnWidth(1), 250);
    QCOMPARE(Model(form)->index(0, 0).data().toString(), U("No.1"));
    QCOMPARE(Model(form)->index(0, 1).data().toString(), U("カード1"));
    QCOMPARE(Model(form)->index(0, 3).data().toString(), U("●"));
    QCOMPARE(Model(form)->index(9, 3).data().toString(), QString());
    QCOMPARE(Model(form)->index(7, 0).data(Qt::UserRole).toInt(), 7);

    // Menus as designed: exact captions, 設定... hidden, 登録... enabled with a card type loaded.
    QCOMPARE(Action(form, "N4")->text(), U("カード種類テンプレート取込..."));
    QCOMPARE(Action(form, "N14")->text(), U("タイトル+裏画像[大]"));
    QVERIFY(!Action(form, "N9")->isVisible());
    QVERIFY(Action(form, "N5")->isEnabled());
    QVERIFY(!Action(form, "N6")->isEnabled());
    form->ListView()->SelectRow(2);
    QVERIFY(Action(form, "N6")->isEnabled() && Action(form, "N7")->isEnabled());
}

void MainFormTest::firstRunLoadsFirstCardTypeInDetailView() {
    ProgramFolder folder;
    folder.AddCardType("Alpha", ProgramFolder::MakeCards(3, 1));
    folder.AddCardType("Beta", ProgramFolder::MakeCards(4));
    Form form = Open(folder);
    QCOMPARE(Combo(form)->currentText(), U("Alpha"));
    QCOMPARE(form->CheckedView(), std::optional<ViewItem>(ViewItem::Detail));
    QCOMPARE(form->ListView()->ViewStyle(), TViewStyle::Report);
    QCOMPARE(form->StatusLineText(), U("1/3[33%]"));
}

void MainFormTest::noCardTypesLeavesEverythingEmpty() {
    ProgramFolder folder;
    Form form = Open(folder);
    QCOMPARE(Combo(form)->count(), 0);
    QCOMPARE(Model(form)->rowCount(), 0);
    QCOMPARE(form->StatusLineText(), QString());
    QVERIFY(!form->CardTypePaths().IsSet());
    QVERIFY(!form->IsCardTypeLoaded());
    QVERIFY(!Action(form, "N5")->isEnabled());
}

void MainFormTest::statusLineCountsOwnedCards_data() {
    QTest::addColumn<int>("owned");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << 0 << 0 << U("0/0");
    QTest::newRow("1 of 3") << 1 << 3 << U("1/3[33%]");
    QTest::newRow("2 of 3 rounds down") << 2 << 3 << U("2/3[66%]");
    QTest::newRow("all") << 5 << 5 << U("5/5[100%]");
    QTest::newRow("0 of 4") << 0 << 4 << U("0/4[0%]");
    QTest::newRow("29 of 100") << 29 << 100 << U("29/100[29%]");
}

void MainFormTest::statusLineCountsOwnedCards() {
    QFETCH(int, owned);
    QFETCH(int, total);
    QFETCH(QString, expected);
    ProgramFolder folder;
    folder.AddCardType("Cards", ProgramFolder::MakeCards(total, owned));
    folder.WriteFile("setting.ini", "[layout]\r\ntitle_backimg_large=1\r\n");
    Form form = Open(folder);
    QCOMPARE(form->StatusLineText(), expected);
    QCOMPARE(Model(form)->rowCount(), total);
    // Even a card type without cards gets the checked view.
    QCOMPARE(form->ListView()->ViewStyle(), TViewStyle::Icon);
}

void MainFormTest::eachViewItemSelectsStyleAndThumbnails_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("style");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("side");
    QTest::newRow("detail") << U("N10") << int(TViewStyle::Report) << QColor(Qt::red) << 50;
    QTest::newRow("front small") << U("N11") << int(TViewStyle::SmallIcon) << QColor(Qt::red) << 50;
    QTest::newRow("back small") << U("N12") << int(TViewStyle::SmallIcon) << QColor(Qt::blue) << 50;
    QTest::newRow("front large") << U("N13") << int(TViewStyle::Icon) << QColor(Qt::green) << 100;
    QTest::newRow("back large") << U("N14") << int(TViewStyle::Icon) << QColor(Qt::yellow) << 100;
}

void MainFormTest::eachViewItemSelectsStyleAndThumbnails() {
    QFETCH(QString, item);
    QFETCH(int, style);
    QFETCH(QColor, color);
    QFETCH(int, side);
    ProgramFolder folder;
    folder.AddCardType("Cards", ProgramFolder::MakeCards(2));
    folder.AddThumbnail("Cards", "f0.thm", Qt::red, 50, 50);
    folder.AddThumbnail("Cards", "b0.thm", Qt::blue, 50, 50);
    folder.AddThumbnail("Cards", "f0.thm_large", Qt::green, 100, 100);
    folder.AddThumbnail("Cards", "b0.thm_large", Qt::yellow, 100, 100);
    Form form = Open(folder);
    // Start from another view so that every item is a change.
    Action(form, item == U("N12") ? "N11" : "N12")->trigger();
    form->findChild<QAction*>(item)->trigger();

    QVERIFY(form->findChild<QAction*>(item)->isChecked());
    QCOMPARE(int(form->ListView()->ViewStyle()), style);
    QCOMPARE(form->ListView()->CurrentView()->iconSize(), QSize(side, side));
    QImage image = Thumbnail(form, 0);
    QCOMPARE(image.size(), QSize(side, side));
    QCOMPARE(image.pixelColor(side - 1, side - 1), color);
    QVERIFY(Thumbnail(form, 1).isNull());
    // The text beside or under a thumbnail is the card number.
    QCOMPARE(form->ListView()->CurrentView()->model()->index(1, 0).data().toString(), U("No.2"));
}

void MainFormTest::choosingTheCheckedViewClearsItAndKeepsTheStyle() {
    ProgramFolder folder;
    folder.AddCardType("Cards", ProgramFolder::MakeCards(1));
    folder.AddThumbnail("Cards", "b0.thm", Qt::blue, 50, 50);
    folder.AddThumbnail("Cards", "f0.thm_large", Qt::green, 100, 100);
    folder.WriteFile("setting.ini", "[layout]\r\ntitle_frontimg_large=1\r\n");
    Form form = Open(folder);
    QCOMPARE(Thumbnail(form, 0).pixelColor(0, 0), QColor(Qt::green));

    Action(form, "N13")->trigger();
    QCOMPARE(form->CheckedView(), std::nullopt);
    QCOMPARE(form->ListView()->ViewStyle(), TViewStyle::Icon);
    // With no view checked the small back thumbnails are shown.
    QCOMPARE(Thumbnail(form, 0).size(), QSize(50, 50));
    QCOMPARE(Thumbnail(form, 0).pixelColor(0, 0), QColor(Qt::blue));
}

void MainFormTest::viewChangeReloadsTheFileFromDisk() {
    ProgramFolder folder;
    folder.AddCardType("Cards", ProgramFolder::MakeCards(2));
    Form form = Open(folder);
    folder.AddCardType("Cards", ProgramFolder::MakeCards(6, 3));
    Action(form, "N11")->trigger();
    QCOMPARE(Model(form)->rowCount(), 6);
    QCOMPARE(form->StatusLineText(), U("3/6[50%]"));
    QCOMPARE(form->Cards().size(), std::size_t(6));
}

void MainFormTest::rememberedRowPositionSurvivesSwitches() {
    ProgramFolder folder;
    folder.AddCardType("A", ProgramFolder::MakeCards(10));
    folder.AddCardType("B", ProgramFolder::MakeCards(3));
    folder.AddCardType("C", ProgramFolder::MakeCards(200));
    Form form = Open(folder);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));

    form->ListView()->SelectRow(5);
    Choose(form, 1);
    QCOMPARE(form->ListView()->SelectedRow(), std::nullopt);

    Choose(form, 0);
    form->ListView()->SelectRow(5);
    Choose(form, 2);
    QCOMPARE(form->ListView()->SelectedRow(), std::optional<int>(5));

    // A far row in the icon view is selected, current and scrolled into view.
    form->ListView()->SelectRow(150);
    Action(form, "N13")->trigger();
    QAbstractItemView* view = form->ListView()->CurrentView();
    QCOMPARE(form->ListView()->SelectedRow(), std::optional<int>(150));
    QCOMPARE(view->currentIndex().row(), 150);
    QVERIFY(view->viewport()->rect().contains(view->visualRect(view->currentIndex())));

    // Deleting the selected last row leaves no row selected.
    form->ListView()->SelectRow(199);
    folder.AddCardType("C", ProgramFolder::MakeCards(199));
    QVERIFY(form->RefreshList("C"));
    QCOMPARE(form->ListView()->SelectedRow(), std::nullopt);
    QVERIFY(!Action(form, "N6")->isEnabled());
}

void MainFormTest::cardTypeWithoutCardListKeepsStatusLine() {
    ProgramFolder folder;
    folder.AddCardType("A", ProgramFolder::MakeCards(3, 1));
    std::filesystem::create_directories(folder.CardTypeFolder("Bare") / "image");
    Form form = Open(folder);
    QCOMPARE(form->StatusLineText(), U("1/3[33%]"));

    QVERIFY(!form->RefreshList("Bare"));
    QCOMPARE(Model(form)->rowCount(), 0);
    QCOMPARE(form->StatusLineText(), U("1/3[33%]"));
    QCOMPARE(Combo(form)->currentIndex(), -1);
    QCOMPARE(form->CardTypePaths().CardTypeFolder(), folder.CardTypeFolder("Bare"));
    QVERIFY(!Action(form, "N5")->isEnabled());

    QVERIFY(!form->RefreshList(""));
    QVERIFY(!form->CardTypePaths().IsSet());
}

void MainFormTest::brokenCardListIsReportedAndMarkedUnreadable() {
    ProgramFolder folder;
    folder.AddCardType("A", ProgramFolder::MakeCards(3, 1));
    folder.AddCardType("B", {});
    folder.WriteFile("B/cardlist.dat", "<?xml version=\"1.0\"?>\r\n<cardlist><carditem>");
    Form form = Open(folder);

    QString title, text;
    AnswerNextModal(U("OK"), [&](QWidget* box) {
        title = box->windowTitle();
        text = static_cast<QMessageBox*>(box)->text();
    });
    Choose(form, 1);
    QCOMPARE(title, U("Mainformtest"));  // the application title rule
    QVERIFY(!text.isEmpty());
    QCOMPARE(Model(form)->rowCount(), 0);
    QVERIFY(form->Cards().empty());
    QCOMPARE(form->StatusLineText(), U("1/3[33%]"));
    QVERIFY(form->IsCardTypeLoaded());
    QVERIFY(!form->IsCardTypeWritable());

    Choose(form, 0);
    QVERIFY(form->IsCardTypeWritable());
}

void MainFormTest::brokenCardListAtStartUpStillOpensTheWindow() {
    ProgramFolder folder;
    folder.AddCardType("A", {});
    folder.WriteFile("A/cardlist.dat", "not xml at all");
    bool reported = false;
    AnswerNextModal(U("OK"), [&](QWidget*) { reported = true; });
    Form form = Open(folder);
    QVERIFY(reported);
    QCOMPARE(form->windowTitle(), U("Vastrelle ver.1.0.0.0"));
    QCOMPARE(Combo(form)->currentText(), U("A"));
    QVERIFY(!form->IsCardTypeWritable());
}

void MainFormTest::unreadableThumbnailsLeaveOnlyTheirRowsWithoutImage() {
    ProgramFolder folder;
    folder.AddCardType("Cards", ProgramFolder::MakeCards(5, 5));
    for (int i : {0, 1, 4})
        folder.AddThumbnail("Cards", "f" + std::to_string(i) + ".thm", Qt::red, 50, 50);
    folder.WriteFile("Cards/image/f2.thm", "this is not a bitmap");  // f3.thm is missing
    Form form = Open(folder);
    QCOMPARE(Model(form)->rowCount(), 5);
    QCOMPARE(form->StatusLineText(), U("5/5[100%]"));
    for (int row : {0, 1, 4}) QVERIFY(!Thumbnail(form, row).isNull());
    for (int row : {2, 3}) {
        QVERIFY(Thumbnail(form, row).isNull());
        QCOMPARE(Model(form)->index(row, 1).data().toString(),
                 U("カード") + QString::number(row + 1));
    }
}

void MainFormTest::thumbnailsAreLaidUnscaledOnAWhiteCanvas() {
    QTemporaryDir dir;
    auto file = [&](const char* name) {
        return std::filesystem::path(dir.filePath(U(name)).toStdString());
    };
    QImage small(50, 37, QImage::Format_RGB888);
    small.fill(Qt::red);
    small.save(dir.filePath(U("small.thm")), "BMP");
    QImage image = LoadThumbnail(file("small.thm"), 50);
    QCOMPARE(image.size(), QSize(50, 50));
    QCOMPARE(image.pixelColor(49, 36), QColor(Qt::red));
    QCOMPARE(image.pixelColor(49, 37), QColor(Qt::white));

    QImage large(120, 80, QImage::Format_RGB888);
    large.fill(Qt::blue);
    large.setPixelColor(99, 0, Qt::green);
    large.save(dir.filePath(U("large.thm_large")), "BMP");
    image = LoadThumbnail(file("large.thm_large"), 100);
    QCOMPARE(image.size(), QSize(100, 100));
    QCOMPARE(image.pixelColor(99, 0), QColor(Qt::green));
    QCOMPARE(image.pixelColor(99, 79), QColor(Qt::blue));
    QCOMPARE(image.pixelColor(0, 80), QColor(Qt::white));

    // Palette bitmaps of 8 and 1 bits, as other tools write them, read the same way.
    QImage indexed = small.convertToFormat(QImage::Format_Indexed8);
    indexed.save(dir.filePath(U("indexed.thm")), "BMP");
    QCOMPARE(LoadThumbnail(file("indexed.thm"), 50).pixelColor(0, 0), QColor(Qt::red));
    QImage mono(30, 30, QImage::Format_Mono);
    mono.fill(0);
    mono.save(dir.filePath(U("mono.thm")), "BMP");
    QImage monoThumb = LoadThumbnail(file("mono.thm"), 50);
    QCOMPARE(monoThumb.pixelColor(0, 0), QColor(Qt::black));
    QCOMPARE(monoThumb.pixelColor(40, 40), QColor(Qt::white));
}

void MainFormTest::settingsAreWrittenWhenTheWindowCloses() {
    ProgramFolder folder;
    folder.AddCardType("Alpha", ProgramFolder::MakeCards(1));
    folder.AddCardType("ベータ", ProgramFolder::MakeCards(1));
    {
        Form form = Open(folder);
        Choose(form, 1);
        Action(form, "N12")->trigger();
        Action(form, "Exit1")->trigger();
    }
    TSettings settings = ReadSettings(folder.Path(), {});
    QCOMPARE(settings.CardName, Sjis("ベータ"));
    QCOMPARE(settings.CheckedView, std::optional<ViewItem>(ViewItem::TitleBackImg));

    // No card type chosen and no view checked.
    {
        Form form = Open(folder);
        QCOMPARE(form->CurrentCardTypeName(), Sjis("ベータ"));
        Combo(form)->setCurrentIndex(-1);
        Action(form, "N12")->trigger();
    }
    std::string ini = ReadBytes(folder.Path() / "setting.ini");
    QVERIFY(ini.find("cardname=\r\n") != std::string::npos);
    for (const char* key : {"detail", "title_frontimg", "title_backimg", "title_frontimg_large",
                            "title_backimg_large"})
        QVERIFY(ini.find(std::string(key) + "=0\r\n") != std::string::npos);
}

void MainFormTest::settingsWriteFailureIsReportedAtTeardown() {
    ProgramFolder folder;
    folder.AddCardType("Alpha", ProgramFolder::MakeCards(1));
    // A folder in the way makes the write fail even for root.
    std::filesystem::create_directories(folder.Path() / "setting.ini");
    Form form = Open(folder);
    QString text;
    AnswerNextModal(U("OK"), [&](QWidget* box) { text = static_cast<QMessageBox*>(box)->text(); });
    form.reset();
    QVERIFY(text.contains(U("setting.ini")));
}

QTEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
