// Windows colour values (0x00BBGGRR) to and from QColor.
#pragma once

#include <QColor>

#include <cstdint>

namespace helvex1 {

QColor fromColorRef(uint32_t value);
uint32_t colorRef(const QColor &c);

} // namespace helvex1
