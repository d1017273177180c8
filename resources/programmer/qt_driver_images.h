// The driver images compiled into the program as Qt resources
// (":/BINTYPE/BIN<driverName>"), found without regard to case.
#pragma once

#include "programmer/catalogue/driver_images.h"

namespace zolvek {

class QtDriverImageSource : public DriverImageSource {
public:
  QtDriverImageSource();
  std::optional<std::vector<std::uint8_t>> Find(std::string_view driverName) const override;
};

}  // namespace zolvek
