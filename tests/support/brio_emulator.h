#pragma once

// An emulated Brio device served in process on a fake serial line (which
// carries DTR and parity, as the Brio family needs) under "COM<port>", for
// tests that drive a family or the main window against it.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "platform/fake_serial_device.h"
#include "platform/fake_serial_line.h"
#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/fake_line_server.h"

namespace test_support {

class BrioEmulator {
 public:
  ~BrioEmulator() { Stop(); }

  // Serves profile `name` of `generation` on COM`port`, listed in a ports
  // file in `dir` that THERMASENTINEL_PORTS names. False when the profile
  // does not exist or the file cannot be written.
  bool Start(int generation, const QString& name, const QString& dir, int port = 9,
             BrioOptions options = {}) {
    const auto profile = BrioProfiles::Find(generation, name);
    return profile && Start(*profile, dir, port, options);
  }
  // The same for a profile of the test's own (e.g. with chosen flash
  // contents, see BrioProfiles::SetConfiguration).
  bool Start(const BrioProfile& profile, const QString& dir, int port = 9, BrioOptions options = {}) {
    profile_ = profile;
    if (profile.generation == 1)
      model_ = std::make_shared<BrioGen1Model>(profile, options);
    else
      model_ = std::make_shared<BrioGen2Model>(profile, options);
    line_ = FakeSerialLine::Create();
    lineName_ = QStringLiteral("brio-emulator-") + profile.name;
    FakeSerialDevice::Register(lineName_, line_);
    server_ = std::make_unique<FakeLineServer>(model_, line_);
    server_->Start();
    QFile f(dir + QStringLiteral("/ports.ini"));
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write("[Ports]\r\nCOM" + QByteArray::number(port) + "=" + lineName_.toUtf8() + "\r\n");
    f.close();
    qputenv("THERMASENTINEL_PORTS", f.fileName().toUtf8());
    return true;
  }

  void Stop() {
    if (server_) server_->Stop();
    server_.reset();
    if (!lineName_.isEmpty()) FakeSerialDevice::Unregister(lineName_);
    lineName_.clear();
  }

  // The device disappears from the line (an unplugged adapter).
  void Vanish() {
    if (server_) server_->Vanish();
  }

  BrioDeviceModel& Model() const { return *model_; }
  // The model as its generation (null for the other one).
  BrioGen1Model* Gen1() const { return dynamic_cast<BrioGen1Model*>(model_.get()); }
  BrioGen2Model* Gen2() const { return dynamic_cast<BrioGen2Model*>(model_.get()); }
  // The line the device is served on (valid after Start).
  FakeSerialLine& Line() const { return *line_; }
  const BrioProfile& Profile() const { return profile_; }

 private:
  BrioProfile profile_;
  std::shared_ptr<BrioDeviceModel> model_;
  std::shared_ptr<FakeSerialLine> line_;
  std::unique_ptr<FakeLineServer> server_;
  QString lineName_;
};

}  // namespace test_support
