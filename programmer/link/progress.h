// Progress, status text and the two end-of-operation sounds, drawn through
// sinks that the front end implements; plus the hexadecimal field readers.
//
// ShowProgress draws ProgressCount / ProgressTotal as a percentage in three
// places: the dialog's own progress control and percentage text (when the
// window has them), the main window's progress bar and part 2 of the status
// bar. Without sinks nothing is drawn and nothing sounds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "programmer/link/link_state.h"

namespace zolvek {

// A window that may show an operation's progress: a dialog with the
// progress control 1002 (range 0..100) and the percentage text 1003.
class ProgressTarget {
public:
  virtual ~ProgressTarget() = default;
  virtual void ShowPercent(int percent, const std::string& text) = 0;
};

// The main window's status bar and progress bar.
class StatusSink {
public:
  virtual ~StatusSink() = default;
  // part 0 the activity text, 2 the percentage.
  virtual void SetStatusText(int part, const std::string& text) = 0;
  virtual void SetMainProgress(int percent) = 0;
};

enum class SystemSound { Simple, Ok, Hand };

class SoundSink {
public:
  virtual ~SoundSink() = default;
  virtual void Tone(int hz, int ms) = 0;
  virtual void SystemBeep(SystemSound sound) = 0;
};

class Progress {
public:
  explicit Progress(LinkState& state, StatusSink* status = nullptr, SoundSink* sound = nullptr)
      : state_(state), status_(status), sound_(sound) {}

  void SetSinks(StatusSink* status, SoundSink* sound) {
    status_ = status;
    sound_ = sound;
  }

  // dialog may be null (a window without the two items).
  void ShowProgress(ProgressTarget* dialog);
  void ResetProgress();
  // Part 0 of the status bar.
  void SetStatusText(const std::string& text);
  void BeepOk();
  void BeepError();

  // 100 when count >= total, 0 when count <= 0, else count x 100 / total
  // (count / (total / 100) from a total of 10000 on), at most 99.
  static int Percent(int32_t count, int32_t total);

private:
  LinkState& state_;
  StatusSink* status_;
  SoundSink* sound_;
};

// Reads up to 4 / 8 hexadecimal digits from the start of the text and stops
// at the first other character; no prefix, sign or blank is skipped.
uint16_t HexToWord(std::string_view text);
uint32_t HexToDword(std::string_view text);
// '0'-'9' 0-9, 'A'-'F' and 'a'-'f' 10-15, anything else 0.
int HexDigitValue(char c);

}  // namespace zolvek
