// vastrelle-cli: the card data core from the command line. Output is UTF-8.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string_view>

#include "Commands.h"
#include "Cp932.h"
#include "VastrelleError.h"

namespace {

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args&);
};

constexpr Command kCommands[] = {
    {"cards", "cards DIR                   the cards of DIR/cardlist.dat as JSON", CmdCards},
    {"status", "status DIR                  owned/total[percent%]", CmdStatus},
    {"write", "write DIR                   write DIR/cardlist.dat from a JSON array on stdin",
     CmdWrite},
    {"missing", "missing DIR                 the cards not owned: number TAB title", CmdMissing},
    {"export", "export DIR                  the cards as CSV", CmdExport},
    {"types", "types PROGRAM_DIR           the card types, one per line", CmdTypes},
    {"overview", "overview PROGRAM_DIR        every card type: NAME TAB owned/total[percent%]",
     CmdOverview},
    {"create", "create PROGRAM_DIR NAME     make an empty card type", CmdCreate},
    {"import",
     "import PROGRAM_DIR NAME TEMPLATE\n"
     "                            make a card type from a template",
     CmdImport},
    {"settings", "settings PROGRAM_DIR        cardname=NAME and view=KEY from setting.ini",
     CmdSettings},
    {"thumbnails", "thumbnails IMAGE_DIR NAME   make the two thumbnails of picture NAME",
     CmdThumbnails},
    {"check", "check DIR [--repair]        missing pictures and thumbnails, orphan files",
     CmdCheck},
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: vastrelle-cli COMMAND ARGS...\n\ncommands:\n");
    for (const auto& command : kCommands) std::fprintf(out, "  %s\n", command.usage);
}

}  // namespace

void ExpectArgCount(const Args& args, std::size_t count) {
    if (args.size() != count) throw UsageError("wrong number of arguments");
}

std::string Cp932Argument(const std::string& utf8) {
    auto name = cp932::FromUtf8(utf8);
    if (!name)
        throw VastrelleError("「" + utf8 + "」には Shift_JIS で表せない文字が含まれています");
    return *name;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return 2;
    }
    std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintUsage(stdout);
        return 0;
    }
    for (const auto& command : kCommands) {
        if (name != command.name) continue;
        Args args(argv + 2, argv + argc);
        try {
            return command.run(args);
        } catch (const UsageError& e) {
            std::fprintf(stderr, "vastrelle-cli %s: %s\nusage: vastrelle-cli %s\n", command.name,
                         e.what(), command.usage);
            return 2;
        } catch (const VastrelleError& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
    }
    std::fprintf(stderr, "vastrelle-cli: unknown command '%s'\n", argv[1]);
    PrintUsage(stderr);
    return 2;
}
