#pragma once

#include <QPoint>
#include <QString>

// The arithmetic of the output slope editor, free of widgets: the line
// through the low and the high point, its texts, the output range of an
// output mode, the diagram's axis bounds and grid steps, hit testing and
// the snapping of dragged points.
class SlopeMath {
 public:
  // Output range and unit texts of one analog output mode.
  struct TOutputRange {
    double low = 0.0;
    double high = 10.0;
    QString unit;           // "V" or "mA"
    QString smallUnit;      // "mV" or "µA"
    bool analog = true;     // false for the thermocouple modes (and unknown ones)
    int slopeDecimals = 3;  // of the slope text, in small units per degree
  };
  // The common output modes by their codes: 0 0..10 V, 1 0..5 V, 2 0..20 mA,
  // 3 4..20 mA; 4 and above are not analog and keep the 0..10 V range for
  // the axis.
  static TOutputRange OutputRange(int mode);

  // The line through (loT, loOut) and (hiT, hiOut), temperatures in the
  // display unit. When it cannot be computed (equal temperatures, equal
  // outputs, values that are not finite) the line is the fallback slope
  // 0.02 with offset 0 and `valid` is false.
  struct TLine {
    double slope = 0.02;
    double offset = 0.0;
    bool valid = false;
  };
  static TLine Line(double loT, double loOut, double hiT, double hiOut);

  struct TTextInput {
    double loT = 0.0;  // display unit (or percent)
    double hiT = 0.0;
    double loOut = 0.0;
    double hiOut = 0.0;
    double tempMin = 0.0;  // degrees Celsius (percent in the percent mode)
    double tempMax = 0.0;
    bool fahrenheit = false;
    bool percent = false;  // ratio firmware with process source 2
    TOutputRange range;
  };
  struct TTexts {
    QString slope;
    QString offset;
    QString limitsLo1;
    QString limitsHi1;
    QString limitsLo2;
    QString limitsHi2;
    TLine line;
  };
  // Limit texts show "---" when the line has no valid slope.
  static TTexts Texts(const TTextInput& in);
  // The temperature unit text of the slope text and the unit labels.
  static QString TemperatureUnit(bool fahrenheit, bool percent);

  // Temperature axis: from the lower limit rounded down to a multiple of 10
  // to the upper limit rounded up to a multiple of 10, plus 10. The axis is
  // never empty.
  struct TAxis {
    double start = 0.0;
    double end = 10.0;
    double Span() const { return end - start; }
  };
  static TAxis TemperatureAxis(double lowLimit, double highLimit);
  // Output axis over the mode's range (never empty).
  static TAxis OutputAxis(const TOutputRange& range);

  // Pixel geometry of the diagram: origin (x0, y0) at the bottom left,
  // the axes' ends at x1 and y1. Pixel extents below one count as one.
  struct TLayout {
    int x0 = 0;
    int y0 = 100;
    int x1 = 100;
    int y1 = 5;
    TAxis temperature;
    TAxis output;
    double XScale() const;  // pixels per degree
    double YScale() const;  // pixels per output unit, negative (up is more)
    QPoint ToPixel(double t, double v) const;
    double TemperatureAt(int x) const;
    double OutputAt(int y) const;
  };

  // Grid step of the output axis for `labels` labels that fit: 0.5, 1 or 2.
  static double OutputGridStep(int labels, double span);
  // Grid step of the temperature axis: the first of 5, 10, 20, 50, 100, 200
  // not below span / labels, else 500.
  static double TemperatureGridStep(int labels, double span);

  // A point is under the cursor when both distances are below 4 pixels.
  static bool Hit(QPoint point, QPoint cursor);

  // Raster 0 leaves the value alone. Temperature rasters are in degrees,
  // output rasters in tenths of the output unit.
  static double SnapTemperature(double t, int raster);
  static double SnapOutput(double v, int raster);
};
