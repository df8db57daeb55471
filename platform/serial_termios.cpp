#include "platform/serial_termios.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace {

struct RateCode {
  int rate;
  unsigned code;
};

constexpr RateCode kRates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
};

unsigned CodeFor(int rate) {
  for (const RateCode& r : kRates) {
    if (r.rate == rate) return r.code;
  }
  return 0;
}

}  // namespace

namespace SerialTermios {

bool IsStandardRate(int baudRate) { return CodeFor(baudRate) != 0; }

int Get(int fd, SerialKernelTermios& out) {
  struct termios2 t;
  std::memset(&t, 0, sizeof t);
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  out.iflag = t.c_iflag;
  out.oflag = t.c_oflag;
  out.cflag = t.c_cflag & ~(CBAUD | CIBAUD);
  out.lflag = t.c_lflag;
  out.line = t.c_line;
  static_assert(sizeof t.c_cc >= SerialKernelTermios::kControlChars);
  std::memcpy(out.cc, t.c_cc, SerialKernelTermios::kControlChars);
  out.baudRate = static_cast<int>(t.c_ospeed);
  return 0;
}

int Set(int fd, const SerialKernelTermios& in) {
  if (in.baudRate <= 0) return EINVAL;
  struct termios2 t;
  std::memset(&t, 0, sizeof t);
  t.c_iflag = in.iflag;
  t.c_oflag = in.oflag;
  t.c_lflag = in.lflag;
  t.c_line = in.line;
  std::memcpy(t.c_cc, in.cc, SerialKernelTermios::kControlChars);
  const unsigned code = CodeFor(in.baudRate);
  t.c_cflag = (in.cflag & ~(CBAUD | CIBAUD)) | (code != 0 ? code : BOTHER);
  t.c_ispeed = static_cast<speed_t>(in.baudRate);
  t.c_ospeed = static_cast<speed_t>(in.baudRate);
  if (ioctl(fd, TCSETS2, &t) != 0) return errno;
  return 0;
}

}  // namespace SerialTermios
