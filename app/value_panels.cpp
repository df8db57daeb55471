#include "app/value_panels.h"

#include <QBoxLayout>
#include <QGroupBox>
#include <QLabel>

#include "app/display_link.h"

namespace {

// Channel names of the panels: group box, label, second-set group box,
// second-set label, caption.
struct PanelNames {
  const char* box;
  const char* label;
  const char* box2;
  const char* label2;
  const char* caption;
};

constexpr PanelNames kPanelNames[11] = {
    {"gbTObj", "lblTObj", "gbTObj2", "lblTObj2", "TObj"},
    {"gbTInt", "lblTInt", "gbTint2", "lblTInt2", "TInt"},
    {"gbTBox", "lblTBox", "gbTBox2", "lblTBox2", "TBox"},
    {"gbTAct", "lblTAct", "gbTAct2", "lblTAct2", "TAct"},
    {"gbTQuot", "lblTQuot", "gbTQuot2", "lblTQuot2", "T2C"},
    {"gbTSingle", "lblTSingle", "gbTSingle2", "lblTSingle2", "T1C"},
    {"gbTau", "lblTau", "gbTau2", "lblTau2", "Tau"},
    {"gbEps", "lblEps", "gbeps2", "lblEps2", "Epsilon"},
    {"gbmVin", "lblmVin", "gbmVin2", "lblmVin2", "mV input"},
    {"gbVcc", "lblVcc", "gbVcc2", "lblVcc2", "Vcc"},
    {"gbTAmb", "lblTAmb", "gbTAmb2", "lblTAmb2", "TAmb"},
};

TValuePanel Make(QWidget* parent, const char* boxName, const char* labelName, const char* caption) {
  TValuePanel p;
  p.Box = new QGroupBox(QString::fromLatin1(caption), parent);
  p.Box->setObjectName(QString::fromLatin1(boxName));
  auto* l = new QVBoxLayout(p.Box);
  l->setContentsMargins(3, 0, 3, 1);
  p.Label = new QLabel(p.Box);
  p.Label->setObjectName(QString::fromLatin1(labelName));
  p.Label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  p.Label->setTextFormat(Qt::PlainText);
  // The label paints its own background: a new text repaints the label,
  // not the group box and the bars behind it.
  p.Label->setAutoFillBackground(true);
  l->addWidget(p.Label);
  return p;
}

}  // namespace

void TValuePanels::Create(QWidget* topParent, QBoxLayout* top, QWidget* rightParent, QBoxLayout* right) {
  for (int c = 0; c < kChannels; ++c) {
    const PanelNames& n = kPanelNames[c];
    First[c] = Make(topParent, n.box, n.label, n.caption);
    Second[c] = Make(rightParent, n.box2, n.label2, n.caption);
    First[c].Box->setProperty("Tag", ChannelValues::DisplayKindOfChannel(c));
    Second[c].Box->setProperty("Tag", ChannelValues::DisplayKindOfChannel(c));
  }
  for (int i : kOrder) {
    top->addWidget(First[i].Box);
    right->addWidget(Second[i].Box);
  }
}

void TValuePanels::FitLabel(QLabel* label, int width, int height) {
  if (label->minimumSize() != QSize(width, height) || label->maximumSize() != QSize(width, height))
    label->setFixedSize(width, height);
}

void TValuePanels::ShowSample(const TChannelSample& sample, bool fahrenheit) {
  model_.ShowSample(sample, fahrenheit);
  Apply();
}

void TValuePanels::ShowText(int channel, const TValuePanelModel::TText& text) {
  model_.ShowText(channel, text);
  Apply();
}

void TValuePanels::ShowNoValue(int channel) {
  model_.ShowNoValue(channel);
  Apply();
}

void TValuePanels::HideNoValues(std::uint16_t channels) {
  model_.HideNoValues(channels);
  Apply();
}

void TValuePanels::Arrange(std::uint16_t shownChannels, bool top, bool right) {
  model_.Arrange(shownChannels, top, right);
  model_.TakeChanges();
  // Every box takes the model's visibility (a box may have been shown or
  // hidden before the model knew it).
  for (int c = 0; c < kChannels; ++c) {
    First[c].Box->setVisible(model_.Visible(TValuePanelModel::Top, c));
    Second[c].Box->setVisible(model_.Visible(TValuePanelModel::Right, c));
  }
  Apply();
}

void TValuePanels::Apply() {
  const TValuePanelModel::TChanges changes = model_.TakeChanges();
  if (changes.Texts == 0 && changes.Visibility == 0) return;
  for (int c = 0; c < kChannels; ++c) {
    const std::uint16_t bit = TChannelSample::Bit(c);
    if ((changes.Texts & bit) != 0) {
      First[c].Label->setText(model_.Text(c));
      Second[c].Label->setText(model_.Text(c));
    }
    if ((changes.Visibility & bit) != 0) {
      First[c].Box->setVisible(model_.Visible(TValuePanelModel::Top, c));
      Second[c].Box->setVisible(model_.Visible(TValuePanelModel::Right, c));
    }
  }
}

void TValuePanels::FeedDisplay(int kind, float value, const TDisplayValueContext& context) {
  const TValuePanelModel::TDisplayFeed feed = model_.FeedDisplay(kind, value, context);
  if (displayLink_ == nullptr) return;
  using TWhat = TValuePanelModel::TDisplayFeed::TWhat;
  if (feed.What == TWhat::Value)
    displayLink_->SendValue(kind, feed.WParam);
  else if (feed.What == TWhat::NoValueText)
    displayLink_->SendValueText(kind, TValuePanelModel::NoValueText());
}
