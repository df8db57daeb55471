// Reads arbitrary bytes as a first-generation Brio configuration file (V2)
// the way the setup dialog does, against the dialog's controls held as plain
// values. A file that is not valid, or has no body, yields nothing; one that
// is read yields only values of the controls' own kinds (texts of at most 255
// characters, list items from -1 up) and finite range limits. Applying them
// and saving gives a file that reads back to the same marks and items.
#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "fuzz/config_file_fuzz_harness.h"
#include "setup_brio/brio_config_file.h"
#include "setup_brio/brio_first_gen_config_file.h"

using config_fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  config_fuzz::StartApplication("fuzz_brio_config_file_reader");
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const BrioConfigFileProfile profile = BrioFirstGenConfigFile::Profile();

  SetupValues values;
  const BrioControlRegistry registry = BrioFirstGenConfigFile::ValueRegistry(values);
  const BrioConfigFile::Content content = BrioConfigFile::Parse(bytes, profile, registry);
  if (content.status != BrioConfigFile::Status::Loaded) {
    Check(content.Entries.empty() && !content.RangeLow && !content.RangeHigh);
    return 0;
  }
  for (const std::optional<float>& limit : {content.RangeLow, content.RangeHigh}) {
    Check(!limit || std::isfinite(*limit));
  }
  for (const BrioConfigFileEntry& e : content.Entries) {
    const BrioControlRegistry::Control* control = registry.Find(e.Name);
    Check(control != nullptr && control->Name == e.Name && control->Kind == e.Value.Kind);
    if (e.Value.Kind == SetupValueKind::Text) Check(e.Value.Text.size() <= BrioConfigFile::kMaxValueLength);
    if (e.Value.Kind == SetupValueKind::ListIndex) Check(e.Value.Index >= -1);
    Check(registry.Apply(e.Name, e.Value));
  }

  const QByteArray saved = BrioConfigFile::Compose(profile, registry, content.RangeLow.value_or(0.0f),
                                                   content.RangeHigh.value_or(0.0f));
  SetupValues again;
  const BrioControlRegistry againRegistry = BrioFirstGenConfigFile::ValueRegistry(again);
  const BrioConfigFile::Content reread = BrioConfigFile::Parse(saved, profile, againRegistry);
  Check(reread.status == BrioConfigFile::Status::Loaded);
  for (const BrioConfigFileEntry& e : reread.Entries) Check(againRegistry.Apply(e.Name, e.Value));
  for (const BrioFirstGenConfigFile::ControlName& c : BrioFirstGenConfigFile::Controls()) {
    const QString name = QString::fromLatin1(c.Name);
    if (c.Kind == SetupValueKind::Mark) Check(values.Mark(name) == again.Mark(name));
    if (c.Kind == SetupValueKind::ListIndex) Check(values.Index(name) == again.Index(name));
  }
  return 0;
}
