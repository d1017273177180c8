// The IDE's message box: the application's title as caption and an OK button.
#pragma once

#include <string>

#include "platform/messages.h"

namespace vx930 {

inline constexpr char kIdeTitle[] = "VX930_IDE";

inline void ShowIdeMessage(const std::string& text) { platform::ShowMessage(text, kIdeTitle); }

}  // namespace vx930
