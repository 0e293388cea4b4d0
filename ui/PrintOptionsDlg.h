#pragma once

#include <QDialog>

#include "CardPrint.h"

class QCheckBox;
class QComboBox;
class QRadioButton;

// 印刷の設定: a checklist (optionally with thumbnails) or binder pages of 3 x 3 or 2 x 2 pockets.
class TPrintOptionsForm : public QDialog {
    Q_OBJECT
public:
    explicit TPrintOptionsForm(QWidget* parent = nullptr);

    TPrintOptions Options() const;
    void SetOptions(const TPrintOptions& options);

private:
    void UpdateStates();

    QRadioButton* m_checklist;
    QRadioButton* m_binder;
    QCheckBox* m_thumbnails;
    QComboBox* m_pockets;
};
