#include "MessageBoxes.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include "DialogFrame.h"
#include "QtText.h"
#include "UiFont.h"

namespace {

constexpr const char* kProgramName = "Vastrelle";
constexpr const char* kUnchangedFile = "ファイル: %1\nこのファイルは変更されていません。";

// Lines break at spaces and after "/" already; a longer run without either (a long file name)
// gets break opportunities, so that the box wraps it instead of cutting it off. Japanese text
// breaks between its characters anyway and is left as it is.
QString Wrappable(const QString& text) {
    constexpr int kLongestRun = 32;
    QString result;
    int run = 0;
    for (QChar c : text) {
        const bool breaks =
            c.isSpace() || c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() >= 0x2E80;
        run = breaks ? 0 : run + 1;
        if (run > kLongestRun && !c.isLowSurrogate()) {
            result += QChar(0x200B);
            run = 1;
        }
        result += c;
    }
    return result;
}

// Every box: the program font, a fixed dialog frame, long texts wrapped.
void Prepare(QMessageBox& box) {
    box.setFont(UiFont(12));
    UseFixedDialogFrame(&box);
    box.setText(Wrappable(box.text()));
}

// The box with the single button 中止: Qt would take a lone button as the Escape answer, so
// Escape and the title bar's close are swallowed and only the button ends the box.
class TAbortOnlyBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (clickedButton() == nullptr) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

}  // namespace

// The program's name as the user knows it, whatever the executable is called.
QString ApplicationTitle() { return Tr(kProgramName); }

QString FailureReportText(const QString& message) {
    if (message.isEmpty() || message.back() <= QLatin1Char('.')) return message;
    return message + QLatin1Char('.');
}

void ShowMessage(QWidget* parent, MessageKind kind, const QString& text) {
    if (kind == MessageKind::FailureReport) {
        ShowFailureReport(parent, text);
        return;
    }
    bool warning = kind == MessageKind::Warning;
    QMessageBox::Icon icon = warning ? QMessageBox::Warning : QMessageBox::Critical;
    QString title = warning ? Tr("警告") : Tr("エラー");
    if (kind == MessageKind::ErrorAbort) {
        TAbortOnlyBox box(icon, title, text, QMessageBox::NoButton, parent);
        Prepare(box);
        QPushButton* abort = box.addButton(Tr("中止(&A)"), QMessageBox::RejectRole);
        abort->setAutoDefault(false);
        abort->setDefault(false);
        box.exec();
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    Prepare(box);
    QPushButton* ok = box.addButton(Tr("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, Tr("確認"), text, QMessageBox::NoButton, parent);
    Prepare(box);
    QPushButton* yes = box.addButton(Tr("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(Tr("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void ShowFailureReport(QWidget* parent, const QString& message, const QString& detail) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), FailureReportText(message),
                    QMessageBox::NoButton, parent);
    Prepare(box);
    if (!detail.isEmpty()) box.setDetailedText(detail);
    QPushButton* ok = box.addButton(Tr("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

void ShowError(QWidget* parent, const VastrelleError& error) {
    const QString message = QString::fromUtf8(error.what());
    if (error.Kind() == MessageKind::FailureReport && !error.UnchangedFile().empty()) {
        ShowFailureReport(parent, message,
                          Tr(kUnchangedFile).arg(QString::fromUtf8(error.UnchangedFile())));
        return;
    }
    ShowMessage(parent, error.Kind(), message);
}

void RunGuarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const VastrelleError& error) {
        ShowError(parent, error);
    } catch (const std::exception& error) {
        ShowFailureReport(parent, QString::fromUtf8(error.what()));
    }
}
