// The main window's controls and menus.
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include "CardFilterModel.h"
#include "CardListView.h"
#include "CardTypeDocument.h"
#include "Main.h"
#include "MessageBoxes.h"
#include "PrintCommands.h"
#include "QtText.h"
#include "UiFont.h"
#include "WindowPlacement.h"

void TVastrelleMainForm::CreateControls() {
    setFont(UiFont(12));
    resize(562, 510);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FitIntoScreen(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* panel1 = new QWidget(central);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFixedHeight(26);
    auto* panelLayout = new QHBoxLayout(panel1);
    panelLayout->setContentsMargins(0, 1, 4, 0);
    m_comboBox1 = new QComboBox(panel1);
    m_comboBox1->setObjectName(QStringLiteral("ComboBox1"));
    m_comboBox1->setEditable(false);
    m_comboBox1->setFont(UiFont(16, true));
    m_comboBox1->setFixedWidth(369);
    m_label2 = new QLabel(Tr("変更はすぐに保存されます"), panel1);
    m_label2->setObjectName(QStringLiteral("Label2"));
    panelLayout->addWidget(m_comboBox1, 0, Qt::AlignTop);
    panelLayout->addStretch(1);
    panelLayout->addWidget(m_label2, 0, Qt::AlignTop | Qt::AlignRight);
    layout->addWidget(panel1);
    CreateFilterBar(central, layout);
    m_notice = new QLabel(central);
    m_notice->setObjectName(QStringLiteral("Notice"));
    m_notice->setAccessibleName(Tr("お知らせ"));
    m_notice->setWordWrap(true);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_notice->setContentsMargins(4, 2, 4, 2);
    m_notice->setStyleSheet(QStringLiteral("background: #fff4c2; color: #5a4200;"));
    m_notice->hide();
    layout->addWidget(m_notice);

    m_filter = new TCardFilterModel(m_document->Model(), this);
    m_document->SetListArranged(
        [this] { return m_filter->IsFiltering() || m_filter->sortColumn() >= 0; });
    m_listView = new TCardListView(m_document->Model(), m_filter, central);
    m_listView->setObjectName(QStringLiteral("ListView1"));
    m_listView->setFont(UiFont(13));
    layout->addWidget(m_listView, 1);
    setCentralWidget(central);

    auto* statusBar1 = new QStatusBar(this);
    statusBar1->setObjectName(QStringLiteral("StatusBar1"));
    statusBar1->setFixedHeight(19);
    statusBar1->setSizeGripEnabled(false);
    const int widths[4] = {100, 100, 100, 50};
    for (int i = 0; i < 4; ++i) {
        m_statusPanels[i] = new QLabel(statusBar1);
        m_statusPanels[i]->setFixedWidth(widths[i]);
        m_statusPanels[i]->setFrameShape(QFrame::Panel);
        m_statusPanels[i]->setFrameShadow(QFrame::Sunken);
        statusBar1->addWidget(m_statusPanels[i]);
    }
    setStatusBar(statusBar1);

    connect(m_comboBox1, &QComboBox::activated, this, &TVastrelleMainForm::ComboBox1Change);
    connect(m_listView, &TCardListView::RowDoubleClicked, this, &TVastrelleMainForm::N6Click);
    connect(m_listView, &TCardListView::SelectionChanged, this,
            &TVastrelleMainForm::UpdateMenuStates);
    connect(m_listView, &TCardListView::OwnedToggleRequested, this,
            &TVastrelleMainForm::ToggleOwned);
    connect(m_listView, &TCardListView::SelectedOwnedToggleRequested, this,
            &TVastrelleMainForm::ToggleSelectedOwned);
    connect(m_listView, &TCardListView::EditRequested, this, &TVastrelleMainForm::N6Click);
    connect(m_listView, &TCardListView::DeleteRequested, this, &TVastrelleMainForm::N7Click);
    connect(m_searchEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_filter->SetFilterText(text);
        UpdateShownCount();
    });
    connect(m_missingOnly, &QCheckBox::toggled, this, [this](bool on) {
        m_filter->SetMissingOnly(on);
        UpdateShownCount();
    });
    connect(m_sparesOnly, &QCheckBox::toggled, this, [this](bool on) {
        m_filter->SetSparesOnly(on);
        UpdateShownCount();
    });
    connect(m_wantedOnly, &QCheckBox::toggled, this, [this](bool on) {
        m_filter->SetWantedOnly(on);
        UpdateShownCount();
    });
    connect(m_listView, &TCardListView::CopiesChangeRequested, this,
            &TVastrelleMainForm::ChangeCopies);
    // The 枚数 column comes and goes with the next refresh, which builds the columns.
    connect(m_listView->CountColumnAction(), &QAction::toggled, this,
            [this] { RunGuarded(this, [this] { RefreshList(CurrentCardTypeName()); }); });
}

