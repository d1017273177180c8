#include "programmer/link/progress.h"

#include <algorithm>

#include "programmer/link/programmer_link.h"

namespace zolvek {

int Progress::Percent(int32_t count, int32_t total) {
  if (count >= total) return 100;
  if (count <= 0) return 0;
  if (total < 10000) return count * 100 / total;
  // Dividing by a rounded-down hundredth can reach 100 before the end; the
  // display says 100 % only when all is done.
  return std::min(count / (total / 100), 99);
}

void Progress::ShowProgress(ProgressTarget* dialog) {
  const int p = Percent(state_.ProgressCount, state_.ProgressTotal);
  const std::string text = std::to_string(p) + "%";
  if (dialog) dialog->ShowPercent(p, text);
  if (status_) {
    status_->SetStatusText(2, text);
    status_->SetMainProgress(p);
  }
}

void Progress::ResetProgress() {
  if (!status_) return;
  status_->SetMainProgress(0);
  status_->SetStatusText(0, "");
  status_->SetStatusText(2, "");
}

void Progress::SetStatusText(const std::string& text) {
  if (status_) status_->SetStatusText(0, text);
}

void Progress::BeepOk() {
  if (!sound_) return;
  if (state_.UsbUnavailable == 1) {
    sound_->SystemBeep(SystemSound::Simple);
    sound_->SystemBeep(SystemSound::Ok);
  } else {
    sound_->Tone(880, 250);
  }
}

void Progress::BeepError() {
  if (!sound_) return;
  if (state_.UsbUnavailable == 1) {
    sound_->SystemBeep(SystemSound::Simple);
    Delay(80);
    sound_->SystemBeep(SystemSound::Simple);
    Delay(80);
    sound_->SystemBeep(SystemSound::Simple);
    sound_->SystemBeep(SystemSound::Hand);
  } else {
    sound_->Tone(767, 150);
    Delay(30);
    sound_->Tone(767, 150);
    Delay(30);
    sound_->Tone(767, 100);
  }
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

namespace {

uint32_t ReadHex(std::string_view text, std::size_t digits) {
  uint32_t value = 0;
  for (std::size_t i = 0; i < digits && i < text.size(); ++i) {
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    if (!hex) break;
    value = value * 16 + static_cast<uint32_t>(HexDigitValue(c));
  }
  return value;
}

}  // namespace

uint16_t HexToWord(std::string_view text) { return static_cast<uint16_t>(ReadHex(text, 4)); }
uint32_t HexToDword(std::string_view text) { return ReadHex(text, 8); }

}  // namespace zolvek
