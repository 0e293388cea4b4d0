// The main window's ways to find and see cards: the filter, owned toggling, the overview of
// every card type and the exports.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QShortcut>

#include "CardFilterModel.h"
#include "CardListModel.h"
#include "CardListView.h"
#include "CardTypeDocument.h"
#include "CardTypeOverview.h"
#include "Main.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "cardlist/CardExport.h"

void TVastrelleMainForm::CreateToolsMenu() {
    QMenu* tools = menuBar()->addMenu(Tr("ツール"));
    tools->setObjectName(QStringLiteral("Tools"));
    auto addItem = [this, tools](const char* name, const char* caption, auto slot) {
        QAction* action = tools->addAction(Tr(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    addItem("ToolsOverview", "カード種類一覧...", &TVastrelleMainForm::ShowOverview);
    m_orphanImages = addItem("ToolsOrphanImages", "使われていない画像を整理...",
                             &TVastrelleMainForm::ShowOrphanImages);
    tools->addSeparator();
    m_exportActions[0] = addItem("ToolsExportMissing", "未所持カードを書き出す...",
                                 &TVastrelleMainForm::ExportMissingCards);
    m_exportActions[1] =
        addItem("ToolsExportCsv", "CSV に書き出す...", &TVastrelleMainForm::ExportCardsCsv);
    m_exportActions[2] = addItem("ToolsExportSpares", "ダブりリストを書き出す...",
                                 &TVastrelleMainForm::ExportSpares);
    m_exportActions[3] = addItem("ToolsExportWants", "欲しいカードリストを書き出す...",
                                 &TVastrelleMainForm::ExportWants);
    tools->addSeparator();
    addItem("ToolsSearch", "検索", &TVastrelleMainForm::FocusSearch)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));

    // F10 opens the first menu, as it does in the desktops our users come from.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [this] {
        const QList<QAction*> menus = menuBar()->actions();
        if (!menus.isEmpty()) menuBar()->setActiveAction(menus.front());
    });
}

// Made when first shown, as the template import's. Qt's own dialog, so that it answers the same
// everywhere.
QFileDialog* TVastrelleMainForm::SaveDialog() {
    if (m_saveDialog != nullptr) return m_saveDialog;
    m_saveDialog = new QFileDialog(this);
    m_saveDialog->setObjectName(QStringLiteral("SaveDialog"));
    m_saveDialog->setOption(QFileDialog::DontUseNativeDialog);
    m_saveDialog->setAcceptMode(QFileDialog::AcceptSave);
    m_saveDialog->setFileMode(QFileDialog::AnyFile);
    return m_saveDialog;
}

QString TVastrelleMainForm::ShownCountText() const { return m_statusPanels[1]->text(); }

void TVastrelleMainForm::UpdateShownCount() {
    int shown = m_filter->rowCount();
    bool hiding = m_filter->IsFiltering() && shown < m_document->Model()->rowCount();
    m_statusPanels[1]->setText(hiding ? Tr("表示 ") + QString::number(shown) + Tr(" 件")
                                      : QString());
}

void TVastrelleMainForm::SelectAddedCard(std::size_t count) {
    if (count > 0 && Cards().size() == count) m_listView->SelectCard(count - 1);
}

void TVastrelleMainForm::FocusSearch() {
    m_searchEdit->setFocus(Qt::ShortcutFocusReason);
    m_searchEdit->selectAll();
}

void TVastrelleMainForm::ToggleOwned(std::size_t cardIndex) {
    RunGuarded(this, [this, cardIndex] {
        if (!IsCardTypeWritable() || cardIndex >= Cards().size()) return;
        m_document->ToggleOwned(cardIndex);
        // When the filter now hides the card, the row at its position stays selected, so Space
        // walks down a list of missing cards.
        m_listView->SelectCard(cardIndex);
    });
}

void TVastrelleMainForm::ChangeCopies(int delta) {
    RunGuarded(this, [this, delta] {
        if (!IsCardTypeWritable()) return;
        const std::vector<std::size_t> selected = m_listView->SelectedCardIndexes();
        m_document->ChangeCopies(selected, delta);
        if (!selected.empty()) m_listView->SelectCard(selected.front());
    });
}

void TVastrelleMainForm::ShowOverview() {
    RunGuarded(this, [this] {
        if (m_overview == nullptr) {
            m_overview = new TCardTypeOverviewForm(m_programFolder, this);
            connect(m_overview, &TCardTypeOverviewForm::CardTypeChosen, this,
                    &TVastrelleMainForm::ChooseCardType);
        }
        m_overview->Recount();
        m_overview->show();
        m_overview->raise();
        m_overview->activateWindow();
    });
}

void TVastrelleMainForm::ChooseCardType(const std::string& name) {
    RunGuarded(this, [this, name] {
        SelectComboItem(name);
        RefreshList(CurrentCardTypeName());
    });
}

void TVastrelleMainForm::ExportCards(const char* suffix, const QString& filter,
                                     std::string (*format)(const TCardInfos&)) {
    RunGuarded(this, [&] {
        if (!IsCardTypeWritable()) return;
        SaveDialog()->setNameFilter(filter);
        SaveDialog()->selectFile(FromCp932(CurrentCardTypeName()) + Tr(suffix));
        if (SaveDialog()->exec() != QDialog::Accepted) return;
        const QStringList files = SaveDialog()->selectedFiles();
        if (files.isEmpty()) return;
        WriteExportFile(ToPath(files.front()), format(Cards()));
    });
}

void TVastrelleMainForm::ExportMissingCards() {
    ExportCards("_未所持.txt", Tr("テキスト (*.txt)"), &MissingCardsText);
}

void TVastrelleMainForm::ExportCardsCsv() { ExportCards(".csv", Tr("CSV (*.csv)"), &CardsCsvText); }

void TVastrelleMainForm::ExportList(const char* suffix,
                                    std::string (*list)(const TCardInfos&, TListFormat)) {
    RunGuarded(this, [&] {
        if (!IsCardTypeWritable()) return;
        const QString text = Tr("テキスト (*.txt)"), csv = Tr("CSV (*.csv)");
        SaveDialog()->setNameFilters({text, csv});
        SaveDialog()->selectNameFilter(text);
        SaveDialog()->selectFile(FromCp932(CurrentCardTypeName()) + Tr(suffix) + Tr(".txt"));
        if (SaveDialog()->exec() != QDialog::Accepted) return;
        const QStringList files = SaveDialog()->selectedFiles();
        if (files.isEmpty()) return;
        bool asCsv = SaveDialog()->selectedNameFilter() == csv ||
                     files.front().endsWith(Tr(".csv"), Qt::CaseInsensitive);
        WriteExportFile(ToPath(files.front()),
                        list(Cards(), asCsv ? TListFormat::Csv : TListFormat::Text));
    });
}

void TVastrelleMainForm::ExportSpares() { ExportList("_ダブり", &SparesText); }

void TVastrelleMainForm::ExportWants() { ExportList("_欲しい", &WantsText); }
