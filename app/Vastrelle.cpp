// The program entry: one instance per user, the main window, then the message loop.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <optional>

#include "CardInfoInputDlg.h"
#include "CardTypeInputDlg.h"
#include "InstanceChannel.h"
#include "Main.h"
#include "QtText.h"
#include "StartupNotices.h"
#include "UiFont.h"
#include "cardtypes/DataFolder.h"

namespace {

// The instance lock and the socket of the running instance, in the per-user runtime folder;
// empty when there is none.
QString RuntimeFilePath(const QString& name) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

// False when another instance holds the lock. A lock left by a process that died is taken over.
// Any other failure (a runtime folder we cannot write) must not keep the program from starting,
// so it then runs without the lock.
bool TakeInstanceLock(QLockFile& lock) {
    // Only a dead owner makes the lock stale, never its age: the program may run for days.
    lock.setStaleLockTime(0);
    return lock.tryLock(0) || lock.error() != QLockFile::LockFailedError;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

int main(int argc, char* argv[]) {
    // Held until the process ends.
    std::optional<QLockFile> lock;
    const QString socketPath = RuntimeFilePath(QStringLiteral("Vastrelle.socket"));
    if (QString path = RuntimeFilePath(QStringLiteral("Vastrelle.lock")); !path.isEmpty()) {
        lock.emplace(path);
        if (!TakeInstanceLock(*lock)) {
            // The running instance shows its window; this start ends, answered or not.
            QCoreApplication core(argc, argv);
            AskRunningInstanceToShow(socketPath, 3000);
            return 0;
        }
    }

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.vastrelle.Vastrelle"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vastrelle.png")));
    // The window asks for its design font by name; IPA P Gothic has the same metrics.
    QFont::insertSubstitution(UiFontFamily(), QStringLiteral("IPAPGothic"));
    // The interface is Japanese, so Qt's own dialogs and buttons speak Japanese too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    const TProgramFolderChoice folder =
        ChooseProgramFolder(ToPath(QCoreApplication::applicationDirPath()),
                            Environment("XDG_DATA_HOME"), Environment("HOME"));
    // Before the card types are listed, so that renamed folders are listed at once.
    if (folder.Writable) OfferNameConversion(nullptr, folder.Folder);

    TVastrelleMainForm mainForm(folder.Folder);
    // Created once, after the main window and in this order; owned by the main window and
    // hidden until a command shows them.
    auto* cardDialog = new TCardInfoInputForm(&mainForm);
    auto* cardTypeDialog = new TCardTypeInputForm(&mainForm);
    mainForm.SetDialogs(cardDialog, cardTypeDialog);

    TInstanceChannel channel;
    if (lock && lock->isLocked()) channel.Listen(socketPath, &mainForm);

    mainForm.show();
    if (!folder.Writable)
        QTimer::singleShot(0, &mainForm, [&mainForm, &folder] {
            ReportReadOnlyProgramFolder(&mainForm, folder.Folder);
        });
    return app.exec();
}
