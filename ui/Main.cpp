#include "Main.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>
#include <algorithm>

#include "CardFilterModel.h"
#include "CardListView.h"
#include "CardTypeDocument.h"
#include "FileWatch.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "WindowPlacement.h"
#include "cardtypes/DataFolder.h"

TVastrelleMainForm::TVastrelleMainForm(const std::filesystem::path& programFolder, QWidget* parent)
    : QMainWindow(parent),
      m_programFolder(programFolder),
      m_document(new TCardTypeDocument(programFolder, this)),
      m_programWatch(new TFileWatch(this)) {
    connect(m_document, &TCardTypeDocument::CardsAboutToReset, this,
            &TVastrelleMainForm::CardsAboutToReset);
    connect(m_document, &TCardTypeDocument::CardsReset, this, &TVastrelleMainForm::CardsReset);
    connect(m_document, &TCardTypeDocument::CardsSettled, this, &TVastrelleMainForm::CardsSettled);
    connect(m_programWatch, &TFileWatch::Changed, this, &TVastrelleMainForm::FollowCardTypes);
    connect(m_document, &TCardTypeDocument::Failed, this,
            [this](const VastrelleError& error) { ShowError(this, error); });
    connect(m_document, &TCardTypeDocument::ConflictCopiesChanged, this,
            &TVastrelleMainForm::ShowConflictCopies);
    CreateControls();
    CreateMenus();
    UpdateMenuStates();
    FormCreate();
}

TVastrelleMainForm::~TVastrelleMainForm() { FormDestroy(); }

void TVastrelleMainForm::FormCreate() {
    RunGuarded(this, [this] {
        setWindowTitle(QStringLiteral("Vastrelle") + QStringLiteral(" ver.") +
                       QStringLiteral("1.0.0.0"));
        std::vector<std::string> names = ListCardTypes(m_programFolder);
        for (const std::string& name : names) AddComboItem(name);
        m_programWatch->SetPaths({m_programFolder});
        // Nothing can be made in a folder that cannot be written; start-up has said so.
        m_folderWritable = IsWritableFolder(m_programFolder);
        for (const char* item : {"N2", "N4", "ImportChecklist1"})
            findChild<QAction*>(QString::fromLatin1(item))->setEnabled(m_folderWritable);

        TSettings settings = ReadSettings(m_programFolder, names);
        // The card type loaded is always one of the list: a remembered one that is not listed
        // (read-only, or gone) is not loaded behind the list's back.
        if (std::find(names.begin(), names.end(), settings.CardName) == names.end())
            settings.CardName.clear();
        TListLayout layout = ReadListLayout(m_programFolder);
        {
            // Set before the first refresh, which builds the columns.
            QSignalBlocker quiet(m_listView->CountColumnAction());
            m_listView->CountColumnAction()->setChecked(layout.CountColumnShown);
        }
        const int columns = static_cast<int>(ListColumnDatas().size());
        if (static_cast<int>(layout.ColumnWidths.size()) == columns)
            m_listView->SetUserColumnWidths(layout.ColumnWidths);
        if (layout.SortColumn >= 0 && layout.SortColumn < columns)
            m_listView->SortBy(layout.SortColumn, layout.SortDescending);
        m_missingOnly->setChecked(layout.MissingOnly);
        m_sparesOnly->setChecked(layout.SparesOnly);
        m_wantedOnly->setChecked(layout.WantedOnly);
        RestorePlacement(this, ReadWindowPlacement(m_programFolder));
        if (settings.CheckedView) {
            ViewAction(*settings.CheckedView)->setChecked(true);
        } else if (QAction* checked = m_viewGroup->checkedAction()) {
            checked->setChecked(false);
        }
        RefreshList(settings.CardName);
    });
}

void TVastrelleMainForm::FormDestroy() {
    // Start-up said once that this folder cannot be written; failing again at exit tells nothing.
    if (!m_folderWritable) return;
    RunGuarded(nullptr, [this] {
        ViewChecks checks{};
        for (std::size_t i = 0; i < kViewItemCount; ++i) checks[i] = m_viewActions[i]->isChecked();
        TListLayout layout;
        layout.SortColumn = m_listView->SortColumn();
        layout.SortDescending = m_listView->SortDescending();
        layout.ColumnWidths = m_listView->UserColumnWidths();
        layout.MissingOnly = m_missingOnly->isChecked();
        layout.SparesOnly = m_sparesOnly->isChecked();
        layout.WantedOnly = m_wantedOnly->isChecked();
        layout.CountColumnShown = m_listView->CountColumnAction()->isChecked();
        WriteSettings(m_programFolder, CurrentCardTypeName(), checks, layout, PlacementOf(this));
    });
}

