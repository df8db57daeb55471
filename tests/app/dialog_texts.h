#pragma once

// What a user reads in a window, and which of it does not fit: the texts of
// its labels, buttons, group box titles, tabs, header sections and grid
// cells, each measured with the widget's font against the room the widget
// gives it (and against its parents, which cut off what sticks out).

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTableWidget>
#include <QTextDocument>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/caption_panel.h"

namespace test_support {

// A caption as shown: the mnemonic '&' removed ("&&" stays one '&'), rich
// text reduced to its plain text.
inline QString ShownText(const QString& text, Qt::TextFormat format = Qt::AutoText) {
  QString t = text;
  if (format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(t))) {
    QTextDocument doc;
    doc.setHtml(t);
    return doc.toPlainText();
  }
  QString out;
  for (qsizetype i = 0; i < t.size(); ++i) {
    if (t.at(i) == QLatin1Char('&') && i + 1 < t.size()) {
      ++i;
      if (t.at(i) == QLatin1Char('&'))
        out += QLatin1Char('&');
      else
        out += t.at(i);
      continue;
    }
    out += t.at(i);
  }
  return out;
}

// True when `w` and every parent up to `top` are shown.
inline bool ShownWithin(const QWidget* w, const QWidget* top) {
  for (const QWidget* p = w; p != nullptr; p = p->parentWidget()) {
    if (p->isHidden()) return false;
    if (p == top) return true;
  }
  return true;
}

// The part of `w` (in its own coordinates) that its parents up to `top` leave
// visible.
inline QRect VisiblePart(const QWidget* w, const QWidget* top) {
  QRect visible = w->rect();
  QPoint offset(0, 0);
  for (const QWidget* p = w; p != top && p->parentWidget() != nullptr; p = p->parentWidget()) {
    offset += p->pos();
    visible &= p->parentWidget()->rect().translated(-offset);
  }
  return visible;
}

// Every text of `top` a user reads: the window title and the captions of
// its shown widgets.
inline QStringList WindowTexts(QWidget* top) {
  QStringList texts{top->windowTitle()};
  for (QWidget* w : top->findChildren<QWidget*>()) {
    if (!ShownWithin(w, top)) continue;
    if (auto* l = qobject_cast<QLabel*>(w)) texts << ShownText(l->text(), l->textFormat());
    if (auto* b = qobject_cast<QAbstractButton*>(w)) texts << ShownText(b->text());
    if (auto* panel = qobject_cast<CaptionPanel*>(w)) texts << ShownText(panel->Caption());
    if (auto* g = qobject_cast<QGroupBox*>(w)) texts << ShownText(g->title());
    if (auto* t = qobject_cast<QTabBar*>(w))
      for (int i = 0; i < t->count(); ++i) texts << ShownText(t->tabText(i));
    if (auto* table = qobject_cast<QTableWidget*>(w))
      for (int r = 0; r < table->rowCount(); ++r)
        for (int c = 0; c < table->columnCount(); ++c)
          if (table->item(r, c) != nullptr) texts << table->item(r, c)->text();
  }
  return texts;
}

