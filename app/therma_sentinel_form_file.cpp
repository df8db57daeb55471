// The measurement data file commands of the main window and the question
// about unsaved data.

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "app/display_link.h"
#include "app/measurement_diagram_source.h"
#include "app/modal_result.h"
#include "app/pyreon_msg_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/sentinel_utils.h"
#include "measurement/measurement_data.h"
#include "measurement/measurement_data_file.h"
#include "measurement/measurement_data_loader.h"
#include "platform/folders.h"
#include "platform/number_text.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

// Hourglass cursor for the lifetime of the object, also on early returns.
class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

void TThermaSentinelForm::ReportSettingsProblems(const QString& notice) {
  // Shown once the event loop runs, so the main window is up first.
  auto show = [this](const QString& text) {
    QMetaObject::invokeMethod(
        this,
        [this, text] {
          const QString caption = LIS_->OtherTextOrKey(QStringLiteral("Information"));
          if (OnShowMessage)
            OnShowMessage(text, caption);
          else
            QMessageBox::warning(this, caption, text);
        },
        Qt::QueuedConnection);
  };
  // The notice about the folder already says where the settings go or that
  // they cannot be saved; otherwise the file itself may be unusable.
  const QString text = notice.isEmpty() ? config_->ProblemMessage() : notice;
  if (!text.isEmpty()) show(text);
  config_->OnWriteFailed = show;
}

void TThermaSentinelForm::ReportLanguageExportFailed(const QString& folder) {
  QMetaObject::invokeMethod(
      this,
      [this, folder] {
        const QString text =
            NumberText::Format(LIS_->MessageText(QStringLiteral("LanguageXmlNotWritten"),
                                                 QStringLiteral("language.xml could not be written to %s.")),
                               {QDir::toNativeSeparators(folder)});
        const QString caption = LIS_->OtherTextOrKey(QStringLiteral("Information"));
        if (OnShowMessage)
          OnShowMessage(text, caption);
        else
          QMessageBox::warning(this, caption, text);
      },
      Qt::QueuedConnection);
}

void TThermaSentinelForm::ForceSave() {
  if (inBurstBatch_) {
    // Not inside the loop that takes the device's records: once the batch
    // is done (and the stop has run).
    QMetaObject::invokeMethod(
        this, [this] { ForceSave(); }, Qt::QueuedConnection);
    return;
  }
  if (!unsavedData_) return;
  forcedSaveFailed_ = !mSaveClick(nullptr);
}

bool TThermaSentinelForm::AskSaveUnsavedData() {
  // After a forced save that did not happen the data are never dropped
  // without a question, whatever "AskForSaving" says.
  if (!unsavedData_) return true;
  if (!forcedSaveFailed_ && !config_->ReadOptions().Has(TOption::AskForSaving)) return true;
  int result = mrCancel;
  bool dontAsk = false;
  if (OnAskSaveQuestion) {
    result = OnAskSaveQuestion();
  } else {
    TPyreonMsgDlg dlg(this, 3, 3, LIS_);
    dlg.setWindowTitle(LIS_->OtherTextOrKey(QStringLiteral("Warnung")));
    dlg.SetText(LIS_->MessageText(QStringLiteral("UnsavedData"),
                                  QStringLiteral("There is unsaved Data.  Save now?")));
    dlg.SetCheckBox1Text(LIS_->MessageText(QStringLiteral("DontAskAgain"),
                                           QStringLiteral("Do not ask me this question again.")));
    dlg.SetCheckBox1State(false);
    result = dlg.ShowModal();
    dontAsk = dlg.CheckBox1State();
  }
  bool goOn = false;
  if (result == mrYes) {
    // Going on is right only when the data are really saved: a cancelled
    // or failed save keeps the caller from discarding them.
    goOn = mSaveClick(nullptr);
  } else if (result == mrNo) {
    unsavedData_ = false;
    forcedSaveFailed_ = false;
    goOn = true;
  }
  TOptions o = config_->ReadOptions();
  o.Set(TOption::AskForSaving, !dontAsk);
  config_->WriteOptions(o);
  options_.Set(TOption::AskForSaving, !dontAsk);
  return goOn;
}

