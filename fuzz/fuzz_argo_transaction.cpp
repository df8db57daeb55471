// Runs exchanges of the single-colour driver against a fake serial line.
// The device emulator answers each request; the input then replaces the
// answer's bytes (one byte of the input says how: keep, overwrite or mix),
// so the driver sees replies of the right length with any content. Whatever
// comes back, the driver must neither crash nor hang, and its cached record
// must stay usable.
//
// Replies keep their length, so no exchange runs into its time-out: the
// time-out paths are covered by the device tests, and the target stays fast.
// The emulator answers on the writing thread and the reply is in the input
// queue when the write returns, so the driver's pauses are skipped: an
// exchange costs no thread hand-off, no poll and no sleep.
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "drivers/argo/pyreon_argo.h"
#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "tools/devsim/argo_model.h"

namespace {

// The input of one run, consumed reply by reply.
class ReplyScript {
 public:
  void Set(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    data_.assign(data, data + size);
    pos_ = 0;
  }
  // Changes the emulator's `reply` as the next bytes of the input say.
  void Apply(std::vector<std::uint8_t>& reply) {
    std::lock_guard lock(mutex_);
    if (pos_ >= data_.size()) return;
    const std::uint8_t how = data_[pos_];
    ++pos_;
    for (std::uint8_t& b : reply) {
      if (how % 3 == 0 || pos_ >= data_.size()) break;
      b = how % 3 == 1 ? data_[pos_] : static_cast<std::uint8_t>(b ^ data_[pos_]);
      ++pos_;
    }
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint8_t> data_;
  std::size_t pos_ = 0;
};

// Hands the emulator's answers, changed by the script, to the fake line.
class ScriptedLink : public DeviceLink {
 public:
  ScriptedLink(FakeSerialLine& line, ReplyScript& script) : line_(line), script_(script) {}
  void Send(std::span<const std::uint8_t> bytes) override {
    std::vector<std::uint8_t> reply(bytes.begin(), bytes.end());
    script_.Apply(reply);
    line_.Inject(reply);
  }
  std::size_t PendingOutput() const override { return 0; }
  void DiscardOutput() override {}
  void Vanish() override {}

 private:
  FakeSerialLine& line_;
  ReplyScript& script_;
};

struct Environment {
  Environment() {
    static int argc = 1;
    static char name[] = "fuzz_argo_transaction";
    static char* argv[] = {name, nullptr};
    const QString folder =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    const QString ports = folder + QStringLiteral("/fuzz_argo_transaction_") + QString::number(::getpid()) +
                          QStringLiteral(".ini");
    {
      QFile f(ports);
      if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
      f.write("[Ports]\r\nCOM7=fake:argo\r\n");
    }
    qputenv("THERMASENTINEL_PORTS", QFile::encodeName(ports));
    app = new QCoreApplication(argc, argv);
    line = FakeSerialLine::Create();
    // The emulator's answer is in the input queue when the write returns:
    // no exchange waits for a thread hand-off or a poll.
    line->SetImmediateInput(true);
    link = std::make_unique<ScriptedLink>(*line, script);
    line->SetResponder([this](FakeSerialLine&, std::span<const std::uint8_t> written) {
      std::lock_guard lock(modelMutex);
      model.OnReceived(written, *link);
    });
    FakeSerialDevice::Register(QStringLiteral("fake:argo"), line);
    driver = new TpyreonArgo;
    driver->SetComPort(7);
    driver->SetLogFile(qEnvironmentVariableIsSet("FUZZ_ARGO_LOG"));
    driver->OnMessage = [](QObject*, const QString&) {};
    driver->SetPauseForTesting([](int) {});
    if (!driver->OpenPort()) std::abort();
  }
  QCoreApplication* app = nullptr;
  std::shared_ptr<FakeSerialLine> line;
  TpyreonArgo* driver = nullptr;
  ReplyScript script;
  std::mutex modelMutex;
  ArgoModel model;
  std::unique_ptr<ScriptedLink> link;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Environment env;
  if (size == 0) return 0;
  TpyreonArgo& d = *env.driver;
  // The first bytes choose the operations, the rest are the replies.
  const std::size_t opCount = std::min<std::size_t>(1 + data[0] % 6, size - 1);
  env.script.Set(data + 1 + opCount, size - 1 - opCount);
  const std::array<std::function<void()>, 16> operations = {
      [&] { (void)d.GetFirmwareRevision(); },    [&] { (void)d.GetModelInfo(); },
      [&] { (void)d.ReadObjectTemperature(); },  [&] { (void)d.ReadActualTemperature(); },
      [&] { (void)d.GetEmissivity(); },          [&] { d.SetEmissivity(0.95f); },
      [&] { (void)d.GetAverageTime(); },         [&] { d.SetAverageTime(1.5f); },
      [&] { (void)d.GetTemperatureUnit(); },     [&] { (void)d.GetAlarm1(); },
      [&] { (void)d.GetPeakHoldTime(); },        [&] { (void)d.GetMaterialTable(); },
      [&] { (void)d.GetHeadCodeShort(); },       [&] { (void)d.GetAlarmMode(1); },
      [&] { (void)d.GetVisualAlarmSettings(); }, [&] { (void)d.ReadAllParameters(false); },
  };
  env.line->ClearCalls();
  env.line->ClearWritten();
  for (std::size_t i = 0; i < opCount; ++i) {
    operations[data[1 + i] % operations.size()]();
    QCoreApplication::processEvents();
  }
  const TArgoModelInfo& model = d.CurrentModelInfo();
  if (model.ModelStr.size() > 12 || model.HeadCodeSize > 2) std::abort();
  if (!std::isfinite(d.DecodeTimeValue(std::array<std::uint8_t, 2>{0xFF, 0xFF}, 0))) std::abort();
  return 0;
}
