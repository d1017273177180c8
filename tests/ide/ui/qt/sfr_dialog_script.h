// Answers the SFR Setting dialog from a test while the SFR window runs it
// modally.
#pragma once

#include <QApplication>
#include <QTimer>
#include <functional>
#include <memory>

#include "ide/ui/qt/sfr_edit_dialog.h"

namespace vx930::testing {

// Runs `answer` on the dialog once it is shown modally; a dialog the script
// leaves open is cancelled, so no test can hang in exec().
inline void WhenDialogShows(std::function<void(TfmSFRSetting&)> answer) {
  auto* timer = new QTimer;
  auto tries = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, tries, answer] {
    auto* dialog = qobject_cast<TfmSFRSetting*>(QApplication::activeModalWidget());
    if (!dialog) {
      if (++*tries > 200) timer->deleteLater();
      return;
    }
    timer->stop();
    timer->deleteLater();
    answer(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  timer->start(1);
}

}  // namespace vx930::testing
