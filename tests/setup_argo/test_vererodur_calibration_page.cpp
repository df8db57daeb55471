// The calibration page of the ratio setup dialog as a widget, on its own:
// its buttons, edits and grid against the emulated ratio device, the
// messages it shows, where it puts the focus and what it sends.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTableView>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

#include "drivers/argo/pyreon_argo.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_argo/ratio_calibration_model.h"
#include "setup_argo/vererodur_calibration_page.h"
#include "tests/setup_argo/argo_session_fixture.h"
#include "tests/support/wait_for.h"
#include "ui/caption_panel.h"

namespace argotest {
namespace {

using Model = RatioCalibrationModel;
using Outcome = ArgoSetupSession::TOutcome;
using Bytes = std::vector<std::uint8_t>;
using test_support::WaitForEvents;

const QString kConversionError = QStringLiteral("Conversion error !");
const QString kArithmeticError = QStringLiteral("arithmetic error !");

// A click as the user makes it (press and release on the control).
void Click(QWidget* w, std::optional<QPointF> point = std::nullopt) {
  const QPointF at = point.value_or(QPointF(w->width() / 2.0, w->height() / 2.0));
  QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}

// The page with its message and question hooks recorded.
struct PageProbe {
  TVererodurCalibrationPage page;
  QStringList messages;
  QStringList questions;
  bool answer = true;
  int started = 0;
  std::vector<Outcome> finished;
  std::vector<Outcome> factoryLoaded;

