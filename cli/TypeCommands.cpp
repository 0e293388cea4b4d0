// Commands on the card type folders and setting.ini of a program folder.
#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "cardlist/CardCount.h"
#include "cardlist/Common.h"
#include "cardtypes/CardTypes.h"
#include "cardtypes/Settings.h"
#include "cardtypes/TemplatePictures.h"
#include "text/Cp932.h"

namespace {

void Print(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

}  // namespace

int CmdTypes(const Args& args) {
    ExpectArgCount(args, 1);
    std::string out;
    for (const std::string& name : ListCardTypes(args[0])) out += cp932::ToUtf8Lossy(name) + "\n";
    Print(out);
    return 0;
}

// A card type whose file cannot be read gets its message instead of the counts; the others are
// still printed, and the exit status tells that one failed.
int CmdOverview(const Args& args) {
    ExpectArgCount(args, 1);
    std::string out;
    bool failed = false;
    for (const TCardTypeCount& entry : CountCardTypes(args[0])) {
        out += cp932::ToUtf8Lossy(entry.Name) + "\t";
        if (entry.Readable) {
            out += StatusLineText(entry.Count.Owned, entry.Count.Total);
        } else {
            out += OneLine(entry.Failure);
            failed = true;
        }
        out += "\n";
    }
    Print(out);
    return failed ? 1 : 0;
}

int CmdCreate(const Args& args) {
    ExpectArgCount(args, 2);
    CreateCardType(args[0], Cp932Argument(args[1]));
    return 0;
}

int CmdImport(const Args& args) {
    ExpectArgCount(args, 3);
    ImportTemplateWithPictures(args[0], Cp932Argument(args[1]), args[2]);
    return 0;
}

int CmdSettings(const Args& args) {
    ExpectArgCount(args, 1);
    const std::filesystem::path programFolder = args[0];
    TSettings settings = ReadSettings(programFolder, ListCardTypes(programFolder));
    Print("cardname=" + cp932::ToUtf8Lossy(settings.CardName) +
          "\nview=" + (settings.CheckedView ? ViewItemKey(*settings.CheckedView) : "none") + "\n");
    return 0;
}
