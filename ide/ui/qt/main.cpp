#include <QApplication>
#include <QMessageBox>
#include <new>

#include "ide/image/ide_message.h"
#include "ide/ui/qt/main_window.h"
#include "platform/qt/qt_message_service.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setApplicationName(vx930::kIdeTitle);
  platform::QtMessageService messages;
  platform::ScopedMessages scope(messages);
  try {
    vx930::TForm1 window(QCoreApplication::applicationDirPath().toStdString());
    window.show();
    return app.exec();
  } catch (const std::bad_alloc&) {
    // Without the code image nothing can be loaded or downloaded.
    platform::ShowMessage("Allocate Hex Cdoe Memory Failed!!", vx930::kIdeTitle);
    return 1;
  } catch (const std::exception& e) {
    platform::ShowMessage(e.what(), vx930::kIdeTitle);
    return 1;
  }
}
