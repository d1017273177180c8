// The download dialog, offscreen: its texts, progress, stall rule, Cancel,
// and that it never lets its worker outlive it. The timer handlers are
// called directly, so the test decides when a tick happens.
#include "ide/link/load_progress_form.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "platform/messages.h"
#include "tests/ide/link/fake_wire.h"
#include "tests/support/test_app.h"

namespace vx930 {
namespace {

using testing::Answer;
using testing::Bytes;
using testing::FakeWire;
using testing::GoodBoard;
using testing::ShortReply;

// Real-time wait for something the worker thread does.
template <typename F>
bool WaitFor(F done, int ms = 5000) {
  for (int i = 0; i < ms && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return done();
}

class LoadProgressFormTest : public ::testing::Test {
protected:
  LoadProgressFormTest() {
    testing::TestApp();
    image->fill(0xFF);
    wire.SetResponder([this](const Bytes& rq) {
      if (rq[3] == icTxROM) {
        const uint32_t address = rq[1] << 8 | rq[2];
        // Blocks at or after `holdAt` are answered busy, so the worker keeps
        // resending one block until the test lets it go on.
        if (address >= holdAt.load()) {
          std::this_thread::sleep_for(std::chrono::microseconds(200));  // keeps the spin cheap
          return std::vector<Answer>{{ShortReply(stBusy)}};
        }
        return std::vector<Answer>{{ShortReply(refuseBlocks ? 0x00 : 0x01)}};
      }
      if (rq[3] == icEraseChip && !eraseAnswers) return std::vector<Answer>{};
      return GoodBoard(rq);
    });
  }

  std::unique_ptr<TLoadProgressForm> Make(bool withLink = true) {
    auto form = std::make_unique<TLoadProgressForm>(withLink ? &cmd : nullptr, *image);
    label1 = form->findChild<QLabel*>("Label1");
    label2 = form->findChild<QLabel*>("Label2");
    label3 = form->findChild<QLabel*>("Label3");
    bar = form->findChild<QProgressBar*>("ProgressBar1");
    button = form->findChild<QPushButton*>("Button1");
    timer1 = form->findChild<QTimer*>("Timer1");
    timer2 = form->findChild<QTimer*>("Timer2");
    closedWith.reset();
    QObject::connect(form.get(), &QDialog::finished, [this](int r) { closedWith = r; });
    return form;
  }
  bool WorkerAt(const TLoadProgressForm& f, uint32_t address) {
    return WaitFor([&] { return f.TxROMThread() && f.TxROMThread()->GetAddress() == address; });
  }
  bool WorkerDone(const TLoadProgressForm& f) {
    return WaitFor([&] { return f.TxROMThread() && f.TxROMThread()->IsFinished(); });
  }
  int BusyChecksAfterLastBlock() const {
    const auto rqs = wire.Requests();
    int n = 0;
    for (auto it = rqs.rbegin(); it != rqs.rend() && (*it)[3] != icTxROM; ++it) n += (*it)[3] == icBusyCheck;
    return n;
  }

  FakeWire wire;
  platform::ScopedClock clock{wire};
  platform::RecordingMessages messages;
  platform::ScopedMessages scope{messages};
  std::unique_ptr<COM_Port> port = wire.OpenPort();
  CCmdSet cmd{port.get()};
  std::unique_ptr<CodeImage> image = std::make_unique<CodeImage>();
  std::atomic<uint32_t> holdAt{0x10000};
  std::atomic<bool> refuseBlocks{false};
  bool eraseAnswers = true;

  QLabel *label1 = nullptr, *label2 = nullptr, *label3 = nullptr;
  QProgressBar* bar = nullptr;
  QPushButton* button = nullptr;
  QTimer *timer1 = nullptr, *timer2 = nullptr;
  std::optional<int> closedWith;  // the result the dialog closed with, if it did
};

TEST_F(LoadProgressFormTest, StartsWithItsTextsAndTimers) {
  holdAt = 0;
  (*image)[0] = 0;
  auto form = Make();
  EXPECT_EQ(form->windowTitle(), "Download");
  EXPECT_EQ(form->size(), QSize(377, 127));
  EXPECT_EQ(label1->text(), "00 %");
  EXPECT_EQ(label2->text(), "-");
  EXPECT_EQ(label3->text(), "Add:");
  EXPECT_EQ(button->text(), "Cancel");
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_TRUE(label1->font().bold());
  EXPECT_EQ(label1->font().pixelSize(), 16);
  EXPECT_EQ(label2->font().family(), "Courier New");
  EXPECT_TRUE(timer1->isActive());
  EXPECT_EQ(timer1->interval(), 2000);
  EXPECT_TRUE(timer2->isActive());
  EXPECT_EQ(timer2->interval(), 1000);
  ASSERT_NE(form->TxROMThread(), nullptr);
  EXPECT_EQ(wire.Requests().at(0)[3], icEraseChip);
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(LoadProgressFormTest, SpinnerTurnsOncePerSecondTick) {
  auto form = Make();
  const char* expected[] = {"\\", "|", "/", "-", "\\"};
  for (const char* e : expected) {
    form->Timer2Timer();
    EXPECT_EQ(label2->text(), e);
  }
}

TEST_F(LoadProgressFormTest, AFailedEraseShowsItsMessageAndClosesAtTheFirstSpinnerTick) {
  for (bool withLink : {false, true}) {
    SCOPED_TRACE(withLink ? "silent board" : "no link");
    messages.Clear();
    wire.ClearLog();
    eraseAnswers = false;
    auto form = Make(withLink);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Erase Chip Failed, Please Check Link!!"});
    EXPECT_EQ(form->TxROMThread(), nullptr);
    EXPECT_FALSE(timer1->isActive());
    for (const auto& rq : wire.Requests()) EXPECT_EQ(rq[3], icEraseChip);
    form->Timer2Timer();
    EXPECT_EQ(closedWith, QDialog::Rejected);
    EXPECT_FALSE(timer2->isActive());
  }
}

TEST_F(LoadProgressFormTest, ASuccessfulDownloadShowsOneHundredForASecondThenAccepts) {
  image->fill(0x00);
  auto form = Make();
  ASSERT_TRUE(WorkerDone(*form));
  form->Timer1Timer();
  EXPECT_EQ(bar->value(), 100);
  EXPECT_EQ(label1->text(), "100 %");
  EXPECT_EQ(timer1->interval(), 1000);
  EXPECT_TRUE(timer1->isActive());
  EXPECT_FALSE(closedWith);  // still open
  form->Timer1Timer();
  EXPECT_EQ(closedWith, QDialog::Accepted);
  EXPECT_EQ(form->TxROMThread(), nullptr);
  EXPECT_FALSE(timer1->isActive());
  EXPECT_FALSE(timer2->isActive());
  EXPECT_TRUE(messages.Shown().empty());
}

TEST_F(LoadProgressFormTest, AnImageOfNothingButFFIsASuccessfulDownload) {
  auto form = Make();
  ASSERT_TRUE(WorkerDone(*form));
  form->Timer1Timer();
  form->Timer1Timer();
  EXPECT_EQ(closedWith, QDialog::Accepted);
  for (const auto& rq : wire.Requests()) EXPECT_NE(rq[3], icTxROM);
}

TEST_F(LoadProgressFormTest, AFailedDownloadShowsItsMessageAndRejects) {
  (*image)[0x4000] = 0x12;
  refuseBlocks = true;
  auto form = Make();
  ASSERT_TRUE(WorkerDone(*form));
  form->Timer1Timer();
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Download Program Failed !! Please Check Link "});
  EXPECT_EQ(messages.Shown()[0].caption, "VX930_IDE");
  EXPECT_EQ(closedWith, QDialog::Rejected);
  EXPECT_EQ(form->TxROMThread(), nullptr);
  EXPECT_FALSE(timer1->isActive());
}

TEST_F(LoadProgressFormTest, ProgressTextsAndTheStallRuleCountedOverTheWholeDownload) {
  for (uint32_t a : {0x0800u, 0x8000u, 0xFFC0u}) (*image)[a] = 0x00;
  holdAt = 0x0800;
  auto form = Make();
  ASSERT_TRUE(WorkerAt(*form, 0x0800));

  form->Timer1Timer();  // progress from 0
  EXPECT_EQ(bar->value(), 3);  // 2048 * 100 / 65536, truncated
  EXPECT_EQ(label1->text(), "3 %");
  EXPECT_EQ(label3->text(), "Add :2048");
  form->Timer1Timer();  // no progress: the first stall
  EXPECT_EQ(button->text(), "Cancel");

  holdAt = 0x8000;
  ASSERT_TRUE(WorkerAt(*form, 0x8000));
  form->Timer1Timer();
  EXPECT_EQ(bar->value(), 50);
  EXPECT_EQ(label1->text(), "50 %");
  EXPECT_EQ(label3->text(), "Add :32768");

  holdAt = 0xFFC0;
  ASSERT_TRUE(WorkerAt(*form, 0xFFC0));
  form->Timer1Timer();
  EXPECT_EQ(label1->text(), "99 %");
  EXPECT_TRUE(messages.Shown().empty());

  // The second tick without progress, not next to the first, gives up.
  form->Timer1Timer();
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Progarm Failed!!"});
  EXPECT_EQ(button->text(), "OK");
  EXPECT_TRUE(button->isEnabled());
  EXPECT_FALSE(timer1->isActive());
  EXPECT_FALSE(timer2->isActive());
  // The worker has ended, without its final polls, before OK can be pressed.
  ASSERT_NE(form->TxROMThread(), nullptr);
  EXPECT_TRUE(form->TxROMThread()->IsFinished());
  EXPECT_EQ(BusyChecksAfterLastBlock(), 0);
  EXPECT_FALSE(closedWith);  // open until OK
  button->click();
  EXPECT_EQ(closedWith, QDialog::Rejected);
}

TEST_F(LoadProgressFormTest, AStepBackCountsAsAStall) {
  (*image)[0x0000] = 0x00;
  (*image)[0x0040] = 0x00;
  holdAt = 0x0040;
  auto form = Make();
  ASSERT_TRUE(WorkerAt(*form, 0x0040));
  form->Timer1Timer();
  form->Timer1Timer();  // stall 1
  form->Timer1Timer();  // stall 2
  EXPECT_EQ(messages.LastText(), "Progarm Failed!!");
}

TEST_F(LoadProgressFormTest, CancelStopsTheWorkerAndWaitsForOK) {
  (*image)[0x2000] = 0x00;
  holdAt = 0x2000;
  auto form = Make();
  ASSERT_TRUE(WorkerAt(*form, 0x2000));
  button->click();
  EXPECT_EQ(button->text(), "OK");
  EXPECT_TRUE(button->isEnabled());
  EXPECT_FALSE(timer1->isActive());
  EXPECT_FALSE(timer2->isActive());
  ASSERT_NE(form->TxROMThread(), nullptr);
  EXPECT_TRUE(form->TxROMThread()->IsFinished());
  EXPECT_EQ(BusyChecksAfterLastBlock(), 0);
  EXPECT_TRUE(messages.Shown().empty());
  EXPECT_FALSE(closedWith);
  const size_t requests = wire.Requests().size();
  button->click();
  EXPECT_EQ(closedWith, QDialog::Rejected);
  EXPECT_EQ(wire.Requests().size(), requests);
}

TEST_F(LoadProgressFormTest, ClosingTheWindowCancelsAndJoinsTheWorker) {
  (*image)[0x2000] = 0x00;
  holdAt = 0x2000;
  auto form = Make();
  ASSERT_TRUE(WorkerAt(*form, 0x2000));
  form->reject();
  EXPECT_EQ(closedWith, QDialog::Rejected);
  EXPECT_TRUE(form->TxROMThread()->IsFinished());
}

TEST_F(LoadProgressFormTest, DestroyingTheDialogEndsTheWorkerFirst) {
  (*image)[0x2000] = 0x00;
  holdAt = 0x2000;
  auto form = Make();
  ASSERT_TRUE(WorkerAt(*form, 0x2000));
  form.reset();
  const size_t requests = wire.Requests().size();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(wire.Requests().size(), requests);  // nobody is sending any more
}

}  // namespace
}  // namespace vx930
