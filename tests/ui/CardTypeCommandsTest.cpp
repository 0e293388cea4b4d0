// Creating a card type and importing one from a template: the name dialog, the open dialog, the
// folders on disk and the combo box.
#include <QLabel>
#include <QtTest>
#include <set>

#include "CardDialogSupport.h"
#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "cardlist/CardList.h"

namespace {

std::set<std::string> Entries(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

}  // namespace

class CardTypeCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { QCoreApplication::processEvents(); }

    void createdCardTypeIsAppendedButNotLoaded() {
        ProgramFolder folder;
        folder.AddCardType("Alpha", ProgramFolder::MakeCards(2, 1));
        folder.AddCardType("Beta", ProgramFolder::MakeCards(3));
        folder.WriteFile("setting.ini", "[lastsetting]\r\ncardname=Beta\r\n");
        TMainWindow window = OpenMainWindow(folder.Path());
        window->ListView()->SelectRow(2);
        QString shown = Utf8("unset");
        QString caption, prompt;
        ActOnNext<TCardTypeInputForm>([&](TCardTypeInputForm* modal) {
            caption = modal->windowTitle();
            prompt = modal->findChild<QLabel*>(Utf8("Label1"))->text();
        });
        window->N2Click();  // only looks: cancelled
        EnterCardTypeName(Utf8("ガンダム 0079"), &shown);
        window->N2Click();

        QCOMPARE(caption, Utf8("カード種類名称"));
        QCOMPARE(prompt, Utf8("カード種類名称を入力してください"));
        QCOMPARE(shown, QString());
        std::filesystem::path created = folder.CardTypeFolder("ガンダム 0079");
        QCOMPARE(FileBytes(created / kCardListFileName), EmptyCardListText());
        QVERIFY(std::filesystem::is_empty(created / "image"));
        QCOMPARE(window.ComboItems(),
                 QStringList({Utf8("Alpha"), Utf8("Beta"), Utf8("ガンダム 0079")}));
        QCOMPARE(window.Combo()->currentText(), Utf8("Beta"));
        QCOMPARE(window->CardTypePaths().CardTypeFolder(), folder.CardTypeFolder("Beta"));
        QCOMPARE(window.Model()->rowCount(), 3);
        QCOMPARE(window->ListView()->SelectedRow(), std::optional<int>(2));
        QCOMPARE(window->StatusLineText(), Utf8("0/3[0%]"));

        // Choosing it loads it.
        window.Choose(2);
        QCOMPARE(window.Model()->rowCount(), 0);
        QCOMPARE(window->StatusLineText(), Utf8("0/0"));
    }

    void firstCardTypeIsNotChosenEither() {
        ProgramFolder folder;
        TMainWindow window = OpenMainWindow(folder.Path());
        EnterCardTypeName(Utf8("first"));
        window->N2Click();
        QCOMPARE(window.ComboItems(), QStringList(Utf8("first")));
        QCOMPARE(window.Combo()->currentIndex(), -1);
        QVERIFY(!window->IsCardTypeLoaded());
        QVERIFY(!window.Action("N5")->isEnabled());
    }

