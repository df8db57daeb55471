#pragma once

#include <QFrame>
#include <QString>

// A raised panel that may show a caption (drawn centred by default, beneath
// any child controls) and that may hold other controls.
class CaptionPanel : public QFrame {
  Q_OBJECT

 public:
  explicit CaptionPanel(QWidget* parent = nullptr);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  Qt::Alignment Alignment() const { return alignment_; }
  void SetAlignment(Qt::Alignment alignment);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  Qt::Alignment alignment_ = Qt::AlignCenter;
};
