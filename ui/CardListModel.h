#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <vector>

#include "Thumbnails.h"
#include "cardlist/Common.h"

// The rows of the card list: the card array of the loaded card type, one row per card in file
// order, one column per shown column definition. Column 0 carries the card number and the
// thumbnail; Qt::UserRole gives the card's index in the array.
class TCardListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Whether the card is owned (bool).
    static constexpr int kOwnedRole = Qt::UserRole + 1;
    // The thumbnail as the icon views draw it: faded for a card that is not owned.
    static constexpr int kIconDecorationRole = Qt::UserRole + 2;
    // The copies of the card (int): the icon views mark more than one.
    static constexpr int kCopiesRole = Qt::UserRole + 3;

    explicit TCardListModel(QObject* parent = nullptr);

    // Replaces columns, cards and thumbnails in one reset: the shown definitions become the
    // columns, the cards the rows, with thumbnails of that kind from the image folder.
    void Fill(const TColumnDatas& columns, TCardInfos cards,
              const std::filesystem::path& imageFolder, TThumbnailKind kind);

    // The first cards of a large card list that is still being read, as its first rows: a view
    // and its proxy then lay out a few rows rather than every card before the first paint.
    // Whatever asks for the cards before AdoptCards has `settle` called, which adopts them (or
    // refills the model later). Only for a list neither filtered nor sorted, whose proxy asks for
    // no card while it lays out the rows.
    void FillPreview(const TColumnDatas& columns, TCardInfos first,
                     const std::filesystem::path& imageFolder, TThumbnailKind kind,
                     std::function<void()> settle);
    // All the cards, starting with those of the rows shown: the rows shown keep their place
    // without a reset, so that no view or proxy in the middle of asking loses its rows, and the
    // rest are inserted after them.
    void AdoptCards(TCardInfos cards);

    const TCardInfos& Cards() const {
        Settle();
        return m_cards;
    }
    // For a save made on the cards shown: the rows stay as they are until the next Fill, which
    // takes the saved cards (TakeCards) back in one reset.
    TCardInfos& CardsForSave() {
        Settle();
        return m_cards;
    }
    TCardInfos TakeCards() {
        Settle();
        return std::move(m_cards);
    }
    const TColumnDatas& Columns() const { return m_columns; }
    const TThumbnailKind& ThumbnailKind() const { return m_thumbnails.Kind(); }
    // The column of the owned mark, -1 when it is not shown.
    int OwnedColumn() const;
    // Number, title and comment of the card in search form, made for all cards on first use.
    const std::string& SearchText(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void Reset(const TColumnDatas& columns, TCardInfos cards,
               const std::filesystem::path& imageFolder, TThumbnailKind kind,
               std::function<void()> settle);
    void Settle() const {
        if (!m_settle) return;
        std::function<void()> settle = std::move(m_settle);
        m_settle = nullptr;
        settle();
    }

    TCardInfos m_cards;
    mutable std::function<void()> m_settle;
    TColumnDatas m_columns;
    int m_rowCount = 0;
    mutable TThumbnailCache m_thumbnails;
    mutable std::vector<std::string> m_searchTexts;
};
