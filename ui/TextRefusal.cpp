#include "TextRefusal.h"

#include <QList>

#include "QtText.h"
#include "cardtypes/CardTypes.h"
#include "files/Messages.h"

namespace {

constexpr const char* kTextRefusal = "%1の%2は Shift_JIS で保存できないため登録できません";
constexpr const char* kNotAllowed = "%1は使用できません。";
constexpr const char* kNoLeadingDot = "先頭の「.」は使用できません。";

// Each character once, in 「」, in the order of first appearance.
template <typename Refused>
QString RefusedCharacters(const QString& text, Refused refused) {
    QList<char32_t> seen;
    QString listed;
    for (char32_t codePoint : text.toUcs4()) {
        if (seen.contains(codePoint)) continue;
        const QString character = QString::fromUcs4(&codePoint, 1);
        if (!refused(codePoint, character)) continue;
        seen.append(codePoint);
        listed += Tr("「") + character + Tr("」");
    }
    return listed;
}

}  // namespace

QString CharactersWithoutCp932(const QString& text) {
    return RefusedCharacters(
        text, [](char32_t, const QString& character) { return !ToCp932(character).has_value(); });
}

QString TextRefusal(const QString& caption, const QString& text) {
    const QString characters = CharactersWithoutCp932(text);
    return characters.isEmpty() ? QString() : Tr(kTextRefusal).arg(caption, characters);
}

// The separators and control characters would make a path of another folder or no name at all.
QString CardTypeNameRefusal(const QString& name) {
    const QString characters = RefusedCharacters(name, [](char32_t c, const QString& character) {
        return c == U'/' || c == U'\\' || c < 0x20 || c == 0x7F || !ToCp932(character);
    });
    const std::optional<std::string> cp932 = ToCp932(name);
    if (characters.isEmpty() && cp932 && IsValidCardTypeName(*cp932)) return {};
    QString text = Tr(msg::kBadCardTypeName);
    if (!characters.isEmpty())
        text += QLatin1Char('\n') + Tr(kNotAllowed).arg(characters);
    else if (name.startsWith(QLatin1Char('.')))
        text += QLatin1Char('\n') + Tr(kNoLeadingDot);
    return text;
}
