// import-table and merge: a checklist (CSV, tab-separated text, pasted lines) as cards.
#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "checklist/ChecklistImport.h"
#include "files/VastrelleError.h"

namespace fs = std::filesystem;

namespace {

struct TChecklistArgs {
    std::vector<std::string> Positional;
    bool DryRun = false;
    TTableOptions Options;
    std::optional<std::vector<TChecklistField>> Columns;
    std::optional<bool> Header;
};

std::vector<TChecklistField> ParseColumns(const std::string& list) {
    std::vector<TChecklistField> columns;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const auto field = ParseFieldKey(std::string_view(list).substr(start, end - start));
        if (!field) throw UsageError("unknown column '" + list.substr(start, end - start) + "'");
        columns.push_back(*field);
        if (end == list.size()) return columns;
        start = end + 1;
    }
}

TChecklistArgs ParseArgs(const Args& args, std::size_t positional) {
    TChecklistArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--dry-run") {
            parsed.DryRun = true;
        } else if (arg == "--header" || arg == "--no-header") {
            parsed.Header = arg == "--header";
        } else if (arg == "--encoding" && hasValue) {
            parsed.Options.Encoding = ParseEncodingName(args[++i]);
            if (!parsed.Options.Encoding) throw UsageError("unknown encoding '" + args[i] + "'");
        } else if (arg == "--delimiter" && hasValue) {
            parsed.Options.Delimiter = ParseDelimiterName(args[++i]);
            if (!parsed.Options.Delimiter) throw UsageError("unknown delimiter '" + args[i] + "'");
        } else if (arg == "--columns" && hasValue) {
            parsed.Columns = ParseColumns(args[++i]);
        } else if (arg.starts_with("--")) {
            throw UsageError("unknown option " + arg);
        } else {
            parsed.Positional.push_back(arg);
        }
    }
    if (parsed.Positional.size() != positional) throw UsageError("wrong number of arguments");
    return parsed;
}

TChecklistRows ReadRows(const TChecklistArgs& args, const fs::path& file) {
    const TTable table = ReadTableFile(file, args.Options);
    TColumnMapping mapping = GuessMapping(table);
    if (args.Header) mapping.HasHeader = *args.Header;
    if (args.Columns) {
        mapping.Columns = *args.Columns;
        if (!args.Header) mapping.HasHeader = false;
    }
    std::printf("文字コード %s、区切り %s\n", std::string(EncodingName(table.Encoding)).c_str(),
                std::string(DelimiterName(table.Delimiter)).c_str());
    return ChecklistRowsOf(table, mapping);
}

// The counts on stdout, the refused rows on stderr; 1 when a row was refused.
int Report(const TChecklistPlan& plan) {
    std::printf("新規 %zu 枚、変更 %zu 枚、変更なし %zu 枚\n", plan.New, plan.Changed,
                plan.Unchanged);
    std::fflush(stdout);
    for (const TTableRefusal& refusal : plan.Refused)
        std::fprintf(stderr, "%s\n", RefusalText(refusal).c_str());
    return plan.Refused.empty() ? 0 : 1;
}

}  // namespace

int CmdImportTable(const Args& args) {
    const TChecklistArgs parsed = ParseArgs(args, 3);
    const std::string name = Cp932Argument(parsed.Positional[1]);
    const TChecklistRows rows = ReadRows(parsed, parsed.Positional[2]);
    if (parsed.DryRun) return Report(PlanChecklistMerge({}, rows));
    return Report(ImportChecklistAsCardType(parsed.Positional[0], name, rows));
}

int CmdMerge(const Args& args) {
    const TChecklistArgs parsed = ParseArgs(args, 2);
    const TChecklistRows rows = ReadRows(parsed, parsed.Positional[1]);
    const fs::path folder = parsed.Positional[0];
    return Report(parsed.DryRun ? PreviewChecklistMerge(folder, rows)
                                : MergeChecklist(folder, rows));
}
