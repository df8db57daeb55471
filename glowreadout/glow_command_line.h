#pragma once

#include <QChar>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>

// The command line of GlowReadout. Every parameter is upper-cased and
// compared with each switch (a switch matches when the parameter begins
// with it); values are taken from the parameter as given, after its first
// '='. Unknown parameters ("/x") are ignored; a later parameter overrides an
// earlier one.
//
//   "/POS=l,t,w,h"   window bounds; all four or none (sizes kept within
//                    1..kMaxWindowSize)
//   "/NAME=text"     window caption, the whole rest of the parameter
//   "/APPNAME=text"  the main program's caption (for the hint)
//   "/COLOR=n"       display colour 0x00BBGGRR (low 24 bits); malformed: ignored
//   "/TRANSPARENT"   transparent window
//   "/CONTRAST"      contrast outline
//   "/BORDER"        sizeable frame
//   "/CROSS=x,y,s"   cross position and shown flag (low 8 bits); all or none
//   "/DS=n"          decimal separator character code; malformed or not a
//                    printable character: '.'
class TGlowCommandLine {
 public:
  TGlowCommandLine() = default;
  // `parameters` without the program path.
  explicit TGlowCommandLine(const QStringList& parameters);

  // Window bounds before fitting (design bounds unless "/POS=" was valid).
  QRect Bounds() const { return bounds_; }
  bool HasName() const { return hasName_; }
  const QString& Name() const { return name_; }
  const QString& AppName() const { return appName_; }
  // 0x00BBGGRR.
  std::uint32_t Color() const { return color_; }
  bool Transparent() const { return transparent_; }
  bool Contrast() const { return contrast_; }
  bool Border() const { return border_; }
  int CrossX() const { return crossX_; }
  int CrossY() const { return crossY_; }
  std::uint8_t CrossShown() const { return crossShown_; }
  QChar DecimalSeparator() const { return decimalSeparator_; }
  // Every parameter upper-cased, each followed by '#'.
  const QString& ParamLog() const { return paramLog_; }

  static constexpr QRect kDesignBounds{357, 110, 809, 469};
  static constexpr int kMaxWindowSize = 16384;
  // The colour of a display started without "/COLOR=" (lime, as the
  // design-time circle shows it).
  static constexpr std::uint32_t kDefaultColor = 0x0000FF00;

 private:
  void ApplyPosSwitch(const QString& value);
  void ApplyColorSwitch(const QString& value);
  void ApplyCrossSwitch(const QString& value);
  void ApplyDecimalSeparatorSwitch(const QString& value);

  QRect bounds_ = kDesignBounds;
  bool hasName_ = false;
  QString name_;
  QString appName_;
  std::uint32_t color_ = kDefaultColor;
  bool transparent_ = false;
  bool contrast_ = false;
  bool border_ = false;
  int crossX_ = 0;
  int crossY_ = 0;
  std::uint8_t crossShown_ = 0;
  QChar decimalSeparator_ = QLatin1Char('.');
  QString paramLog_;
};
