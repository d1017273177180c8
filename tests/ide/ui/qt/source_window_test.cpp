// The source window's widget offscreen, in the main window with the OMF
// sample: the gutter click and its popup, the glyph and PC-line markers,
// the editor's popup with Find Address and its dialog, and a disassembly
// page that fills the window.
#include <Qsci/qsciscintilla.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "ide/link/cmdset_commands.h"
#include "ide/ui/qt/goto_address.h"
#include "ide/ui/qt/main_window.h"
#include "ide/ui/qt/source_window.h"
#include "platform/messages.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_app.h"

namespace vx930::testing {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(VX_FIXTURES_DIR) + "/../../samples/";

struct CancelPortDialog final : PortDialog {
  std::optional<int> ShowModal(int) override { return std::nullopt; }
};

class SourceWindowTest : public ::testing::Test {
protected:
  SourceWindowTest() {
    TestApp();
    window_ = std::make_unique<TForm1>(dir_.string());
    window_->resize(1000, 700);
    window_->show();
    CancelPortDialog dialog;
    SerialLinkOpener opener;
    window_->Controller().FormPaint(dialog, opener);
    QCoreApplication::processEvents();
  }
  ~SourceWindowTest() override { window_.reset(); }

  // The OMF sample without a link: MAIN's source with its first line as the PC line.
  TfmSrcForm* OpenOmf() {
    EXPECT_TRUE(window_->Controller().OpenOmfFile(kSamples + "BLINK"));
    auto* source = dynamic_cast<TfmSrcForm*>(window_->Controller().fmSrcForm());
    EXPECT_NE(source, nullptr);
    if (source) {
      source->BringForward();
      source->setGeometry(0, 0, 640, 420);
    }
    QCoreApplication::processEvents();
    return source;
  }
  // Presses the left button in the glyph margin at an editor line (from 1).
  static void ClickGutter(TfmSrcForm* source, int line) {
    QsciScintilla* e = source->Editor();
    e->SendScintilla(QsciScintillaBase::SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(std::max(line - 5, 0)));
    QCoreApplication::processEvents();
    const long pos = e->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
    const int y = static_cast<int>(e->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0UL, pos));
    const int height = static_cast<int>(e->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL));
    QTest::mouseClick(e->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(6, y + height / 2));
    QCoreApplication::processEvents();
  }
  static bool HasMarker(TfmSrcForm* source, int line, int marker) {
    return (source->Editor()->markersAtLine(line - 1) & (1u << marker)) != 0;
  }

  platform::RecordingMessages messages_;
  platform::ScopedMessages scope_{messages_};
  ScratchDir dir_{"vx930_srcwin"};
  std::unique_ptr<TForm1> window_;
};

TEST_F(SourceWindowTest, AGutterClickOnALineWithCodeSetsABreakPointThroughThePopup) {
  TfmSrcForm* source = OpenOmf();
  ASSERT_NE(source, nullptr);
  ASSERT_EQ(source->LinesShown(), 1);
  const int mainLine = source->PCLine();
  ASSERT_EQ(mainLine, 36);
  EXPECT_TRUE(HasMarker(source, mainLine, TfmSrcForm::kPCLineMarker));

  ClickGutter(source, 1);  // a comment: no code
  EXPECT_FALSE(source->BreakPointMenu()->isVisible());

  const int showLine = source->Model().AddressToLine(0x008B);  // show()'s header
  ASSERT_GT(showLine, 0);
  ClickGutter(source, showLine);
  ASSERT_TRUE(source->BreakPointMenu()->isVisible());
  EXPECT_EQ(source->Model().ClickedLine(), showLine);
  const QList<QAction*> items = source->BreakPointMenu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_EQ(items[0]->text(), "Set as Break Point 0");
  EXPECT_EQ(items[1]->text(), "Set as Break Point 1");
  items[0]->trigger();
  source->BreakPointMenu()->hide();

  const BreakPointRec& bp = window_->State().BreakPointTable[0];
  EXPECT_EQ(bp.address, 0x008Bu);
  EXPECT_EQ(bp.enabled, 1);
  EXPECT_EQ(window_->State().BreakPointTable[1].enabled, 0);
  EXPECT_TRUE(HasMarker(source, showLine, TfmSrcForm::kGlyph0Marker));

  // The same line again clears it, from the table too.
  ClickGutter(source, showLine);
  ASSERT_TRUE(source->BreakPointMenu()->isVisible());
  items[0]->trigger();
  EXPECT_EQ(window_->State().BreakPointTable[0].enabled, 0);
  EXPECT_FALSE(HasMarker(source, showLine, TfmSrcForm::kGlyph0Marker));

  // A breakpoint set elsewhere shows its glyph on the first line entry at
  // its address: MAIN's header, which shares 00A3 with the PC line.
  window_->Controller().SetBreakPoint(1, 0x00A3, 0);
  EXPECT_TRUE(HasMarker(source, 34, TfmSrcForm::kGlyph1Marker));
  window_->Controller().DisableBreakPoint(1);
  EXPECT_FALSE(HasMarker(source, 34, TfmSrcForm::kGlyph1Marker));
  EXPECT_TRUE(messages_.Texts().empty()) << messages_.LastText();
}

