// Commands on the card type folders and setting.ini of a program folder.
#include <cstdio>
#include <filesystem>

#include "CardTypes.h"
#include "Commands.h"
#include "Cp932.h"
#include "Settings.h"
#include "TemplatePictures.h"

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
