#include "MessageBoxes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString Tr(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

QString ApplicationTitle() {
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty()) name = QCoreApplication::applicationName();
    name = name.section(QLatin1Char('.'), 0, 0);
    if (name.isEmpty()) return name;
    return name.left(1) + name.mid(1).toLower();
}

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
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Critical,
                    warning ? Tr("警告") : Tr("エラー"), text, QMessageBox::NoButton, parent);
    if (kind == MessageKind::ErrorAbort) {
        // No default button and Escape answers nothing: the box waits for 中止.
        QPushButton* abort = box.addButton(Tr("中止(&A)"), QMessageBox::RejectRole);
        box.setDefaultButton(static_cast<QPushButton*>(nullptr));
        abort->setAutoDefault(false);
        box.setEscapeButton(static_cast<QAbstractButton*>(nullptr));
    } else {
        QPushButton* ok = box.addButton(Tr("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
    }
    box.exec();
}

bool AskYesNo(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Question, Tr("確認"), text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(Tr("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(Tr("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void ShowFailureReport(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), FailureReportText(message),
                    QMessageBox::NoButton, parent);
    QPushButton* ok = box.addButton(Tr("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
}

void ShowError(QWidget* parent, const VastrelleError& error) {
    ShowMessage(parent, error.Kind(), QString::fromUtf8(error.what()));
}
