#include "ide/link/load_progress_form.h"

#include <QFont>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "ide/image/ide_message.h"

namespace vx930 {

namespace {

QFont BoldPixels(int px, const QString& family = {}) {
  QFont f;
  if (!family.isEmpty()) f.setFamily(family);
  f.setBold(true);
  f.setPixelSize(px);
  return f;
}

}  // namespace

TLoadProgressForm::TLoadProgressForm(CCmdSet* iceCmd, const CodeImage& image, QWidget* owner) : QDialog(owner) {
  setObjectName("LoadProgressForm");
  setWindowTitle("Download");
  setModal(true);
  setFixedSize(377, 127);

  Label1 = new QLabel("00 %", this);
  Label1->setObjectName("Label1");
  Label1->setFont(BoldPixels(16));
  Label1->setGeometry(170, 8, 80, 22);

  Label2 = new QLabel("-", this);
  Label2->setObjectName("Label2");
  Label2->setFont(BoldPixels(16, "Courier New"));
  Label2->setGeometry(24, 8, 24, 22);

  Label3 = new QLabel("Add:", this);
  Label3->setObjectName("Label3");
  Label3->setGeometry(24, 64, 160, 18);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->setGeometry(24, 36, 329, 20);

  Button1 = new QPushButton("Cancel", this);
  Button1->setObjectName("Button1");
  Button1->setFont(BoldPixels(12));
  Button1->setGeometry(151, 90, 75, 27);
  connect(Button1, &QPushButton::clicked, this, &TLoadProgressForm::Button1Click);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(kSendingTickMs);
  connect(Timer1, &QTimer::timeout, this, &TLoadProgressForm::Timer1Timer);

  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setInterval(kSpinTickMs);
  connect(Timer2, &QTimer::timeout, this, &TLoadProgressForm::Timer2Timer);
  Timer2->start();

  if (iceCmd && iceCmd->EraseChip()) {
    TxROMThread_ = std::make_unique<TTxROM>(*iceCmd, image);
    TxROMThread_->Start();
    Timer1->start();
  } else {
    ShowIdeMessage("Erase Chip Failed, Please Check Link!!");
    SpinPhase = -1;  // the first spinner tick closes the dialog
  }
}

TLoadProgressForm::~TLoadProgressForm() { StopThread(); }

void TLoadProgressForm::StopTimers() {
  Timer1->stop();
  Timer2->stop();
}

void TLoadProgressForm::StopThread() {
  if (!TxROMThread_) return;
  TxROMThread_->Terminate();
  TxROMThread_->Join();
}

void TLoadProgressForm::ReleaseThread() {
  StopThread();
  TxROMThread_.reset();
}

void TLoadProgressForm::GiveUp() {
  Button1->setText("OK");
  Button1->setEnabled(false);
  StopTimers();
  StopThread();
  Button1->setEnabled(true);
}

void TLoadProgressForm::Timer1Timer() {
  if (TxROMThread_ && TxROMThread_->IsFinished()) {
    if (Finishing) {
      StopTimers();
      ReleaseThread();
      done(QDialog::Accepted);
      return;
    }
    Finishing = true;
    ProgressBar1->setValue(100);
    Label1->setText("100 %");
    if (!TxROMThread_->GetSuccess()) {
      StopTimers();
      ShowIdeMessage("Download Program Failed !! Please Check Link ");
      ReleaseThread();
      done(QDialog::Rejected);
      return;
    }
    // Show 100 % for a second, then close.
    Timer1->setInterval(kFinishingTickMs);
    return;
  }

  CurAddress = TxROMThread_ ? TxROMThread_->GetAddress() : CurAddress;
  const int position = static_cast<int>(static_cast<uint64_t>(CurAddress) * 100 / 65536);
  ProgressBar1->setValue(position);
  Label1->setText(QString::number(position) + " %");
  Label3->setText("Add :" + QString::number(CurAddress));
  if (PrevAddress >= CurAddress) {
    // Counted over the whole download: two ticks without progress in all.
    if (++StallCount >= kStallLimit) {
      GiveUp();
      ShowIdeMessage("Progarm Failed!!");
    }
  }
  PrevAddress = CurAddress;
}

void TLoadProgressForm::Timer2Timer() {
  if (SpinPhase == -1) {
    StopTimers();
    done(QDialog::Rejected);
    return;
  }
  static const char* const kSpinner[4] = {"-", "\\", "|", "/"};
  SpinPhase = (SpinPhase + 1) % 4;
  Label2->setText(kSpinner[SpinPhase]);
}

void TLoadProgressForm::Button1Click() {
  if (Button1->text() == "OK") {
    done(QDialog::Rejected);
    return;
  }
  GiveUp();
}

void TLoadProgressForm::reject() {
  StopTimers();
  StopThread();
  QDialog::reject();
}

}  // namespace vx930
