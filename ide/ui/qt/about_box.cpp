#include "ide/ui/qt/about_box.h"

#include <QFile>
#include <QFont>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <mutex>

#include "ide/ui/core/jpeg_decoder.h"

// A resource compiled into a static library must be registered by hand; the
// registration is process-wide and idempotent behind the flag.
static void RegisterIdeResources() {
  static std::once_flag once;
  std::call_once(once, [] { Q_INIT_RESOURCE(ide_resources); });
}

namespace vx930 {

QImage LoadAboutLogo() {
  RegisterIdeResources();
  QFile file(":/ide/logo.jpg");
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  const JpegResult decoded =
      DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size()));
  if (!decoded.ok) return {};
  const JpegImage& p = decoded.image;
  // copy(): the QImage must own its pixels once `decoded` goes.
  return QImage(p.rgb.data(), p.width, p.height, p.width * 3, QImage::Format_RGB888).copy();
}

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(298, 212);

  auto* panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setGeometry(8, 8, 281, 161);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);

  logo_ = LoadAboutLogo();
  auto* image = new QLabel(panel);
  image->setObjectName("Image1");
  image->setGeometry(8, 16, 137, 49);
  if (!logo_.isNull()) image->setPixmap(QPixmap::fromImage(logo_));

  QFont bold = font();
  bold.setBold(true);
  auto* product = new QLabel("VX930 IDE", panel);
  product->setObjectName("ProductName");
  product->setFont(bold);
  product->move(8, 80);
  product->adjustSize();
  auto* version = new QLabel("Version: 2.1", panel);
  version->setObjectName("Version");
  version->setFont(bold);
  version->move(8, 104);
  version->adjustSize();

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKButton");
  ok->setGeometry(111, 180, 75, 25);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

}  // namespace vx930
