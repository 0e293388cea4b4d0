#include "cardlist/CardList.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "cardlist/CardCopies.h"
#include "cardlist/CardListFastReader.h"
#include "files/AtomicFile.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "text/Cp932.h"

namespace {

constexpr std::array<const char*, 3> kExtraFieldNames = {"count", "want", "acquired"};

constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n";

// XML 1.0 forbids the C0 controls other than TAB, CR and LF; a pasted one would make the file
// unreadable, so it is dropped. Trail bytes of CP932 are never below 0x40, so this is safe
// bytewise.
bool IsForbiddenControl(unsigned char c) { return c < 0x20 && c != '\t' && c != '\r' && c != '\n'; }

bool HasForbiddenControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return IsForbiddenControl(static_cast<unsigned char>(c)); });
}

void AppendText(std::string& out, std::string_view text) {
    if (!HasForbiddenControl(text)) {
        out.append(text);
        return;
    }
    for (char c : text)
        if (!IsForbiddenControl(static_cast<unsigned char>(c))) out.push_back(c);
}

// Picture names are not escaped; the three markup characters become references so that the file
// stays well-formed. Names without them are written exactly as before.
void AppendImageName(std::string& out, std::string_view name) {
    if (std::none_of(name.begin(), name.end(), [](char c) {
            return c == '&' || c == '<' || c == '>' ||
                   IsForbiddenControl(static_cast<unsigned char>(c));
        })) {
        out.append(name);
        return;
    }
    for (std::size_t pos = 0; pos < name.size();) {
        std::size_t n = cp932::CharLength(name, pos);
        char c = name[pos];
        if (n == 1 && c == '&')
            out += "&amp;";
        else if (n == 1 && c == '<')
            out += "&lt;";
        else if (n == 1 && c == '>')
            out += "&gt;";
        else if (n == 2 || !IsForbiddenControl(static_cast<unsigned char>(c)))
            out.append(name.substr(pos, n));
        pos += n;
    }
}

// A field's lines around its text, e.g. "        <title>" and "</title>\r\n", made once.
struct TFieldTags {
    explicit TFieldTags(std::string_view tag)
        : Open("        <" + std::string(tag) + ">"), Close("</" + std::string(tag) + ">\r\n") {}
    std::string Open;
    std::string Close;
};
const TFieldTags kNumberTags{"number"};
const TFieldTags kTitleTags{"title"};
const TFieldTags kFrontTags{"imagefilename1"};
const TFieldTags kBackTags{"imagefilename2"};
const TFieldTags kCommentTags{"comment"};
const std::array<TFieldTags, 3> kExtraFieldTags = {TFieldTags{kExtraFieldNames[0]},
                                                   TFieldTags{kExtraFieldNames[1]},
                                                   TFieldTags{kExtraFieldNames[2]}};

void AppendField(std::string& out, const TFieldTags& tags, std::string_view value, bool image) {
    out.append(tags.Open);
    if (image)
        AppendImageName(out, value);
    else if (!HasForbiddenControl(value))
        AppendConvertedFieldText(out, value, TConvertDirection::Escape);
    else
        AppendText(out, ConvertFieldText(value, TConvertDirection::Escape));
    out.append(tags.Close);
}

// The fields beyond the six, each only when it is not at its default, so that a file without them
// writes back byte for byte; a field kept unread goes back as it came.
void AppendExtraFields(std::string& out, const TCardInfo& card) {
    if (card.Count <= 1 && !card.Want && card.Acquired.empty() && card.Unread == TUnreadFields{})
        return;
    const std::array<std::string, 3> texts = ExtraFieldTexts(card);
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (!texts[i].empty()) AppendField(out, kExtraFieldTags[i], texts[i], true);
}

}  // namespace

