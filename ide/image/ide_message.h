// The IDE's message box: the application's title as caption and an OK button.
// It lives with the lowest of the IDE's libraries so that every one of them,
// the file readers included, shows its messages the same way.
#pragma once

#include <string>

#include "platform/messages.h"

namespace vx930 {

inline constexpr char kIdeTitle[] = "VX930_IDE";

inline void ShowIdeMessage(const std::string& text) { platform::ShowMessage(text, kIdeTitle); }

}  // namespace vx930
