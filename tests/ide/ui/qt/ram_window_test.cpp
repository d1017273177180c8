// The RAM view widget offscreen: typed digits edit the image through the
// dump, nothing is read or edited while the target runs, the close rule and
// the creator's callbacks.
#include "ide/ui/qt/ram_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <array>
#include <memory>
#include <numeric>

#include "ide/ui/qt/ram_window_editor.h"
#include "platform/messages.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

class RamWindowTest : public ::testing::Test {
protected:
  RamWindowTest() : messageScope_(messages_) { std::iota(target_.begin(), target_.end(), 0); }
  ~RamWindowTest() override {
    delete view_.data();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // A view over image_ (256 or 1024 bytes of it) in an MDI area.
  void Open(int size, bool withEditCallback = true) {
    RamViewCallbacks cb;
    cb.read = [this](uint8_t* buffer, int start) {
      reads_.push_back(start);
      if (readFails_) return false;
      std::copy(target_.begin() + start, target_.begin() + start + 64, buffer);
      return true;
    };
    cb.write = [this](const uint8_t* buffer, int start) {
      writes_.push_back(start);
      std::copy(buffer, buffer + 64, target_.begin() + start);
      return true;
    };
    cb.destroyed = [this] { ++destroyed_; };
    if (withEditCallback) cb.edited = [this] { ++edits_; };
    area_.resize(800, 600);
    area_.show();
    auto* view = new TfmRAM("Internal 256 RAM", std::move(cb), [this] { return halted_; });
    area_.addSubWindow(view);
    view->show();
    view_ = view;
    view->AttachImage(image_.data(), size);
  }
  RamDumpEditor* Editor() { return view_->Editor(); }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { QTest::keyClick(Editor(), key, modifiers); }
  void SetCaret(int line, int column) {
    // A click where the caret should go.
    const QPoint at = Editor()->CellOrigin(line, column) + QPoint(0, Editor()->LineHeight() / 2);
    QTest::mouseClick(Editor()->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }

  QApplication& app_ = TestApp();  // before any widget
  platform::RecordingMessages messages_;
  platform::ScopedMessages messageScope_;
  QMdiArea area_;
  QPointer<TfmRAM> view_;
  std::array<uint8_t, 1024> image_{};
  std::array<uint8_t, 1024> target_{};
  std::vector<int> reads_;
  std::vector<int> writes_;
  bool readFails_ = false;
  bool halted_ = true;
  int destroyed_ = 0;
  int edits_ = 0;
};

TEST_F(RamWindowTest, OpensWithTheCaptionAndReadsOnlyTheVisibleBlocks) {
  Open(1024);
  EXPECT_EQ(view_->windowTitle(), "Internal 256 RAM");
  EXPECT_EQ(Editor()->objectName(), "RichEdit1");
  EXPECT_EQ(Editor()->verticalScrollBar()->objectName(), "ScrollBar1");
  ASSERT_FALSE(reads_.empty());
  const int pageLines = Editor()->PageLines();
  EXPECT_GT(pageLines, 4);
  EXPECT_EQ(reads_, view_->Dump().WindowBlocks(0, pageLines));
  EXPECT_LT(reads_.size(), 16u);
  EXPECT_EQ(image_[5], 5);
  EXPECT_EQ(view_->Dump().GetCaret().column, 5);
  EXPECT_EQ(view_->StatusText(), "");
}

TEST_F(RamWindowTest, TypedDigitsEditTheImageMarkTheBlockAndCallTheEditCallback) {
  Open(256);
  SetCaret(1, 5);
  Key(Qt::Key_A);
  Key(Qt::Key_5, Qt::KeypadModifier);  // the numeric pad counts as digits
  EXPECT_EQ(image_[16], 0xA5);
  EXPECT_EQ(view_->Dump().LineText(1).substr(5, 2), "A5");
  EXPECT_TRUE(view_->Dump().IsDirty(0));
  EXPECT_EQ(view_->Dump().GetCaret().column, 8);
  EXPECT_EQ(edits_, 2);
  EXPECT_TRUE(writes_.empty());  // edits stay in the host image until WriteBack
  ASSERT_TRUE(view_->WriteBack());
  EXPECT_EQ(writes_, (std::vector<int>{0}));
  EXPECT_EQ(target_[16], 0xA5);
  EXPECT_FALSE(view_->Dump().AnyDirty());
}

TEST_F(RamWindowTest, EnterDeleteAndOtherKeysChangeNothing) {
  Open(256);
  SetCaret(2, 11);
  const auto before = image_;
  for (Qt::Key key :
       {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Delete, Qt::Key_Backspace, Qt::Key_G, Qt::Key_Space, Qt::Key_Plus})
    Key(key);
  EXPECT_EQ(image_, before);
  EXPECT_FALSE(view_->Dump().AnyDirty());
  EXPECT_EQ(view_->Dump().GetCaret().line, 2);
  EXPECT_EQ(view_->Dump().GetCaret().column, 11);
  EXPECT_EQ(edits_, 0);
}

TEST_F(RamWindowTest, ClicksSnapAndArrowKeysFollowTheColumnRule) {
  Open(256);
  SetCaret(3, 1);
  EXPECT_EQ(view_->Dump().GetCaret().column, 5);
  SetCaret(3, 60);
  EXPECT_EQ(view_->Dump().GetCaret().column, 50);
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  Key(Qt::Key_Right);
  EXPECT_EQ(view_->Dump().GetCaret().line, 4);
  EXPECT_EQ(view_->Dump().GetCaret().column, 5);
  Key(Qt::Key_End);
  EXPECT_EQ(view_->Dump().GetCaret().column, 50);
}

TEST_F(RamWindowTest, WhileTheTargetRunsNothingIsReadAndNoEditIsTaken) {
  halted_ = false;
  Open(1024);
  EXPECT_TRUE(reads_.empty());
  EXPECT_EQ(view_->StatusText(), kRamNotReadWhileRunning);
  for (int i = 0; i < 40; ++i) Key(Qt::Key_Down);
  Editor()->verticalScrollBar()->setValue(40);
  Key(Qt::Key_PageDown);
  EXPECT_TRUE(reads_.empty());
  Key(Qt::Key_7);
  EXPECT_EQ(messages_.LastText(), "Please Stop the ICE First !!");
  EXPECT_FALSE(view_->Dump().AnyDirty());
  EXPECT_TRUE(std::all_of(image_.begin(), image_.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(edits_, 0);

  // Halted again: the next caret move reads what is in view.
  halted_ = true;
  Key(Qt::Key_Up);
  EXPECT_FALSE(reads_.empty());
  EXPECT_EQ(view_->StatusText(), "");
}

TEST_F(RamWindowTest, ReloadAfterStopReadsEvenBeforeTheHaltIsRecorded) {
  Open(256);
  view_->ClearLoaded();
  reads_.clear();
  // The creator refreshes the views before it marks the target halted.
  halted_ = false;
  target_[0x12] = 0xEE;
  view_->ReloadAfterStop();
  EXPECT_EQ(reads_.front(), 0);
  EXPECT_TRUE(view_->Dump().IsRed(0x12));
  EXPECT_EQ(view_->Dump().LineText(1).substr(11, 2), "EE");
}

TEST_F(RamWindowTest, ChangedPairsArePaintedRed) {
  Open(256);
  auto redPixels = [this] {
    const QImage shot = Editor()->viewport()->grab().toImage();
    int n = 0;
    for (int y = 0; y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x) {
        const QColor c = shot.pixelColor(x, y);
        if (c.red() > 180 && c.green() < 90 && c.blue() < 90) ++n;
      }
    return n;
  };
  EXPECT_EQ(redPixels(), 0);
  view_->ClearLoaded();
  target_[0x21] = 0xCC;
  view_->ReloadAfterStop();
  EXPECT_GT(redPixels(), 0);
}

// The font's true advance is not a whole pixel, so a red pair drawn at its
// cell and black text drawn as one string would drift apart.
TEST_F(RamWindowTest, RedAndBlackPairsStartAtTheirOwnCells) {
  Open(256);
  // Line 1 ends up all 00 with bytes 7 and 15 red: long black runs before
  // each red pair.
  auto redByte = [](int i) { return i == 7 || i == 15; };
  for (const bool pass : {false, true}) {
    view_->ClearLoaded();
    for (int i = 0; i < RamDump::kLineBytes; ++i)
      if (redByte(i) == pass) target_[0x10 + i] = 0x00;
    view_->ReloadAfterStop();
  }
  ASSERT_EQ(view_->Dump().LineText(1).substr(0, 13), "0010 00 00 00");
  for (int i = 0; i < RamDump::kLineBytes; ++i) ASSERT_EQ(view_->Dump().IsRed(0x10 + i), redByte(i)) << i;

  RamDumpEditor* editor = Editor();
  const QImage shot = editor->viewport()->grab().toImage();
  ASSERT_LT(editor->CellOrigin(1, RamDump::kLastHexColumn).x(), shot.width());
  const int top = editor->CellOrigin(1, 0).y();
  // The leftmost inked x from the blank before a pair to its second digit,
  // and whether that ink is red.
  auto inkFrom = [&](int column, bool* red) {
    const int from = editor->CellOrigin(1, column - 1).x();
    const int to = editor->CellOrigin(1, column + 2).x();
    int left = -1;
    *red = false;
    for (int x = from; x < to; ++x)
      for (int y = top; y < top + editor->LineHeight(); ++y) {
        const QColor c = shot.pixelColor(x, y);
        if (std::min({c.red(), c.green(), c.blue()}) >= 128) continue;
        if (left < 0) left = x;
        if (c.red() > 180) *red = true;
      }
    return left;
  };
  bool red = false;
  const int firstLeft = inkFrom(RamDump::kHexColumn, &red);
  ASSERT_GE(firstLeft, 0);
  const int bearing = firstLeft - editor->CellOrigin(1, RamDump::kHexColumn).x();
  EXPECT_GE(bearing, 0);
  for (int i = 0; i < RamDump::kLineBytes; ++i) {
    const int column = RamDump::kHexColumn + 3 * i;
    const int left = inkFrom(column, &red);
    EXPECT_EQ(left - editor->CellOrigin(1, column).x(), bearing) << "byte " << i;
    EXPECT_EQ(red, redByte(i)) << "byte " << i;
  }
}

TEST_F(RamWindowTest, ScrollingReadsTheBlocksThatComeIntoView) {
  Open(1024);
  reads_.clear();
  Editor()->verticalScrollBar()->setValue(40);
  ASSERT_FALSE(reads_.empty());
  EXPECT_EQ(reads_.front(), 640);
  for (int start : reads_) EXPECT_TRUE(view_->Dump().IsLoaded(start / 64));
  Editor()->verticalScrollBar()->setValue(0);
  reads_.clear();
  Editor()->verticalScrollBar()->setValue(40);
  EXPECT_TRUE(reads_.empty());  // loaded once between two runs
}

TEST_F(RamWindowTest, AFailedReadShowsTheMessageOncePerReload) {
  readFails_ = true;
  Open(256);
  EXPECT_EQ(messages_.Texts(), (std::vector<std::string>{kRamReadFailed}));
  EXPECT_EQ(reads_, (std::vector<int>{0}));
  Key(Qt::Key_Down);
  EXPECT_EQ(messages_.Texts().size(), 2u);
  readFails_ = false;
  Key(Qt::Key_Down);
  EXPECT_EQ(messages_.Texts().size(), 2u);
  EXPECT_TRUE(view_->Dump().IsLoaded(0));
}

TEST_F(RamWindowTest, AViewWithUnsentEditsIsMinimisedInsteadOfClosed) {
  Open(256);
  SetCaret(0, 5);
  Key(Qt::Key_1);
  view_->Close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(view_);
  EXPECT_TRUE(view_->isMinimized());
  EXPECT_EQ(destroyed_, 0);

  ASSERT_TRUE(view_->WriteBack());
  view_->Close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(view_);
  EXPECT_EQ(destroyed_, 1);
}

TEST_F(RamWindowTest, CreatorEditsAreMarkedDirtyAndRedrawn) {
  Open(256, false);
  image_[0x47] = 0x99;
  view_->MarkDirty(0x47);
  view_->RedrawLine(0x40);
  EXPECT_EQ(view_->Dump().LineText(4).substr(26, 2), "99");
  EXPECT_TRUE(view_->Dump().IsDirty(1));
  // No edit callback: typing still works.
  SetCaret(0, 5);
  Key(Qt::Key_F);
  EXPECT_EQ(image_[0] >> 4, 0xF);
  ASSERT_TRUE(view_->WriteBack());
  EXPECT_EQ(writes_, (std::vector<int>{0, 64}));
}

}  // namespace
}  // namespace vx930::testing
