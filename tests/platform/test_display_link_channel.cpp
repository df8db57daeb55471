// Both ends of a display connection over a real local socket: order, a
// broken frame, a peer that stops reading, a peer that leaves.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <vector>

#include "platform/display_link_channel.h"
#include "platform/display_link_protocol.h"
#include "tests/support/wait_for.h"

using namespace DisplayLink;

using test_support::WaitForEvents;

namespace {


// A connected pair: `main` on the server side, the raw client socket on the
// other (wrapped in a channel on demand).
class ChannelPair : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_TRUE(server_.listen(dir_.filePath(QStringLiteral("link"))));
    client_ = new QLocalSocket;
    client_->connectToServer(server_.fullServerName());
    ASSERT_TRUE(WaitForEvents([&] { return server_.hasPendingConnections(); }, 10000));
    main_ = std::make_unique<TDisplayLinkChannel>(server_.nextPendingConnection());
    main_->OnMessage = [this](const TLinkMessage& m) { mainGot_.push_back(m); };
    main_->OnDropped = [this](bool malformed) { mainDropped_ = malformed ? 2 : 1; };
    ASSERT_TRUE(WaitForEvents([&] { return client_->state() == QLocalSocket::ConnectedState; }, 10000));
  }
  void TearDown() override {
    display_.reset();
    main_.reset();
  }
  void WrapClient() {
    display_ = std::make_unique<TDisplayLinkChannel>(client_);
    display_->OnMessage = [this](const TLinkMessage& m) { displayGot_.push_back(m); };
    display_->OnDropped = [this](bool) { displayDropped_ = true; };
  }

  QTemporaryDir dir_;
  QLocalServer server_;
  QLocalSocket* client_ = nullptr;  // owned by display_ once wrapped
  std::unique_ptr<TDisplayLinkChannel> main_;
  std::unique_ptr<TDisplayLinkChannel> display_;
  std::vector<TLinkMessage> mainGot_, displayGot_;
  int mainDropped_ = 0;  // 1 closed, 2 malformed
  bool displayDropped_ = false;
};

}  // namespace

TEST_F(ChannelPair, MessagesArriveInOrderBothWays) {
  WrapClient();
  for (std::uint32_t v = 0; v < 2000; ++v) ASSERT_TRUE(main_->Send(Message(MsgDisplayValue, v, 0)));
  main_->Send(CopyData(7, kTextValue, QStringLiteral("12,5")));
  display_->Send(Message(MsgDisplayReport, 9, EncodeReport(ReportCode::CrossY, -5)));
  ASSERT_TRUE(WaitForEvents([&] { return displayGot_.size() == 2001 && mainGot_.size() == 1; }, 10000));
  for (std::uint32_t v = 0; v < 2000; ++v) ASSERT_EQ(displayGot_[v].WParam, v);
  EXPECT_EQ(displayGot_.back().Data, "12,5");
  EXPECT_EQ(DecodeReport(mainGot_[0].LParam), (TReport{ReportCode::CrossY, -5}));
}

// A broken frame drops the connection; the frames before it count.
TEST_F(ChannelPair, MalformedFrameDropsTheConnection) {
  client_->write(EncodeFrame(Message(MsgShowMainApp, 0, 0)));
  client_->write(QByteArray("\x05\x00\x00\x00xxxxx", 9));
  client_->flush();
  ASSERT_TRUE(WaitForEvents([&] { return mainDropped_ != 0; }, 10000));
  EXPECT_EQ(mainDropped_, 2);
  ASSERT_EQ(mainGot_.size(), 1u);
  EXPECT_EQ(mainGot_[0].Msg, MsgShowMainApp);
  EXPECT_FALSE(main_->Connected());
  EXPECT_FALSE(main_->Send(Message(MsgDisplayValue, 1, 0)));
  delete client_;
}

// A peer that leaves is a dropped connection, after its last frames.
TEST_F(ChannelPair, LeavingPeerDeliversItsLastWords) {
  client_->write(EncodeFrame(Message(MsgDisplayReport, 9, EncodeReport(ReportCode::Closed, 0))));
  client_->flush();
  client_->disconnectFromServer();
  ASSERT_TRUE(WaitForEvents([&] { return mainDropped_ != 0; }, 10000));
  EXPECT_EQ(mainDropped_, 1);
  ASSERT_EQ(mainGot_.size(), 1u);
  EXPECT_EQ(DecodeReport(mainGot_[0].LParam).Code, ReportCode::Closed);
  delete client_;
}

// A display that stops reading never makes the main program wait or grow
// without bound: values beyond the backlog are left out, other messages
// are kept.
TEST_F(ChannelPair, PeerThatDoesNotReadBoundsTheBacklog) {
  int refused = 0;
  QElapsedTimer t;
  t.start();
  for (std::uint32_t v = 0; v < 200000; ++v) {
    if (!main_->Send(Message(MsgDisplayValue, v, 0))) ++refused;
  }
  EXPECT_LT(t.elapsed(), 5000);
  EXPECT_GT(refused, 0);
  EXPECT_TRUE(main_->Send(Message(MsgDisplayClose, 0, 0)));
  delete client_;
}
