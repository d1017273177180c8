// The modal "Download" dialog: erases the emulator, runs the download
// worker and shows its progress.
//
// Timer1 (2 s, 1 s once finishing) follows the worker's address, counts
// ticks without progress (two in all give the download up) and closes the
// dialog when the worker has finished: Accepted for a successful download,
// Rejected for every other outcome. Timer2 (1 s) turns the spinner. Cancel
// stops the download and leaves the dialog open until the user presses OK.
//
// The dialog owns the worker: every way out (Cancel, a stall, a failure,
// closing the window, destruction) stops it and joins it first, so it never
// touches the port after the dialog has gone.
#pragma once

#include <QDialog>
#include <cstdint>
#include <memory>

#include "ide/image/code_image.h"
#include "ide/link/cmd_set.h"
#include "ide/link/tx_rom.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace vx930 {

class TLoadProgressForm : public QDialog {
  Q_OBJECT

public:
  static constexpr int kSendingTickMs = 2000;
  static constexpr int kFinishingTickMs = 1000;
  static constexpr int kSpinTickMs = 1000;
  static constexpr int kStallLimit = 2;

  // Erases the emulator (iceCmd may be null: the erase then fails) and, on
  // success, starts the worker on image. Both must outlive the dialog.
  TLoadProgressForm(CCmdSet* iceCmd, const CodeImage& image, QWidget* owner = nullptr);
  ~TLoadProgressForm() override;

  // The worker; null when the erase failed and after a finished worker was released.
  const TTxROM* TxROMThread() const { return TxROMThread_.get(); }

public slots:
  void Timer1Timer();
  void Timer2Timer();
  void Button1Click();
  // Closing the window or Escape: the download is cancelled and the dialog closes.
  void reject() override;

private:
  void StopTimers();
  // Asks the worker to stop and waits for it.
  void StopThread();
  void ReleaseThread();
  void GiveUp();

  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QProgressBar* ProgressBar1;
  QPushButton* Button1;
  QTimer* Timer1;
  QTimer* Timer2;

  std::unique_ptr<TTxROM> TxROMThread_;
  uint32_t CurAddress = 0;
  uint32_t PrevAddress = 0;
  int SpinPhase = 0;  // -1: the erase failed
  int StallCount = 0;
  bool Finishing = false;
};

}  // namespace vx930
