#include "FailureMessage.h"

#include "files/VastrelleError.h"

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const VastrelleError& e) {
        return e.what();
    }
    return "no failure";
}