void WriteCardListText(const TCardInfos& cards, const TByteSink& sink) {
    // Pieces of about this size keep the writer from holding the whole text beside the cards.
    constexpr std::size_t kPieceBytes = 256 * 1024;
    std::string out;
    out.reserve(kPieceBytes + 4096);
    out += kDeclaration;
    out += "<cardlist>\r\n";
    for (const TCardInfo& card : cards) {
        out += "    <carditem>\r\n";
        AppendField(out, kNumberTags, card.Number, false);
        AppendField(out, kTitleTags, card.Title, false);
        AppendField(out, kFrontTags, card.FrontImageFileName, true);
        AppendField(out, kBackTags, card.BackImageFileName, true);
        out.append(card.Owned ? std::string_view("        <exist>Y</exist>\r\n")
                              : std::string_view("        <exist>N</exist>\r\n"));
        AppendField(out, kCommentTags, card.Comment, false);
        AppendExtraFields(out, card);
        out += "    </carditem>\r\n";
        if (out.size() >= kPieceBytes) {
            if (!sink(out)) return;
            out.clear();
        }
    }
    out += "</cardlist>\r\n";
    sink(out);
}

std::string CardListText(const TCardInfos& cards) {
    std::string text;
    WriteCardListText(cards, [&text](std::string_view piece) {
        text.append(piece);
        return true;
    });
    return text;
}

std::string EmptyCardListText() { return std::string(kDeclaration) + "<cardlist/>\r\n"; }

void WriteCardList(const TCardInfos& cards, const std::filesystem::path& cardTypeFolder) {
    if (cardTypeFolder.empty() ||
        !WriteFileAtomically(cardTypeFolder / kCardListFileName,
                             [&cards](const TByteSink& sink) { WriteCardListText(cards, sink); }))
        throw VastrelleError(msg::kCardListSaveFailed, MessageKind::ErrorAbort);
}

// ---------------------------------------------------------------------------------------------
// Reader

namespace {

// The files name their encoding "Shift_JIS" but hold code page 932; plain Shift_JIS would reject
// the extension characters (circled digits, NEC and IBM kanji).
void RegisterCp932Aliases() {
    static const bool registered = [] {
        xmlInitParser();
        for (const char* alias :
             {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "MS_KANJI", "CSSHIFTJIS", "WINDOWS-31J", "X-SJIS"})
            xmlAddEncodingAlias("CP932", alias);
        // No card list may pull another file in: refuse every external resource.
        xmlSetExternalEntityLoader([](const char*, const char*,
                                      xmlParserCtxtPtr) -> xmlParserInputPtr { return nullptr; });
        return true;
    }();
    (void)registered;
}

// Cuts the text at its first NUL and turns CR LF and a lone CR into LF, in place. The parser
// normalises line ends the same way, so this equals joining the lines with CR LF, and it keeps
// the line numbers of parse errors.
void NormaliseLines(std::string& text) {
    if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    if (text.find('\r') == std::string::npos) return;
    std::size_t out = 0;
    for (std::size_t in = 0; in < text.size(); ++in) {
        char c = text[in];
        if (c == '\r') {
            c = '\n';
            if (in + 1 < text.size() && text[in + 1] == '\n') ++in;
        }
        text[out++] = c;
    }
    text.resize(out);
}

// First 40 characters of a line of the normalised text, for the parse error message.
std::string LineExcerpt(std::string_view text, int line) {
    std::size_t start = 0;
    for (int i = 1; i < line && start != std::string_view::npos; ++i) {
        start = text.find('\n', start);
        if (start != std::string_view::npos) ++start;
    }
    if (start == std::string_view::npos || start > text.size()) return {};
    std::size_t end = text.find('\n', start);
    std::string_view rest = text.substr(start, end == std::string_view::npos ? end : end - start);
    std::size_t pos = 0;
    for (int chars = 0; chars < 40 && pos < rest.size(); ++chars)
        pos += cp932::CharLength(rest, pos);
    return cp932::ToUtf8Lossy(rest.substr(0, pos));
}

struct ParseError {
    std::string reason;
    int line = 0;
};

void CaptureError(void* context, xmlErrorPtr error) {
    auto* first = static_cast<std::optional<ParseError>*>(context);
    if (first->has_value() || error == nullptr || error->level < XML_ERR_ERROR) return;
    std::string reason = error->message ? error->message : "";
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) reason.pop_back();
    *first = ParseError{reason, error->line};
}

