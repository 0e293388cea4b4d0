#include "CardInfoInputDlg.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>
#include <limits>

#include "DialogFrame.h"
#include "DialogKeys.h"
#include "FileDropFilter.h"
#include "MessageBoxes.h"
#include "PictureFrameActions.h"
#include "PictureLoader.h"
#include "QtText.h"
#include "TextRefusal.h"
#include "UiFont.h"
#include "WaitCursor.h"
#include "cardlist/CardCopies.h"
#include "files/VastrelleError.h"
#include "pictures/ImageNames.h"

namespace {

constexpr const char* kNameTaken = "既に同じファイル名で登録されているので登録できません";
constexpr const char* kOverwrite = "上書きしてもよろしいですか？";
constexpr const char* kBadFileName = "ファイル名に使用できない文字が含まれているので登録できません";
constexpr const char* kWrongExtension = "登録できるのは拡張子が .jpg か .jpeg のファイルだけです";
constexpr const char* kCannotShow = "この画像は表示できません";
constexpr const char* kChooseCaption = "画像を選択";
constexpr const char* kChooseFilter = "JPEG 画像 (*.jpg *.jpeg);;すべてのファイル (*)";

const QSize kPictureArea(151, 199);

template <typename T>
T* Place(QWidget* parent, const char* name, int left, int top, int width, int height) {
    auto* widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* PlaceLabel(QWidget* parent, const char* name, const char* text, int left, int top) {
    auto* label = new QLabel(Tr(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* PlaceButton(QWidget* parent, const char* name, const char* text, int left, int top,
                         int width, int height) {
    auto* button = Place<QPushButton>(parent, name, left, top, width, height);
    button->setText(Tr(text));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

// A frame with a one-pixel border holding a picture control at its top-left inner corner.
QFrame* PlacePictureFrame(QWidget* parent, const char* frameName, const char* imageName, int left,
                          int top, QLabel*& image) {
    auto* frame = Place<QFrame>(parent, frameName, left, top, 153, 201);
    frame->setFrameStyle(QFrame::Box | QFrame::Plain);
    frame->setLineWidth(1);
    frame->setFocusPolicy(Qt::NoFocus);
    image = Place<QLabel>(frame, imageName, 1, 1, kPictureArea.width(), kPictureArea.height());
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setWordWrap(true);  // for the line that says a stored picture cannot be shown
    return frame;
}

}  // namespace

TCardInfoInputForm::TCardInfoInputForm(QWidget* parent) : QDialog(parent) {
    UseFixedDialogFrame(this);
    setFixedSize(412, 404);
    setFont(UiFont(12));

    CheckBoxExist = Place<QCheckBox>(this, "CheckBoxExist", 40, 8, 57, 17);
    CheckBoxExist->setText(Tr("所持"));
    PlaceLabel(this, "Label1", "No.", 40, 32);
    EditNumber = Place<QLineEdit>(this, "EditNumber", 64, 32, 233, 20);
    PlaceLabel(this, "Label2", "タイトル", 16, 56);
    EditTitle = Place<QLineEdit>(this, "EditTitle", 64, 56, 233, 20);
    PlaceLabel(this, "Label5", "コメント", 16, 80);
    EditComment = Place<QLineEdit>(this, "EditComment", 64, 80, 233, 20);
    // Texts from card lists made elsewhere may be longer than a line edit's default limit, which
    // would cut them silently when the card is saved.
    for (QLineEdit* edit : {EditNumber, EditTitle, EditComment})
        edit->setMaxLength(std::numeric_limits<int>::max());
    PlaceLabel(this, "Label3", "表", 24, 112);
    m_front.Panel = PlacePictureFrame(this, "Panel1", "ImageFront", 24, 128, m_front.Image);
    PlaceLabel(this, "Label4", "裏", 200, 112);
    m_back.Panel = PlacePictureFrame(this, "Panel2", "ImageBack", 200, 128, m_back.Image);
    sbDeleteFrontImage = PlaceButton(this, "sbDeleteFrontImage", "削除", 24, 328, 49, 22);
    sbDeleteBackImage = PlaceButton(this, "sbDeleteBackImage", "削除", 200, 328, 49, 22);
    sbDeleteFrontImage->setFocusPolicy(Qt::NoFocus);
    sbDeleteBackImage->setFocusPolicy(Qt::NoFocus);
    ButtonOK = PlaceButton(this, "ButtonOK", "O K", 320, 8, 75, 49);
    ButtonCancel = PlaceButton(this, "ButtonCancel", "キャンセル", 320, 64, 75, 49);
    // Below the frames, empty until a chosen file is refused.
    LabelNotice = Place<QLabel>(this, "LabelNotice", 24, 354, 370, 16);
    LabelNotice->setAccessibleName(Tr("画像についてのお知らせ"));
    // Copies and the want mark sit below everything else, so no control above moves.
    PlaceLabel(this, "LabelCount", "枚数", 24, 380);
    SpinBoxCount = Place<QSpinBox>(this, "SpinBoxCount", 64, 376, 72, 20);
    SpinBoxCount->setRange(0, kMaxCopies);
    SpinBoxCount->setAccessibleName(Tr("枚数"));
    CheckBoxWant = Place<QCheckBox>(this, "CheckBoxWant", 152, 378, 80, 17);
    CheckBoxWant->setText(Tr("欲しい"));
    CheckBoxWant->setAccessibleName(Tr("欲しい"));
    // Owned exactly when at least one copy: ticking owned gives one, clearing it none.
    connect(CheckBoxExist, &QCheckBox::toggled, this, [this](bool owned) {
        if (owned != (SpinBoxCount->value() >= 1)) SpinBoxCount->setValue(owned ? 1 : 0);
    });
    connect(SpinBoxCount, &QSpinBox::valueChanged, this,
            [this](int copies) { CheckBoxExist->setChecked(copies >= 1); });

    setTabOrder(EditNumber, EditTitle);
    setTabOrder(EditTitle, ButtonOK);
    setTabOrder(ButtonOK, ButtonCancel);
    setTabOrder(ButtonCancel, EditComment);
    setTabOrder(EditComment, CheckBoxExist);
    setTabOrder(CheckBoxExist, SpinBoxCount);
    setTabOrder(SpinBoxCount, CheckBoxWant);

    connect(sbDeleteFrontImage, &QPushButton::clicked, this,
            &TCardInfoInputForm::sbDeleteFrontImageClick);
    connect(sbDeleteBackImage, &QPushButton::clicked, this,
            &TCardInfoInputForm::sbDeleteBackImageClick);
    connect(ButtonOK, &QPushButton::clicked, this, &TCardInfoInputForm::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

void TCardInfoInputForm::FormCreate() {
    // A drop on the picture lands on its frame: the picture controls take no drops themselves.
    new TFileDropFilter(m_front.Panel,
                        [this](const QString& path) { DropFile(TCardSide::Front, path); });
    new TFileDropFilter(m_back.Panel,
                        [this](const QString& path) { DropFile(TCardSide::Back, path); });
    for (TCardSide side : {TCardSide::Front, TCardSide::Back})
        new TPictureFrameActions(
            Side(side).Panel, [this, side] { ChoosePicture(side); },
            [this, side] { DeleteImage(side); });
    for (TSide* side : {&m_front, &m_back}) {
        side->Loader =
            new TPictureLoader(this, kPictureArea, [this, side](const VastrelleError& e) {
                side->LoadingName.clear();
                ShowError(this, e);
            });
        connect(side->Loader, &TPictureLoader::LoadingChanged, this,
                &TCardInfoInputForm::LoadingChanged);
    }
}

void TCardInfoInputForm::SetCardInfo(const QString& caption, const TCardInfo& card,
                                     const std::filesystem::path& imageFolder, TCardSaver save) {
    setWindowTitle(caption);
    m_editedCard = card;
    m_imageFolder = imageFolder;
    m_save = std::move(save);
    for (TSide* side : {&m_front, &m_back}) {
        side->Loader->Cancel();
        side->LoadingName.clear();
        side->ImageDeleted = false;
        side->ImageDropped = false;
        side->DroppedImageName.clear();
        side->Held = {};
        side->Image->clear();
    }
    LabelNotice->clear();
    CheckBoxExist->setChecked(card.Owned);
    SpinBoxCount->setValue(Copies(card));
    CheckBoxWant->setChecked(card.Want);
    EditNumber->setText(FromCp932(card.Number));
    EditTitle->setText(FromCp932(card.Title));
    EditComment->setText(FromCp932(card.Comment));
    EditNumber->setFocus();
    std::vector<VastrelleError> failures;
    {
        TWaitCursor wait;
        ShowStoredPicture(m_front.Image, card.FrontImageFileName, failures);
        ShowStoredPicture(m_back.Image, card.BackImageFileName, failures);
    }
    QWidget* owner = parentWidget() != nullptr ? parentWidget() : this;
    for (const VastrelleError& failure : failures) ShowError(owner, failure);
}

// A stored picture that cannot be shown is reported, and its frame says so with its name, so the
// card can still be opened to delete or replace it.
void TCardInfoInputForm::ShowStoredPicture(QLabel* image, const std::string& name,
                                           std::vector<VastrelleError>& failures) {
    try {
        ShowPicture(image, LoadStoredPicture(m_imageFolder, name));
    } catch (const VastrelleError& failure) {
        failures.push_back(failure);
        image->setText(Tr(kCannotShow) + QLatin1Char('\n') + FromCp932(name));
    }
}

void TCardInfoInputForm::ShowPicture(QLabel* image, const QImage& picture) {
    if (picture.isNull()) {
        image->clear();
        return;
    }
    QSize size = FitToArea(picture.size(), kPictureArea);
    image->setPixmap(
        QPixmap::fromImage(picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

std::string& TCardInfoInputForm::CardImageName(TCardSide side) {
    return side == TCardSide::Front ? m_editedCard.FrontImageFileName
                                    : m_editedCard.BackImageFileName;
}

// A new name held (or being decoded) for the other side would end as one file named by both
// sides.
bool TCardInfoInputForm::NameTakenByOtherSide(TCardSide side, const std::string& name) {
    const TSide& other = Side(side == TCardSide::Front ? TCardSide::Back : TCardSide::Front);
    const std::string upper = AsciiUpper(name);
    return (other.ImageDropped && AsciiUpper(other.DroppedImageName) == upper) ||
           (other.Loader->IsLoading() && AsciiUpper(other.LoadingName) == upper);
}

void TCardInfoInputForm::DropFile(TCardSide side, const QString& path) {
    LabelNotice->clear();
    std::optional<std::string> name = ToCp932(QFileInfo(path).fileName());
    if (!name || name->empty()) {
        ShowMessage(this, MessageKind::ErrorOk, Tr(kBadFileName));
        return;
    }
    TNameCheck check = NameTakenByOtherSide(side, *name)
                           ? TNameCheck::Taken
                           : CheckImageName(m_imageFolder, *name, CardImageName(side));
    if (check == TNameCheck::Taken) {
        ShowMessage(this, MessageKind::ErrorOk, Tr(kNameTaken));
        return;
    }
    if (check == TNameCheck::OwnPicture && !AskYesNo(this, Tr(kOverwrite))) return;
    // The file name carries the path's extension; its folders may have no CP932 form.
    if (!HasAcceptedExtension(*name)) {
        LabelNotice->setText(Tr(kWrongExtension));
        return;
    }

    Side(side).LoadingName = *name;
    Side(side).Loader->Load(path, [this, side, name = *name](THeldPicture picture) {
        TakePicture(side, name, std::move(picture));
    });
}

void TCardInfoInputForm::TakePicture(TCardSide side, const std::string& name,
                                     THeldPicture picture) {
    TSide& target = Side(side);
    target.LoadingName.clear();
    target.Held = std::move(picture);
    ShowPicture(target.Image, target.Held.Shown);
    target.ImageDropped = true;
    target.DroppedImageName = name;
}

// OK waits for pictures still being decoded: a half-finished drop is never saved.
void TCardInfoInputForm::LoadingChanged() {
    for (TSide* side : {&m_front, &m_back}) {
        if (side->Loader->IsLoading())
            side->Panel->setCursor(Qt::BusyCursor);
        else
            side->Panel->unsetCursor();
    }
    ButtonOK->setEnabled(!m_front.Loader->IsLoading() && !m_back.Loader->IsLoading());
}

void TCardInfoInputForm::DeleteImage(TCardSide side) {
    TSide& target = Side(side);
    target.Loader->Cancel();
    target.LoadingName.clear();
    target.ImageDeleted = true;
    target.Image->clear();
    LabelNotice->clear();
    target.ImageDropped = false;
    target.DroppedImageName.clear();
    target.Held = {};
}

// The chosen file goes through exactly the checks of a drop.
void TCardInfoInputForm::ChoosePicture(TCardSide side) {
    QFileDialog dialog(this, Tr(kChooseCaption), m_chooseFolder, Tr(kChooseFilter));
    dialog.setObjectName(QStringLiteral("ChoosePictureDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().front();
    m_chooseFolder = QFileInfo(path).absolutePath();
    DropFile(side, path);
}

void TCardInfoInputForm::sbDeleteFrontImageClick() { DeleteImage(TCardSide::Front); }

void TCardInfoInputForm::sbDeleteBackImageClick() { DeleteImage(TCardSide::Back); }

// A text that CP932 cannot hold would be stored mangled, so it is refused before anything
// changes.
std::optional<TCardInfo> TCardInfoInputForm::TypedCard() {
    struct Field {
        QLineEdit* Edit;
        const char* Caption;
        std::string* Target;
    };
    TCardInfo edited = m_editedCard;
    for (Field field :
         {Field{EditNumber, "No.", &edited.Number}, Field{EditTitle, "タイトル", &edited.Title},
          Field{EditComment, "コメント", &edited.Comment}}) {
        std::optional<std::string> text = ToCp932(field.Edit->text());
        if (!text) {
            ShowMessage(this, MessageKind::ErrorOk,
                        TextRefusal(Tr(field.Caption), field.Edit->text()));
            field.Edit->setFocus();
            return std::nullopt;
        }
        *field.Target = std::move(*text);
    }
    // Only a change touches the fields, so a card's date and any field kept unread stay.
    int copies = CheckBoxExist->isChecked() ? std::max(1, SpinBoxCount->value()) : 0;
    if (copies != Copies(edited)) SetCopies(edited, copies, TodayText());
    if (CheckBoxWant->isChecked() != edited.Want) SetWant(edited, CheckBoxWant->isChecked());
    return edited;
}

// A drop after a delete on the same side replaces the old picture; a drop then a delete only
// removes it.
TSideChange TCardInfoInputForm::SideChange(const TSide& side) {
    TSideChange change;
    if (side.ImageDropped) {
        change.Edit = TSideEdit::Replace;
        change.Picture = {side.DroppedImageName, side.Held.Bytes, side.Held.Decoded};
    } else if (side.ImageDeleted) {
        change.Edit = TSideEdit::Remove;
    }
    return change;
}

// A failed save leaves every file as it was and the dialog as the user left it, so OK can be
// pressed again or the dialog cancelled.
void TCardInfoInputForm::ButtonOKClick() {
    std::optional<TCardInfo> edited = TypedCard();
    if (!edited) return;
    bool saved = false;
    RunGuarded(this, [&] {
        m_editedCard = m_save(*edited, SideChange(m_front), SideChange(m_back));
        saved = true;
    });
    if (saved) accept();
}

// A picture still being decoded is dropped with the dialog, so no late report appears.
void TCardInfoInputForm::done(int result) {
    m_front.Loader->Cancel();
    m_back.Loader->Cancel();
    QDialog::done(result);
}

void TCardInfoInputForm::keyPressEvent(QKeyEvent* event) {
    if (!HandlePlainDialogKey(this, event)) QDialog::keyPressEvent(event);
}
