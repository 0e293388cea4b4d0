#include "ScanImportDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "MessageBoxes.h"
#include "QtText.h"
#include "UiFont.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kCaption = "画像フォルダから取込";
constexpr const char* kPatterns =
    "ファイル名の番号でカードに取り込みます。023.jpg はカード 023 の表画像、"
    "023_b.jpg・023-back.jpg・023_裏.jpg・023_2.jpg は裏画像です"
    "（023_表.jpg・023_1.jpg は表）。番号の先頭の 0 は一致するカードが 1 枚だけのときに省けます"
    "（23.jpg も 023 の画像）。拡張子は .jpg と .jpeg です。";
constexpr const char* kReplace = "画像のあるカードも置き換える(&R)";
constexpr const char* kCreate = "一致するカードのないファイルから新しいカードを作る(&N)";
constexpr const char* kSummary =
    "取り込む画像 %1 枚（新しいカード %2 枚）、取り込めないファイル %3 件";
constexpr const char* kRefusedCaption = "取り込めないファイル";
constexpr const char* kProgressText = "画像を読み込んでいます...";
constexpr const char* kSavingText = "保存しています...";
constexpr const char* kCancel = "キャンセル";
constexpr const char* kStored = "取込";
constexpr const char* kKept = "既存の画像を残す";
constexpr const char* kNotMade = "カードを作らない";
constexpr const char* kNewCard = "新しいカード";

QString SideText(const TScanSideFile& side) {
    return side.File ? FromPath(side.File->Path.filename()) : QString();
}

// What happens to the card: its files stored, its pictures kept, or no card made.
QString StateText(const TScanCard& card, bool create) {
    QStringList parts;
    if (!card.CardIndex) parts << Tr(create ? kNewCard : kNotMade);
    for (const TScanSideFile* side : {&card.Front, &card.Back})
        if (side->File && !side->Taken && card.CardIndex) {
            parts << Tr(kKept);
            break;
        }
    if (parts.isEmpty()) parts << Tr(kStored);
    return parts.join(QStringLiteral("・"));
}

}  // namespace

// What the background work hands back: the attach, a cancel, or the failure.
struct TScanImportForm::TOutcome {
    std::optional<TAttachResult> Result;
    std::optional<VastrelleError> Failure;
};

TScanImportForm::TScanImportForm(const fs::path& cardTypeFolder, const fs::path& scanFolder,
                                 QWidget* parent)
    : QDialog(parent), m_cardTypeFolder(cardTypeFolder), m_scanFolder(scanFolder) {
    setWindowTitle(Tr(kCaption));
    setFont(UiFont(12));
    setModal(true);
    resize(640, 480);
    auto* layout = new QVBoxLayout(this);
    auto* patterns = new QLabel(Tr(kPatterns), this);
    patterns->setWordWrap(true);
    layout->addWidget(patterns);

    m_replace = new QCheckBox(Tr(kReplace), this);
    m_replace->setAccessibleName(Tr("画像を置き換える"));
    m_create = new QCheckBox(Tr(kCreate), this);
    m_create->setAccessibleName(Tr("新しいカードを作る"));
    layout->addWidget(m_replace);
    layout->addWidget(m_create);

    m_cards = new QTreeWidget(this);
    m_cards->setAccessibleName(Tr("取り込むカード"));
    m_cards->setRootIsDecorated(false);
    m_cards->setHeaderLabels({Tr("No."), Tr("タイトル"), Tr("表画像"), Tr("裏画像"), Tr("状態")});
    layout->addWidget(m_cards, 3);

    auto* refusedLabel = new QLabel(Tr(kRefusedCaption), this);
    layout->addWidget(refusedLabel);
    m_refused = new QTreeWidget(this);
    m_refused->setAccessibleName(Tr(kRefusedCaption));
    m_refused->setRootIsDecorated(false);
    m_refused->setHeaderLabels({Tr("ファイル"), Tr("理由")});
    refusedLabel->setBuddy(m_refused);
    layout->addWidget(m_refused, 1);

    m_summary = new QLabel(this);
    m_summary->setAccessibleName(Tr("取込の概要"));
    layout->addWidget(m_summary);

    auto* buttons = new QDialogButtonBox(this);
    m_ok = buttons->addButton(Tr("取込"), QDialogButtonBox::AcceptRole);
    m_ok->setAccessibleName(Tr("取込"));
    QPushButton* cancel = buttons->addButton(Tr(kCancel), QDialogButtonBox::RejectRole);
    cancel->setAccessibleName(Tr(kCancel));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &TScanImportForm::Start);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_replace, &QCheckBox::toggled, this,
            [this] { RunGuarded(this, [this] { Replan(); }); });
    connect(m_create, &QCheckBox::toggled, this,
            [this] { RunGuarded(this, [this] { Replan(); }); });
    Replan();
}

