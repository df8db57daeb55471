// ThermaSentinel measures the emulated single-colour device and restores a
// saved external display; on the X server's screen the display shows the
// emulated object temperature in large digits.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "glowreadout/display_value_text.h"
#include "glowreadout/text_fit.h"
#include "glowreadout/value_painter.h"
#include "measurement/display_record.h"
#include "measurement/display_value_encoding.h"
#include "tests/e2e/test_first_program_support.h"

using namespace first_program;

namespace {

// A private X server for one test; skipped when there is none to start.
class XServer {
 public:
  bool Start(QString* why) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
      *why = QStringLiteral("Xvfb is not installed (scripts/install-deps.sh installs it)");
      return false;
    }
    // -displayfd: the server picks a free display and writes its number.
    process_.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                          QStringLiteral("0"), QStringLiteral("1600x1200x24"), QStringLiteral("-dpi"),
                          QStringLiteral("96"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!process_.waitForStarted(10000)) {
      *why = QStringLiteral("Xvfb does not start: ") + process_.errorString();
      return false;
    }
    QByteArray out;
    const bool ready = WaitUntil(
        [&] {
          process_.waitForReadyRead(100);
          out += process_.readAllStandardOutput();
          return out.contains('\n') || process_.state() != QProcess::Running;
        },
        15000);
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!ready || !ok) {
      *why =
          QStringLiteral("Xvfb did not come up: ") + QString::fromLocal8Bit(process_.readAllStandardError());
      return false;
    }
    display_ = QStringLiteral(":%1").arg(number);
    return true;
  }
  ~XServer() {
    if (process_.state() != QProcess::NotRunning) {
      process_.terminate();
      if (!process_.waitForFinished(5000)) process_.kill();
      process_.waitForFinished(5000);
    }
  }
  const QString& Display() const { return display_; }

  // The whole screen now, or a null image.
  QImage Grab(const QString& file) const {
    QProcess grab;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    grab.setProcessEnvironment(env);
    grab.start(QStringLiteral(TS_BINARY_DIR "/tools/screengrab/thermasentinel-screengrab"), {file});
    if (!grab.waitForFinished(15000) || grab.exitCode() != 0) return QImage();
    return QImage(file).convertToFormat(QImage::Format_RGB32);
  }

 private:
  QProcess process_;
  QString display_;
};

// The share of pixels of `a` that differ clearly from `b` at `at`.
double Difference(const QImage& screen, const QPoint& at, const QImage& expected) {
  if (screen.isNull()) return 1.0;
  int differing = 0;
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      const QPoint p = at + QPoint(x, y);
      if (!screen.rect().contains(p)) {
        ++differing;
        continue;
      }
      const QColor s = screen.pixelColor(p);
      const QColor e = expected.pixelColor(x, y);
      if (std::abs(s.red() - e.red()) > 64 || std::abs(s.green() - e.green()) > 64 ||
          std::abs(s.blue() - e.blue()) > 64)
        ++differing;
    }
  }
  return static_cast<double>(differing) / (expected.width() * expected.height());
}

// What a display started with a 300 x 100 window shows for `text`: the
// window fitted to its font, the text in black on white.
QImage ExpectedDisplay(const QString& text) {
  const auto measure = [](int size) {
    const QFontMetrics fm(ValuePainter::DisplayFont(size));
    return QSize(fm.horizontalAdvance(QString::fromUtf16(TextFit::kSampleText)), fm.height());
  };
  const TextFit::TFit fit = TextFit::FitToWindow(300, 100, measure);
  ValuePainter::TStyle style;
  style.Font = ValuePainter::DisplayFont(fit.FontSize);
  style.Color = Qt::black;
  return ValuePainter::Render(QSize(fit.ClientWidth, fit.ClientHeight), text, style);
}

}  // namespace

TEST(DisplayOnScreen, RestoredDisplayShowsTheEmulatedTemperature) {
  XServer x;
  QString why;
  if (!x.Start(&why)) GTEST_SKIP() << why.toStdString();

  TDisplayRecord display;
  display.Kind = 1;  // the object temperature
  display.Window = 12345;
  display.Name = QStringLiteral("T Obj");
  display.Left = 1200;
  display.Top = 900;
  display.Width = 300;
  display.Height = 100;
  display.Colour = 0;
  ProgramRun run;
  run.WriteSettings(
      DeviceSettings(5, QStringLiteral("[Main]\nPosLeft=10\nPosTop=10\nPosRight=900\nPosBottom=700\n"
                                       "[GlowReadout]\ncount=1\n0=") +
                            display.ToLine() + QStringLiteral("\n")));
  run.StartDevice(5, {QStringLiteral("--no-ramp")});
  run.StartProgram({}, {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb")},
                        {QStringLiteral("DISPLAY"), x.Display()}});

  // The panel's value, as the main window shows it.
  double celsius = 0.0;
  const QRegularExpression number(QStringLiteral("-?\\d+[.,]\\d+"));
  ASSERT_TRUE(run.WaitForReport(
      [&](const auto& r) {
        const QRegularExpressionMatch m = number.match(r.value(QStringLiteral("lblTObj")));
        if (r.value(QStringLiteral("State")) != QStringLiteral("7") || !m.hasMatch()) return false;
        celsius = m.captured().replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
        return true;
      },
      30000))
      << run.Output().toStdString();
  const TDisplayValueMessage message =
      DisplayValueEncoding::Encode(1, static_cast<float>(celsius), TDisplayValueContext{});
  const QString text = DisplayValueText::Decode(message.WParam, QLatin1Char('.'));
  const QImage expected = ExpectedDisplay(text);
  // A text one digit off must not pass for it.
  QString wrong = text;
  wrong[0] = wrong[0] == QLatin1Char('1') ? QLatin1Char('7') : QLatin1Char('1');
  const QImage wrongImage = ExpectedDisplay(wrong);

  const QString shot = run.Path(QStringLiteral("screen.png"));
  QImage screen;
  double best = 1.0;
  const bool seen = WaitUntil(
      [&] {
        screen = x.Grab(shot);
        best = Difference(screen, QPoint(display.Left, display.Top), expected);
        return best < 0.01;
      },
      30000);
  // TS_KEEP_SCREENSHOT=<file.png> keeps the screen, the expected display and
  // the part of the screen compared with it.
  if (qEnvironmentVariableIsSet("TS_KEEP_SCREENSHOT")) {
    screen.save(qEnvironmentVariable("TS_KEEP_SCREENSHOT"));
    expected.save(qEnvironmentVariable("TS_KEEP_SCREENSHOT") + QStringLiteral(".expected.png"));
    screen.copy(QRect(QPoint(display.Left, display.Top), expected.size()))
        .save(qEnvironmentVariable("TS_KEEP_SCREENSHOT") + QStringLiteral(".seen.png"));
  }
  EXPECT_TRUE(seen) << "the display does not show \"" << text.toStdString() << "\" (" << best * 100
                    << "% of its pixels differ; screenshot " << shot.toStdString() << ")";
  EXPECT_GT(Difference(screen, QPoint(display.Left, display.Top), wrongImage), 0.01);

  ASSERT_TRUE(run.Terminate()) << run.Output().toStdString();
  // The display list is saved with the display's new window id.
  const QMap<QString, QString> saved = ReadKeyValues(run.SettingsPath());
  EXPECT_EQ(saved.value(QStringLiteral("count")), QStringLiteral("1"));
}
