#include "platform/serial_device.h"

#include <cerrno>

#include "platform/fake_serial_device.h"
#include "platform/rfc2217_device.h"
#include "platform/tty_device.h"

namespace SerialStatus {

int FromErrno(int err) {
  switch (err) {
    case 0:
      return Ok;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return NotFound;
    case EBUSY:
    case EWOULDBLOCK:
    case EACCES:
    case EPERM:
      return AccessDenied;
    case EIO:
      return BadCommand;
    default:
      return SystemFailure;
  }
}

}  // namespace SerialStatus

int SerialDevice::FailWithErrno(int err) {
  lastErrno_ = err;
  return SerialStatus::FromErrno(err);
}

std::unique_ptr<SerialDevice> SerialDevice::CreateFor(const QString& path) {
  if (path.startsWith(QLatin1String(Rfc2217Device::kScheme), Qt::CaseInsensitive)) {
    return std::make_unique<Rfc2217Device>();
  }
  if (std::shared_ptr<FakeSerialLine> line = FakeSerialDevice::Find(path)) {
    return std::make_unique<FakeSerialDevice>(std::move(line));
  }
  return std::make_unique<TtyDevice>();
}
