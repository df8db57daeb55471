// Runs the operations of both Brio drivers against fake serial lines that
// answer every request with bytes taken from the input: memory peeks and
// pokes, temperature words and segment reads of the first generation;
// values, serial number, laser and memory replies, the identification
// ("E", "F") and the parameter images of the second. Whatever the replies
// hold, the drivers must neither crash nor hang, and their results must stay
// within what the reply words can give.
//
// The first input byte chooses the generation and how many operations run,
// the next bytes the operations, the rest are the replies. Each reply takes
// one control byte (its top two bits: up to three bytes more than the
// request's reply length) and then its bytes. When the input runs out, the
// line stays silent and the drivers' cancel check ends the run, so no
// exchange waits out its time-out: the time-out paths are covered by the
// device tests, and the target stays fast. The replies are in the input
// queue when a write returns, so an exchange costs no thread hand-off.
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "drivers/brio/pyreon_brio.h"
#include "drivers/brio/pyreon_brio_ma.h"
#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"

namespace {

// The input of one run, consumed reply by reply.
class ReplyScript {
 public:
  void Set(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    data_.assign(data, data + size);
    pos_ = 0;
    exhausted_ = false;
  }
  // The next reply of `length` bytes (plus what the control byte adds);
  // empty, and the script exhausted, when the input cannot fill it.
  std::vector<std::uint8_t> Next(int length) {
    std::lock_guard lock(mutex_);
    if (pos_ >= data_.size()) {
      exhausted_ = true;
      return {};
    }
    const std::size_t n = static_cast<std::size_t>(length) + (data_[pos_] >> 6);
    ++pos_;
    if (data_.size() - pos_ < n) {
      exhausted_ = true;
      pos_ = data_.size();
      return {};
    }
    std::vector<std::uint8_t> reply(data_.begin() + static_cast<std::ptrdiff_t>(pos_),
                                    data_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
    pos_ += n;
    return reply;
  }
  bool Exhausted() const {
    std::lock_guard lock(mutex_);
    return exhausted_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool exhausted_ = false;
};

// Reply lengths of the first generation's memory requests.
int Gen1ReplyLength(std::span<const std::uint8_t> request) {
  if (request.size() == 3 && request[0] == 0x3E) return 2;
  if (request.size() == 3 && request[0] == 0x3C) return 1;
  if (request.size() == 4 && request[0] == 0x3D) return 1;
  return -1;
}

// Reply lengths of the second generation's commands.
int Gen2ReplyLength(std::span<const std::uint8_t> request) {
  const QByteArray text(reinterpret_cast<const char*>(request.data()),
                        static_cast<qsizetype>(request.size()));
  if (text == "E") return 6;
  if (text == "F") return 16;
  if (text == "9CONF" || text == "9CALI") return 128;
  if (text == "9CON2") return 256;
  if (text == "9INTV") return 32;
  if (request.empty()) return -1;
  switch (request[0]) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x09:
    case 0x11:
    case 0x12:
      return request.size() == 1 ? 2 : -1;
    case 0x0E:
      return request.size() == 1 ? 3 : -1;
    case 0x10:
    case 0x82:
      return request.size() == 1 ? 1 : -1;
    case 0x90:
    case 0x81:
      return request.size() == 2 ? 1 : -1;
    case 0x84:
      return request.size() == 3 ? 2 : -1;
    case 0x3D:
      return request.size() == 4 ? 1 : -1;
    default:
      return -1;
  }
}

std::shared_ptr<FakeSerialLine> ScriptedLine(ReplyScript& script,
                                             int (*replyLength)(std::span<const std::uint8_t>)) {
  auto line = FakeSerialLine::Create();
  line->SetImmediateInput(true);
  line->SetResponder([&script, replyLength](FakeSerialLine& l, std::span<const std::uint8_t> written) {
    const int length = replyLength(written);
    if (length < 0) return;
    const std::vector<std::uint8_t> reply = script.Next(length);
    if (!reply.empty()) l.Inject(reply);
  });
  return line;
}

struct Environment {
  Environment() {
    static int argc = 1;
    static char name[] = "fuzz_brio_reply";
    static char* argv[] = {name, nullptr};
    const QString folder =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    const QString ports =
        folder + QStringLiteral("/fuzz_brio_reply_") + QString::number(::getpid()) + QStringLiteral(".ini");
    {
      QFile f(ports);
      if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
      f.write("[Ports]\r\nCOM8=fake:brio1\r\nCOM9=fake:brio2\r\n");
    }
    qputenv("THERMASENTINEL_PORTS", QFile::encodeName(ports));
    app = new QCoreApplication(argc, argv);
    line1 = ScriptedLine(script, Gen1ReplyLength);
    line2 = ScriptedLine(script, Gen2ReplyLength);
    FakeSerialDevice::Register(QStringLiteral("fake:brio1"), line1);
    FakeSerialDevice::Register(QStringLiteral("fake:brio2"), line2);
    gen1 = new TpyreonBrio;
    gen1->SetComPort(8);
    gen1->SetLogFile(qEnvironmentVariableIsSet("FUZZ_BRIO_LOG"));
    gen1->SetCancelCheck([this] { return script.Exhausted(); });
    gen2 = new TpyreonBrio_mA;
    gen2->SetComPort(9);
    gen2->SetLogFile(qEnvironmentVariableIsSet("FUZZ_BRIO_LOG"));
    gen2->SetCancelCheck([this] { return script.Exhausted(); });
  }
  QCoreApplication* app = nullptr;
  ReplyScript script;
  std::shared_ptr<FakeSerialLine> line1, line2;
  TpyreonBrio* gen1 = nullptr;
  TpyreonBrio_mA* gen2 = nullptr;
};

// A temperature word decoded in tenths (or hundredths) above -100 degrees.
void CheckTemperature(float t) {
  if (t == -9999.0f) return;
  if (!std::isfinite(t) || t < -100.0f || t > 6453.5f) std::abort();
}

void RunFirstGeneration(TpyreonBrio& d, std::span<const std::uint8_t> ops) {
  const std::array<std::function<void()>, 9> operations = {
      [&] { CheckTemperature(d.ReadTargetTemperature()); },
      [&] { CheckTemperature(d.ReadInternalTemperature()); },
      [&] { CheckTemperature(d.ReadActualTemperature()); },
      [&] { d.ReadCalibrationImage(); },
      [&] { d.ReadConfigurationImage(); },
      [&] { d.ReadVectorImage(); },
      [&] {
        const int b = d.ReadMemoryByte(0x025F);
        if (b < -1 || b > 255) std::abort();
      },
      [&] {
        const int b = d.WriteMemoryByteVerified(0x0261, 0x80);
        if (b < -1 || b > 255) std::abort();
      },
      [&] {
        const int serial = d.ReadSerialNumber();
        if (serial < -1 || serial > 0xFFFFFF) std::abort();
      },
  };
  for (std::uint8_t op : ops) {
    operations[op % operations.size()]();
    QCoreApplication::processEvents();
  }
}

void RunSecondGeneration(TpyreonBrio_mA& d, std::span<const std::uint8_t> ops) {
  const std::array<std::function<void()>, 18> operations = {
      [&] { CheckTemperature(d.ReadTargetTemperature()); },
      [&] { CheckTemperature(d.ReadInternalTemperature()); },
      [&] { CheckTemperature(d.ReadActualTemperature()); },
      [&] { CheckTemperature(d.ReadBoxTemperature()); },
      [&] { CheckTemperature(d.ReadAmbientTemperature()); },
      [&] {
        const float v = d.ReadChannel7();
        if (v != -9999.0f && (v < 0.0f || v > 65535.0f)) std::abort();
      },
      [&] {
        const float e = d.PollEmissivity();
        if (!(e >= 0.0f && e <= 65.535f)) std::abort();
      },
      [&] { (void)d.ReadEmissivitySwitches(); },
      [&] {
        const int serial = d.ReadSerialNumber();
        if (serial < -1 || serial > 0xFFFFFF) std::abort();
      },
      [&] {
        const float e = d.ReadEmissivity();
        if (e != -1.0f && !(e >= 0.0f && e <= 65.535f)) std::abort();
      },
      [&] { (void)d.GetLaserState(); },
      [&] { d.SetEmissivity(0.95f); },
      [&] {
        const int b = d.WriteMemoryByte(0x0261, 0x80);
        if (b < -1 || b > 255) std::abort();
      },
      [&] { d.Identify(); },
      [&] { (void)d.ReadConfigurationImage(); },
      [&] { (void)d.ReadCalibrationImage(); },
      [&] { (void)d.ReadVectorImage(); },
      [&] { d.ReadAllImages(); },
  };
  for (std::uint8_t op : ops) {
    operations[op % operations.size()]();
    QCoreApplication::processEvents();
  }
  // What the driver derives from the replies stays usable.
  (void)d.GetOutputModeMask();
  (void)d.IsHighResolution();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Environment env;
  if (size == 0) return 0;
  const bool second = (data[0] & 0x80) != 0;
  const std::size_t opCount = std::min<std::size_t>(1 + data[0] % 8, size - 1);
  const std::span<const std::uint8_t> ops(data + 1, opCount);
  // A fresh connection per input: opening clears the line and the images.
  // The lines forget what they recorded of the previous input.
  for (FakeSerialLine* line : {env.line1.get(), env.line2.get()}) {
    line->ClearCalls();
    line->ClearWritten();
  }
  env.script.Set(nullptr, 0);
  if (second) {
    if (!env.gen2->OpenPort()) std::abort();
  } else {
    if (!env.gen1->OpenPort()) std::abort();
  }
  env.script.Set(data + 1 + opCount, size - 1 - opCount);
  if (second)
    RunSecondGeneration(*env.gen2, ops);
  else
    RunFirstGeneration(*env.gen1, ops);
  return 0;
}
