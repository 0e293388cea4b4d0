#include "cardlist/CardExport.h"

#include "files/AtomicFile.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "text/Cp932.h"

namespace {

std::string Utf8(const std::string& cp932Text) { return cp932::ToUtf8Lossy(cp932Text); }

std::string CsvField(const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string MissingCardsText(const TCardInfos& cards) {
    std::string out;
    for (const TCardInfo& card : cards)
        if (!card.Owned) out += Utf8(card.Number) + "\t" + Utf8(card.Title) + "\n";
    return out;
}

std::string CardsCsvText(const TCardInfos& cards) {
    std::string out =
        "\xEF\xBB\xBF"
        "No.,タイトル,コメント,所持,表画像,裏画像,枚数,欲しい\r\n";
    for (const TCardInfo& card : cards) {
        out += CsvField(Utf8(card.Number)) + "," + CsvField(Utf8(card.Title)) + "," +
               CsvField(Utf8(card.Comment)) + "," + (card.Owned ? "●" : "") + "," +
               CsvField(Utf8(card.FrontImageFileName)) + "," +
               CsvField(Utf8(card.BackImageFileName)) + "," +
               (card.Owned ? std::to_string(Copies(card)) : "") + "," + (card.Want ? "●" : "") +
               "\r\n";
    }
    return out;
}

namespace {

constexpr const char* kCsvStart = "\xEF\xBB\xBF";

// One line of a list: the number, the title and one more column.
std::string ListLine(const TCardInfo& card, const std::string& last, TListFormat format) {
    if (format == TListFormat::Text)
        return Utf8(card.Number) + "\t" + Utf8(card.Title) + (last.empty() ? "" : "\t") + last +
               "\n";
    return CsvField(Utf8(card.Number)) + "," + CsvField(Utf8(card.Title)) + "," + last + "\r\n";
}

}  // namespace

std::string SparesText(const TCardInfos& cards, TListFormat format) {
    std::string out =
        format == TListFormat::Csv ? std::string(kCsvStart) + "No.,タイトル,ダブり\r\n" : "";
    for (const TCardInfo& card : cards)
        if (int copies = Copies(card); copies >= 2)
            out += ListLine(card, std::to_string(copies - 1), format);
    return out;
}

std::string WantsText(const TCardInfos& cards, TListFormat format) {
    bool csv = format == TListFormat::Csv;
    std::string out = csv ? std::string(kCsvStart) + "No.,タイトル,欲しい\r\n" : "";
    for (bool wanted : {true, false})
        for (const TCardInfo& card : cards)
            if (!card.Owned && card.Want == wanted)
                out += ListLine(card, wanted ? (csv ? "●" : "欲しい") : "", format);
    return out;
}

void WriteExportFile(const std::filesystem::path& path, const std::string& text) {
    if (!WriteFileAtomically(path, text))
        throw VastrelleError(FormatMessage(msg::kCannotWrite, path.string()));
}