bool TVastrelleMainForm::RefreshList(const std::string& cardTypeName) {
    if (!cardTypeName.empty()) SelectComboItem(cardTypeName);
    m_document->SetColumnDatas(ListColumnDatas());
    return m_document->Load(cardTypeName, CheckedThumbnailKind());
}

TThumbnailKind TVastrelleMainForm::CheckedThumbnailKind() const {
    auto checked = [this](ViewItem item) { return ViewAction(item)->isChecked(); };
    TThumbnailKind kind;
    kind.Front = checked(ViewItem::Detail) || checked(ViewItem::TitleFrontImg) ||
                 checked(ViewItem::TitleFrontImgLarge);
    kind.Large = checked(ViewItem::TitleFrontImgLarge) || checked(ViewItem::TitleBackImgLarge);
    return kind;
}

bool TVastrelleMainForm::IsCardTypeLoaded() const { return m_document->IsLoaded(); }

bool TVastrelleMainForm::IsCardTypeWritable() const { return m_document->IsWritable(); }

const TCardInfos& TVastrelleMainForm::Cards() const { return m_document->Cards(); }

const CurrentCardTypePaths& TVastrelleMainForm::CardTypePaths() const {
    return m_document->Paths();
}

// The four columns every refresh sets, then 枚数 when the user shows it.
TColumnDatas TVastrelleMainForm::ListColumnDatas() const {
    TColumnDatas columns = DefaultColumnDatas();
    if (m_listView->CountColumnAction()->isChecked())
        columns.push_back({std::string(caption::kCount), 50, true});
    return columns;
}

std::string TVastrelleMainForm::CurrentCardTypeName() const {
    if (m_comboBox1->currentIndex() < 0) return {};
    QByteArray name = m_comboBox1->currentData().toByteArray();
    return std::string(name.constData(), static_cast<std::size_t>(name.size()));
}

std::optional<ViewItem> TVastrelleMainForm::CheckedView() const {
    for (std::size_t i = 0; i < kViewItemCount; ++i)
        if (m_viewActions[i]->isChecked()) return static_cast<ViewItem>(i);
    return std::nullopt;
}

QString TVastrelleMainForm::StatusLineText() const { return m_statusPanels[0]->text(); }

// The first panel keeps its 100 pixels while the text fits them and widens for large card
// types, so that "12345/100000[12%]" is never cut; the other panels keep their widths.
void TVastrelleMainForm::SetStatusLine(const QString& text) {
    QLabel* panel = m_statusPanels[0];
    panel->setText(text);
    int needed = panel->fontMetrics().horizontalAdvance(text) + 2 * panel->frameWidth() +
                 2 * panel->margin() + panel->fontMetrics().averageCharWidth();
    panel->setFixedWidth(std::max(kStatusPanelWidth, needed));
}

void TVastrelleMainForm::SelectComboItem(const std::string& name) {
    // The combo box lookup ignores letter case; an exact match wins so that names differing only
    // in case, which this file system keeps apart, each select their own item.
    QString text = FromCp932(name);
    int index = m_comboBox1->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index < 0) index = m_comboBox1->findText(text, Qt::MatchFixedString);
    m_comboBox1->setCurrentIndex(index);
}

void TVastrelleMainForm::AddComboItem(const std::string& name) {
    // Adding the first item to an empty combo box would choose it.
    int chosen = m_comboBox1->currentIndex();
    m_comboBox1->addItem(FromCp932(name),
                         QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    m_comboBox1->setCurrentIndex(chosen);
}

// Card commands need a card type whose card list was read whole: without one they would write
// outside any card type folder, or replace an unreadable file by the empty array.
void TVastrelleMainForm::UpdateMenuStates() {
    bool writable = IsCardTypeWritable();
    m_n5->setEnabled(writable);
    bool selected = writable && m_listView->SelectedRow().has_value();
    m_n6->setEnabled(selected);
    m_n7->setEnabled(selected);
    for (QAction* action : m_exportActions)
        if (action) action->setEnabled(writable);
    if (m_orphanImages) m_orphanImages->setEnabled(writable);
    if (m_pasteChecklist) m_pasteChecklist->setEnabled(writable);
    UpdateSelectionStates(writable);
}

QAction* TVastrelleMainForm::ViewAction(ViewItem item) const {
    return m_viewActions[static_cast<std::size_t>(item)];
}

void TVastrelleMainForm::ComboBox1Change() {
    RunGuarded(this, [this] { RefreshList(CurrentCardTypeName()); });
}

void TVastrelleMainForm::N10Click() {
    RunGuarded(this, [this] { RefreshList(CurrentCardTypeName()); });
}

void TVastrelleMainForm::Exit1Click() { close(); }

void TVastrelleMainForm::N9Click() {}
