#include "ide/ui/qt/select_port.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace vx930 {

TSelectPort::TSelectPort(int port, QWidget* owner) : QDialog(owner) {
  setObjectName("SelectPort");
  setWindowTitle("Set ComPort");
  setFixedSize(218, 209);
  auto* box = new QGroupBox("Select Port ", this);
  box->setObjectName("RadioGroup1");
  box->setGeometry(16, 8, 186, 150);
  auto* column = new QVBoxLayout(box);
  RadioGroup1 = new QButtonGroup(this);
  for (int n = 1; n <= 5; ++n) {
    auto* item = new QRadioButton(QString("COM%1").arg(n), box);
    item->setObjectName(QString("COM%1").arg(n));
    column->addWidget(item);
    RadioGroup1->addButton(item, n);
  }
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("OKBtn");
  ok->setDefault(true);
  ok->setGeometry(24, 170, 75, 25);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("CancelBtn");
  cancel->setGeometry(118, 170, 75, 25);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  if (auto* b = RadioGroup1->button(port)) b->setChecked(true);
}

void TSelectPort::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Centred on the screen, not over the main window; the frame is known now.
  if (const QScreen* s = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
  }
}

int TSelectPort::SelectedPort() const { return RadioGroup1->checkedId(); }

std::optional<int> TSelectPort::ShowModal(int port) {
  if (auto* b = RadioGroup1->button(port)) b->setChecked(true);
  if (exec() != QDialog::Accepted) return std::nullopt;
  const int chosen = SelectedPort();
  if (chosen < 1) return std::nullopt;
  return chosen;
}

}  // namespace vx930