QString TThermaSentinelForm::TerminateBySignal() {
  QString saved;
  if (terminating_) return saved;
  terminating_ = true;
  if (unsavedData_ && config_ != nullptr) {
    // No question and no box: the data go to the data folder under a name
    // that does not overwrite anything, through the same atomic save.
    // (A file-name hook that stands in for the save dialog names the file.)
    QString name = OnChooseDataFileName ? OnChooseDataFileName(true) : QString();
    if (name.isEmpty())
      name = Folders::UserDataFolder(QStringLiteral("ThermaSentinel")) + QStringLiteral("/ThermaSentinel-") +
             QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz")) +
             QStringLiteral(".dat");
    MeasurementDataFile file;
    file.SetDecimalSeparator(NumberText::DecimalSeparator());
    const MeasurementFileHeader header =
        MeasurementDiagramSource::HeaderFor(*Diagram_, measureStartTime_, fahrenheit_);
    MeasurementData snapshot;
    snapshot.Assign(MeasurementDiagramSource(*Diagram_));
    const MeasurementFileResult result = file.Write(name, header, snapshot);
    if (result.Ok()) {
      unsavedData_ = false;
      saved = name;
      std::fprintf(stderr, "ThermaSentinel: ending on a signal; unsaved measurement data saved to %s\n",
                   qPrintable(name));
    } else {
      std::fprintf(stderr, "ThermaSentinel: ending on a signal; saving the measurement data failed: %s\n",
                   qPrintable(result.Message));
    }
  }
  // Every open box goes; the close then asks nothing.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w != this && w->isVisible() && w->isModal()) w->close();
  }
  close();
  return saved;
}

bool TThermaSentinelForm::mSaveClick(QObject*) {
  QString fileName;
  const QString filter = LIS_->OtherTextOrKey(QStringLiteral("All")) + QStringLiteral(" (*.*);;") +
                         LIS_->MessageText(QStringLiteral("AllData"), QStringLiteral("All data")) +
                         QStringLiteral(" (*.dat)");
  if (OnChooseDataFileName) {
    fileName = OnChooseDataFileName(true);
  } else {
    QFileDialog dlg(this);
    dlg.setObjectName(QStringLiteral("SaveDialog"));
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilter(filter);
    dlg.selectNameFilter(filter.section(QStringLiteral(";;"), 0, 0));
    dlg.selectFile(QStringLiteral("*.dat"));
    dlg.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
      fileName = dlg.selectedFiles().first();
  }
  if (fileName.isEmpty()) return false;
  if (!WriteDataFile(fileName)) return false;
  SetStatusText(4, QFileInfo(fileName).fileName());
  unsavedData_ = false;
  forcedSaveFailed_ = false;
  UpdateState();
  return true;
}

bool TThermaSentinelForm::WriteDataFile(const QString& fileName) {
  WaitCursor cursor;
  MeasurementDataFile file;
  file.SetDecimalSeparator(NumberText::DecimalSeparator());
  file.OnProgress = [this](int percent) {
    SetStatusText(4, QStringLiteral("Saving File: ") + QString::number(percent) + QStringLiteral("%"));
    StatusBar_->repaint();
  };
  const MeasurementFileHeader header =
      MeasurementDiagramSource::HeaderFor(*Diagram_, measureStartTime_, fahrenheit_);
  MeasurementFileResult result;
  if (state_ > csConnected) {
    // A running measurement goes on adding samples: save what is there now.
    MeasurementData snapshot;
    snapshot.Assign(MeasurementDiagramSource(*Diagram_));
    result = file.Write(fileName, header, snapshot);
  } else {
    result = file.Write(fileName, header, MeasurementDiagramSource(*Diagram_));
  }
  if (!result.Ok()) {
    SetStatusText(4, result.Message);
    if (OnShowMessage)
      OnShowMessage(result.Message, LIS_->OtherTextOrKey(QStringLiteral("Information")));
    else
      QMessageBox::warning(this, LIS_->OtherTextOrKey(QStringLiteral("Information")), result.Message);
    return false;
  }
  SetStatusText(4, QStringLiteral("File saved"));
  return true;
}