void TVastrelleMainForm::CreateFilterBar(QWidget* parent, QVBoxLayout* layout) {
    auto* bar = new QWidget(parent);
    bar->setObjectName(QStringLiteral("FilterBar"));
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(2, 2, 4, 2);
    m_searchEdit = new QLineEdit(bar);
    m_searchEdit->setObjectName(QStringLiteral("SearchEdit"));
    m_searchEdit->setAccessibleName(Tr("検索"));
    m_searchEdit->setPlaceholderText(Tr("No.・タイトル・コメントで絞り込み"));
    m_searchEdit->setClearButtonEnabled(true);
    m_searchEdit->setFixedWidth(280);
    // Escape in the field clears the filter text.
    auto* clear = new QAction(m_searchEdit);
    clear->setShortcut(Qt::Key_Escape);
    clear->setShortcutContext(Qt::WidgetShortcut);
    m_searchEdit->addAction(clear);
    connect(clear, &QAction::triggered, m_searchEdit, &QLineEdit::clear);
    m_missingOnly = new QCheckBox(Tr("未所持のみ"), bar);
    m_missingOnly->setObjectName(QStringLiteral("MissingOnly"));
    m_missingOnly->setAccessibleName(Tr("未所持のみ"));
    m_sparesOnly = new QCheckBox(Tr("ダブりのみ"), bar);
    m_sparesOnly->setObjectName(QStringLiteral("SparesOnly"));
    m_sparesOnly->setAccessibleName(Tr("ダブりのみ"));
    m_wantedOnly = new QCheckBox(Tr("欲しいのみ"), bar);
    m_wantedOnly->setObjectName(QStringLiteral("WantedOnly"));
    m_wantedOnly->setAccessibleName(Tr("欲しいのみ"));
    barLayout->addWidget(m_searchEdit);
    barLayout->addWidget(m_missingOnly);
    barLayout->addWidget(m_sparesOnly);
    barLayout->addWidget(m_wantedOnly);
    barLayout->addStretch(1);
    layout->addWidget(bar);
}

void TVastrelleMainForm::CreateMenus() {
    auto addItem = [this](QMenu* menu, const char* name, const char* caption, auto slot) {
        QAction* action = menu->addAction(Tr(caption));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    QMenuBar* mainMenu1 = menuBar();
    mainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* n1 = mainMenu1->addMenu(Tr("メニュー"));
    n1->setObjectName(QStringLiteral("N1"));
    addItem(n1, "N2", "カード種類作成...", &TVastrelleMainForm::N2Click);
    addItem(n1, "N4", "カード種類テンプレート取込...", &TVastrelleMainForm::N4Click);
    addItem(n1, "ImportChecklist1", "チェックリスト取込...",
            &TVastrelleMainForm::ImportChecklistClick);
    n1->addSeparator()->setObjectName(QStringLiteral("N3"));
    addItem(n1, "Exit1", "閉じる", &TVastrelleMainForm::Exit1Click);
    (new TPrintCommands(this))->AddMenuItems(n1);

    QMenu* n8 = mainMenu1->addMenu(Tr("カード"));
    n8->setObjectName(QStringLiteral("N8"));
    connect(n8, &QMenu::aboutToShow, this, &TVastrelleMainForm::N8Click);
    m_n5 = addItem(n8, "N5", "登録...", &TVastrelleMainForm::N5Click);
    m_n6 = addItem(n8, "N6", "編集...", &TVastrelleMainForm::N6Click);
    m_n7 = addItem(n8, "N7", "削除...", &TVastrelleMainForm::N7Click);
    m_n5->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    // Enter and Delete are shown beside their items but answered by the list itself
    // (TCardListView), only while it has the focus: in the search field they keep their editing
    // meaning. As menu shortcuts of the window they would take the keys from every control.
    m_n6->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    m_n7->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction* action : {m_n6, m_n7}) action->setShortcutContext(Qt::WidgetShortcut);
    CreateSelectionItems(n8);
    n8->addSeparator();
    m_undo = addItem(n8, "Undo1", "元に戻す", &TVastrelleMainForm::UndoClick);
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo = addItem(n8, "Redo1", "やり直し", &TVastrelleMainForm::RedoClick);
    m_redo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    n8->addSeparator();
    m_pasteChecklist = addItem(n8, "PasteChecklist1", "貼り付けて取込...",
                               &TVastrelleMainForm::PasteChecklistClick);
    // Ctrl+V only while the list has the focus: in the search field it pastes text.
    m_pasteChecklist->setShortcut(QKeySequence::Paste);
    m_pasteChecklist->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_listView->addAction(m_pasteChecklist);

    QMenu* show1 = mainMenu1->addMenu(Tr("表示"));
    show1->setObjectName(QStringLiteral("Show1"));
    m_viewGroup = new QActionGroup(this);
    m_viewGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const char* views[kViewItemCount][2] = {{"N10", "詳細"},
                                            {"N11", "タイトル+表画像[小]"},
                                            {"N12", "タイトル+裏画像[小]"},
                                            {"N13", "タイトル+表画像[大]"},
                                            {"N14", "タイトル+裏画像[大]"}};
    for (std::size_t i = 0; i < kViewItemCount; ++i) {
        // The check mark changes before the handler runs, so the refresh sees the new view.
        QAction* action = addItem(show1, views[i][0], views[i][1], &TVastrelleMainForm::N10Click);
        action->setCheckable(true);
        m_viewGroup->addAction(action);
        m_viewActions[i] = action;
    }
    m_viewActions[0]->setChecked(true);

    CreateToolsMenu();

    QAction* n9 = mainMenu1->addAction(Tr("設定..."));
    n9->setObjectName(QStringLiteral("N9"));
    n9->setVisible(false);
    connect(n9, &QAction::triggered, this, &TVastrelleMainForm::N9Click);
}

// Made when first shown: a file dialog lists its folder as it is made, which start-up need not
// wait for. Qt's own dialog, so that it looks and answers the same on every desktop. A typed name
// is taken whether or not the file exists; the import then reports what it cannot open.
QFileDialog* TVastrelleMainForm::OpenDialog1() {
    if (m_openDialog1 != nullptr) return m_openDialog1;
    m_openDialog1 = new QFileDialog(this);
    m_openDialog1->setObjectName(QStringLiteral("OpenDialog1"));
    m_openDialog1->setOption(QFileDialog::DontUseNativeDialog);
    m_openDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    m_openDialog1->setFileMode(QFileDialog::AnyFile);
    // A filter without parentheses is its own label and pattern.
    m_openDialog1->setNameFilter(QStringLiteral("*.template"));
    return m_openDialog1;
}
