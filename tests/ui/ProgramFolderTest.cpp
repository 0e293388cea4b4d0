// Where the program keeps its data: the executable's folder when it may be written, else the
// user's data folder; what start-up says about a read-only one and asks about Windows names.
// Runs as an unprivileged user when started as root, so that read-only folders are real.
#include <unistd.h>

#include <QProcess>
#include <QtTest>

#include "MainWindowHarness.h"
#include "ProgramFolder.h"
#include "StartupNotices.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/DataFolder.h"

namespace fs = std::filesystem;

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// Read-only while it lives, so that the temporary folders can be removed afterwards.
class ReadOnly {
public:
    explicit ReadOnly(fs::path folder) : m_folder(std::move(folder)) {
        fs::permissions(m_folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    ~ReadOnly() {
        std::error_code ec;
        fs::permissions(m_folder, fs::perms::owner_all, ec);
    }
    ReadOnly(const ReadOnly&) = delete;
    ReadOnly& operator=(const ReadOnly&) = delete;

private:
    fs::path m_folder;
};

fs::path Sub(const QTemporaryDir& dir, const char* name) {
    return fs::path(dir.path().toStdString()) / name;
}

// Whether a message box opens while `action` runs; it is answered at once.
bool OpensMessageBox(const std::function<void()>& action) {
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = true;
            box->done(QMessageBox::Ok);
        }
    });
    action();
    QCoreApplication::processEvents();
    return shown;
}

}  // namespace

class ProgramFolderTest : public QObject {
    Q_OBJECT
private slots:
    void writableExecutableFolderIsTheProgramFolder();
    void readOnlyExecutableFolderUsesTheUserDataFolderMadeOnFirstStart();
    void nothingWritableKeepsTheExecutableFolderUnwritable();
    void installedProgramStartsOnTheUserDataFolder();
    void readOnlyProgramFolderIsReportedOnceAndListAndLoadAgree();
    void unlistedRememberedCardTypeIsNotLoaded();
    void windowsNamesAreConvertedOnlyWhenTheUserAgrees();
};

void ProgramFolderTest::writableExecutableFolderIsTheProgramFolder() {
    QTemporaryDir exe, data;
    TProgramFolderChoice choice =
        ChooseProgramFolder(exe.path().toStdString(), data.path().toStdString(), "/nonexistent");
    QCOMPARE(QString::fromStdString(choice.Folder), exe.path());
    QVERIFY(choice.Writable);
    QVERIFY(!fs::exists(Sub(data, "vastrelle")));

    // The bin folder of an installed program is never the program folder, writable or not.
    const fs::path bin = Sub(exe, "prefix/bin");
    fs::create_directories(bin);
    fs::create_directories(bin.parent_path() / "share/metainfo");
    std::ofstream(bin.parent_path() / "share/metainfo/io.github.vastrelle.Vastrelle.metainfo.xml")
        << "<component/>";
    TProgramFolderChoice installed = ChooseProgramFolder(bin, data.path().toStdString(), "");
    QCOMPARE(installed.Folder, Sub(data, "vastrelle"));
    QVERIFY(installed.Writable);
}

void ProgramFolderTest::readOnlyExecutableFolderUsesTheUserDataFolderMadeOnFirstStart() {
    QTemporaryDir exe, data, home;
    ReadOnly exeLock(exe.path().toStdString());
    const fs::path xdg = Sub(data, "deep/share");
    TProgramFolderChoice first = ChooseProgramFolder(exe.path().toStdString(), xdg, "/nonexistent");
    QCOMPARE(first.Folder, xdg / "vastrelle");
    QVERIFY(first.Writable);
    QVERIFY(fs::is_directory(xdg / "vastrelle"));
    // Later starts find it there.
    QCOMPARE(ChooseProgramFolder(exe.path().toStdString(), xdg, "").Folder, xdg / "vastrelle");

    // Without XDG_DATA_HOME, or with a relative one, the folder goes into the home folder.
    const fs::path homeFolder = home.path().toStdString();
    for (const std::string& xdgValue : {std::string(), std::string("relative/share")}) {
        TProgramFolderChoice choice =
            ChooseProgramFolder(exe.path().toStdString(), xdgValue, homeFolder);
        QCOMPARE(choice.Folder, homeFolder / ".local/share/vastrelle");
        QVERIFY(choice.Writable);
    }
}

void ProgramFolderTest::nothingWritableKeepsTheExecutableFolderUnwritable() {
    if (IsWritableFolder("/")) QSKIP("this user may write everywhere");
    QTemporaryDir exe, data;
    ReadOnly exeLock(exe.path().toStdString());
    ReadOnly dataLock(data.path().toStdString());
    TProgramFolderChoice choice =
        ChooseProgramFolder(exe.path().toStdString(), data.path().toStdString(), "");
    QCOMPARE(QString::fromStdString(choice.Folder), exe.path());
    QVERIFY(!choice.Writable);
}

