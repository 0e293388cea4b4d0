#pragma once

#include <QFrame>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "CardDialogSupport.h"
#include "CardInfoInputDlg.h"
#include "CardsAsRead.h"
#include "ModalAnswer.h"
#include "TempDir.h"
#include "save/CardStore.h"
#include "text/Cp932.h"

// Saves the dialog's change through the core as the only card of the card type folder that
// holds imageFolder.
inline TCardSaver SaveAsOnlyCard(const QString& imageFolder, const TCardInfo& card) {
    std::filesystem::path cardTypeFolder =
        std::filesystem::path(imageFolder.toStdString()).parent_path();
    return [cardTypeFolder, card](const TCardInfo& edited, const TSideChange& front,
                                  const TSideChange& back) {
        return SaveCard(cardTypeFolder, AsReadNow(cardTypeFolder, {card}), 0, edited, front, back)
            .Cards.at(0);
    };
}

// A save that writes nothing, for tests of the form alone.
inline TCardInfo SaveNothing(const TCardInfo& card, const TSideChange&, const TSideChange&) {
    return card;
}

// A fresh dialog and image folder for each test of the card dialog's drops and buttons.
class TCardDialogFixture {
protected:
    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<TCardInfoInputForm> m_dialog;
    QString m_image;
    QString m_drop;

    void SetUpFolders() {
        m_root = std::make_unique<QTemporaryDir>();
        m_image = m_root->filePath(Utf8("image"));
        m_drop = m_root->filePath(Utf8("drop"));
        QDir().mkpath(m_image);
        QDir().mkpath(m_drop);
        m_dialog = std::make_unique<TCardInfoInputForm>(nullptr);
    }

    void TearDownFolders() {
        QCoreApplication::processEvents();  // a box answer still pending finds no box
        m_dialog.reset();
        m_root.reset();
    }

    QWidget* Panel(const char* name) { return m_dialog->findChild<QFrame*>(Utf8(name)); }
    QPushButton* Button(const char* name) { return m_dialog->findChild<QPushButton*>(Utf8(name)); }
    QString Image(const char* name) { return m_image + QLatin1Char('/') + Utf8(name); }
    bool InImage(const char* name) { return QFile::exists(Image(name)); }

    // A card whose front picture old.jpg (with thumbnails) is stored in the image folder.
    TCardInfo StoredCard() {
        CopyFixture("landscape.jpg", m_image, Utf8("old.jpg"));
        CopyFixture("landscape.jpg", m_image, Utf8("old.thm"));
        CopyFixture("landscape.jpg", m_image, Utf8("old.thm_large"));
        TCardInfo card;
        card.FrontImageFileName = "old.jpg";
        card.Number = "7";
        return card;
    }

    void Prepare(const TCardInfo& card) {
        m_dialog->SetCardInfo(Utf8("カード情報の編集画面"), card, m_image.toStdString(),
                              SaveAsOnlyCard(m_image, card));
        m_dialog->show();
    }

    void PressOk() { Button("ButtonOK")->click(); }
    bool ClosedWithOk() {
        return !m_dialog->isVisible() && m_dialog->result() == QDialog::Accepted;
    }
};

// Answers the next box with the given button and keeps its text.
inline void AnswerAndKeepText(const char* button, QString* text) {
    AnswerNextModal(Utf8(button), [text](QWidget* box) {
        if (auto* message = qobject_cast<QMessageBox*>(box)) *text = message->text();
    });
}
