// The programs' message service: a modal QMessageBox, always on the GUI thread.
#pragma once

#include "platform/messages.h"

namespace platform {

class QtMessageService final : public MessageService {
public:
  // The caption is the message's own; an empty caption gives a box without one.
  Answer Show(const Message& message) override;
  void Beep(bool success) override;
};

}  // namespace platform