  PageProbe() {
    page.Confirm = [this](const QString& q) {
      questions << q;
      return answer;
    };
    page.ShowMessage = [this](const QString& m) { messages << m; };
    QObject::connect(&page, &TVererodurCalibrationPage::deviceWorkStarted, [this] { ++started; });
    QObject::connect(&page, &TVererodurCalibrationPage::deviceWorkFinished,
                     [this](const Outcome& o) { finished.push_back(o); });
    QObject::connect(&page, &TVererodurCalibrationPage::factoryValuesLoaded,
                     [this](const Outcome& o) { factoryLoaded.push_back(o); });
    page.SetFirmware(5016);
    page.resize(900, 500);
    page.show();
    page.activateWindow();
  }
  QString Value(int row) const { return const_cast<TVererodurCalibrationPage&>(page).Model().Value(row); }
  bool HasFocus(QWidget* w) const {
    return WaitForEvents([w] { return w->hasFocus(); }, 2000);
  }
};

// The two-point calculation through the page: the edits and the grid in,
// the grid's offset and gain (or a message and the focus) out.
TEST(VererodurCalibrationPage, TwoPointCalculationFromTheEdits) {
  struct Case {
    const char* name;
    bool quotient;
    bool fahrenheit;
    const char* actual1;
    const char* actual2;
    const char* nominal1;
    const char* nominal2;
    const char* offset;
    const char* gain;
    QString message;  // empty: calculated
    int focus;        // the edit that takes the focus (RatioCalibrationMath::Field), -1 none
    const char* newOffset;
    const char* newGain;
  };
  const Case cases[] = {
      {"offset of 10 K", false, false, "700", "1390", "710", "1400", "0", "1.0", {}, -1, "160", "1.0000"},
      {"quotient channel", true, false, "700", "1390", "710", "1400", "0", "1.0", {}, -1, "160", "1.0000"},
      {"entries in °F", false, true, "1292", "2534", "1310", "2552", "0", "1.0", {}, -1, "160", "1.0000"},
      {"equal actual values", false, false, "900", "900", "710", "1400", "0", "1.0", kArithmeticError, -1, "",
       ""},
      {"zero gain", false, false, "700", "1390", "710", "1400", "0", "0", kArithmeticError, -1, "", ""},
      {"non-finite raw values", true, false, "700", "1390", "710", "1400", "0", "1e-45", kArithmeticError, -1,
       "", ""},
      {"offset beyond 16 bits", false, false, "700", "1390", "710", "1400", "32700", "1.0", kArithmeticError,
       -1, "", ""},
      {"gain beyond its register", false, false, "700", "710", "700", "1400", "0", "1.0", kArithmeticError,
       -1, "", ""},
      {"actual value 2 not a number", false, false, "700", "abc", "710", "1400", "0", "1.0", kConversionError,
       RatioCalibrationMath::Actual2, "", ""},
      {"empty nominal value 1", true, false, "700", "1390", "", "1400", "0", "1.0", kConversionError,
       RatioCalibrationMath::Nominal1, "", ""},
      {"grid gain not a number", false, false, "700", "1390", "710", "1400", "0", "x", kConversionError, -1,
       "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageProbe p;
    TVererodurCalibrationPage& page = p.page;
    page.Lock(false);
    page.SetFahrenheit(c.fahrenheit);
    const auto channel = c.quotient ? Model::Channel::Quotient : Model::Channel::OneColour;
    const int offsetRow = Model::OffsetRow(channel), gainRow = Model::GainRow(channel);
    const int otherOffsetRow =
        Model::OffsetRow(c.quotient ? Model::Channel::OneColour : Model::Channel::Quotient);
    page.Model().SetValue(offsetRow, QString::fromUtf8(c.offset));
    page.Model().SetValue(gainRow, QString::fromUtf8(c.gain));
    page.Model().SetValue(otherOffsetRow, QStringLiteral("7"));
    QLineEdit* edits[] = {c.quotient ? page.eIst2C1 : page.eIst1C1, c.quotient ? page.eIst2C2 : page.eIst1C2,
                          c.quotient ? page.eSoll2C1 : page.eSoll1C1,
                          c.quotient ? page.eSoll2C2 : page.eSoll1C2};
    edits[0]->setText(QString::fromUtf8(c.actual1));
    edits[1]->setText(QString::fromUtf8(c.actual2));
    edits[2]->setText(QString::fromUtf8(c.nominal1));
    edits[3]->setText(QString::fromUtf8(c.nominal2));
    (c.quotient ? page.btnCalc2C : page.btnCalc1C)->click();

    if (c.message.isEmpty()) {
      EXPECT_TRUE(p.messages.isEmpty()) << p.messages.join(QStringLiteral(" | ")).toStdString();
      EXPECT_EQ(p.Value(offsetRow), QString::fromUtf8(c.newOffset));
      EXPECT_EQ(p.Value(gainRow), QString::fromUtf8(c.newGain));
    } else {
      EXPECT_EQ(p.messages, QStringList{c.message});
      EXPECT_EQ(p.Value(offsetRow), QString::fromUtf8(c.offset));
      EXPECT_EQ(p.Value(gainRow), QString::fromUtf8(c.gain));
    }
    if (c.focus >= 0) {
      EXPECT_TRUE(p.HasFocus(edits[c.focus]));
    }
    EXPECT_EQ(p.Value(otherOffsetRow), QStringLiteral("7"));
    EXPECT_TRUE((c.quotient ? page.btnCalc2C : page.btnCalc1C)->isEnabled());
  }
}

// A click on a live temperature fills the actual value nearer to it.
TEST(VererodurCalibrationPage, LiveValueIsCopiedIntoTheNearerActualValue) {
  PageProbe p;
  TVererodurCalibrationPage& page = p.page;
  page.Lock(false);
  page.SetLiveTexts(QStringLiteral("1395"), QStringLiteral("720,5"));
  Click(page.p1CtempCali);
  EXPECT_EQ(page.eIst1C2->text(), QStringLiteral("1395"));
  EXPECT_EQ(page.eIst1C1->text(), QString());
  Click(page.p2CtempCali);
  EXPECT_EQ(page.eIst2C1->text(), QStringLiteral("720,5"));
  EXPECT_TRUE(p.messages.isEmpty());

  // A failed live read is not copied; a nominal value that is not a number
  // takes the focus.
  page.SetLiveTexts(QStringLiteral("-9999.0"), QStringLiteral("800"));
  Click(page.p1CtempCali);
  EXPECT_EQ(page.eIst1C2->text(), QStringLiteral("1395"));
  EXPECT_TRUE(p.messages.isEmpty());
  page.eSoll2C2->setText(QStringLiteral("x"));
  Click(page.p2CtempCali);
  EXPECT_EQ(p.messages, QStringList{kConversionError});
  EXPECT_TRUE(p.HasFocus(page.eSoll2C2));
  EXPECT_EQ(page.eIst2C1->text(), QStringLiteral("720,5"));

  // Locked, a click copies nothing.
  page.Lock(true);
  page.SetLiveTexts(QStringLiteral("700"), QStringLiteral("700"));
  Click(page.p1CtempCali);
  EXPECT_EQ(page.eIst1C1->text(), QString());
}

TEST(VererodurCalibrationPage, FirmwareDecidesBetweenGroupAndUpdatePanel) {
  PageProbe p;
  TVererodurCalibrationPage& page = p.page;
  EXPECT_EQ(
      page.pnlFWrev->Caption(),
      QStringLiteral("Argo Firmware revision must be >= 5016 ! Please update your device for calibration."));
  EXPECT_TRUE(page.gbRatioCali->isVisibleTo(&page));
  EXPECT_FALSE(page.pnlFWrev->isVisibleTo(&page));
  page.SetFirmware(5015);
  EXPECT_FALSE(page.gbRatioCali->isVisibleTo(&page));
  EXPECT_TRUE(page.pnlFWrev->isVisibleTo(&page));
  // Locked at creation: every row "0", nothing to edit or write.
  for (int row = 0; row < Model::RowCount; ++row) EXPECT_EQ(p.Value(row), QStringLiteral("0"));
  EXPECT_FALSE(page.vleRatioCali->isEnabled());
  EXPECT_FALSE(page.gb1Ccali->isEnabled());
  EXPECT_FALSE(page.btnWriteCali->isEnabled());
  EXPECT_FALSE(page.btnFactDefault->isVisibleTo(&page));
  EXPECT_EQ(page.eSoll1C1->text(), QStringLiteral("710"));
  EXPECT_EQ(page.eSoll2C2->text(), QStringLiteral("1400"));
}

class VererodurCalibrationPageTest : public ArgoSessionTest {
 protected:
  static constexpr int kSettleMs = 20;

  void Open(int settleMs = kSettleMs) {
    StartSession({}, QStringLiteral("ratio"));
    bool read = false;
    RunOnSession([&](TpyreonArgo& d) {
      read = d.ReadAllParameters(false);
      cache_ = d.Config();
    });
    ASSERT_TRUE(read);
    setup_ = std::make_unique<ArgoSetupSession>(*family_);
    probe_ = std::make_unique<PageProbe>();
    page().Bind(setup_.get(), nullptr, settleMs);
    page().SetFirmware(cache_.FWrev);
    page().SetCache(cache_);
    model_->ClearRequests();
  }
  void TearDown() override {
    probe_.reset();
    setup_.reset();
    ArgoSessionTest::TearDown();
  }
  TVererodurCalibrationPage& page() { return probe_->page; }
  bool WaitDone() {
    return WaitForEvents([&] { return !page().Busy() && !setup_->Busy(); }, 30000);
  }
  // Read with the question answered OK.
  void ReadFactory() {
    probe_->answer = true;
    page().btnReadCali->click();
    ASSERT_TRUE(WaitDone());
    ASSERT_FALSE(page().Locked());
    model_->ClearRequests();
    probe_->messages.clear();
  }

  TArgoConfig cache_;
  std::unique_ptr<ArgoSetupSession> setup_;
  std::unique_ptr<PageProbe> probe_;
};

TEST_F(VererodurCalibrationPageTest, ReadAnsweredNoSendsNothing) {
  Open();
  probe_->answer = false;
  page().btnReadCali->click();
  EXPECT_EQ(probe_->questions,
            QStringList{QStringLiteral("For calibration it`s necessary to set factory default values !\r"
                                       "Are you sure ?")});
  EXPECT_FALSE(page().Busy());
  EXPECT_EQ(probe_->started, 0);
  WaitForEvents([] { return false; }, 100);
  EXPECT_EQ(model_->RequestCount(), 0u);
  EXPECT_TRUE(page().Locked());
  EXPECT_FALSE(page().btnWriteCali->isEnabled());
}

// The question before the factory values are set has Cancel as its default:
// Return answers it with Cancel, and nothing is sent.
TEST_F(VererodurCalibrationPageTest, ReadQuestionDefaultsToCancel) {
  Open();
  page().Confirm = nullptr;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    answer.stop();
    defaultButton = box->standardButton(box->defaultButton());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(box, &press);
  });
  answer.start(10);
  page().btnReadCali->click();
  EXPECT_EQ(defaultButton, QMessageBox::Cancel);
  EXPECT_FALSE(page().Busy());
  EXPECT_EQ(probe_->started, 0);
  WaitForEvents([] { return false; }, 100);
  EXPECT_EQ(model_->RequestCount(), 0u);
  EXPECT_TRUE(page().Locked());
}

// Cancelled while it lets the device settle, Read sends nothing and the
// grid stays locked.
TEST_F(VererodurCalibrationPageTest, ReadCancelledBeforeTheResetSendsNothing) {
  Open(10000);
  page().btnReadCali->click();
  EXPECT_TRUE(page().Busy());
  EXPECT_FALSE(page().btnReadCali->isEnabled());
  page().CancelRunning();
  ASSERT_TRUE(WaitDone());
  EXPECT_EQ(model_->RequestCount(), 0u);
  EXPECT_TRUE(page().Locked());
  EXPECT_EQ(probe_->started, 1);
  EXPECT_EQ(probe_->finished.size(), 1u);
  EXPECT_TRUE(probe_->factoryLoaded.empty());
  EXPECT_TRUE(page().btnReadCali->isEnabled());
}

// Read restores the factory values, reads them back, hands them to the
// dialog and opens the grid with them; "Save as factory default" makes the
// present values the ones the next Read restores.
TEST_F(VererodurCalibrationPageTest, ReadUnlocksWithFactoryValuesAndStoreKeepsThem) {
  Open();
  SetState([](ArgoDeviceState& s) {
    s.addTop = 0x0100;
    s.itemNumber = 77;
  });
  page().btnReadCali->click();
  EXPECT_TRUE(page().Busy());
  ASSERT_TRUE(WaitDone());
  ASSERT_FALSE(RequestBytes().empty());
  EXPECT_EQ(RequestBytes().front(), (Bytes{0x65, 0x01, 0x7F, 0x91, 0x8A}));
  EXPECT_EQ(probe_->started, 1);
  ASSERT_EQ(probe_->finished.size(), 1u);
  ASSERT_EQ(probe_->factoryLoaded.size(), 1u);
  EXPECT_EQ(probe_->factoryLoaded[0].config.AddTop, 18);  // the profile's factory 0x0012
  EXPECT_EQ(probe_->factoryLoaded[0].config.ItemNumber, 4711002u);
  EXPECT_FALSE(page().Locked());
  EXPECT_TRUE(page().vleRatioCali->isEnabled());
  EXPECT_TRUE(page().gb1Ccali->isEnabled());
  EXPECT_TRUE(page().gb2Ccali->isEnabled());
  EXPECT_TRUE(page().btnWriteCali->isEnabled());
  EXPECT_TRUE(page().btnSetFactDefault->isEnabled());
  EXPECT_EQ(probe_->Value(Model::AddTop), QStringLiteral("18"));
  EXPECT_EQ(probe_->Value(Model::ItemNumber), QStringLiteral("4711002"));
  EXPECT_EQ(probe_->Value(Model::MbEnd), QStringLiteral("3000.0"));
  EXPECT_TRUE(probe_->messages.isEmpty());

  SetState([](ArgoDeviceState& s) { s.fibreLength = 1234; });
  model_->ClearRequests();
  page().btnSetFactDefault->click();
  ASSERT_TRUE(WaitDone());
  EXPECT_EQ(RequestBytes(), (std::vector<Bytes>{{0x65, 0x01, 0x7F, 0x97, 0x8C}}));
  SetState([](ArgoDeviceState& s) { s.fibreLength = 1; });
  ReadFactory();
  EXPECT_EQ(probe_->Value(Model::LwlLength), QStringLiteral("1234"));
  EXPECT_EQ(probe_->started, 3);
  EXPECT_EQ(probe_->finished.size(), 3u);
}

// Write sends the grid in its fixed order, takes the full unsigned 32-bit
// range, and the grid shows the device's values afterwards.
TEST_F(VererodurCalibrationPageTest, WriteSendsTheGridInItsOrder) {
  Open();
  ReadFactory();
  Model& grid = page().Model();
  ASSERT_TRUE(grid.setData(grid.index(Model::ItemNumber, Model::ValueColumn), QStringLiteral("4294967295")));
  grid.SetValue(Model::SerialNumber, QStringLiteral("4294967295"));
  grid.SetValue(Model::AddTop, QStringLiteral("-32768"));
  grid.SetValue(Model::MbEnd, QStringLiteral("2400,5"));
  grid.SetValue(Model::MulQuot, QStringLiteral("1.5"));
  page().btnWriteCali->click();
  EXPECT_TRUE(page().Busy());
  EXPECT_TRUE(page().Locked());
  ASSERT_TRUE(WaitDone());
  EXPECT_TRUE(probe_->messages.isEmpty()) << probe_->messages.join(QStringLiteral(" | ")).toStdString();
  EXPECT_EQ(RequestNames(),
            (std::vector<QString>{"SetMBRange", "SetLWLParameter", "SetItemNumber", "SetRatioSerialNumber",
                                  "SetAddTop", "SetMulTop", "SetAddQuot", "SetMulQuot", "SetDeflection1",
                                  "SetDeflection2"}));
  const ArgoDeviceState s = State();
  EXPECT_EQ(s.itemNumber, 4294967295u);
  EXPECT_EQ(s.ratioSerial, 4294967295u);
  EXPECT_EQ(s.addTop, 0x8000);
  EXPECT_EQ(s.mulQuot, 6144);
  EXPECT_EQ(probe_->Value(Model::MbEnd), QStringLiteral("2400.5"));
  EXPECT_EQ(probe_->Value(Model::MulQuot), QStringLiteral("1.5000"));
  EXPECT_FALSE(page().Locked());
  EXPECT_TRUE(page().btnWriteCali->isEnabled());
  // Reset takes the channel back to what the device holds.
  grid.SetValue(Model::AddTop, QStringLiteral("5"));
  page().btnReset1C->click();
  EXPECT_EQ(probe_->Value(Model::AddTop), QStringLiteral("-32768"));
}

// A value its register cannot hold is refused before anything is sent: the
// grid stays open with the cursor on it, the device keeps its values.
TEST_F(VererodurCalibrationPageTest, WriteRefusesValuesBeyondTheirRegisters) {
  Open();
  ReadFactory();
  const ArgoDeviceState before = State();
  struct Case {
    int row;
    const char* text;
  };
  const Case cases[] = {
      {Model::LwlDiameter, "70000"}, {Model::AddTop, "32768"},          {Model::AddQuot, "-32769"},
      {Model::MulTop, "abc"},        {Model::ItemNumber, "4294967296"}, {Model::MbEnd, "500"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    page().Model().Fill(page().Cache());
    page().Model().SetValue(Model::Deflection2, QStringLiteral("1.25"));  // a valid change after it
    page().Model().SetValue(c.row, QString::fromLatin1(c.text));
    probe_->messages.clear();
    page().btnWriteCali->click();
    EXPECT_FALSE(page().Busy());
    EXPECT_EQ(probe_->messages, QStringList{kConversionError});
    EXPECT_EQ(page().vleRatioCali->currentIndex().row(), c.row);
    EXPECT_FALSE(page().Locked());
    EXPECT_TRUE(page().btnWriteCali->isEnabled());
  }
  WaitForEvents([] { return false; }, 100);
  EXPECT_EQ(model_->RequestCount(), 0u);
  EXPECT_EQ(State(), before);
}

// The device going silent halfway through Write: the message names what
// was written and what was not; the grid keeps the typed values, locked,
// and Write can send them again.
TEST_F(VererodurCalibrationPageTest, DeviceSilentDuringWriteSaysWhatWasWritten) {
  Open();
  ReadFactory();
  page().Model().SetValue(Model::MulTop, QStringLiteral("1.25"));
  SetFaults([](ArgoFaults& f) { f.vanishAfterRequests = 6; });
  page().btnWriteCali->click();
  ASSERT_TRUE(WaitDone());
  ASSERT_EQ(probe_->messages.size(), 1);
  EXPECT_EQ(
      probe_->messages[0],
      QStringLiteral("The device stopped confirming. Written: r_MB_anf, r_MB_end, r_LWL_dia, r_LWL_len, "
                     "r_ItemNumber, r_SerialNumber, r_addTop. Not written: r_mulTop, r_addQuot, "
                     "r_mulQuot, r_deflection1, r_deflection2."));
  EXPECT_TRUE(page().Locked());
  EXPECT_EQ(probe_->Value(Model::MulTop), QStringLiteral("1.25"));
  EXPECT_TRUE(page().btnWriteCali->isEnabled());
  EXPECT_FALSE(page().btnSetFactDefault->isEnabled());
  EXPECT_TRUE(probe_->finished.back().report.DeviceLost);
}

// A page change locks everything until the next Read; a click on the open
// "1C Cali" group refills the grid from the cache without the question.
TEST_F(VererodurCalibrationPageTest, LockHoldsUntilTheNextRead) {
  Open();
  ReadFactory();
  page().Model().SetValue(Model::AddTop, QStringLiteral("99"));
  Click(page().lblIst1C1);  // passed on to the group, but not on the group's own area
  EXPECT_FALSE(page().Busy());
  EXPECT_EQ(probe_->Value(Model::AddTop), QStringLiteral("99"));
  // Within the frame, below the buttons: the group's own area.
  const auto groupArea = [this] {
    return QPointF(page().gb1Ccali->width() - 4, page().gb1Ccali->height() - 4);
  };
  Click(page().gb1Ccali, groupArea());
  ASSERT_TRUE(WaitDone());
  EXPECT_TRUE(probe_->questions.size() == 1u);  // the one of ReadFactory
  EXPECT_EQ(model_->RequestCount(), 0u);
  EXPECT_EQ(probe_->Value(Model::AddTop), QStringLiteral("18"));
  EXPECT_FALSE(page().Locked());

  page().Lock(true);
  for (QWidget* w : std::initializer_list<QWidget*>{page().vleRatioCali, page().gb1Ccali, page().gb2Ccali,
                                                    page().btnWriteCali, page().btnSetFactDefault})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(page().btnReadCali->isEnabled());
  Model& grid = page().Model();
  EXPECT_FALSE(grid.setData(grid.index(Model::AddTop, Model::ValueColumn), QStringLiteral("1")));
  page().btnWriteCaliClick();
  page().btnSetFactDefaultClick();
  page().btnCalc1CClick();
  Click(page().gb1Ccali, groupArea());
  EXPECT_FALSE(page().Busy());
  EXPECT_EQ(probe_->Value(Model::AddTop), QStringLiteral("18"));
  EXPECT_TRUE(probe_->messages.isEmpty());
  WaitForEvents([] { return false; }, 100);
  EXPECT_EQ(model_->RequestCount(), 0u);
  ReadFactory();
  EXPECT_TRUE(page().btnWriteCali->isEnabled());
}

}  // namespace
}  // namespace argotest
