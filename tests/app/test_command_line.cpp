#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <utility>

#include "app/command_line.h"

namespace {

struct Case {
  Case(QStringList parameters, bool stop = false, QString name = {}, int delay = 0, bool invisible = false,
       int scanTimeOut = 100, bool service = false)
      : parameters(std::move(parameters)),
        stop(stop),
        name(std::move(name)),
        delay(delay),
        invisible(invisible),
        scanTimeOut(scanTimeOut),
        service(service) {}
  QStringList parameters;
  bool stop;
  QString name;
  int delay;
  bool invisible;
  int scanTimeOut;
  bool service;
};

TEST(CommandLine, Table) {
  const QString longName(300, QLatin1Char('N'));
  // "ThermaSentinel-<name>.ini" may have 255 bytes: 236 for the name.
  const QString longestName(236, QLatin1Char('N'));
  const QString tooLongName(237, QLatin1Char('N'));
  const QString longestWide(118, QChar(0x00C4));  // two bytes each in the file name
  const QString tooLongWide(119, QChar(0x00C4));
  const Case cases[] = {
      {{}},
      {{"unknown", "/X", "DELAY"}},
      // Help: a prefix, any case, anywhere.
      {{"/?"}, true},
      {{"/?x"}, true},
      {{"/help"}, true},
      {{"/HELPX"}, true},
      {{"/DELAY", "/Help"}, true, {}, 1},
      {{"/?", "/NAME=Oven"}, true, "Oven"},
      // Instance names: case kept, untrimmed, at most 255 characters, the last one wins.
      {{"/NAME="}, true},
      {{"/name=   "}, true, "   "},
      {{"/name=Oven 2"}, false, "Oven 2"},
      {{"/NAME= x "}, false, " x "},
      {{"/NAME=a", "/NAME=b"}, false, "b"},
      // A name whose settings file name the file system cannot take is
      // refused like an unusable one.
      {{"/NAME=" + longestName}, false, longestName},
      {{"/NAME=" + tooLongName}, true},
      {{"/NAME=" + longName}, true},
      {{"/NAME=" + longestWide}, false, longestWide},
      {{"/NAME=" + tooLongWide}, true},
      {{"/NAME=ok", "/NAME=" + tooLongName}, true, "ok"},
      {{"/NAME=\u00C4rger"}, false, "\u00C4rger"},
      // A name that could leave the settings folder is refused like an empty one.
      {{"/NAME=../x"}, true},
      {{"/NAME=a/b"}, true},
      {{"/NAME=a\\b"}, true},
      {{"/NAME=a..b"}, true},
      {{"/NAME=a\tb"}, true},
      {{"/NAME=ok", "/NAME=../x"}, true, "ok"},
      // Delay.
      {{"/DELAY"}, false, {}, 1},
      {{"/delay"}, false, {}, 1},
      {{"/DELAY=3"}, false, {}, 3},
      {{"/DELAY= 7 "}, false, {}, 7},
      {{"/DELAY=0"}, false, {}, 0},
      {{"/DELAY=x"}, false, {}, 1},
      {{"/DELAY="}, false, {}, 1},
      {{"/DELAY=-5"}, false, {}, 1},
      {{"/DELAY=3600"}, false, {}, 3600},
      {{"/DELAY=3601"}, false, {}, 3600},
      {{"/DELAY=2147483"}, false, {}, 3600},
      {{"/DELAY=99999999999999999999999"}, false, {}, 3600},
      {{"/DELAYX=2"}, false, {}, 2},
      {{"/DELAY=3", "/DELAY"}, false, {}, 1},
      // Invisible.
      {{"/INVISIBLE"}, false, {}, 0, true},
      {{"/invisible2"}, false, {}, 0, true},
      // Scan time-out.
      {{"/TO=250"}, false, {}, 0, false, 250},
      {{"/to= 30 "}, false, {}, 0, false, 30},
      {{"/TO=abc"}, false, {}, 0, false, 100},
      {{"/TO="}, false, {}, 0, false, 100},
      {{"/TO=-3"}, false, {}, 0, false, 100},
      {{"/TO=99999999999"}, false, {}, 0, false, 100},
      {{"/TO=5", "/TO=6"}, false, {}, 0, false, 6},
      // The service switch: exactly, case-sensitive.
      {{"\\KVW"}, false, {}, 0, false, 100, true},
      {{"\\kvw"}},
      {{"\\KVW "}},
      {{"/KVW"}},
  };
  for (const Case& tc : cases) {
    const CommandLine cl(tc.parameters);
    const std::string what = tc.parameters.join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(cl.StopFlag(), tc.stop) << what;
    EXPECT_EQ(cl.InstanceName(), tc.name) << what;
    EXPECT_EQ(cl.Delay(), tc.delay) << what;
    EXPECT_EQ(cl.StartupTimerInterval(), tc.delay * 1000 + 1) << what;
    EXPECT_EQ(cl.Invisible(), tc.invisible) << what;
    EXPECT_EQ(cl.ScanTimeOut(), tc.scanTimeOut) << what;
    EXPECT_EQ(cl.ServiceSwitch(), tc.service) << what;
    EXPECT_EQ(cl.Parameters(), tc.parameters) << what;
  }
}

TEST(CommandLine, TheCalibrationSwitchIsExactlySrvc) {
  const std::pair<QStringList, bool> cases[] = {
      {{"/SRVC"}, true},  {{"/DELAY", "/SRVC"}, true}, {{"/srvc"}, false}, {{"/SRVC "}, false},
      {{"/SRVCX"}, false}, {{"SRVC"}, false},          {{"\\SRVC"}, false}, {{}, false},
  };
  for (const auto& [parameters, on] : cases) {
    const CommandLine cl(parameters);
    EXPECT_EQ(cl.CalibrationSwitch(), on) << parameters.join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(cl.ServiceSwitch());
  }
}

TEST(CommandLine, StartupIntervalsOfTheUsualCalls) {
  EXPECT_EQ(CommandLine().StartupTimerInterval(), 1);
  EXPECT_EQ(CommandLine({"/DELAY"}).StartupTimerInterval(), 1001);
  EXPECT_EQ(CommandLine({"/DELAY=5"}).StartupTimerInterval(), 5001);
  EXPECT_EQ(CommandLine({"/DELAY=999999999"}).StartupTimerInterval(),
            CommandLine::kMaxDelaySeconds * 1000 + 1);
}

TEST(CommandLine, FromArgumentsSkipsTheProgramPath) {
  const CommandLine cl = CommandLine::FromArguments({"/?", "/DELAY=2"});
  EXPECT_FALSE(cl.StopFlag());
  EXPECT_EQ(cl.Delay(), 2);
  EXPECT_EQ(cl.Parameters(), QStringList{"/DELAY=2"});
  EXPECT_TRUE(CommandLine::FromArguments({}).Parameters().isEmpty());
  // The settings file is named after the program: a longer program name
  // leaves less room for the instance name.
  const QString name(230, QLatin1Char('N'));
  EXPECT_FALSE(CommandLine::FromArguments({"/opt/ts/ThermaSentinel", "/NAME=" + name}).StopFlag());
  EXPECT_TRUE(
      CommandLine::FromArguments({"/opt/ts/ThermaSentinelWithALongName", "/NAME=" + name}).StopFlag());
}

TEST(CommandLine, SafeInstanceNames) {
  for (const char* ok : {"x", "Oven 2", "a.b", "Line_A-3", "."})
    EXPECT_TRUE(CommandLine::IsSafeInstanceName(ok)) << ok;
  for (const char* bad : {"..", "a/b", "a\\b", "x..", "a\x01"})
    EXPECT_FALSE(CommandLine::IsSafeInstanceName(bad)) << bad;
}

}  // namespace
