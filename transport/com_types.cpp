#include "transport/com_types.h"

#include <iterator>

int BaudRateValue(TBaudRate rate) {
  static constexpr int kValues[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                    14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
  const int i = static_cast<int>(rate);
  return (i >= 0 && i < static_cast<int>(std::size(kValues))) ? kValues[i] : 0;
}
