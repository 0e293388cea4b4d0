// Argument helpers shared by the commands.
#include "Commands.h"
#include "files/VastrelleError.h"
#include "text/Cp932.h"

void ExpectArgCount(const Args& args, std::size_t count) {
    if (args.size() != count) throw UsageError("wrong number of arguments");
}

std::string Cp932Argument(const std::string& utf8) {
    auto name = cp932::FromUtf8(utf8);
    if (!name)
        throw VastrelleError("「" + utf8 + "」には Shift_JIS で表せない文字が含まれています");
    return *name;
}
