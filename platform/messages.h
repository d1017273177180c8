// Modal messages and beeps, for both programs.
//
// Code shows a message through platform::Messages(); the programs install a
// QMessageBox-backed service (platform/qt), tests a RecordingMessages that
// records each message and answers questions from a script. Without either,
// messages go to stderr and are answered with the default button.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class Icon { None, Information, Warning, Error, Question };
enum class Answer { Ok, Cancel, Yes, No, Retry };

struct Message {
  std::string text;
  std::string caption;  // empty: a plain box without caption
  Buttons buttons = Buttons::Ok;
  Icon icon = Icon::None;
};

class MessageService {
public:
  virtual ~MessageService() = default;
  // Shows the message modally and returns the button pressed.
  virtual Answer Show(const Message& message) = 0;
  // The error beep (false) or the plain message beep (true).
  virtual void Beep(bool success) = 0;
};

// The service in force.
MessageService& Messages();
// Installs a service (null restores the stderr default); returns the previous one.
MessageService* SetMessages(MessageService* service);

// Shorthand for an OK box.
inline void ShowMessage(const std::string& text, const std::string& caption = {}) {
  Messages().Show(Message{text, caption, Buttons::Ok, Icon::None});
}

// The first button of a set: what a box answers to Enter and what the
// default service answers.
Answer DefaultAnswer(Buttons buttons);

// Records messages and beeps; answers from a queue, then with the default button.
class RecordingMessages final : public MessageService {
public:
  Answer Show(const Message& message) override;
  void Beep(bool success) override;

  void QueueAnswer(Answer a);
  std::vector<Message> Shown() const;
  std::vector<std::string> Texts() const;  // the texts shown, in order
  std::string LastText() const;  // "" when none
  int Beeps(bool success) const;
  void Clear();

private:
  mutable std::mutex mutex_;
  std::vector<Message> shown_;
  std::deque<Answer> answers_;
  int okBeeps_ = 0;
  int errorBeeps_ = 0;
};

// Installs a service for one scope, for tests.
class ScopedMessages {
public:
  explicit ScopedMessages(MessageService& s) : previous_(SetMessages(&s)) {}
  ~ScopedMessages() { SetMessages(previous_); }
  ScopedMessages(const ScopedMessages&) = delete;
  ScopedMessages& operator=(const ScopedMessages&) = delete;

private:
  MessageService* previous_;
};

}  // namespace platform