struct ReaderDeleter {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};

bool IsBlank(const xmlChar* text) {
    if (text == nullptr) return true;
    for (; *text; ++text)
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r') return false;
    return true;
}

// White-space-only text is not a node of the document the card list is read from.
bool IsDroppedNode(const xmlNode* node) {
    return node->type == XML_TEXT_NODE && IsBlank(node->content);
}

constexpr std::array<const char*, 6> kFieldNames = {"number",         "title", "imagefilename1",
                                                    "imagefilename2", "exist", "comment"};

// The text of the first child element of that name: empty when missing or empty, the text when
// its content is one text node, nullopt when it holds anything else.
std::optional<std::string_view> FieldText(const xmlNode* card, const char* name) {
    for (const xmlNode* child = card->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE ||
            std::strcmp(reinterpret_cast<const char*>(child->name), name) != 0)
            continue;
        const xmlNode* only = nullptr;
        int count = 0;
        for (const xmlNode* node = child->children; node; node = node->next) {
            if (IsDroppedNode(node)) continue;
            only = node;
            ++count;
        }
        if (count == 0) return std::string_view{};
        if (count == 1 && only->type == XML_TEXT_NODE && only->content)
            return std::string_view(reinterpret_cast<const char*>(only->content));
        return std::nullopt;
    }
    return std::string_view{};
}

// Fills the card from its element; false when a field is not simple text.
bool ReadCard(const xmlNode* element, cp932::Utf8ToCp932Lossy& converter, TCardInfo& card) {
    std::array<std::string_view, kFieldNames.size()> texts;
    for (std::size_t i = 0; i < kFieldNames.size(); ++i) {
        auto text = FieldText(element, kFieldNames[i]);
        if (!text) return false;
        texts[i] = *text;
    }
    card.Number = ConvertFieldText(converter.Convert(texts[0]), TConvertDirection::Unescape);
    card.Title = ConvertFieldText(converter.Convert(texts[1]), TConvertDirection::Unescape);
    card.FrontImageFileName = converter.Convert(texts[2]);
    card.BackImageFileName = converter.Convert(texts[3]);
    card.Owned = texts[4] == "Y";
    card.Comment = ConvertFieldText(converter.Convert(texts[5]), TConvertDirection::Unescape);
    // Fields the earlier program never wrote: one that is not simple text reads as missing rather
    // than failing the whole card list.
    std::array<std::string, kExtraFieldNames.size()> extras;
    for (std::size_t i = 0; i < kExtraFieldNames.size(); ++i)
        extras[i] = converter.Convert(FieldText(element, kExtraFieldNames[i]).value_or(""));
    ReadExtraFields(card, extras[0], extras[1], extras[2]);
    return true;
}

// The identity from the descriptor read and the bytes already in memory.
void TakeIdentity(const TCardListText& text, TCardListIdentity* identity) {
    if (!identity) return;
    *identity = text.Identity;
    identity->Hash = CardListHash(text.Bytes.View());
}

// The whole file; its failure is the reader's "cannot open".
TFileBytes ReadCardListText(const std::filesystem::path& file,
                            TCardListIdentity* identity = nullptr) {
    TCardListText text = ReadCardListFileText(file);
    TakeIdentity(text, identity);
    return std::move(text.Bytes);
}

