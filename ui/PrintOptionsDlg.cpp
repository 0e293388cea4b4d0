#include "PrintOptionsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "QtText.h"
#include "UiFont.h"

TPrintOptionsForm::TPrintOptionsForm(QWidget* parent)
    : QDialog(parent),
      m_checklist(new QRadioButton(Tr("チェックリスト(&C)"), this)),
      m_binder(new QRadioButton(Tr("バインダーページ(&B)"), this)),
      m_thumbnails(new QCheckBox(Tr("小さな画像を入れる(&T)"), this)),
      m_pockets(new QComboBox(this)) {
    setObjectName(QStringLiteral("PrintOptions"));
    setWindowTitle(Tr("印刷の設定"));
    setFont(UiFont(12));
    m_checklist->setObjectName(QStringLiteral("PrintChecklist"));
    m_checklist->setAccessibleName(Tr("チェックリスト"));
    m_binder->setObjectName(QStringLiteral("PrintBinder"));
    m_binder->setAccessibleName(Tr("バインダーページ"));
    m_thumbnails->setObjectName(QStringLiteral("PrintThumbnails"));
    m_thumbnails->setAccessibleName(Tr("小さな画像を入れる"));
    m_pockets->setObjectName(QStringLiteral("PrintPockets"));
    m_pockets->setAccessibleName(Tr("1 ページのポケット"));
    m_pockets->addItem(Tr("3 × 3 (9 ポケット)"), 3);
    m_pockets->addItem(Tr("2 × 2 (4 ポケット)"), 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Tr("キャンセル"));
    auto* pockets = new QFormLayout;
    pockets->setContentsMargins(24, 0, 0, 0);
    pockets->addRow(Tr("1 ページ:"), m_pockets);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_checklist);
    auto* thumbnails = new QVBoxLayout;
    thumbnails->setContentsMargins(24, 0, 0, 0);
    thumbnails->addWidget(m_thumbnails);
    layout->addLayout(thumbnails);
    layout->addWidget(m_binder);
    layout->addLayout(pockets);
    layout->addStretch(1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_checklist, &QRadioButton::toggled, this, &TPrintOptionsForm::UpdateStates);
    SetOptions({});
}

TPrintOptions TPrintOptionsForm::Options() const {
    TPrintOptions options;
    options.Kind = m_binder->isChecked() ? TPrintKind::Binder : TPrintKind::Checklist;
    options.Thumbnails = m_thumbnails->isChecked();
    options.Pockets = m_pockets->currentData().toInt();
    return options;
}

void TPrintOptionsForm::SetOptions(const TPrintOptions& options) {
    (options.Kind == TPrintKind::Binder ? m_binder : m_checklist)->setChecked(true);
    m_thumbnails->setChecked(options.Thumbnails);
    m_pockets->setCurrentIndex(options.Pockets == 2 ? 1 : 0);
    UpdateStates();
}

void TPrintOptionsForm::UpdateStates() {
    m_thumbnails->setEnabled(m_checklist->isChecked());
    m_pockets->setEnabled(m_binder->isChecked());
}
