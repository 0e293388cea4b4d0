// vastrelle-cli: the card data core from the command line. Output is UTF-8.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string_view>

#include "Commands.h"
#include "files/VastrelleError.h"
#include "text/Cp932.h"

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
    {"add",
     "add DIR [--number TEXT] [--title TEXT] [--comment TEXT] [--owned]\n"
     "        [--count N] [--want | --no-want] [--front FILE] [--back FILE]\n"
     "                            append a card, its pictures copied into DIR/image;\n"
     "                            --count N: copies owned (0 = not owned)",
     CmdAdd},
    {"edit",
     "edit DIR POSITION [the options of add] [--not-owned] [--no-front] [--no-back]\n"
     "                            change card POSITION (1 = the first); what is not given stays",
     CmdEdit},
    {"remove", "remove DIR POSITION         delete card POSITION; its pictures stay", CmdRemove},
    {"missing", "missing DIR                 the cards not owned: number TAB title", CmdMissing},
    {"export", "export DIR                  the cards as CSV", CmdExport},
    {"spares",
     "spares DIR [--csv]          cards with copies beyond the first: number TAB title TAB spares",
     CmdSpares},
    {"wants",
     "wants DIR [--csv]           cards not owned, the wanted ones first: number TAB title\n"
     "                            [TAB 欲しい]",
     CmdWants},
    {"progress",
     "progress DIR                owned cards over time: date TAB owned TAB "
     "owned/total[percent%],\n"
     "                            one line per day on which cards were acquired",
     CmdProgress},
    {"types", "types PROGRAM_DIR           the card types, one per line", CmdTypes},
    {"overview", "overview PROGRAM_DIR        every card type: NAME TAB owned/total[percent%]",
     CmdOverview},
    {"create", "create PROGRAM_DIR NAME     make an empty card type", CmdCreate},
    {"import",
     "import PROGRAM_DIR NAME TEMPLATE\n"
     "                            make a card type from a template",
     CmdImport},
    {"import-table",
     "import-table PROGRAM_DIR NAME FILE [--dry-run] [TABLE OPTIONS]\n"
     "                            make a card type from a checklist (CSV, tab-separated text)",
     CmdImportTable},
    {"merge",
     "merge DIR FILE [--dry-run] [TABLE OPTIONS]\n"
     "                            merge a checklist into DIR: matching numbers update cards,\n"
     "                            other rows are appended. TABLE OPTIONS: --encoding\n"
     "                            utf-8|utf-16le|utf-16be|sjis, --delimiter comma|tab|semicolon|\n"
     "                            blanks, --columns number,title,comment,owned,front,back,ignore\n"
     "                            (one a column), --header, --no-header",
     CmdMerge},
    {"settings", "settings PROGRAM_DIR        cardname=NAME and view=KEY from setting.ini",
     CmdSettings},
    {"thumbnails", "thumbnails IMAGE_DIR NAME   make the two thumbnails of picture NAME",
     CmdThumbnails},
    {"check",
     "check DIR [--repair] [--remove-orphans]\n"
     "                            missing pictures and thumbnails, orphan files, conflict copies\n"
     "                            of the card list (exit 1); --remove-orphans\n"
     "                            moves the orphans into the history (undo brings them back)",
     CmdCheck},
    {"attach",
     "attach DIR FOLDER [--create] [--replace] [--dry-run]\n"
     "                            the JPEG scans of FOLDER as the pictures of the cards their\n"
     "                            names number (023.jpg front, 023_b.jpg back); --create makes\n"
     "                            cards of the numbers no card has, --replace replaces pictures",
     CmdAttach},
    {"history",
     "history DIR                 kept versions, newest first: VERSION TAB time TAB status",
     CmdHistory},
    {"restore", "restore DIR VERSION         bring a kept version back (undo takes it back again)",
     CmdRestore},
    {"undo", "undo DIR                    take the last change back", CmdUndo},
    {"redo", "redo DIR                    make the change undone last again", CmdRedo},
    {"migrate",
     "migrate PROGRAM_DIR [--dry-run]\n"
     "                            rename Shift_JIS folder and picture names to UTF-8",
     CmdMigrate},
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: vastrelle-cli COMMAND ARGS...\n\ncommands:\n");
    for (const auto& command : kCommands) std::fprintf(out, "  %s\n", command.usage);
}

}  // namespace

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
