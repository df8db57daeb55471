#pragma once

#include <QLineEdit>
#include <QString>
#include <cstdint>
#include <functional>

class QToolButton;

// A single-line edit for a floating-point number with an up/down button pair
// at its right edge.
//
// `Value` is read from and written to the text: writing clamps the value to
// MinValue..MaxValue (no limits at all when the two are equal) and shows it in
// fixed format with `Decimal` decimals and the program's decimal separator;
// reading accepts '.' or ',' and gives MinValue when the text is not a number,
// so reading never fails. Forms that must not act on such text use TryValue.
//
// Typing is filtered per character (digits, signs, the decimal separator,
// control keys); with EditorEnabled false the text cannot be typed, pasted,
// cut, dropped or deleted, while the buttons and the arrow keys still step.
// Leaving the edit re-writes an out-of-range value, clamped.
class TDSpinEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit TDSpinEdit(QWidget* parent = nullptr);
  ~TDSpinEdit() override;

  // Fired on every change of the text, also when code sets Value.
  std::function<void(QObject* sender)> OnChange;
  std::function<void(QObject* sender)> OnEnter;
  std::function<void(QObject* sender)> OnExit;

  double Value() const;
  void SetValue(double value);
  // The text as a number; false (value untouched) when it is not one.
  bool TryValue(double& value) const;

  double MinValue() const { return minValue_; }
  void SetMinValue(double value) { minValue_ = value; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double value) { maxValue_ = value; }
  double Increment() const { return increment_; }
  void SetIncrement(double value) { increment_ = value; }
  std::uint8_t Decimal() const { return decimal_; }
  void SetDecimal(std::uint8_t value) { decimal_ = value; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool value) { editorEnabled_ = value; }
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool value) { autoSelect_ = value; }
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }
  QString Hint() const { return toolTip(); }
  void SetHint(const QString& value) { setToolTip(value); }

  double CheckValue(double value) const;
  virtual bool AcceptsChar(QChar key) const;
  virtual void StepUp();
  virtual void StepDown();

  QToolButton* UpButton() const { return upButton_; }
  QToolButton* DownButton() const { return downButton_; }

  QSize minimumSizeHint() const override;

 protected:
  // The system beep for refused input; virtual so tests can count it.
  virtual void Beep();

  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;

 private:
  bool TextChangesAllowed() const { return editorEnabled_ && !isReadOnly(); }
  void PlaceButtons();
  int MinimumHeight() const;

  QToolButton* upButton_ = nullptr;
  QToolButton* downButton_ = nullptr;
  double minValue_ = 0.0;
  double maxValue_ = 0.0;
  double increment_ = 1.0;
  std::uint8_t decimal_ = 2;
  bool editorEnabled_ = true;
  bool autoSelect_ = true;
  int tag_ = 0;
};
