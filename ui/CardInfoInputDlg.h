#pragma once

#include <QDialog>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "CardPictures.h"
#include "cardlist/Common.h"
#include "files/VastrelleError.h"
#include "save/CardStore.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TPictureLoader;

enum class TCardSide { Front, Back };

// Saves the card the dialog edited as one change: `card` holds the typed texts and owned mark and
// the picture names the card had, front and back what happens to each side. Returns the card as
// saved; throws VastrelleError when nothing was saved.
using TCardSaver = std::function<TCardInfo(const TCardInfo& card, const TSideChange& front,
                                           const TSideChange& back)>;

// The card dialog: a card's number, title, comment, owned mark, copies and want mark, and its front
// and back pictures taken from JPEG files dropped on two frames. OK hands the whole change to the
// save function and closes only when it succeeded; the dialog itself writes no file.
class TCardInfoInputForm : public QDialog {
    Q_OBJECT
public:
    explicit TCardInfoInputForm(QWidget* parent);

    // Prepares the dialog for one card, with the focus in EditNumber. A stored picture that
    // cannot be shown is reported, and its frame says so. imageFolder is the folder of the card
    // type's pictures; save runs at OK.
    void SetCardInfo(const QString& caption, const TCardInfo& card,
                     const std::filesystem::path& imageFolder, TCardSaver save);
    // The card as saved after OK; before, the card as prepared.
    const TCardInfo& EditedCard() const { return m_editedCard; }

    // A file dropped on the front or back frame: asks, checks and holds it as that side's new
    // picture. The frames' drop handling calls this with the first dropped file.
    void DropFile(TCardSide side, const QString& path);
    // Asks for a picture file with the open dialog and takes it as DropFile does.
    void ChoosePicture(TCardSide side);

    void done(int result) override;

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
        TPictureLoader* Loader = nullptr;
        std::string LoadingName;  // the name of the drop being decoded
    };

    void FormCreate();
    TSide& Side(TCardSide side) { return side == TCardSide::Front ? m_front : m_back; }
    std::string& CardImageName(TCardSide side);
    bool NameTakenByOtherSide(TCardSide side, const std::string& name);
    void TakePicture(TCardSide side, const std::string& name, THeldPicture picture);
    void LoadingChanged();
    void DeleteImage(TCardSide side);
    void ShowPicture(QLabel* image, const QImage& picture);
    void ShowStoredPicture(QLabel* image, const std::string& name,
                           std::vector<VastrelleError>& failures);
    std::optional<TCardInfo> TypedCard();
    static TSideChange SideChange(const TSide& side);

    QCheckBox* CheckBoxExist;
    QSpinBox* SpinBoxCount;
    QCheckBox* CheckBoxWant;
    QLineEdit* EditNumber;
    QLineEdit* EditTitle;
    QLineEdit* EditComment;
    QPushButton* sbDeleteFrontImage;
    QPushButton* sbDeleteBackImage;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;
    QLabel* LabelNotice;

    TSide m_front;
    TSide m_back;
    TCardInfo m_editedCard;
    std::filesystem::path m_imageFolder;
    TCardSaver m_save;
    QString m_chooseFolder;
};