TScanImportForm::~TScanImportForm() {
    // The work holds references to nothing of the dialog but the shared counter; still, a
    // dialog is never destroyed under running work.
    if (m_watcher) {
        if (m_counter) m_counter->Cancel = true;
        m_watcher->waitForFinished();
    }
}

void TScanImportForm::Replan() {
    TCardInfos cards;
    ReadCardList(m_cardTypeFolder / kCardListFileName, cards);
    m_plan = PlanScans(cards, m_cardTypeFolder / kImageFolderName, m_scanFolder,
                       {.Create = m_create->isChecked(), .Replace = m_replace->isChecked()});
    ShowPlan();
}

void TScanImportForm::ShowPlan() {
    m_cards->clear();
    std::size_t newCards = 0;
    for (const auto* list : {&m_plan.Cards, &m_plan.NewCards})
        for (const TScanCard& card : *list) {
            if (!card.CardIndex && m_plan.Options.Create) ++newCards;
            auto* item = new QTreeWidgetItem(m_cards);
            item->setText(0, FromCp932(card.Number));
            item->setText(1, FromCp932(card.Title));
            item->setText(2, SideText(card.Front));
            item->setText(3, SideText(card.Back));
            item->setText(4, StateText(card, m_plan.Options.Create));
        }
    m_refused->clear();
    for (const TScanRefusal& refusal : m_plan.Refused) {
        auto* item = new QTreeWidgetItem(m_refused);
        item->setText(0, FromPath(refusal.File.filename()));
        item->setText(1, QString::fromStdString(refusal.Reason));
    }
    const std::size_t taken = m_plan.TakenFiles().size();
    m_summary->setText(Tr(kSummary)
                           .arg(static_cast<qulonglong>(taken))
                           .arg(static_cast<qulonglong>(newCards))
                           .arg(static_cast<qulonglong>(m_plan.Refused.size())));
    m_ok->setEnabled(taken > 0);
}

void TScanImportForm::Start() {
    if (m_watcher) return;
    const std::vector<TScanFile> files = m_plan.TakenFiles();
    if (files.empty()) return;
    m_counter = std::make_shared<TScanProgress>();
    m_counter->Background = true;
    m_progress = new QProgressDialog(Tr(kProgressText), Tr(kCancel), 0,
                                     static_cast<int>(files.size()), this);
    m_progress->setWindowTitle(Tr(kCaption));
    m_progress->setAccessibleName(Tr("取込の進み具合"));
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    m_progress->setValue(0);
    connect(m_progress, &QProgressDialog::canceled, this, [this] { m_counter->Cancel = true; });

    auto* timer = new QTimer(m_progress);
    connect(timer, &QTimer::timeout, m_progress, [progress = m_progress, counter = m_counter] {
        if (counter->Saving && progress->labelText() != Tr(kSavingText)) {
            progress->setLabelText(Tr(kSavingText));
            progress->setCancelButton(nullptr);  // the save runs to its end or not at all
        }
        progress->setValue(static_cast<int>(counter->Done.load()));
    });
    timer->start(50);

    m_watcher = new QFutureWatcher<std::shared_ptr<TOutcome>>(this);
    connect(m_watcher, &QFutureWatcherBase::finished, this, &TScanImportForm::Finished);
    m_watcher->setFuture(QtConcurrent::run([folder = m_cardTypeFolder, scans = m_scanFolder,
                                            options = m_plan.Options, files, counter = m_counter,
                                            threads = m_threads] {
        auto outcome = std::make_shared<TOutcome>();
        try {
            std::optional<TPreparedScans> prepared = PrepareScans(files, threads, counter.get());
            if (!prepared || counter->Cancel) return outcome;
            counter->Saving = true;
            outcome->Result = AttachScans(folder, scans, options, std::move(*prepared));
        } catch (const VastrelleError& e) {
            outcome->Failure = e;
        } catch (const std::exception& e) {
            outcome->Failure = VastrelleError(e.what());
        }
        return outcome;
    }));
    m_progress->open();
}

void TScanImportForm::Finished() {
    std::shared_ptr<TOutcome> outcome = m_watcher->result();
    m_watcher->deleteLater();
    m_watcher = nullptr;
    delete m_progress;  // with its timer
    m_progress = nullptr;
    m_counter.reset();
    if (outcome->Result) {
        m_result = std::move(outcome->Result);
        accept();
        return;
    }
    if (outcome->Failure) ShowError(this, *outcome->Failure);
    // Cancelled or failed: nothing was written; the preview shows the folder as it is now.
    RunGuarded(this, [this] { Replan(); });
}