void TThermaSentinelForm::mOpenClick(QObject*) {
  if (!AskSaveUnsavedData()) return;
  if (state_ > csConnected) mStopClick(nullptr);
  QString fileName;
  if (OnChooseDataFileName) {
    fileName = OnChooseDataFileName(false);
  } else {
    const QString filter = LIS_->OtherTextOrKey(QStringLiteral("All")) + QStringLiteral(" (*.*);;") +
                           LIS_->MessageText(QStringLiteral("AllData"), QStringLiteral("All data")) +
                           QStringLiteral(" (*.dat)");
    QFileDialog dlg(this);
    dlg.setObjectName(QStringLiteral("OpenDialog"));
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setNameFilter(filter);
    dlg.selectNameFilter(filter.section(QStringLiteral(";;"), 1, 1));
    if (dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty())
      fileName = dlg.selectedFiles().first();
  }
  if (fileName.isEmpty()) return;
  if (ReadDataFile(fileName)) {
    SetStatusText(4, QFileInfo(fileName).fileName());
    unsavedData_ = false;
    btnSave->setEnabled(true);
    mSave->setEnabled(true);
  }
}

void TThermaSentinelForm::RestoreLiveChartView() {
  if (!liveChartView_) return;
  const LiveChartView v = *std::exchange(liveChartView_, std::nullopt);
  TDiagram& d = *Diagram_;
  d.SetYRangeMin(v.yRangeMin);
  d.SetYRangeMax(v.yRangeMax);
  d.SetYMin(v.yMin);
  d.SetYMax(v.yMax);
  scale_ = v.scale;
  d.SetYScaleMode(static_cast<TDiagramScaleMode>(std::clamp(scale_, 0, 2)));
  xWindowFromChart_ = v.xWindowFromChart;
}

