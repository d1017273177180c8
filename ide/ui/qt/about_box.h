// TAboutBox: the modal "About" dialog of Help, About: the logo, the product
// line and the version, closed with OK (or Enter, or the close box). The
// creator makes one for each showing and deletes it after exec().
#pragma once

#include <QDialog>
#include <QImage>

class QLabel;
class QPushButton;

namespace vx930 {

class TAboutBox final : public QDialog {
  Q_OBJECT

public:
  explicit TAboutBox(QWidget* owner = nullptr);

  // The logo as decoded from the program's resources; null when it could
  // not be decoded (the picture then stays empty).
  const QImage& Logo() const { return logo_; }

private:
  QImage logo_;
};

// The logo JPEG built into the program, decoded.
QImage LoadAboutLogo();

}  // namespace vx930