    void refusedNamesChangeNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString exists = Utf8("既に同じカード種類名称が存在しますので作成出来ません。");
        const QString bad = Utf8("カード種類名称に使用できない文字が含まれています。");
        QTest::newRow("existing card type") << Utf8("Alpha") << exists;
        QTest::newRow("left-over folder") << Utf8("half") << exists;
        // Refused inside the name dialog, naming what is not allowed.
        QTest::newRow("dot dot") << Utf8("..") << bad + Utf8("\n先頭の「.」は使用できません。");
        QTest::newRow("separator") << Utf8("a/b") << bad + Utf8("\n「/」は使用できません。");
        QTest::newRow("no CP932 form")
            << Utf8("한국") << bad + Utf8("\n「한」「국」は使用できません。");
    }
    void refusedNamesChangeNothing() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        ProgramFolder folder;
        folder.AddCardType("Alpha", ProgramFolder::MakeCards(1));
        std::filesystem::create_directory(folder.Path() / "half");
        std::set<std::string> before = Entries(folder.Path());
        TMainWindow window = OpenMainWindow(folder.Path());
        QString text, title;
        EnterCardTypeName(name);
        AnswerBox(Utf8("OK"), [&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
        });
        window->N2Click();
        QCOMPARE(title, Utf8("警告"));
        QCOMPARE(text, message);
        QCOMPARE(window.ComboItems(), QStringList(Utf8("Alpha")));
        QCOMPARE(Entries(folder.Path()), before);
    }

    void importProposesTheNameAndAppendsIt() {
        ProgramFolder folder;
        folder.AddCardType("Alpha", ProgramFolder::MakeCards(1));
        folder.WriteFile("in/castles.v2.template", "line one\nline two");
        const QString templatePath =
            QString::fromStdString((folder.Path() / "in").string()) + Utf8("/castles.v2.template");
        TMainWindow window = OpenMainWindow(folder.Path());

        QString shown;
        ChooseFile(templatePath);
        EnterCardTypeName(Utf8("城"), &shown);
        window->N4Click();

        // Qt's own dialog with the one filter, taking names that need not exist.
        auto* open = window->findChild<QFileDialog*>(Utf8("OpenDialog1"));
        QVERIFY(open);
        QVERIFY(open->testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(open->nameFilters(), QStringList(Utf8("*.template")));
        QCOMPARE(open->fileMode(), QFileDialog::AnyFile);

        QCOMPARE(shown, Utf8("castles.v2"));
        QCOMPARE(FileBytes(folder.CardTypeFolder("城") / kCardListFileName),
                 std::string("line one\r\nline two\r\n"));
        QVERIFY(std::filesystem::is_directory(folder.CardTypeFolder("城") / "image"));
        QCOMPARE(window.ComboItems(), QStringList({Utf8("Alpha"), Utf8("城")}));
        QCOMPARE(window.Combo()->currentText(), Utf8("Alpha"));
        QCOMPARE(window->StatusLineText(), Utf8("0/1[0%]"));
    }

    void importAfterACancelledCreateShowsItsOwnTexts() {
        ProgramFolder folder;
        folder.WriteFile("plain.template", "");
        TMainWindow window = OpenMainWindow(folder.Path());
        ActOnNext<TCardTypeInputForm>([](TCardTypeInputForm* modal) {
            modal->findChild<QLineEdit*>(Utf8("Edit1"))->setText(Utf8("typed then cancelled"));
            modal->findChild<QPushButton*>(Utf8("Button2"))->click();
        });
        window->N2Click();
        QString shown;
        ChooseFile(QString::fromStdString((folder.Path() / "plain.template").string()));
        EnterCardTypeName(Utf8("plain"), &shown);
        window->N4Click();
        QCOMPARE(shown, Utf8("plain"));
        QCOMPARE(FileBytes(folder.CardTypeFolder("plain") / kCardListFileName), std::string());
        QCOMPARE(window.ComboItems(), QStringList(Utf8("plain")));
    }

    void cancelledImportChangesNothing() {
        ProgramFolder folder;
        folder.WriteFile("x.template", "<cardlist/>");
        std::set<std::string> before = Entries(folder.Path());
        TMainWindow window = OpenMainWindow(folder.Path());
        ActOnNext<QFileDialog>([](QFileDialog* modal) { modal->close(); });
        window->N4Click();
        ChooseFile(QString::fromStdString((folder.Path() / "x.template").string()));
        ActOnNext<TCardTypeInputForm>([](TCardTypeInputForm* modal) {
            modal->findChild<QPushButton*>(Utf8("Button2"))->click();
        });
        window->N4Click();
        QCOMPARE(Entries(folder.Path()), before);
        QVERIFY(window.ComboItems().isEmpty());
    }

    void missingTemplateLeavesNothingAndIsReported() {
        ProgramFolder folder;
        TMainWindow window = OpenMainWindow(folder.Path());
        const QString missing = QString::fromStdString((folder.Path() / "gone.template").string());
        QString text, title;
        ChooseFile(missing);
        EnterCardTypeName(Utf8("gone"));
        AnswerBox(Utf8("OK"), [&](QMessageBox* box) {
            title = box->windowTitle();
            text = box->text();
        });
        window->N4Click();
        QCOMPARE(title, Utf8("Vastrelle"));
        QCOMPARE(text, Utf8("ファイル ") + missing + Utf8(" は開けません."));
        QVERIFY(!std::filesystem::exists(folder.CardTypeFolder("gone")));
        QVERIFY(window.ComboItems().isEmpty());
    }
};

QTEST_MAIN(CardTypeCommandsTest)
#include "CardTypeCommandsTest.moc"