// The texts of `top` that are wider than the room they have, each as
// "<widget name>: <text> (<needed> > <room> px)".
inline QStringList ClippedTexts(QWidget* top) {
  QStringList clipped;
  auto check = [&](const QWidget* w, const QString& text, int needed, int room) {
    if (text.trimmed().isEmpty() || needed <= room) return;
    clipped << QStringLiteral("%1 \"%2\": %3 > %4 px")
                   .arg(w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                  : w->objectName(),
                        text)
                   .arg(needed)
                   .arg(room);
  };
  for (QWidget* w : top->findChildren<QWidget*>()) {
    if (!ShownWithin(w, top)) continue;
    const QFontMetrics fm = w->fontMetrics();
    const int visible = VisiblePart(w, top).width();
    if (auto* l = qobject_cast<QLabel*>(w)) {
      const QString text = ShownText(l->text(), l->textFormat());
      if (l->wordWrap()) {
        // A wrapped label needs the height its text takes at its width.
        const int needed = l->heightForWidth(l->width());
        if (needed > l->height())
          clipped << QStringLiteral("%1 \"%2\": %3 > %4 px high")
                         .arg(l->objectName(), text)
                         .arg(needed)
                         .arg(l->height());
        continue;
      }
      int widest = 0;
      for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
      const int room =
          std::min(l->contentsRect().width() - 2 * l->margin() - l->indent() * (l->indent() > 0), visible);
      check(l, text, widest, room);
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
      const QString text = ShownText(b->text());
      int chrome = 8;  // the frame and padding of a push button
      if (qobject_cast<QCheckBox*>(b) != nullptr || qobject_cast<QRadioButton*>(b) != nullptr) {
        const bool check = qobject_cast<QCheckBox*>(b) != nullptr;
        chrome =
            b->style()->pixelMetric(check ? QStyle::PM_IndicatorWidth : QStyle::PM_ExclusiveIndicatorWidth,
                                    nullptr, b) +
            b->style()->pixelMetric(
                check ? QStyle::PM_CheckBoxLabelSpacing : QStyle::PM_RadioButtonLabelSpacing, nullptr, b);
      }
      if (!b->icon().isNull()) chrome += b->iconSize().width() + 4;
      check(b, text, fm.horizontalAdvance(text) + chrome, std::min(b->width(), visible));
    } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
      const QString text = ShownText(g->title());
      int chrome = 12;
      if (g->isCheckable()) chrome += g->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, g) + 4;
      check(g, text, fm.horizontalAdvance(text) + chrome, std::min(g->width(), visible));
    } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
      const QString text = e->text();
      QStyleOptionFrame frame;
      frame.initFrom(e);
      frame.lineWidth = e->hasFrame() ? e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, e) : 0;
      const QRect inner = e->style()->subElementRect(QStyle::SE_LineEditContents, &frame, e);
      check(e, text, fm.horizontalAdvance(text) + 4, std::min(inner.width(), visible));
    } else if (auto* panel = qobject_cast<CaptionPanel*>(w)) {
      const QString text = ShownText(panel->Caption());
      const int margin = panel->frameWidth() + 2;
      const QRect inner = panel->rect().adjusted(margin, margin, -margin, -margin);
      const QRect needed = fm.boundingRect(inner, Qt::AlignCenter | Qt::TextWordWrap, text);
      if (!text.isEmpty() && (needed.width() > inner.width() || needed.height() > inner.height()))
        clipped << QStringLiteral("%1 \"%2\": %3x%4 > %5x%6 px")
                       .arg(panel->objectName(), text)
                       .arg(needed.width())
                       .arg(needed.height())
                       .arg(inner.width())
                       .arg(inner.height());
    } else if (auto* t = qobject_cast<QTabBar*>(w)) {
      const int space = t->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, t);
      for (int i = 0; i < t->count(); ++i) {
        if (!t->isTabVisible(i)) continue;
        const QString text = ShownText(t->tabText(i));
        const QRect r = t->tabRect(i);
        // A tab pushed out of the bar (behind the scroll buttons) is cut too.
        const int room =
            std::min(r.width(), std::max(0, std::min(r.right(), visible - 1) - std::max(r.left(), 0) + 1));
        check(t, text, fm.horizontalAdvance(text) + space, room);
      }
    } else if (auto* h = qobject_cast<QHeaderView*>(w)) {
      if (h->orientation() != Qt::Horizontal || h->model() == nullptr) continue;
      const int margin = 2 * h->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, h);
      for (int s = 0; s < h->count(); ++s) {
        if (h->isSectionHidden(s)) continue;
        const QString text = h->model()->headerData(s, Qt::Horizontal).toString();
        check(h, text, fm.horizontalAdvance(text) + margin, h->sectionSize(s));
      }
    } else if (auto* table = qobject_cast<QTableWidget*>(w)) {
      const QFontMetrics cellFm(table->font());
      for (int r = 0; r < table->rowCount(); ++r) {
        if (table->isRowHidden(r)) continue;
        for (int c = 0; c < table->columnCount(); ++c) {
          if (table->isColumnHidden(c) || table->item(r, c) == nullptr) continue;
          const QString text = table->item(r, c)->text();
          check(table, text, cellFm.horizontalAdvance(text) + 4, table->columnWidth(c));
        }
      }
    }
  }
  return clipped;
}

// Runs `act` on the next modal window that opens (one the code under test
// makes for itself; with `name`, the one of that object name); gives up
// after `timeoutMs`.
inline void WhenModalShown(std::function<void(QWidget*)> act, int timeoutMs = 10000,
                           const QString& name = {}) {
  auto* timer = new QTimer(qApp);
  timer->setInterval(5);
  auto remaining = std::make_shared<int>(timeoutMs / 5);
  QObject::connect(timer, &QTimer::timeout, qApp, [timer, act = std::move(act), remaining, name] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible() && (name.isEmpty() || modal->objectName() == name)) {
      timer->stop();
      timer->deleteLater();
      act(modal);
    } else if (--*remaining <= 0) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace test_support
