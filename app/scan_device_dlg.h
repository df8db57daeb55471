#pragma once

#include <QDialog>
#include <QList>
#include <QRect>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "app/device_scan.h"
#include "measurement/channel_sample.h"

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class DeviceFamily;
class TDeviceChangeWatcher;
class TLngINISupp;
class TOptStringGrid;

// Device Selection: scans the serial ports for devices of both families
// (TDeviceScan), lists what it found with a live temperature preview (each
// row opens its device on a device thread of its own) and hands the chosen
// device back. Ports appearing or disappearing while it is open lead to one
// rescan 1500 ms after the last change.
class TScanDeviceDlg : public QDialog {
  Q_OBJECT

 public:
  explicit TScanDeviceDlg(QWidget* owner = nullptr);
  ~TScanDeviceDlg() override;

  // Set by the caller before ShowModal.
  std::uint8_t StoredDeviceType = 0;
  std::uint8_t DeviceType = 0;  // family to scan (0 all); after OK the device's type code
  int PreferredPort = 0;
  // The rate the preferred port is searched at first (0..4: 9600..115200);
  // the others follow in rising order. Any other value: all in rising order.
  int PreferredBaudIndex = -1;
  int WantedSerial = 0;  // 0 none, -1 after Refresh
  bool ScanNonUSB = false;
  bool Fahrenheit = false;
  int TimeoutSeconds = 10;
  // Handed to every search thread ("/TO=" of the command line).
  int SearchTimeout = 100;

  std::uint8_t PreviousDeviceType = 0;
  QString DeviceName;
  int SelectedIndex = -99999;
  QList<TScanResult> Found;
  bool AutoSelected = false;
  bool Shown = false;

  void SetLanguage(TLngINISupp* lis) { LIS_ = lis; }
  // The scan engine (its adapter listing may be replaced, e.g. in tests).
  TDeviceScan& Scanner() { return *scan_; }

  int ShowModal() { return exec(); }

  // A second-generation row's new value: the row is the low word of
  // `wParam` + 1; `lParam` the temperature in tenths (hundredths at high
  // resolution). A row that no longer exists is ignored.
  void MsgBrioNewValues(std::uint32_t wParam, std::int32_t lParam);
  // A port was removed (true) or appeared (false).
  void DeviceChange(int port, bool removed);

  // The progress text: -1 nothing found, 0 start, n percent.
  void ShowProgress(int percent);

  void btnRefreshClick();
  void btnSelectClick();
  void btnCancelClick();

  QLabel* pnlMessage;
  QFrame* pnlGrid;
  TOptStringGrid* Grid;
  QFrame* pnlControl;
  QPushButton* btnRefresh;
  QPushButton* btnCancel;
  QPushButton* btnSelect;
  QTimer* TempTimer;
  QTimer* Timer1;
  QTimer* DelayTimer;

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  struct Row;
  // A text of the language file, or `defaultText` without one.
  QString ReadText(const QString& key, const QString& defaultText, const QString& section) const;
  void FormShow();
  void FormClose();
  void Timer1Timer();
  void TempTimerTimer();
  // A family's search is over: its name and, for the single-colour
  // family, "Please wait ..." in the message panel.
  void FamilyDone(bool singleColour, const TDeviceScan::Results& found);
  void ScanDone(const TDeviceScan::Outcome& outcome);
  void FillRows(const QList<TScanResult>& records);
  void OpenRow(int row);
  // Every value a row's driver read goes to the row's temperature cell.
  void RowReading(int row, const TChannelSample& reading);
  void RowTemperature(int row, int channel, float value);
  void ClearRows();
  void SetHeaders();
  bool HasSelection() const;

  TLngINISupp* LIS_ = nullptr;
  TDeviceScan* scan_ = nullptr;
  TDeviceChangeWatcher* watcher_ = nullptr;
  std::vector<std::unique_ptr<Row>> rows_;
  bool refreshing_ = false;
  bool selectMarked_ = false;
};
