// The about box offscreen: its texts, the logo in the picture, and OK.
#include "ide/ui/qt/about_box.h"
#include "ide/ui/core/jpeg_decoder.h"
#include "tests/support/test_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace vx930::testing {
namespace {

TEST(AboutBox, ShowsTheProductTheVersionAndTheLogo) {
  TestApp();
  TAboutBox box;
  EXPECT_EQ(box.windowTitle(), "About");
  EXPECT_EQ(box.size(), QSize(298, 212));
  EXPECT_EQ(box.findChild<QLabel*>("ProductName")->text(), "VX930 IDE");
  EXPECT_TRUE(box.findChild<QLabel*>("ProductName")->font().bold());
  EXPECT_EQ(box.findChild<QLabel*>("Version")->text(), "Version: 2.1");
  EXPECT_TRUE(box.findChild<QLabel*>("Version")->font().bold());
  auto* image = box.findChild<QLabel*>("Image1");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->geometry(), QRect(8, 16, 137, 49));
  ASSERT_FALSE(box.Logo().isNull());
  EXPECT_EQ(image->pixmap().size(), QSize(137, 49));
  auto* ok = box.findChild<QPushButton*>("OKButton");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->text(), "OK");
  EXPECT_TRUE(ok->isDefault());
}

TEST(AboutBox, IsModalAndClosesWithOkOrEnter) {
  TestApp();
  for (const bool enter : {false, true}) {
    TAboutBox box;
    QTimer::singleShot(0, &box, [&box, enter] {
      EXPECT_EQ(QApplication::activeModalWidget(), &box);
      if (enter)
        QTest::keyClick(&box, Qt::Key_Return);
      else
        box.findChild<QPushButton*>("OKButton")->click();
    });
    // A box the script cannot close must not hang the test.
    QTimer::singleShot(5000, &box, [&box] { box.reject(); });
    EXPECT_EQ(box.exec(), QDialog::Accepted) << enter;
  }
}

TEST(JpegDecoder, TheBuiltInLogoDecodesToThePictureSize) {
  const QImage logo = LoadAboutLogo();
  ASSERT_FALSE(logo.isNull());
  EXPECT_EQ(logo.width(), 137);
  EXPECT_EQ(logo.height(), 49);
  QFile file(":/ide/logo.jpg");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  const std::vector<uint8_t> data(bytes.begin(), bytes.end());
  ASSERT_TRUE(DecodeJpeg(data).ok);
  const std::vector<uint8_t> cut(data.begin(), data.begin() + static_cast<long>(data.size() * 2 / 3));
  EXPECT_FALSE(DecodeJpeg(cut).ok);
}

}  // namespace
}  // namespace vx930::testing
