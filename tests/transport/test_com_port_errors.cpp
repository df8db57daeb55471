// Failures of the port: the line code and the errno behind it, the entries
// of the message table each operation reports, and failures logged while
// closing.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

#include "platform/logger.h"
#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport_test_support.h"

namespace {

using transport_test::FakeRig;

class ComPortErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    port.SetDeviceFactory(rig.Factory());
    port.SetPort(QStringLiteral("COM7"));
    port.SetEvents(TComEvents{});
  }

  FakeRig rig;
  TComPort port;
};

}  // namespace

TEST_F(ComPortErrors, TheErrnoOfAFailedOpenIsKeptAndShown) {
  struct Case {
    int err;
    int code;
  };
  const Case cases[] = {
      {EINVAL, SerialStatus::SystemFailure},  // was read as 22, "not responding or gone"
      {ENOTTY, SerialStatus::SystemFailure},
      {EBUSY, SerialStatus::AccessDenied},
      {ENOENT, SerialStatus::NotFound},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    const QString cause = QString::fromLocal8Bit(std::strerror(c.err));
    rig.line->SetOpenErrno(c.err);
    try {
      port.Open();
      ADD_FAILURE() << "the open did not fail";
    } catch (const EComPort& e) {
      EXPECT_EQ(e.ErrorNumber(), ComErrorNumber(CE_OpenFailed));
      EXPECT_EQ(e.WindowsError(), c.code);
      EXPECT_EQ(e.Errno(), c.err);
      EXPECT_EQ(e.Message(), QStringLiteral("Unable to open com port (Error: %1)").arg(c.code));
      EXPECT_TRUE(e.Details().contains(QStringLiteral("errno %1: ").arg(c.err) + cause))
          << e.Details().toStdString();
    }
    EXPECT_FALSE(port.Connected());

    QString shown;
    port.OnException = [&](QObject*, TComExceptions, const QString&, qint64, const QString& win) {
      shown = win;
    };
    port.Open();
    port.OnException = nullptr;
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(shown, SystemErrorText(c.code, c.err));
    EXPECT_TRUE(shown.contains(cause)) << shown.toStdString();
  }
  EXPECT_FALSE(SystemErrorText(SerialStatus::SystemFailure, EINVAL).contains(QStringLiteral("gone")));
  // A failure without a system call behind it shows no errno.
  rig.line->SetOpenResult(SerialStatus::AccessDenied);
  try {
    port.Open();
    ADD_FAILURE() << "the open did not fail";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Errno(), 0);
    EXPECT_FALSE(e.Details().contains(QStringLiteral("errno")));
  }
}

TEST_F(ComPortErrors, EachOperationOnAClosedPortReportsItsTableEntry) {
  struct Case {
    const char* name;
    std::function<void(TComPort&)> call;
    TComExceptions error;
    qint64 code;
  };
  std::uint8_t byte = 0;
  const Case cases[] = {
      {"InputCount", [](TComPort& p) { p.InputCount(); }, CE_ClearComFailed, SerialStatus::InvalidHandle},
      {"OutputCount", [](TComPort& p) { p.OutputCount(); }, CE_ClearComFailed, SerialStatus::InvalidHandle},
      {"CommErrors", [](TComPort& p) { p.CommErrors(); }, CE_ClearComFailed, SerialStatus::InvalidHandle},
      {"ModemSignals", [](TComPort& p) { p.ModemSignals(); }, CE_ModemStatFailed,
       SerialStatus::InvalidHandle},
      {"SetDTR", [](TComPort& p) { p.SetDTR(true); }, CE_EscapeComFailed, SerialStatus::InvalidHandle},
      {"ClearBuffer", [](TComPort& p) { p.ClearBuffer(true, true); }, CE_PurgeFailed,
       SerialStatus::InvalidHandle},
      {"AbortAllAsync", [](TComPort& p) { p.AbortAllAsync(); }, CE_PurgeFailed, SerialStatus::InvalidHandle},
      {"Write", [&byte](TComPort& p) { p.Write(&byte, 1); }, CEPortNotOpen, -1},
      {"Read", [&byte](TComPort& p) { p.Read(&byte, 1); }, CEPortNotOpen, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.call(port);
      ADD_FAILURE() << "nothing raised";
    } catch (const EComPort& e) {
      EXPECT_EQ(e.ErrorNumber(), ComErrorNumber(c.error));
      EXPECT_EQ(e.WindowsError(), c.code);
      EXPECT_EQ(e.Message().left(ComErrorText(ComErrorNumber(c.error)).size()),
                ComErrorText(ComErrorNumber(c.error)));
    }
  }
}

TEST_F(ComPortErrors, ClosingLogsEveryFailureAfterTheFirst) {
  port.Open();
  ASSERT_TRUE(port.Connected());
  rig.tap->failPurge = SerialStatus::BadCommand;
  int afterClose = 0;
  port.OnAfterClose = [&](QObject*) {
    ++afterClose;
    throw std::runtime_error("after-close handler");
  };
  Logger::Capture capture;
  try {
    port.Close();
    ADD_FAILURE() << "nothing raised";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.ErrorNumber(), ComErrorNumber(CE_PurgeFailed));  // the first one passes on
  }
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(afterClose, 1);
  EXPECT_TRUE(capture.Contains(QStringLiteral("COM7: closing: a further step failed: after-close handler")));
}