// The general path: libxml2 decodes the text by its declaration.
void ParseCardList(const std::filesystem::path& file, std::string text, TCardInfos& cards) {
    cards.clear();
    NormaliseLines(text);
    if (text.empty()) return;  // no root element: no cards
    cards.reserve(CountCardItemTags(text));

    RegisterCp932Aliases();
    std::unique_ptr<xmlTextReader, ReaderDeleter> reader(xmlReaderForMemory(
        text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET));
    if (!reader) throw VastrelleError(FormatMessage(msg::kCannotOpen, file.string()));
    std::optional<ParseError> parseError;
    xmlTextReaderSetStructuredErrorHandler(reader.get(), CaptureError, &parseError);

    cp932::Utf8ToCp932Lossy converter;
    // A structural failure is reported only once the whole text is known to be well-formed,
    // as a parser that reads the whole document first would.
    std::optional<std::string> structureError;
    int rc = xmlTextReaderRead(reader.get());
    while (rc == 1) {
        if (structureError || xmlTextReaderDepth(reader.get()) != 1) {
            rc = xmlTextReaderRead(reader.get());
            continue;
        }
        int type = xmlTextReaderNodeType(reader.get());
        if (type == XML_READER_TYPE_END_ELEMENT || type == XML_READER_TYPE_WHITESPACE ||
            type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE ||
            (type == XML_READER_TYPE_TEXT && IsBlank(xmlTextReaderConstValue(reader.get())))) {
            rc = xmlTextReaderRead(reader.get());
            continue;
        }
        if (type == XML_READER_TYPE_ELEMENT) {
            xmlNode* element = xmlTextReaderExpand(reader.get());
            if (element == nullptr) {
                rc = -1;
                break;
            }
            TCardInfo& card = cards.emplace_back();
            if (!ReadCard(element, converter, card)) structureError = msg::kNotSimpleTextNode;
            rc = xmlTextReaderNext(reader.get());
        } else {
            // A comment, processing instruction or text beside the cards holds no fields.
            structureError = msg::kNotSimpleTextNode;
            rc = xmlTextReaderRead(reader.get());
        }
    }
    if (rc != 0 || parseError) {
        cards.clear();
        ParseError error = parseError.value_or(ParseError{"XML parse error", 0});
        VastrelleError failure(error.reason + "\r\n" + "行" + ": " + std::to_string(error.line) +
                               "\r\n" + LineExcerpt(text, error.line));
        failure.SetUnchangedFile(file.string());
        throw failure;
    }
    if (structureError) {
        cards.clear();
        VastrelleError failure(*structureError);
        failure.SetUnchangedFile(file.string());
        throw failure;
    }
}

}  // namespace

TCardListText ReadCardListFileText(const std::filesystem::path& file) {
    struct stat status {};
    std::optional<TFileBytes> bytes = ReadFileAtSize(file, &status);
    if (!bytes) throw VastrelleError(FormatMessage(msg::kCannotOpen, file.string()));
    return {file, std::move(*bytes), CardListIdentityFrom(status, 0)};
}

void ReadCardListFromText(TCardListText text, TCardInfos& cards, TCardListIdentity* identity) {
    cards.clear();
    TakeIdentity(text, identity);
    // The buffer is given up as it is read; the parser, for what the fast path leaves, reads the
    // file again.
    if (ReadCardListFast(text.Bytes.View(), cards, true)) return;
    text.Bytes = {};
    ParseCardList(text.File, std::string(ReadCardListText(text.File, identity).View()), cards);
}

void ReadCardList(const std::filesystem::path& file, TCardInfos& cards,
                  TCardListIdentity* identity) {
    ReadCardListFromText(ReadCardListFileText(file), cards, identity);
}

void ReadCardListBytes(std::string_view bytes, const std::filesystem::path& file,
                       TCardInfos& cards) {
    cards.clear();
    if (ReadCardListFast(bytes, cards)) return;
    ParseCardList(file, std::string(bytes), cards);
}

void ReadCardListByParser(const std::filesystem::path& file, TCardInfos& cards,
                          TCardListIdentity* identity) {
    ParseCardList(file, std::string(ReadCardListText(file, identity).View()), cards);
}
