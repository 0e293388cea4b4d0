// migrate: Shift_JIS names from a Windows copy renamed to UTF-8.
#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "cardtypes/Migrate.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

std::string Relative(const fs::path& path, const fs::path& programFolder) {
    return EscapedName(path.lexically_relative(programFolder).native());
}

}  // namespace

int CmdMigrate(const Args& args) {
    bool dryRun = args.size() == 2 && args[1] == "--dry-run";
    if (args.size() != 1 && !dryRun) throw UsageError("wrong arguments");
    const fs::path programFolder = args[0];
    std::error_code ec;
    if (!fs::is_directory(programFolder, ec))
        throw VastrelleError("フォルダ " + programFolder.string() + " がありません");

    bool allConverted = true;
    for (const TCardTypeMigration& plan : PlanMigration(programFolder)) {
        for (const fs::path& name : plan.Unconvertible)
            std::fprintf(stderr, "変換できない名前: %s\n", Relative(name, programFolder).c_str());
        for (const TNameRename& rename : plan.Conflicts)
            std::fprintf(stderr, "既にある名前: %s -> %s\n",
                         Relative(rename.From, programFolder).c_str(),
                         Relative(rename.To, programFolder).c_str());
        if (!plan.CanRename()) {
            std::fprintf(stderr, "そのままにしたカード種類: %s\n",
                         Relative(plan.Folder, programFolder).c_str());
            allConverted = false;
            continue;
        }
        for (const TNameRename& rename : plan.Renames)
            std::printf("%s -> %s\n", Relative(rename.From, programFolder).c_str(),
                        Relative(rename.To, programFolder).c_str());
        std::fflush(stdout);
        if (!dryRun) {
            try {
                ApplyMigration(plan);
            } catch (const VastrelleError& error) {
                std::fprintf(stderr, "%s\n", error.what());
                allConverted = false;
            }
        }
    }
    return allConverted ? 0 : 1;
}
