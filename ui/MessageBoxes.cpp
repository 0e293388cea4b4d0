#include "MessageBoxes.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>

#include "QtText.h"

namespace {

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
    QMessageBox::Icon icon = warning ? QMessageBox::Warning : QMessageBox::Critical;
    QString title = warning ? Tr("警告") : Tr("エラー");
    if (kind == MessageKind::ErrorAbort) {
        TAbortOnlyBox box(icon, title, text, QMessageBox::NoButton, parent);
        QPushButton* abort = box.addButton(Tr("中止(&A)"), QMessageBox::RejectRole);
        abort->setAutoDefault(false);
        abort->setDefault(false);
        box.exec();
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::NoButton, parent);
    QPushButton* ok = box.addButton(Tr("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
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

void RunGuarded(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const VastrelleError& error) {
        ShowError(parent, error);
    } catch (const std::exception& error) {
        ShowFailureReport(parent, QString::fromUtf8(error.what()));
    }
}
