// The display program's pieces that need no window: its command line, the
// text of a value word, the fitting of the window to its text.

#include <gtest/gtest.h>

#include <QSize>

#include "glowreadout/display_value_text.h"
#include "glowreadout/glow_command_line.h"
#include "glowreadout/text_fit.h"

namespace {

QStringList Args(std::initializer_list<const char*> a) {
  QStringList out;
  for (const char* s : a) out << QString::fromUtf8(s);
  return out;
}

}  // namespace

TEST(GlowCommandLine, Switches) {
  // What the main program sends for a double-clicked panel.
  const TGlowCommandLine c(Args({"/x", "/name=T 2C", "/Appname=Therma Sentinel 1.0", "/pos=812,430,200,100",
                                 "/color=16711680", "/cross=-1,-1,0", "/transparent", "/contrast"}));
  EXPECT_EQ(c.Bounds(), QRect(812, 430, 200, 100));
  EXPECT_TRUE(c.HasName());
  EXPECT_EQ(c.Name(), "T 2C");  // whole, blanks and case kept
  EXPECT_EQ(c.AppName(), "Therma Sentinel 1.0");
  EXPECT_EQ(c.Color(), 0xFF0000u);
  EXPECT_TRUE(c.Transparent());
  EXPECT_TRUE(c.Contrast());
  EXPECT_FALSE(c.Border());
  EXPECT_EQ(c.CrossX(), -1);
  EXPECT_EQ(c.CrossY(), -1);
  EXPECT_EQ(c.CrossShown(), 0);
  EXPECT_EQ(c.DecimalSeparator(), QLatin1Char('.'));
  EXPECT_EQ(c.ParamLog(),
            "/X#/NAME=T 2C#/APPNAME=THERMA SENTINEL 1.0#/POS=812,430,200,100#/COLOR=16711680#/CROSS=-1,-1,0#"
            "/TRANSPARENT#/CONTRAST#");
}

TEST(GlowCommandLine, ValuesAndTheirFaults) {
  struct Case {
    const char* arg;
    QRect bounds;
    std::uint32_t color;
    int crossX, crossY, crossShown;
    char16_t separator;
  };
  const QRect d = TGlowCommandLine::kDesignBounds;
  const std::uint32_t g = TGlowCommandLine::kDefaultColor;
  const Case cases[] = {
      {"/POS=10,20,300,100", {10, 20, 300, 100}, g, 0, 0, 0, u'.'},
      {"/pos=10,20,300,100", {10, 20, 300, 100}, g, 0, 0, 0, u'.'},
      {"/POS=-10,-20,300,100", {-10, -20, 300, 100}, g, 0, 0, 0, u'.'},  // left of the primary screen
      {"/POS=10,20,x,100", d, g, 0, 0, 0, u'.'},
      {"/POS=10,20,300", d, g, 0, 0, 0, u'.'},
      {"/POS=10,20,300,100,5", d, g, 0, 0, 0, u'.'},
      {"/POS=10,20,-300,0", {10, 20, 1, 1}, g, 0, 0, 0, u'.'},
      {"/POS=10,20,99999999,100", {10, 20, TGlowCommandLine::kMaxWindowSize, 100}, g, 0, 0, 0, u'.'},
      {"/COLOR=255", d, 0xFFu, 0, 0, 0, u'.'},
      {"/COLOR=red", d, g, 0, 0, 0, u'.'},
      {"/COLOR=-1", d, 0xFFFFFFu, 0, 0, 0, u'.'},
      {"/CROSS=-1,-1,1", d, g, -1, -1, 1, u'.'},
      {"/CROSS=100,-5,257 ", d, g, 100, -5, 1, u'.'},  // blanks on the last number, low 8 bits
      {"/CROSS=1,2", d, g, 0, 0, 0, u'.'},
      {"/CROSS=1,y,1", d, g, 0, 0, 0, u'.'},
      {"/DS=44", d, g, 0, 0, 0, u','},
      {"/DS=x", d, g, 0, 0, 0, u'.'},
      {"/DS=0", d, g, 0, 0, 0, u'.'},
      {"/DS=10", d, g, 0, 0, 0, u'.'},
      {"/DS=70000", d, g, 0, 0, 0, u'.'},
  };
  for (const Case& c : cases) {
    const TGlowCommandLine l(Args({c.arg}));
    EXPECT_EQ(l.Bounds(), c.bounds) << c.arg;
    EXPECT_EQ(l.Color(), c.color) << c.arg;
    EXPECT_EQ(l.CrossX(), c.crossX) << c.arg;
    EXPECT_EQ(l.CrossY(), c.crossY) << c.arg;
    EXPECT_EQ(l.CrossShown(), c.crossShown) << c.arg;
    EXPECT_EQ(l.DecimalSeparator(), QChar(c.separator)) << c.arg;
  }
  // A later switch wins; flags are prefixes; unknown switches do nothing.
  const TGlowCommandLine l(
      Args({"/pos=1,2,3,4", "/POS=5,6,70,80", "/TRANSPARENTX", "/border", "/Q", "/NAME="}));
  EXPECT_EQ(l.Bounds(), QRect(5, 6, 70, 80));
  EXPECT_TRUE(l.Transparent());
  EXPECT_TRUE(l.Border());
  EXPECT_TRUE(l.HasName());
  EXPECT_EQ(l.Name(), "");
  EXPECT_FALSE(TGlowCommandLine(Args({"/x"})).HasName());
}

