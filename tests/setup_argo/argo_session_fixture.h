#pragma once

// The single-colour emulator on a pseudo-terminal behind a device session
// (ArgoFamily), connected, with the request log cleared: the dialogs run
// their device work on it as they do in the program.

#include <gtest/gtest.h>

#include <memory>

#include "measurement/argo_family.h"
#include "setup_argo/argo_setup_session.h"
#include "tests/drivers/fixtures/argo_pty_fixture.h"

namespace argotest {

class ArgoSessionTest : public ArgoPtyTest {
 protected:
  // Starts the emulator with `change` applied to its state and connects.
  void StartSession(const std::function<void(ArgoDeviceState&)>& change = {},
                    const QString& profile = QStringLiteral("argo-current")) {
    StartDevice(profile);
    if (change) SetState(change);
    family_ = std::make_unique<ArgoFamily>();
    bool opened = false;
    family_->Open(kComPort, BaudIndex(model_->Options().baudRate), 0, [&](bool ok) { opened = ok; });
    RunOnSession([](TpyreonArgo& d) { d.GetTemperatureUnit(); });
    ASSERT_TRUE(opened);
    ASSERT_TRUE(family_->Snapshot().Connected);
    model_->ClearRequests();
  }
  // Reads the whole device, as the setup dialogs' openers do, and binds a
  // setup session to it.
  void ReadAllAndOpenSetup() {
    bool read = false;
    RunOnSession([&](TpyreonArgo& d) { read = d.ReadAllParameters(false); });
    ASSERT_TRUE(read);
    setup_ = std::make_unique<ArgoSetupSession>(*family_);
  }
  void TearDown() override {
    setup_.reset();
    family_.reset();
    ArgoPtyTest::TearDown();
  }
  // Runs `job` on the session and waits for it.
  void RunOnSession(std::function<void(TpyreonArgo&)> job) {
    bool done = false;
    family_->PostDriverJob(std::move(job), [&](bool) { done = true; });
    ASSERT_TRUE(WaitForEvents([&] { return done; }, 10000));
  }
  bool WaitIdle() {
    return WaitForEvents([&] { return !family_->Busy(); }, 10000);
  }

  std::unique_ptr<ArgoFamily> family_;
  std::unique_ptr<ArgoSetupSession> setup_;
};

}  // namespace argotest
