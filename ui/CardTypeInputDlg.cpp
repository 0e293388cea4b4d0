#include "CardTypeInputDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "DialogFrame.h"
#include "DialogKeys.h"
#include "MessageBoxes.h"
#include "QtText.h"
#include "TextRefusal.h"
#include "UiFont.h"

namespace {

QPushButton* PlaceButton(QWidget* parent, const char* name, const char* text, int left) {
    auto* button = new QPushButton(Tr(text), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, 56, 75, 25);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

}  // namespace

TCardTypeInputForm::TCardTypeInputForm(QWidget* parent) : QDialog(parent) {
    UseFixedDialogFrame(this);
    setFixedSize(339, 96);
    setFont(UiFont(12));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 8);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(24, 24, 289, 20);
    Button1 = PlaceButton(this, "Button1", "O K", 80);
    Button2 = PlaceButton(this, "Button2", "キャンセル", 168);
    setTabOrder(Edit1, Button1);
    setTabOrder(Button1, Button2);

    connect(Button1, &QPushButton::clicked, this, &TCardTypeInputForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TCardTypeInputForm::SetCardTypeInfo(const QString& caption, const QString& prompt,
                                         const QString& text) {
    setWindowTitle(caption);
    Label1->setText(prompt);
    Label1->adjustSize();
    Edit1->setText(text);
    Edit1->setFocus();
}

QString TCardTypeInputForm::Text() const { return Edit1->text(); }

// An empty name is refused without a word; blanks count as characters. A name that could not
// be a card type folder is refused here, so the typed text stays for correcting.
void TCardTypeInputForm::Button1Click() {
    if (Edit1->text().isEmpty()) return;
    if (QString refusal = CardTypeNameRefusal(Edit1->text()); !refusal.isEmpty()) {
        ShowMessage(this, MessageKind::Warning, refusal);
        Edit1->setFocus();
        return;
    }
    accept();
}

void TCardTypeInputForm::keyPressEvent(QKeyEvent* event) {
    if (!HandlePlainDialogKey(this, event)) QDialog::keyPressEvent(event);
}
