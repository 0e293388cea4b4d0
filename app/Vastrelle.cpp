// The program entry: one instance per user, the main window, then the message loop.
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLibraryInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QTranslator>
#include <optional>

#include "CardInfoInputDlg.h"
#include "CardTypeInputDlg.h"
#include "Main.h"
#include "QtText.h"
#include "UiFont.h"

namespace {

// The instance lock's file in the per-user runtime folder; empty when there is none.
QString InstanceLockPath() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("Vastrelle.lock"));
}

// False when another instance holds the lock. A lock left by a process that died is taken over.
// Any other failure (a runtime folder we cannot write) must not keep the program from starting,
// so it then runs without the lock.
bool TakeInstanceLock(QLockFile& lock) {
    // Only a dead owner makes the lock stale, never its age: the program may run for days.
    lock.setStaleLockTime(0);
    return lock.tryLock(0) || lock.error() != QLockFile::LockFailedError;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Held until the process ends.
    std::optional<QLockFile> lock;
    if (QString path = InstanceLockPath(); !path.isEmpty()) {
        lock.emplace(path);
        if (!TakeInstanceLock(*lock)) return 0;
    }

    QApplication app(argc, argv);
    // The window asks for its design font by name; IPA P Gothic has the same metrics.
    QFont::insertSubstitution(UiFontFamily(), QStringLiteral("IPAPGothic"));
    // The interface is Japanese, so Qt's own dialogs and buttons speak Japanese too.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    TVastrelleMainForm mainForm(ToPath(QCoreApplication::applicationDirPath()));
    // Created once, after the main window and in this order; owned by the main window and
    // hidden until a command shows them.
    auto* cardDialog = new TCardInfoInputForm(&mainForm);
    auto* cardTypeDialog = new TCardTypeInputForm(&mainForm);
    mainForm.SetDialogs(cardDialog, cardTypeDialog);

    mainForm.show();
    return app.exec();
}
