#include "platform/messages.h"

#include <cstdio>

namespace platform {

Answer DefaultAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: return Answer::Ok;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: return Answer::Yes;
    case Buttons::RetryCancel: return Answer::Retry;
  }
  return Answer::Ok;
}

namespace {

class StderrMessages final : public MessageService {
public:
  Answer Show(const Message& m) override {
    if (m.caption.empty())
      std::fprintf(stderr, "%s\n", m.text.c_str());
    else
      std::fprintf(stderr, "[%s] %s\n", m.caption.c_str(), m.text.c_str());
    return DefaultAnswer(m.buttons);
  }
  void Beep(bool) override {}
};

StderrMessages g_stderrMessages;
std::atomic<MessageService*> g_messages{nullptr};

}  // namespace

MessageService& Messages() {
  MessageService* s = g_messages.load();
  return s ? *s : g_stderrMessages;
}

MessageService* SetMessages(MessageService* service) { return g_messages.exchange(service); }

Answer RecordingMessages::Show(const Message& message) {
  std::lock_guard lock(mutex_);
  shown_.push_back(message);
  if (answers_.empty()) return DefaultAnswer(message.buttons);
  Answer a = answers_.front();
  answers_.pop_front();
  return a;
}

void RecordingMessages::Beep(bool success) {
  std::lock_guard lock(mutex_);
  (success ? okBeeps_ : errorBeeps_)++;
}

void RecordingMessages::QueueAnswer(Answer a) {
  std::lock_guard lock(mutex_);
  answers_.push_back(a);
}

std::vector<Message> RecordingMessages::Shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

std::vector<std::string> RecordingMessages::Texts() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> t;
  for (const auto& m : shown_) t.push_back(m.text);
  return t;
}

std::string RecordingMessages::LastText() const {
  std::lock_guard lock(mutex_);
  return shown_.empty() ? std::string() : shown_.back().text;
}

int RecordingMessages::Beeps(bool success) const {
  std::lock_guard lock(mutex_);
  return success ? okBeeps_ : errorBeeps_;
}

void RecordingMessages::Clear() {
  std::lock_guard lock(mutex_);
  shown_.clear();
  answers_.clear();
  okBeeps_ = errorBeeps_ = 0;
}

}  // namespace platform
