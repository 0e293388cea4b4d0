// Attaching a folder of scans to the cards of a card type.
#include <cstdio>
#include <filesystem>
#include <string>

#include "Commands.h"
#include "cardlist/CardList.h"
#include "cardtypes/CardTypes.h"
#include "scans/ScanAttach.h"
#include "text/Cp932.h"

namespace fs = std::filesystem;

namespace {

std::string Utf8(const std::string& cp932Text) { return cp932::ToUtf8Lossy(cp932Text); }

// "front 023.jpg", "front 023.jpg (keeps a.jpg)" or empty for a side without a scan.
std::string SideText(const char* side, const TScanSideFile& file) {
    if (!file.File) return {};
    std::string text = std::string(side) + " " + file.File->Path.filename().string();
    if (!file.Taken && !file.Current.empty()) text += " (keeps " + Utf8(file.Current) + ")";
    return text;
}

void PrintCard(const char* kind, const TScanCard& card) {
    std::string line = std::string(kind) + "\t" + Utf8(card.Number) + "\t" + Utf8(card.Title);
    for (const std::string& side : {SideText("front", card.Front), SideText("back", card.Back)})
        if (!side.empty()) line += "\t" + side;
    std::printf("%s\n", line.c_str());
}

void PrintPlan(const TScanPlan& plan) {
    for (const TScanCard& card : plan.Cards) PrintCard("card", card);
    for (const TScanCard& card : plan.NewCards)
        PrintCard(plan.Options.Create ? "new" : "unmatched", card);
    for (const TScanRefusal& refusal : plan.Refused)
        std::printf("refused\t%s\t%s\n", refusal.File.filename().c_str(), refusal.Reason.c_str());
}

}  // namespace

int CmdAttach(const Args& args) {
    constexpr const char* kExpected = "expected DIR FOLDER [--create] [--replace] [--dry-run]";
    if (args.size() < 2 || args[0].starts_with("--") || args[1].starts_with("--"))
        throw UsageError(kExpected);
    TScanOptions options;
    bool dryRun = false;
    for (std::size_t i = 2; i < args.size(); ++i) {
        bool* flag = args[i] == "--create"    ? &options.Create
                     : args[i] == "--replace" ? &options.Replace
                     : args[i] == "--dry-run" ? &dryRun
                                              : nullptr;
        if (!flag || *flag) throw UsageError(kExpected);
        *flag = true;
    }
    const fs::path cardTypeFolder = args[0];
    TAttachResult result;
    if (dryRun) {
        ReadCardList(cardTypeFolder / kCardListFileName, result.Cards.Cards);
        result.Plan =
            PlanScans(result.Cards.Cards, cardTypeFolder / kImageFolderName, args[1], options);
    } else {
        result = AttachScans(cardTypeFolder, args[1], options);
    }
    PrintPlan(result.Plan);
    std::size_t pictures = result.Plan.TakenFiles().size();
    std::printf("%s %zu picture(s)\n", dryRun ? "would attach" : "attached",
                result.Written || dryRun ? pictures : 0);
    return 0;
}