void ProgramFolderTest::installedProgramStartsOnTheUserDataFolder() {
    QTemporaryDir exeDir, data, runtime;
    const QString exe = exeDir.filePath(QStringLiteral("vastrelle"));
    QVERIFY(QFile::copy(QStringLiteral(VASTRELLE_EXE), exe));
    ReadOnly exeLock(exeDir.path().toStdString());

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    program.setProcessEnvironment(env);
    program.start(exe, {});
    QVERIFY(program.waitForStarted());
    // The socket is made once the main window exists on its program folder.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime.filePath(QStringLiteral("Vastrelle.socket"))),
                             10000);
    QVERIFY(fs::is_directory(Sub(data, "vastrelle")));
    QVERIFY(fs::is_empty(Sub(data, "vastrelle")));
    program.kill();
    program.waitForFinished(5000);
}

void ProgramFolderTest::readOnlyProgramFolderIsReportedOnceAndListAndLoadAgree() {
    ProgramFolder folder;
    folder.AddCardType("alpha", ProgramFolder::MakeCards(3, 1));
    folder.WriteFile("setting.ini", "[lastsetting]\r\ncardname=alpha\r\n");
    ReadOnly typeLock(folder.CardTypeFolder("alpha"));
    ReadOnly folderLock(folder.Path());
    if (IsWritableFolder(folder.Path())) QSKIP("this user may write read-only folders");

    QString text;
    AnswerBox(U("OK"), [&text](QMessageBox* box) { text = box->text(); });
    ReportReadOnlyProgramFolder(nullptr, folder.Path());
    QVERIFY2(text.contains(QString::fromStdString(folder.Path())), qPrintable(text));
    QVERIFY(text.contains(U("書き込めない")));

    {
        TMainWindow window = OpenMainWindow(folder.Path());
        // Not listed, so not loaded either; nothing can be made here.
        QVERIFY(window.ComboItems().isEmpty());
        QVERIFY(!window->IsCardTypeLoaded());
        QVERIFY(!window->CardTypePaths().IsSet());
        QVERIFY(!window.Action("N2")->isEnabled());
        QVERIFY(!window.Action("N4")->isEnabled());
        QVERIFY(!window.Action("N5")->isEnabled());
        // Closing does not fail on setting.ini again.
        QVERIFY(!OpensMessageBox([&window] { window.Form.reset(); }));
    }
}

void ProgramFolderTest::unlistedRememberedCardTypeIsNotLoaded() {
    ProgramFolder folder;
    folder.AddCardType("alpha", ProgramFolder::MakeCards(2));
    folder.AddCardType("beta", ProgramFolder::MakeCards(4));
    folder.WriteFile("setting.ini", "[lastsetting]\r\ncardname=beta\r\n");
    ReadOnly typeLock(folder.CardTypeFolder("beta"));
    if (IsWritableFolder(folder.CardTypeFolder("beta"))) QSKIP("this user may write everywhere");

    TMainWindow window = OpenMainWindow(folder.Path());
    QCOMPARE(window.ComboItems(), QStringList{U("alpha")});
    QVERIFY(!window->IsCardTypeLoaded());
    QVERIFY(window->Cards().empty());
    QVERIFY(window.Action("N2")->isEnabled());
}

void ProgramFolderTest::windowsNamesAreConvertedOnlyWhenTheUserAgrees() {
    ProgramFolder folder;
    const fs::path windowsName = folder.Path() / Sjis("城めぐり");
    fs::create_directories(windowsName / "image");
    TCardInfos cards = ProgramFolder::MakeCards(1);
    cards[0].FrontImageFileName = Sjis("天守.jpg");
    WriteCardList(cards, windowsName);
    folder.WriteFile(windowsName / "image" / Sjis("天守.jpg"), "jpeg");

    QString question;
    AnswerBox(U("いいえ(&N)"), [&question](QMessageBox* box) { question = box->text(); });
    OfferNameConversion(nullptr, folder.Path());
    QVERIFY2(question.startsWith(U("Windows からコピーしたフォルダの名前を変換しますか？")),
             qPrintable(question));
    QVERIFY(question.contains(U("城めぐり")));
    QVERIFY(fs::is_directory(windowsName));

    AnswerBox(U("はい(&Y)"));
    OfferNameConversion(nullptr, folder.Path());
    QVERIFY(!fs::exists(windowsName));
    QVERIFY(fs::is_regular_file(folder.CardTypeFolder("城めぐり") / "image" / "天守.jpg"));
    // Nothing left to ask about.
    QVERIFY(!OpensMessageBox([&folder] { OfferNameConversion(nullptr, folder.Path()); }));
    TMainWindow window = OpenMainWindow(folder.Path());
    QCOMPARE(window.ComboItems(), QStringList{U("城めぐり")});
    QCOMPARE(window->Cards().size(), std::size_t{1});
}

int main(int argc, char* argv[]) {
    // Root may write read-only folders; the folders of these tests are made by the user too.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 1;
    QApplication app(argc, argv);
    ProgramFolderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ProgramFolderTest.moc"
