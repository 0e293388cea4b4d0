#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>
#include <string>

#include "CardPictures.h"
#include "Common.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

enum class TCardSide { Front, Back };

// The card dialog: a card's number, title, comment and owned mark, and its front and back
// pictures taken from JPEG files dropped on two frames. Pictures are written only by OK.
class TCardInfoInputForm : public QDialog {
    Q_OBJECT
public:
    explicit TCardInfoInputForm(QWidget* parent);

    // Prepares the dialog for one card; throws VastrelleError when a stored picture cannot be
    // shown. imageFolder is the folder of the card type's pictures.
    void SetCardInfo(const QString& caption, const TCardInfo& card,
                     const std::filesystem::path& imageFolder);
    const TCardInfo& EditedCard() const { return m_editedCard; }

    // A file dropped on the front or back frame: asks, checks and holds it as that side's new
    // picture. The frames' drop handling calls this with the first dropped file.
    void DropFile(TCardSide side, const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void sbDeleteFrontImageClick();
    void sbDeleteBackImageClick();
    void ButtonOKClick();

private:
    // What happened to one side since SetCardInfo.
    struct TSide {
        QFrame* Panel = nullptr;
        QLabel* Image = nullptr;
        bool ImageDeleted = false;
        bool ImageDropped = false;
        std::string DroppedImageName;  // CP932, bare
        THeldPicture Held;
    };

    void FormCreate();
    TSide& Side(TCardSide side) { return side == TCardSide::Front ? m_front : m_back; }
    std::string& CardImageName(TCardSide side);
    bool NameTakenByOtherSide(TCardSide side, const std::string& name);
    void DeleteImage(TCardSide side);
    void ShowPicture(QLabel* image, const QImage& picture);
    bool CopyTexts();
    void StoreSides();

    QCheckBox* CheckBoxExist;
    QLineEdit* EditNumber;
    QLineEdit* EditTitle;
    QLineEdit* EditComment;
    QPushButton* sbDeleteFrontImage;
    QPushButton* sbDeleteBackImage;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;

    TSide m_front;
    TSide m_back;
    TCardInfo m_editedCard;
    std::filesystem::path m_imageFolder;
};
