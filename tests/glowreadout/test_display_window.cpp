// The display window and the aiming cross: messages in, reports out,
// drawing into the bitmap, the popup commands.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFont>
#include <QMenu>
#include <QMouseEvent>
#include <QThread>
#include <vector>

#include "glowreadout/f_aiming_cross.h"
#include "glowreadout/f_main.h"
#include "glowreadout/grip_image.h"
#include "glowreadout/value_painter.h"
#include "platform/display_link_protocol.h"

using namespace DisplayLink;

namespace {

constexpr std::uint32_t kMain = 4711;

QStringList Args(std::initializer_list<const char*> a) {
  QStringList out;
  for (const char* s : a) out << QString::fromUtf8(s);
  return out;
}

// A display window whose messages to the main program are recorded.
struct TestDisplay {
  explicit TestDisplay(const QStringList& args = Args({"/pos=10,20,300,100", "/color=255"})) : w(args) {
    w.OnSend = [this](const TLinkMessage& m) { sent.push_back(m); };
  }
  std::vector<TReport> Reports() const {
    std::vector<TReport> out;
    for (const TLinkMessage& m : sent) {
      if (m.Msg == MsgDisplayReport) out.push_back(DecodeReport(m.LParam));
    }
    return out;
  }
  void Own() { w.HandleMessage(Message(MsgDisplayOwner, kMain, 0)); }
  TfMain w;
  std::vector<TLinkMessage> sent;
};

bool HasPixel(const QImage& image, const QColor& color) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y).rgb() == color.rgb() && image.pixelColor(x, y).alpha() == 255) return true;
    }
  }
  return false;
}

void Pump(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
}

}  // namespace