TEST(DisplayValueText, EveryFlag) {
  struct Case {
    std::uint32_t wParam;
    char16_t separator;
    const char* text;
  };
  const Case cases[] = {
      {10000, u'.', "900.0\u00B0C"},
      {1250, u'.', "25.0\u00B0C"},
      {0, u'.', "-100.0\u00B0C"},
      {(0x03u << 16) | 10000u, u'.', "32.00\u00B0F"},
      {(0x01u << 16) | 12500u, u'.', "25.00\u00B0C"},
      {(0x02u << 16) | 1250u, u'.', "77.0\u00B0F"},
      {(0x04u << 16) | 1234u, u'.', "1234.0mV"},
      {(0x08u << 16) | 2500u, u'.', "2.5V"},
      {(0x0Cu << 16) | 2500u, u'.', "2500.0mV"},  // mV is tested first
      {(0x10u << 16) | 1000u, u'.', "0.0%"},
      {(0x12u << 16) | 1955u, u'.', "95.5%"},  // no Fahrenheit for a percentage
      {(0x20u << 16) | 1234u, u'.', "1.234"},
      {(0x30u << 16) | 1234u, u'.', "23.4%"},
      {1234, u',', "23,4\u00B0C"},
      {(0xC0u << 16) | 1234u, u'.', "23.4\u00B0C"},  // flag bits beyond 0x3F are not looked at
      {0xFF000000u | 1234u, u'.', "23.4\u00B0C"},    // nor bits 24-31
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DisplayValueText::Decode(c.wParam, QChar(c.separator)), QString::fromUtf8(c.text)) << c.wParam;
  }
}

TEST(TextFit, FontAndWindowFollowTheMeasurer) {
  // A measurer whose sample is 10 pixels wide and 2 high per point.
  const auto measure = [](int size) { return QSize(size * 10, size * 2); };
  struct Case {
    int width, height;
    TextFit::TFit fit;
  };
  const Case cases[] = {
      // Width limits (310 > 300 at 31): size 30, 300 x 60; the window is
      // not wider than text + 10, so only its height shrinks to text + 10.
      {305, 145, {30, 305 + 30, 60 + 10}},
      {300, 400, {29, 300 + 30, 58 + 10}},
      // Height limits (36 > 35 at 18): size 17, 170 x 34; the width shrinks
      // to text + 10, the height stays.
      {1000, 40, {17, 170 + 10 + 30, 40}},
      // Too small for size 8: size 7, enlarged to the text plus 7.
      {30, 10, {7, 70 + 7 + 30, 14 + 7}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextFit::FitToWindow(c.width, c.height, measure), c.fit) << c.width << "x" << c.height;
  }
  // A huge window does not make the search run away.
  const TextFit::TFit huge = TextFit::FitToWindow(1 << 30, 1 << 30, measure);
  EXPECT_EQ(huge.FontSize, TextFit::kMaxFontSize - 1);
}

TEST(TextFit, WindowStaysOnTheDesktop) {
  const QRect desktop(0, 0, 1920, 1080);
  struct Case {
    QRect frame;
    QPoint at;
  };
  const Case cases[] = {
      {{100, 100, 300, 100}, {100, 100}},
      {{1800, 100, 300, 100}, {1620, 100}},
      {{-50, -20, 300, 100}, {0, 0}},
      {{100, 1050, 300, 100}, {100, 980}},
  };
  for (const Case& c : cases) EXPECT_EQ(TextFit::KeepOnDesktop(c.frame, desktop), c.at) << c.frame.x();
  // Left of the primary screen on a second monitor is still the desktop.
  EXPECT_EQ(TextFit::KeepOnDesktop({-1500, 10, 300, 100}, QRect(-1920, 0, 3840, 1080)), QPoint(-1500, 10));
}
