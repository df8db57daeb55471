#include "app/form1.h"

#include <QScreen>
#include <QVBoxLayout>

#include "ui/caption_panel.h"

TForm1::TForm1(QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("Form1"));
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);

  Panel1 = new CaptionPanel(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->SetCaption(QStringLiteral("Please wait ...."));
  Panel1->setAutoFillBackground(true);
  QPalette white = Panel1->palette();
  white.setColor(QPalette::Window, Qt::white);
  Panel1->setPalette(white);
  QFont font = Panel1->font();
  font.setPointSizeF(font.pointSizeF() * 1.5);
  font.setBold(true);
  Panel1->setFont(font);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Panel1);
  resize(320, 90);
}

void TForm1::showEvent(QShowEvent* event) {
  FormShow();
  QDialog::showEvent(event);
}

void TForm1::FormShow() {
  if (const QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  Panel1->SetCaption(Message);
  Panel1->repaint();
}