TEST(ValuePainter, TextInTheCornerOnItsBackground) {
  ValuePainter::TStyle style;
  style.Font = QFont(QStringLiteral("Arial"), 30);
  style.Color = QColor(255, 0, 0);
  const QImage plain = ValuePainter::Render(QSize(200, 80), QStringLiteral("88.8"), style);
  EXPECT_EQ(plain.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_TRUE(HasPixel(plain, style.Color));
  EXPECT_FALSE(HasPixel(plain, Qt::black));
  // The text sits at the bottom right: the left quarter stays empty.
  EXPECT_FALSE(HasPixel(plain.copy(0, 0, 50, 80), style.Color));

  style.Contrast = true;
  EXPECT_TRUE(HasPixel(ValuePainter::Render(QSize(200, 80), QStringLiteral("88.8"), style), Qt::black));

  style.Transparent = true;
  const QImage clear = ValuePainter::Render(QSize(200, 80), QStringLiteral("88.8"), style);
  EXPECT_EQ(clear.pixelColor(0, 0).alpha(), 0);
  EXPECT_TRUE(HasPixel(clear, style.Color));

  style.TextVisible = false;
  const QImage hidden = ValuePainter::Render(QSize(200, 80), QStringLiteral("88.8"), style);
  EXPECT_FALSE(HasPixel(hidden, style.Color));
  EXPECT_FALSE(HasPixel(hidden, Qt::black));
}

TEST(AimingCross, PictureGeometry) {
  const QImage plain = TfAimingCross::CrossPicture(Qt::red, false);
  ASSERT_EQ(plain.size(), QSize(30, 30));
  EXPECT_EQ(plain.pixelColor(1, 14), QColor(Qt::red));     // left arm
  EXPECT_EQ(plain.pixelColor(27, 15), QColor(Qt::red));    // right arm
  EXPECT_EQ(plain.pixelColor(14, 1), QColor(Qt::red));     // top arm
  EXPECT_EQ(plain.pixelColor(15, 27), QColor(Qt::red));    // bottom arm
  EXPECT_EQ(plain.pixelColor(14, 14), QColor(Qt::white));  // open centre
  EXPECT_EQ(plain.pixelColor(0, 13), QColor(Qt::white));   // no outline
  EXPECT_EQ(plain.pixelColor(28, 15), QColor(Qt::white));  // right edge excluded
  const QImage outlined = TfAimingCross::CrossPicture(Qt::red, true);
  EXPECT_EQ(outlined.pixelColor(0, 13), QColor(Qt::black));
  EXPECT_EQ(outlined.pixelColor(1, 14), QColor(Qt::red));
  // A white cross is invisible but for its outline.
  const QImage white = TfAimingCross::CrossPicture(Qt::white, true);
  EXPECT_EQ(white.pixelColor(1, 14), QColor(Qt::white));
  EXPECT_EQ(white.pixelColor(0, 13), QColor(Qt::black));
}

TEST(GripImage, TintKeepsTheBackgroundWhite) {
  const QImage red = GripImage::Tint(Qt::red);
  EXPECT_EQ(red.pixelColor(0, 0), QColor(Qt::white));
  EXPECT_TRUE(HasPixel(red, Qt::red));
  // White would vanish: it becomes blue.
  EXPECT_TRUE(HasPixel(GripImage::Tint(Qt::white), QColor(0, 0, 255)));
}

// The owner first: before it, reports go nowhere and texts from anyone but
// sender 0 are ignored.
TEST(DisplayWindow, OwnerTextsAndSeparator) {
  TestDisplay d;
  d.w.FormResize();
  EXPECT_TRUE(d.sent.empty());
  d.w.HandleMessage(CopyData(kMain, 0, QStringLiteral("Rahmen")));
  EXPECT_EQ(d.w.PopupCaption(0), "Border");
  d.Own();
  d.w.FormResize();
  const std::vector<TReport> fit = d.Reports();
  ASSERT_EQ(fit.size(), 4u);
  EXPECT_EQ(fit[0].Code, ReportCode::Left);
  EXPECT_EQ(fit[1].Code, ReportCode::Top);
  EXPECT_EQ(fit[2].Code, ReportCode::Width);
  EXPECT_EQ(fit[3].Code, ReportCode::Height);
  EXPECT_EQ(fit[2].Value, d.w.width());
  EXPECT_EQ(fit[3].Value, d.w.height());

  d.w.HandleMessage(CopyData(kMain, 0, QStringLiteral("Rahmen")));
  d.w.HandleMessage(CopyData(kMain + 1, 1, QStringLiteral("Fremd")));  // another sender
  d.w.HandleMessage(CopyData(kMain, 11, QStringLiteral("x")));         // no such item
  d.w.HandleMessage(CopyData(kMain, 253, QStringLiteral("x")));
  d.w.HandleMessage(CopyData(kMain, 0xFFFFFFFFu, QStringLiteral("x")));
  d.w.HandleMessage(CopyData(kMain, 255, QString()));  // empty separator
  d.w.HandleMessage(CopyData(kMain, 255, QStringLiteral("\n")));
  EXPECT_EQ(d.w.PopupCaption(0), "Rahmen");
  EXPECT_EQ(d.w.PopupCaption(1), "Transparent");
  EXPECT_EQ(d.w.PopupCaption(5), "-");
  EXPECT_EQ(d.w.DecimalSeparator(), QLatin1Char('.'));

  d.w.HandleMessage(CopyData(kMain, 255, QStringLiteral(",")));
  d.w.WMDisplayValue(1234);
  EXPECT_EQ(d.w.Text(), QString::fromUtf8("23,4\u00B0C"));
  // A text to show stays until the next value.
  TLinkMessage t = CopyData(kMain, 254, QString());
  t.Data = QByteArray("12,5 bar\0garbage", 16);
  d.w.HandleMessage(t);
  EXPECT_EQ(d.w.Text(), "12,5 bar");
  d.w.WMDisplayValue(10000);
  EXPECT_EQ(d.w.Text(), QString::fromUtf8("900,0\u00B0C"));
}

// Values are drawn at once, but never more often than the bound, however
// fast they come; the newest one is drawn in the end.
TEST(DisplayWindow, RepaintRateIsBounded) {
  TestDisplay d;
  d.w.show();
  Pump(2 * TfMain::kRepaintIntervalMs);
  const int before = d.w.PaintCount();
  QElapsedTimer t;
  t.start();
  int sent = 0;
  std::uint32_t last = 0;
  while (t.elapsed() < 500) {
    last = 1000u + static_cast<std::uint32_t>(sent % 5000);
    d.w.WMDisplayValue(last);
    ++sent;
    QCoreApplication::processEvents();
  }
  Pump(2 * TfMain::kRepaintIntervalMs);
  const int paints = d.w.PaintCount() - before;
  EXPECT_GT(sent, 1000);
  EXPECT_LE(paints, 500 / TfMain::kRepaintIntervalMs + 3) << sent << " values";
  EXPECT_GE(paints, 2);
  EXPECT_EQ(d.w.Text(), QString::fromUtf8("%1\u00B0C").arg(QString::number(last / 10.0 - 100.0, 'f', 1)));
  d.w.close();
}

TEST(DisplayWindow, DrawsTheValueInItsColour) {
  TestDisplay d(Args({"/pos=10,20,300,100", "/color=255", "/contrast"}));
  d.w.show();
  d.w.WMDisplayValue(1250);
  d.w.ShowValueText();
  const QImage& img = d.w.Bitmap();
  ASSERT_EQ(img.size(), d.w.size());
  EXPECT_TRUE(HasPixel(img, QColor(255, 0, 0)));
  EXPECT_TRUE(HasPixel(img, Qt::black));  // contrast outline
  EXPECT_EQ(img.pixelColor(0, 0), QColor(Qt::white));
  d.w.close();
}

// "Exit (all)" says 254 and nothing after; "Remove Display" and the system
// close say 255; the main program's close request says nothing.
TEST(DisplayWindow, ClosingReports) {
  {
    TestDisplay d;
    d.Own();
    d.w.mExitClick();
    ASSERT_EQ(d.Reports().size(), 1u);
    EXPECT_EQ(d.Reports()[0], (TReport{ReportCode::ExitAll, 0}));
    EXPECT_EQ(d.sent[0].WParam, d.w.WindowId());
  }
  {
    TestDisplay d;
    d.Own();
    d.w.mRemoveDisplayClick();
    ASSERT_EQ(d.Reports().size(), 1u);
    EXPECT_EQ(d.Reports()[0], (TReport{ReportCode::Closed, 0}));
  }
  {
    TestDisplay d;
    d.Own();
    d.w.HandleMessage(Message(MsgDisplayClose, 0, 0));
    EXPECT_TRUE(d.sent.empty());
    EXPECT_EQ(d.w.MainHandle(), 0u);
  }
  {
    TestDisplay d;
    d.Own();
    d.w.LinkDropped();
    EXPECT_TRUE(d.sent.empty());
  }
}

TEST(DisplayWindow, PopupCommandsReport) {
  TestDisplay d(Args({"/pos=10,20,300,100", "/color=255", "/transparent"}));
  d.w.show();
  d.Own();
  d.sent.clear();

  d.w.mContrast->trigger();  // checks itself, then reports the style
  ASSERT_FALSE(d.Reports().empty());
  EXPECT_EQ(d.Reports().back(), (TReport{ReportCode::Style, kStyleTransparent | kStyleContrast}));

  d.sent.clear();
  d.w.mBorder->trigger();
  ASSERT_GE(d.sent.size(), 2u);
  EXPECT_EQ(d.sent[0].Msg, MsgDisplayHandle);
  EXPECT_EQ(d.sent[0].WParam, d.w.WindowId());
  EXPECT_EQ(static_cast<std::uint32_t>(d.sent[0].LParam), d.w.WindowId());
  EXPECT_EQ(d.Reports().back(),
            (TReport{ReportCode::Style, kStyleTransparent | kStyleBorder | kStyleContrast}));

  d.sent.clear();
  d.w.OnChooseColor = [](const QColor&) { return std::optional<QColor>(QColor(0x12, 0x34, 0x56)); };
  d.w.mColor->trigger();
  ASSERT_EQ(d.sent.size(), 1u);
  EXPECT_EQ(d.sent[0].Msg, MsgDisplayColor);
  EXPECT_EQ(d.sent[0].LParam, 0x563412);
  EXPECT_EQ(d.w.Shape1Brush(), QColor(0x12, 0x34, 0x56));
  d.sent.clear();
  d.w.OnChooseColor = [](const QColor&) { return std::optional<QColor>(); };
  d.w.mColor->trigger();
  EXPECT_TRUE(d.sent.empty());

  // The cross, never placed, appears below the display.
  d.w.mAimingcross->trigger();
  ASSERT_EQ(d.Reports().size(), 1u);
  EXPECT_EQ(d.Reports()[0], (TReport{ReportCode::CrossShown, 1}));
  EXPECT_TRUE(d.w.fAimingCross->isVisible());
  EXPECT_EQ(d.w.fAimingCross->Left(), d.w.x());
  EXPECT_EQ(d.w.fAimingCross->Top(), d.w.y() + d.w.frameGeometry().height() + 10);

  // Switching the frame re-creates the window, but the cross stays.
  d.w.mBorder->trigger();
  EXPECT_TRUE(d.w.mAimingcross->isChecked());
  EXPECT_TRUE(d.w.fAimingCross->isVisible());

  d.sent.clear();
  d.w.mShowmainapplication->trigger();
  ASSERT_EQ(d.sent.size(), 1u);
  EXPECT_EQ(d.sent[0].Msg, MsgShowMainApp);
  d.w.close();
}

// A cross shown from the command line with no position sits below the
// display; one with a position is placed there.
TEST(DisplayWindow, CrossFromTheCommandLine) {
  TestDisplay below(Args({"/pos=10,20,300,100", "/cross=-1,-1,1"}));
  below.w.show();
  EXPECT_TRUE(below.w.mAimingcross->isChecked());
  EXPECT_EQ(below.w.fAimingCross->Left(), below.w.x());
  TestDisplay placed(Args({"/pos=10,20,300,100", "/cross=400,300,1"}));
  placed.w.show();
  EXPECT_EQ(placed.w.fAimingCross->Left(), 400);
  EXPECT_EQ(placed.w.fAimingCross->Top(), 300);
  TestDisplay hidden(Args({"/pos=10,20,300,100", "/cross=400,300,0"}));
  hidden.w.show();
  EXPECT_FALSE(hidden.w.fAimingCross->isVisible());
  below.w.close();
  placed.w.close();
  hidden.w.close();
}

// The popup items in their order, with the captions they have until the
// main program sends its own.
TEST(DisplayWindow, PopupMenuOrder) {
  TestDisplay d;
  const QStringList names{"mBorder", "mTransparent",         "mColor", "mAimingcross",   "mContrast",
                          "m1",      "mShowmainapplication", "N1",     "mRemoveDisplay", "N2",
                          "mExit"};
  const QStringList captions{"Border",
                             "Transparent",
                             "Change color",
                             "Cross hairs",
                             "Use contrast color",
                             "-",
                             "Show main application",
                             "-",
                             "Remove Display",
                             "-",
                             "Exit (all)"};
  const QList<QAction*> items = d.w.PopupMenu1->actions();
  ASSERT_EQ(items.size(), 11);
  for (int i = 0; i < 11; ++i) {
    EXPECT_EQ(items[i]->objectName(), names[i]);
    EXPECT_EQ(d.w.PopupCaption(i), captions[i]);
  }
}

namespace {

void Mouse(QWidget* w, QEvent::Type type, const QPoint& global) {
  const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, QPointF(global - w->pos()), QPointF(global), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

}  // namespace

// Dragging the display reports its position on every move; dragging the
// cross reports where it was let go, also left of and above the screen,
// and leaves the display's text visible whatever the blink phase.
TEST(DisplayWindow, DragReportsSignedPositions) {
  TestDisplay d(Args({"/pos=100,100,300,100", "/cross=200,300,1"}));
  d.w.show();
  d.Own();
  d.sent.clear();
  Mouse(&d.w, QEvent::MouseButtonPress, QPoint(110, 110));
  Mouse(&d.w, QEvent::MouseMove, QPoint(60, 20));
  Mouse(&d.w, QEvent::MouseButtonRelease, QPoint(60, 20));
  std::vector<TReport> r = d.Reports();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], (TReport{ReportCode::Left, 50}));
  EXPECT_EQ(r[1], (TReport{ReportCode::Top, 10}));

  d.sent.clear();
  TfAimingCross* cross = d.w.fAimingCross;
  Mouse(cross, QEvent::MouseButtonPress, QPoint(205, 305));
  Mouse(cross, QEvent::MouseMove, QPoint(0, -10));
  EXPECT_TRUE(d.Reports().empty());  // nothing during the move
  d.w.SetTextVisible(false);         // as in a blink
  Mouse(cross, QEvent::MouseButtonRelease, QPoint(0, -10));
  r = d.Reports();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], (TReport{ReportCode::CrossX, -5}));
  EXPECT_EQ(r[1], (TReport{ReportCode::CrossY, -15}));
  EXPECT_TRUE(d.w.TextVisible());
  d.w.close();
}
