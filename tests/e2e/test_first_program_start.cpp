// Start-up and shutdown of the whole program: first start, the help switch,
// the settings written at close.

#include <QFile>
#include <QFileInfo>

#include "test_first_program_support.h"

using namespace first_program;

// A new user without settings and without a device: the program starts,
// stays closed and writes its first-run settings at close, leaving the
// remembered device keys at their defaults.
TEST(FirstProgramStart, FirstStartWithoutSettingsWritesDefaultsAtClose) {
  ProgramRun run;
  run.StartProgram();
  ASSERT_TRUE(
      run.WaitForReport([](const auto& r) { return r.value("StatusPanel0") == "COM1: Closed"; }, 15000))
      << run.Output().toStdString();
  EXPECT_EQ(run.ReportInt("State"), 1);
  // The branding file shipped beside the program names it in the title.
  EXPECT_EQ(run.Report().value("Caption"), "ThermaSentinel 1.0.0.1");
  ASSERT_TRUE(run.Terminate()) << run.Output().toStdString();

  const auto s = ReadKeyValues(run.SettingsPath());
  EXPECT_EQ(s.value("COM"), "1");
  EXPECT_EQ(s.value("DeviceType"), "0");
  EXPECT_EQ(s.value("Argo_Serial"), "4");
  EXPECT_EQ(s.value("Brio_Serial"), "4");
  EXPECT_EQ(s.value("AutoScan"), "1");
  EXPECT_EQ(s.value("LanguageFile"), "English.lng");
  EXPECT_TRUE(s.contains("PosLeft"));
  EXPECT_TRUE(s.contains("ArgoBurstStartDelay"));
  EXPECT_TRUE(s.contains("InitialTime"));
}

// "/?" and "/HELP" (any case) show the help window and nothing else: no
// settings file, and the program ends when the window is closed.
TEST(FirstProgramStart, HelpSwitchShowsHelpAndEnds) {
  for (const char* sw : {"/?", "/help"}) {
    ProgramRun run;
    run.StartProgram({QString::fromLatin1(sw)});
    QThread::msleep(1500);
    ASSERT_EQ(run.Program().state(), QProcess::Running) << sw << run.Output().toStdString();
    EXPECT_FALSE(QFile::exists(run.SettingsPath())) << sw;
    EXPECT_FALSE(QFile::exists(run.ReportPath())) << sw;
    // Closing the help window ends the program.
    ASSERT_TRUE(run.Terminate(10000)) << sw;
    EXPECT_FALSE(QFile::exists(run.SettingsPath())) << sw;
  }
}

// Values stored by a previous run come back unchanged after a run without a
// device: the window and view settings, a float written with a comma, and
// the remembered serial number and RS485 address, which a run that never
// reached the device must not overwrite.
TEST(FirstProgramStart, SettingsSurviveARunWithoutDevice) {
  ProgramRun run;
  run.WriteSettings(QStringLiteral(
      "[MAIN]\nPosLeft=120\nPosTop=130\nPosRight=920\nPosBottom=730\nMenuPanel=60\n"
      "[Options]\nAutoScan=1\nAutoStart=1\nAskForSaving=0\nDigitalTop=1\nDigitalRight=0\nStatusBar=0\n"
      "[COM]\nCOM=7\nBaudrate=5\nDeviceType=1\nArgo_Serial=123456\nRS845Addr=9\n"
      "[Settings]\nInitialTime=12,5\nTObj_ShowDigital=1\nTObj_Color=255\n"));
  run.StartProgram();
  ASSERT_TRUE(
      run.WaitForReport([](const auto& r) { return r.value("StatusPanel0") == "COM7: Closed"; }, 15000))
      << run.Output().toStdString();
  ASSERT_TRUE(run.Terminate()) << run.Output().toStdString();

  const auto s = ReadKeyValues(run.SettingsPath());
  EXPECT_EQ(s.value("Argo_Serial"), "123456");
  EXPECT_EQ(s.value("RS845Addr"), "9");
  EXPECT_EQ(s.value("DeviceType"), "1");
  EXPECT_EQ(s.value("COM"), "7");
  EXPECT_EQ(s.value("PosLeft"), "120");
  EXPECT_EQ(s.value("PosTop"), "130");
  EXPECT_EQ(s.value("PosRight"), "920");
  EXPECT_EQ(s.value("PosBottom"), "730");
  EXPECT_EQ(s.value("MenuPanel"), "60");
  EXPECT_EQ(s.value("DigitalTop"), "1");
  EXPECT_EQ(s.value("DigitalRight"), "0");
  EXPECT_EQ(s.value("StatusBar"), "0");
  EXPECT_EQ(s.value("TObj_Color"), "255");
  QString initial = s.value("InitialTime");
  initial.replace(QLatin1Char(','), QLatin1Char('.'));
  EXPECT_DOUBLE_EQ(initial.toDouble(), 12.5);
}
