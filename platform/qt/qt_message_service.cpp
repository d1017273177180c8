#include "platform/qt/qt_message_service.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace platform {

namespace {

QMessageBox::StandardButtons ToQt(Buttons b) {
  switch (b) {
    case Buttons::Ok: return QMessageBox::Ok;
    case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon ToQt(Icon i) {
  switch (i) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Error: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

Answer FromQt(int button) {
  switch (button) {
    case QMessageBox::Cancel: return Answer::Cancel;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Retry: return Answer::Retry;
    default: return Answer::Ok;
  }
}

Answer ShowOnGuiThread(const Message& m) {
  QMessageBox box(ToQt(m.icon), QString::fromStdString(m.caption), QString::fromStdString(m.text), ToQt(m.buttons),
                  QApplication::activeWindow());
  return FromQt(box.exec());
}

}  // namespace

Answer QtMessageService::Show(const Message& message) {
  auto* app = QCoreApplication::instance();
  if (!app) return DefaultAnswer(message.buttons);
  if (QThread::currentThread() == app->thread()) return ShowOnGuiThread(message);
  Answer result = DefaultAnswer(message.buttons);
  QMetaObject::invokeMethod(
      app, [&] { result = ShowOnGuiThread(message); }, Qt::BlockingQueuedConnection);
  return result;
}

void QtMessageService::Beep(bool) { QApplication::beep(); }

}  // namespace platform
