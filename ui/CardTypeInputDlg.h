#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

// The card type name dialog: one prompt and one text field, shared by creating a card type and
// importing a template. It keeps nothing between uses beyond the three texts.
class TCardTypeInputForm : public QDialog {
    Q_OBJECT
public:
    explicit TCardTypeInputForm(QWidget* parent);

    // Sets the caption, the prompt and the text field, in that order; callers do this before
    // every showing so that nothing carries over from an earlier use.
    void SetCardTypeInfo(const QString& caption, const QString& prompt, const QString& text);
    // The text field as typed; after OK it is never empty and can name a card type folder.
    QString Text() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void Button1Click();

private:
    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* Button1;
    QPushButton* Button2;
};
