#include <QApplication>
#include <QMainWindow>

#include "platform/qt/qt_message_service.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  platform::QtMessageService messages;
  platform::ScopedMessages scope(messages);
  QMainWindow window;
  window.setWindowTitle("Zolvek");
  window.resize(800, 600);
  window.show();
  return app.exec();
}
