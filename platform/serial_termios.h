#pragma once

#include <cstdint>

// The kernel's own terminal settings call (termios2), which carries any
// line speed and is not second-guessed by the C library. Kept apart from
// <termios.h>, whose declarations clash with the kernel's.
struct SerialKernelTermios {
  static constexpr int kControlChars = 19;
  std::uint32_t iflag = 0;
  std::uint32_t oflag = 0;
  std::uint32_t cflag = 0;  // without the speed bits
  std::uint32_t lflag = 0;
  std::uint8_t line = 0;
  std::uint8_t cc[kControlChars] = {};
  int baudRate = 0;  // output and input speed
};

namespace SerialTermios {
// Reads the settings of `fd`; returns 0 or an errno value.
int Get(int fd, SerialKernelTermios& out);
// Applies the settings to `fd` with `baudRate` (standard speeds as such,
// others as an arbitrary rate); returns 0 or an errno value.
int Set(int fd, const SerialKernelTermios& in);
// Whether `baudRate` has a standard speed code.
bool IsStandardRate(int baudRate);
}  // namespace SerialTermios
