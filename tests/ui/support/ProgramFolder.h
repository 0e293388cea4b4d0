#pragma once

#include <QColor>
#include <QImage>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>

#include "TempDir.h"
#include "cardlist/CardList.h"
#include "text/Cp932.h"

// A throw-away program folder with card types, thumbnails and setting.ini, for driving the
// windows against real files.
class ProgramFolder {
public:
    std::filesystem::path Path() const { return m_dir.path().toStdString(); }

    // cards[i]: number "No.<i+1>", a Japanese title, front "f<i>.jpg", back "b<i>.jpg"; every
    // owned-th card owned starting with the first (0: none).
    static TCardInfos MakeCards(int count, int ownedCount = 0) {
        TCardInfos cards(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            TCardInfo& card = cards[static_cast<std::size_t>(i)];
            card.Number = "No." + std::to_string(i + 1);
            card.Title = Sjis("カード") + std::to_string(i + 1);
            card.FrontImageFileName = "f" + std::to_string(i) + ".jpg";
            card.BackImageFileName = "b" + std::to_string(i) + ".jpg";
            card.Owned = i < ownedCount;
        }
        return cards;
    }

    std::filesystem::path CardTypeFolder(const std::string& utf8Name) const {
        return Path() / std::filesystem::path(utf8Name);
    }

    void AddCardType(const std::string& utf8Name, const TCardInfos& cards) const {
        std::filesystem::create_directories(CardTypeFolder(utf8Name) / "image");
        WriteCardList(cards, CardTypeFolder(utf8Name));
    }

    void WriteFile(const std::filesystem::path& relative, const std::string& bytes) const {
        std::filesystem::create_directories((Path() / relative).parent_path());
        std::ofstream(Path() / relative, std::ios::binary) << bytes;
    }

    // A one-colour BMP thumbnail in the card type's image folder.
    void AddThumbnail(const std::string& utf8CardType, const std::string& fileName, QColor color,
                      int width, int height) const {
        QImage image(width, height, QImage::Format_RGB888);
        image.fill(color);
        std::filesystem::path file = CardTypeFolder(utf8CardType) / "image" / fileName;
        image.save(QString::fromStdString(file.string()), "BMP");
    }

private:
    QTemporaryDir m_dir;
};
