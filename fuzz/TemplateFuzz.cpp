// The first byte gives the length of a card type name taken from the following bytes; the rest
// is the template. Whatever the name, nothing is made outside the program folder but the card
// type's own folder directly in it, and an imported card type is listed and can be read.
#include <set>

#include "FuzzScratch.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzScratch scratch;
    static const fs::path program = scratch.Path() / "program";
    static const fs::path templatePath = scratch.Path() / "in.template";
    std::string_view input = AsText(data, size);
    const std::size_t nameLength =
        input.empty()
            ? 0
            : std::min<std::size_t>(static_cast<unsigned char>(input[0]) % 16, input.size() - 1);
    const std::string name(input.substr(input.empty() ? 0 : 1, nameLength));
    input.remove_prefix(input.empty() ? 0 : 1 + nameLength);

    fs::create_directory(program);
    WriteFuzzFile(templatePath, input);
    bool imported = false;
    try {
        ImportTemplate(program, name, templatePath);
        imported = true;
    } catch (const VastrelleError&) {
    }

    std::set<fs::path> outside;
    for (const auto& entry : fs::directory_iterator(scratch.Path())) outside.insert(entry.path());
    FUZZ_CHECK((outside == std::set<fs::path>{program, templatePath}));
    std::size_t made = 0;
    for (const auto& entry : fs::directory_iterator(program)) {
        FUZZ_CHECK(entry.is_directory() && !entry.is_symlink());
        ++made;
    }
    FUZZ_CHECK(made <= 1 && (made == 1 || !imported));
    if (imported) {
        CurrentCardTypePaths paths;
        FUZZ_CHECK(paths.Set(program, name));
        FUZZ_CHECK(fs::is_directory(paths.ImageFolder()));
        // Listed under its name, or under the other code of a character that has two in CP932:
        // either way the name leads to the same folder. Names starting with "." are hidden
        // folders, left out on purpose.
        const std::vector<std::string> listed = ListCardTypes(program);
        if (name.front() != '.') {
            FUZZ_CHECK(listed.size() == 1);
            CurrentCardTypePaths listedPaths;
            FUZZ_CHECK(listedPaths.Set(program, listed.front()));
            FUZZ_CHECK(listedPaths.CardTypeFolder() == paths.CardTypeFolder());
        }
        TCardInfos cards;
        try {
            ReadCardList(paths.CardTypeFolder() / kCardListFileName, cards);
        } catch (const VastrelleError&) {
        }
    }
    fs::remove_all(program);
    return 0;
}
