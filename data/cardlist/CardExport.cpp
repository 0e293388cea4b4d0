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
        "No.,タイトル,コメント,所持,表画像,裏画像\r\n";
    for (const TCardInfo& card : cards) {
        out += CsvField(Utf8(card.Number)) + "," + CsvField(Utf8(card.Title)) + "," +
               CsvField(Utf8(card.Comment)) + "," + (card.Owned ? "●" : "") + "," +
               CsvField(Utf8(card.FrontImageFileName)) + "," +
               CsvField(Utf8(card.BackImageFileName)) + "\r\n";
    }
    return out;
}

void WriteExportFile(const std::filesystem::path& path, const std::string& text) {
    if (!WriteFileAtomically(path, text))
        throw VastrelleError(FormatMessage(msg::kCannotWrite, path.string()));
}
