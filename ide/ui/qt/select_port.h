// The port dialog "Set ComPort": COM1 to COM5 in a radio group, OK and Cancel.
// One dialog serves every showing of the start-up loop.
#pragma once

#include <QDialog>

#include "ide/ui/core/host_interfaces.h"

class QButtonGroup;

namespace vx930 {

class TSelectPort final : public QDialog, public PortDialog {
  Q_OBJECT

public:
  // Selects COM<port> once, as the dialog is created.
  TSelectPort(int port, QWidget* owner);

  // Shows it modally; port is the main window's port number, which the
  // dialog's own selection follows.
  std::optional<int> ShowModal(int port) override;
  int SelectedPort() const;

protected:
  void showEvent(QShowEvent* event) override;

private:
  QButtonGroup* RadioGroup1;
};

}  // namespace vx930
