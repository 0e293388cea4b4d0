// Registering, editing and removing one card, through the same save as the card dialog.
#include <charconv>
#include <filesystem>
#include <optional>

#include "Commands.h"
#include "cardlist/CardCopies.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Paths.h"
#include "files/Messages.h"
#include "files/VastrelleError.h"
#include "files/WholeFile.h"
#include "pictures/CardImages.h"
#include "save/CardStore.h"
#include "save/CardTypeLock.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kNameTaken = "既に同じファイル名で登録されているので登録できません";
constexpr const char* kExtensionRefused =
    "%s は登録できません: 登録できる画像は拡張子が .jpg か .jpeg の JPEG ファイルです";
constexpr const char* kNoSuchCard = "%s 番目のカードはありません";

// What the options ask of one side.
struct TSideOption {
    std::optional<fs::path> File;
    bool Remove = false;
};

struct TCardOptions {
    std::optional<std::string> Number, Title, Comment;
    std::optional<bool> Owned;
    std::optional<int> Count;
    std::optional<bool> Want;
    TSideOption Front, Back;
};

// Parses the options after the positional arguments; `editing` allows the ones that take a
// value away.
int CopiesArgument(const std::string& text) {
    int copies = ParseCopies(text);
    if (copies < 0) throw UsageError("--count takes a whole number from 0 to 9999");
    return copies;
}

TCardOptions ParseOptions(const Args& args, std::size_t first, bool editing) {
    TCardOptions options;
    int ownedFlags = 0;
    for (std::size_t i = first; i < args.size(); ++i) {
        const std::string& option = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError(option + " needs a value");
            return args[++i];
        };
        if (option == "--number")
            options.Number = Cp932Argument(value());
        else if (option == "--title")
            options.Title = Cp932Argument(value());
        else if (option == "--comment")
            options.Comment = Cp932Argument(value());
        else if (option == "--front")
            options.Front.File = value();
        else if (option == "--back")
            options.Back.File = value();
        else if (option == "--owned" || (editing && option == "--not-owned")) {
            options.Owned = option == "--owned";
            ++ownedFlags;
        } else if (option == "--count")
            options.Count = CopiesArgument(value());
        else if (option == "--want" || option == "--no-want")
            options.Want = option == "--want";
        else if (editing && option == "--no-front")
            options.Front.Remove = true;
        else if (editing && option == "--no-back")
            options.Back.Remove = true;
        else
            throw UsageError("unknown option " + option);
    }
    if (ownedFlags > 1) throw UsageError("--owned and --not-owned exclude each other");
    if (options.Owned && options.Count && *options.Owned != (*options.Count >= 1))
        throw UsageError("--count disagrees with --owned or --not-owned");
    for (const TSideOption* side : {&options.Front, &options.Back})
        if (side->File && side->Remove)
            throw UsageError("a side cannot get a picture and lose it at once");
    return options;
}

// A card list that does not read is never written over.
TCardsAsRead ReadCards(const fs::path& folder) { return ReadCardsAsRead(folder); }

// The checks of a drop on the card dialog, in its order: the name, then the extension, then
// the file itself. currentName is the side's picture before the change.
TSideChange SideChange(const fs::path& imageFolder, const TSideOption& side,
                       const std::string& currentName) {
    if (side.Remove) return {TSideEdit::Remove, {}};
    if (!side.File) return {};
    const fs::path& file = *side.File;
    const std::optional<std::string> name = Cp932FromFsName(file.filename());
    if (!name) Cp932Argument(file.filename().string());  // names the characters
    // The dialog's "上書きしてもよろしいですか？" answered Yes: the side's own picture may be
    // replaced by a file of its name.
    if (CheckImageName(imageFolder, *name, currentName) == TNameCheck::Taken)
        throw VastrelleError(kNameTaken);
    if (!HasAcceptedExtension(*name))
        throw VastrelleError(FormatMessage(kExtensionRefused, file.string()));
    std::optional<std::string> bytes = ReadWholeFile(file);
    if (!bytes) throw VastrelleError(FormatMessage(msg::kCannotOpen, file.string()));
    return {TSideEdit::Replace, {*name, std::move(*bytes), nullptr}};
}

void ApplyTexts(const TCardOptions& options, TCardInfo& card) {
    if (options.Number) card.Number = *options.Number;
    if (options.Title) card.Title = *options.Title;
    if (options.Comment) card.Comment = *options.Comment;
    // Owned turning on dates the card today, as in the window.
    const std::string today = TodayText();
    if (options.Owned) SetOwned(card, *options.Owned, today);
    if (options.Count) SetCopies(card, *options.Count, today);
    if (options.Want) SetWant(card, *options.Want);
}

// POSITION as given: 1 is the first card in file order.
std::size_t CardIndex(const std::string& position, const TCardInfos& cards) {
    std::size_t value = 0;
    const char* end = position.data() + position.size();
    auto [ptr, error] = std::from_chars(position.data(), end, value);
    if (error != std::errc() || ptr != end || position.empty())
        throw UsageError("POSITION must be a card number from 1");
    if (value == 0 || value > cards.size())
        throw VastrelleError(FormatMessage(kNoSuchCard, position));
    return value - 1;
}

void ExpectFolderArguments(const Args& args, std::size_t count) {
    if (args.size() < count || (args.size() > 0 && args[0].starts_with("--")))
        throw UsageError("wrong number of arguments");
}

}  // namespace

int CmdAdd(const Args& args) {
    ExpectFolderArguments(args, 1);
    const TCardOptions options = ParseOptions(args, 1, false);
    const fs::path folder = args[0];
    // Held from the read to the write, so that two writers at once never lose a change.
    TCardTypeLock lock(folder);
    TCardsAsRead read = ReadCards(folder);
    const fs::path imageFolder = folder / kImageFolderName;
    TCardInfo card;
    ApplyTexts(options, card);
    const TSideChange front = SideChange(imageFolder, options.Front, "");
    const TSideChange back = SideChange(imageFolder, options.Back, "");
    SaveCard(folder, std::move(read), std::nullopt, card, front, back);
    return 0;
}

int CmdEdit(const Args& args) {
    ExpectFolderArguments(args, 2);
    const fs::path folder = args[0];
    const TCardOptions options = ParseOptions(args, 2, true);
    TCardTypeLock lock(folder);
    TCardsAsRead read = ReadCards(folder);
    const std::size_t index = CardIndex(args[1], read.Cards);
    const fs::path imageFolder = folder / kImageFolderName;
    TCardInfo card = read.Cards[index];
    ApplyTexts(options, card);
    const TSideChange front = SideChange(imageFolder, options.Front, card.FrontImageFileName);
    const TSideChange back = SideChange(imageFolder, options.Back, card.BackImageFileName);
    SaveCard(folder, std::move(read), index, card, front, back);
    return 0;
}

int CmdRemove(const Args& args) {
    ExpectArgCount(args, 2);
    const fs::path folder = args[0];
    TCardTypeLock lock(folder);
    TCardsAsRead read = ReadCards(folder);
    const std::size_t index = CardIndex(args[1], read.Cards);
    DeleteCard(folder, std::move(read), index);
    return 0;
}
