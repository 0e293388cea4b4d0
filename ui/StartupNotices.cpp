#include "StartupNotices.h"

#include <QStringList>

#include "MessageBoxes.h"
#include "QtText.h"
#include "cardtypes/Migrate.h"
#include "text/Cp932.h"

namespace {

constexpr const char* kReadOnlyFolder =
    "フォルダ %1 に書き込めないため、カードやカード種類の変更と設定の保存はできません。"
    "変更するには、書き込めるフォルダにプログラムをコピーして起動してください。";
constexpr const char* kConvertQuestion = "Windows からコピーしたフォルダの名前を変換しますか？";
constexpr const char* kPictureCount = "%1 (画像などのファイル %2 個)";
constexpr const char* kKeptAsIs =
    "次のフォルダは、変換できない名前か既にある名前を含むため、そのままにします:";
constexpr const char* kConvertFailed = "次の名前を変換できませんでした:";
// Longer lists would push the buttons off the screen.
constexpr qsizetype kMaxListedFolders = 15;

// What the user recognises: the folder name as it reads once converted.
QString FolderLabel(const std::filesystem::path& folder) {
    const std::string bytes = folder.filename().native();
    return QString::fromStdString(IsValidUtf8(bytes) ? bytes : cp932::ToUtf8Lossy(bytes));
}

QString Listed(const QStringList& lines) {
    QStringList shown = lines.mid(0, kMaxListedFolders);
    if (lines.size() > kMaxListedFolders)
        shown << Tr("ほか %1 個").arg(lines.size() - kMaxListedFolders);
    return shown.join(QLatin1Char('\n'));
}

}  // namespace

void ReportReadOnlyProgramFolder(QWidget* parent, const std::filesystem::path& programFolder) {
    ShowMessage(parent, MessageKind::Warning, Tr(kReadOnlyFolder).arg(FromPath(programFolder)));
}

void OfferNameConversion(QWidget* parent, const std::filesystem::path& programFolder) {
    std::vector<TCardTypeMigration> plans;
    try {
        plans = PlanMigration(programFolder);
    } catch (const VastrelleError&) {
        return;  // a folder that does not list offers nothing; the card type list shows why
    }
    QStringList renamed, kept;
    for (const TCardTypeMigration& plan : plans) {
        QString label = FolderLabel(plan.NewFolder);
        if (!plan.CanRename()) {
            kept << label;
            continue;
        }
        qsizetype files = static_cast<qsizetype>(plan.Renames.size());
        if (plan.NewFolder != plan.Folder) --files;
        renamed << (files > 0 ? Tr(kPictureCount).arg(label).arg(files) : label);
    }
    if (renamed.isEmpty()) return;

    QString question = Tr(kConvertQuestion) + QStringLiteral("\n\n") + Listed(renamed);
    if (!kept.isEmpty())
        question += QStringLiteral("\n\n") + Tr(kKeptAsIs) + QLatin1Char('\n') + Listed(kept);
    if (!AskYesNo(parent, question)) return;

    QStringList failures;
    for (const TCardTypeMigration& plan : plans) {
        if (!plan.CanRename()) continue;
        try {
            ApplyMigration(plan);
        } catch (const VastrelleError& error) {
            failures << QString::fromUtf8(error.what());
        }
    }
    if (!failures.isEmpty())
        ShowMessage(parent, MessageKind::Warning,
                    Tr(kConvertFailed) + QLatin1Char('\n') + Listed(failures));
}