// Answers the goto-address dialog with text typed into its edit, then OK.
void AnswerGotoAddress(const QString& typed, QString* shown) {
  QTimer::singleShot(0, [typed, shown] {
    auto* dialog = qobject_cast<TfmGotoAddress*>(QApplication::activeModalWidget());
    if (!dialog) return;
    QTest::keyClicks(dialog->Edit1(), typed);
    *shown = dialog->Edit1()->text();
    dialog->OkButton()->click();
  });
}

TEST_F(SourceWindowTest, FindAddressFromTheEditorPopup) {
  TfmSrcForm* source = OpenOmf();
  ASSERT_NE(source, nullptr);
  QsciScintilla* editor = source->Editor();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(200, 40), editor->viewport()->mapToGlobal(QPoint(200, 40)));
  QCoreApplication::sendEvent(editor->viewport(), &menu);
  ASSERT_TRUE(source->GotoMenu()->isVisible());
  ASSERT_EQ(source->GotoMenu()->actions().size(), 1);
  QAction* find = source->GotoMenu()->actions()[0];
  EXPECT_EQ(find->text(), "Find Address");
  source->GotoMenu()->hide();

  QString shown;
  AnswerGotoAddress("", &shown);
  find->trigger();
  EXPECT_EQ(messages_.LastText(), "Address Error, Please Set Again!! ");
  EXPECT_EQ(source->LinesShown(), 1) << "nothing else shown";

  AnswerGotoAddress("ffff1", &shown);
  find->trigger();
  EXPECT_EQ(shown, "FFFF") << "upper case, four digits at most";
  EXPECT_EQ(source->LinesShown(), 0);
  ASSERT_EQ(source->Model().PageMap().size(), 1u);
  EXPECT_EQ(source->Model().PageMap().at(1), 0xFFFFu);
  EXPECT_TRUE(editor->text().startsWith("FFFF")) << editor->text().toStdString();

  AnswerGotoAddress("8b", &shown);
  find->trigger();
  EXPECT_EQ(source->LinesShown(), 1);
  EXPECT_NE(editor->text().indexOf("void show(unsigned char value)"), -1);
  EXPECT_EQ(messages_.Texts().size(), 1u);
}

// Fonts given in pixels once drew the text a few pixels high; 10 points is
// at least 12 pixels on any screen of 72 dpi or more.
TEST_F(SourceWindowTest, TheEditorDrawsItsTextAtAReadableSize) {
  TfmSrcForm* source = OpenOmf();
  ASSERT_NE(source, nullptr);
  QsciScintilla* editor = source->Editor();
  EXPECT_GE(editor->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL), 12);
  for (int style : {0, 1, 5, 6}) {  // default, comment, keyword, string of the C lexer
    EXPECT_GE(editor->SendScintilla(QsciScintillaBase::SCI_STYLEGETSIZE, static_cast<unsigned long>(style)), 9)
        << "style " << style;
  }
}

TEST_F(SourceWindowTest, ADisassemblyPageHasOneLineMoreThanTheWindowShows) {
  TfmSrcForm* source = OpenOmf();
  ASSERT_NE(source, nullptr);
  source->SetPC(0x0000);
  source->ShowAddress(0x0000, false);  // the reset vector lies in no procedure
  QsciScintilla* editor = source->Editor();
  const int height = static_cast<int>(editor->SendScintilla(QsciScintillaBase::SCI_TEXTHEIGHT, 0UL));
  EXPECT_EQ(editor->lines(), editor->viewport()->height() / height + 1);
  EXPECT_GT(editor->lines(), 10);
  EXPECT_EQ(source->PCLine(), 1);
  EXPECT_TRUE(HasMarker(source, 1, TfmSrcForm::kPCLineMarker));
  EXPECT_TRUE(editor->isReadOnly());

  // Built while minimised, a page still fills the window it is restored to.
  const int rows = editor->lines();
  source->showMinimized();
  QCoreApplication::processEvents();
  source->ShowAddress(0x0800, false);
  EXPECT_EQ(editor->lines(), rows);

  // Closing only minimises.
  source->showNormal();
  source->close();
  QCoreApplication::processEvents();
  EXPECT_EQ(window_->Controller().fmSrcForm(), source);
  EXPECT_TRUE(source->isMinimized());
}

}  // namespace
}  // namespace vx930::testing
