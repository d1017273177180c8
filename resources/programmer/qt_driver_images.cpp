#include "resources/programmer/qt_driver_images.h"

#include <QDir>
#include <QFile>
#include <mutex>

// A resource compiled into a static library must be registered by hand; the
// registration is process-wide and idempotent behind the flag.
static void RegisterDriverImages() {
  static std::once_flag once;
  std::call_once(once, [] { Q_INIT_RESOURCE(zolvek_driver_images); });
}

namespace zolvek {

QtDriverImageSource::QtDriverImageSource() { RegisterDriverImages(); }

std::optional<std::vector<std::uint8_t>> QtDriverImageSource::Find(std::string_view driverName) const {
  const std::string wanted = DriverResourceName(driverName);
  const QString dir = QStringLiteral(":/") + QString::fromLatin1(DriverResourceType);
  for (const QString& entry : QDir(dir).entryList(QDir::Files)) {
    if (!SameResourceName(entry.toStdString(), wanted)) continue;
    QFile file(dir + '/' + entry);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  }
  return std::nullopt;
}

}  // namespace zolvek
