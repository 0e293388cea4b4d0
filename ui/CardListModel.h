#pragma once

#include <QAbstractTableModel>

#include "Common.h"
#include "Thumbnails.h"

// The rows of the card list: one per card of the main window's card array, one column per shown
// column definition. Column 0 carries the card number and the thumbnail; Qt::UserRole gives the
// card's index in the array.
class TCardListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The model reads `cards` but never owns or changes it.
    explicit TCardListModel(const TCardInfos& cards, QObject* parent = nullptr);

    // Replaces the columns by the shown definitions and removes every row. Until Fill the model
    // does not look at the card array, so the owner may change it freely.
    void SetListColumn(const TColumnDatas& columns);
    // One row per card now in the array, with thumbnails of that kind from the image folder.
    void Fill(const std::filesystem::path& imageFolder, TThumbnailKind kind);

    const TColumnDatas& Columns() const { return m_columns; }
    const TThumbnailKind& ThumbnailKind() const { return m_thumbnails.Kind(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const TCardInfos& m_cards;
    TColumnDatas m_columns;
    int m_rowCount = 0;
    mutable TThumbnailCache m_thumbnails;
};
