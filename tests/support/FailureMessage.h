#pragma once

#include <functional>
#include <string>

// The message of the VastrelleError the action throws, or "no failure".
std::string MessageOf(const std::function<void()>& action);
