#pragma once

#include <QString>
#include <QStringList>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QWidget;
class RadioGroup;
class TDSpinEdit;

// Controls created under the names the language file and the code look
// them up by (the object name), with the settings the setup forms give them.
namespace NamedWidgets {

QLabel* Label(QWidget* parent, const char* name, const QString& text);
// A spin edit with its change Tag, limits, increment and decimals.
TDSpinEdit* Spin(QWidget* parent, const char* name, int tag, double min, double max, double increment,
                 int decimals);
QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items = {});
RadioGroup* Radio(QWidget* parent, const char* name, const QString& caption, const QStringList& items,
                  int columns = 1);
QGroupBox* Group(QWidget* parent, const char* name, const QString& caption);
QPushButton* Button(QWidget* parent, const char* name, const QString& caption);

}  // namespace NamedWidgets