bool TThermaSentinelForm::ReadDataFile(const QString& fileName) {
  SetStatusText(4, QStringLiteral("Read datafile : ") + fileName + QStringLiteral(" , please wait ..."));
  StatusBar_->repaint();
  WaitCursor cursor;
  const QString caption = LIS_->OtherTextOrKey(QStringLiteral("Information"));
  auto tell = [this, &caption](const QString& text) {
    if (OnShowMessage)
      OnShowMessage(text, caption);
    else
      QMessageBox::warning(this, caption, text);
  };

  // The file is read on a worker; its rows come in batches and go into the
  // chart here. The chart and the status bar are painted directly between
  // batches to show the progress: no event is dispatched meanwhile, so no
  // timer, device notification or user input can re-enter the window.
  MeasurementDataLoader loader;
  loader.Start(fileName);
  TDiagram& d = *Diagram_;
  // The chart's own "buffer full" reaction (stop and tell) is for
  // measurements; rows that do not fit are counted here instead.
  auto bufferFull = std::exchange(d.OnBufferFull, nullptr);
  bool prepared = false;
  bool haveFirst = false;
  TChannelValues first{};
  MeasurementFileHeader header;
  double yRangeMin = 5000.0;
  double yRangeMax = -100.0;
  double duration = 0.0;
  std::int64_t loaded = 0;
  std::int64_t leftOut = 0;
  int shownPercent = -1;
  auto take = [&] {
    for (const MeasurementData& batch : loader.TakeBatches()) {
      if (!prepared) {
        prepared = true;
        if (!liveChartView_)
          liveChartView_ =
              LiveChartView{d.YMin(), d.YMax(), d.YRangeMin(), d.YRangeMax(), scale_, xWindowFromChart_};
        header = batch.Header;
        d.SetResolution(header.Resolution);
        d.SetYDecimal(header.YDecimal);
        d.Reset(smLocal, 0.0, 1.0);
        d.SetYScaleMode(smGlobal);
        d.SetXExcludeRanging(1.5);
        for (int c = 0; c < 11; ++c) d.SetGraph(c, graph_[c]);
        d.SetYRangeMin(-100.0);
        d.SetYRangeMax(5000.0);
        d.SetXScaleMode(smGlobal);
      }
      yRangeMin = batch.YRangeMin;
      yRangeMax = batch.YRangeMax;
      const std::int64_t n = batch.SampleCount();
      for (std::int64_t i = 0; i < n; ++i) {
        const double t = batch.SampleTime(i);
        // A row whose slot lies past the chart's capacity is left out.
        if (!(std::round(t / d.Resolution()) <= static_cast<double>(d.MaxData()))) {
          ++leftOut;
          continue;
        }
        TChannelValues v;
        batch.SampleValues(i, v);
        if (!haveFirst) {
          haveFirst = true;
          first = v;
        }
        d.AddValues(std::span<const float>(v.data(), v.size()), t);
        duration = std::max(duration, t);
        ++loaded;
      }
    }
  };
  while (loader.WaitForBatches(50)) {
    take();
    if (loader.Percent() != shownPercent) {
      shownPercent = loader.Percent();
      SetStatusText(4, QStringLiteral("Reading File: ") + fileName + QStringLiteral(" -> ") +
                           QString::number(shownPercent) + QStringLiteral("%"));
      StatusBar_->repaint();
      d.repaint();
    }
  }
  take();
  d.OnBufferFull = std::move(bufferFull);
  const MeasurementFileResult result = loader.Result();

  if (!prepared) {
    // Nothing of the file could be used; the chart keeps what it showed.
    if (!result.Ok()) {
      SetStatusText(4, result.Message);
      if (result.Error != MeasurementFileError::UnknownFormat) tell(result.Message);
    }
    UpdateState();
    return result.Ok();
  }

  // What was loaded stays, and the user hears what was not.
  QStringList notes;
  if (!result.Ok())
    notes << result.Message
          << QStringLiteral("The %1 complete rows before it were loaded.").arg(loaded + leftOut);
  if (leftOut > 0)
    notes << QStringLiteral("The chart holds %1 samples: %2 rows were loaded, %3 rows were left out.")
                 .arg(d.MaxData())
                 .arg(loaded)
                 .arg(leftOut);
  if (!notes.isEmpty()) tell(notes.join(QLatin1Char('\n')));

  d.SetXScaleMode(smLocal);
  measureStartTime_ = header.StartDateTime();
  if (yRangeMin <= yRangeMax) {
    d.SetYRangeMin(yRangeMin);
    d.SetYRangeMax(yRangeMax);
  }
  d.SetYMin(d.YRangeMin());
  d.SetYMax(d.YRangeMax());
  // The whole file is the chart's range and window, whatever window the
  // chart had before: zoom and scroll bar reach every loaded row.
  const std::int64_t lastSlot = std::max<std::int64_t>(std::llround(duration / d.Resolution()), 1);
  d.SetXConstDiff(false);
  d.SetXRangeMin(0);
  d.SetXRangeMax(lastSlot);
  d.SetXMin(0.0);
  d.SetXMax(static_cast<double>(lastSlot) * d.Resolution());
  d.SetXConstDiff(true);
  d.UpdateScrollBars();
  xWindowFromChart_ = false;
  fahrenheit_ = header.Fahrenheit;
  SendDisplayTexts();

  // A connected device keeps its own values in the panels and displays.
  if (haveFirst && state_ < csConnected) {
    values_ = first;
    const bool two = d.YDecimal() == 2;
    ValuePanels.SetDelivered(DeliveredChannels());
    for (int c = 0; c < 11; ++c) {
      const TValuePanelModel::TText text = TValuePanelModel::FileText(c, first[c], fahrenheit_, two);
      ValuePanels.ShowText(c, text);
      // Each external display shows the text of its own panel.
      if (displayLink_ != nullptr)
        displayLink_->SendValueText(ChannelValues::DisplayKindOfChannel(c), ValuePanels.Text(c));
    }
  }
  UpdateState();
  return true;
}
