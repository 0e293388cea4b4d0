#include "files/VastrelleError.h"

#include <string_view>

namespace {

std::string Substitute(std::string_view format, std::string_view placeholder,
                       const std::string& argument) {
    std::string result(format);
    if (auto at = result.find(placeholder); at != std::string::npos)
        result.replace(at, placeholder.size(), argument);
    return result;
}

}  // namespace

std::string FormatMessage(const char* format, const std::string& argument) {
    return Substitute(format, "%s", argument);
}

std::string FormatMessage(const char* format, int argument) {
    return Substitute(format, "%d", std::to_string(argument));
}
