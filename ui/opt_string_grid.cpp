#include "ui/opt_string_grid.h"

#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int kTextOffset = 2;
constexpr int kMinColumnWidth = 10;
constexpr int kMinRowHeight = 16;
constexpr int kWidthMargin = 8;

QFont StyledFont(QFont font, TFontStyles style) {
  font.setBold(style & fsBold);
  font.setItalic(style & fsItalic);
  font.setUnderline(style & fsUnderline);
  font.setStrikeOut(style & fsStrikeOut);
  return font;
}

// Hands the painting of every cell to the grid.
class CellDelegate : public QStyledItemDelegate {
 public:
  explicit CellDelegate(TOptStringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    painter->save();
    grid_->PaintCell(painter, index.column(), index.row(), option.rect,
                     option.state & QStyle::State_Selected);
    painter->restore();
  }

 private:
  TOptStringGrid* grid_;
};

}  // namespace

int ImageList::Add(const QPixmap& image) {
  images_.push_back(image.size() == QSize(width_, height_)
                        ? image
                        : image.scaled(width_, height_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
  return Count() - 1;
}

void ImageList::Draw(QPainter* canvas, int x, int y, int index, bool enabled) const {
  if (!canvas || index < 0 || index >= Count()) return;
  const QPixmap& image = images_[static_cast<size_t>(index)];
  if (enabled) {
    canvas->drawPixmap(x, y, image);
  } else {
    canvas->save();
    canvas->setOpacity(0.4);
    canvas->drawPixmap(x, y, image);
    canvas->restore();
  }
}

TOptStringGrid::TOptStringGrid(QWidget* parent) : QTableWidget(5, 5, parent) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  horizontalHeader()->setMinimumSectionSize(0);
  verticalHeader()->setMinimumSectionSize(0);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setWordWrap(false);
  setItemDelegate(new CellDelegate(this));
  SetDefaultColWidth(defaultColWidth_);
  SetDefaultRowHeight(defaultRowHeight_);
  EnsureItems();
  connect(this, &QTableWidget::currentCellChanged, this, &TOptStringGrid::CurrentCellChanged);
  connect(this, &QTableWidget::cellClicked, this, [this](int, int) {
    if (OnClick) OnClick(this);
  });
}

TOptStringGrid::~TOptStringGrid() = default;

void TOptStringGrid::SetDrawImages(bool value) {
  drawImages_ = value;
  if (autoOptimize_) OptimizeGridSize();
  viewport()->update();
}

TOptStringGridObj* TOptStringGrid::Objects(int col, int row) const {
  const auto found = objects_.find({col, row});
  return found == objects_.end() ? nullptr : found->second.get();
}

void TOptStringGrid::SetCell(int col, int row, int imageIndex, TFontStyles style, const QColor& color,
                             const QString& text) {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return;
  const std::pair<int, int> key{col, row};
  if (!text.isEmpty()) {
    auto& obj = objects_[key];
    if (!obj) obj = std::make_unique<TOptStringGridObj>();
    obj->Color = color;
    obj->Style = style;
  }
  if (imageIndex == -1) {
    objects_.erase(key);
  } else {
    auto& obj = objects_[key];
    if (!obj) obj = std::make_unique<TOptStringGridObj>();
    obj->ImageIndex = imageIndex;
  }
  SetCells(col, row, text);
  if (autoOptimize_) OptimizeGridSize();
}

bool TOptStringGrid::HasImage(const TOptStringGridObj* obj) const {
  return obj && obj->ImageIndex != -1 && drawImages_;
}

int TOptStringGrid::CellWidthFor(const QString& text) const {
  return QFontMetrics(font()).horizontalAdvance(text) + kWidthMargin;
}

void TOptStringGrid::OptimizeGridSize() {
  const int lastCol = ColCount() - 1;
  const int lastRow = RowCount() - 1;
  const QRect before = CellRect(lastCol, lastRow);
  const QFontMetrics metrics(font());
  const int blank = metrics.horizontalAdvance(QLatin1Char(' '));
  const int imageWidth = symbolList_ ? symbolList_->Width() : 0;
  const int imageHeight = symbolList_ ? symbolList_->Height() : 0;
  for (int col = 0; col < ColCount(); ++col) {
    int width = kMinColumnWidth;
    for (int row = 0; row < RowCount(); ++row) {
      int cell = CellWidthFor(Cells(col, row));
      if (HasImage(Objects(col, row))) cell += blank + imageWidth;
      width = std::max(width, cell);
    }
    SetColWidths(col, width);
  }
  for (int row = 0; row < RowCount(); ++row) {
    int height = kMinRowHeight;
    for (int col = 0; col < ColCount(); ++col) {
      int cell = metrics.height();
      if (HasImage(Objects(col, row))) cell = std::max(cell, imageHeight);
      height = std::max(height, cell);
    }
    SetRowHeights(row, height);
  }
  const QRect after = CellRect(lastCol, lastRow);
  const auto right = [](const QRect& r) { return r.isEmpty() ? 0 : r.x() + r.width(); };
  const auto bottom = [](const QRect& r) { return r.isEmpty() ? 0 : r.y() + r.height(); };
  if ((right(after) != right(before) || bottom(after) != bottom(before)) && OnGridSize)
    OnGridSize(this, right(after), bottom(after));
}

void TOptStringGrid::SetColCount(int count) {
  setColumnCount(std::max(0, count));
  DropObjectsOutside();
  SetDefaultColWidth(defaultColWidth_);
  EnsureItems();
}

void TOptStringGrid::SetRowCount(int count) {
  const int old = rowCount();
  setRowCount(std::max(0, count));
  DropObjectsOutside();
  for (int row = old; row < rowCount(); ++row) verticalHeader()->resizeSection(row, defaultRowHeight_);
  EnsureItems();
}

void TOptStringGrid::SetFixedCols(int count) {
  fixedCols_ = std::max(0, count);
  EnsureItems();
  viewport()->update();
}

void TOptStringGrid::SetFixedRows(int count) {
  fixedRows_ = std::max(0, count);
  EnsureItems();
  viewport()->update();
}

QString TOptStringGrid::Cells(int col, int row) const {
  const QTableWidgetItem* cell = item(row, col);
  return cell ? cell->text() : QString();
}

void TOptStringGrid::SetCells(int col, int row, const QString& text) {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return;
  QTableWidgetItem* cell = item(row, col);
  if (!cell) {
    EnsureItems();
    cell = item(row, col);
  }
  cell->setText(text);
}

int TOptStringGrid::ColWidths(int col) const { return horizontalHeader()->sectionSize(col); }

void TOptStringGrid::SetColWidths(int col, int width) {
  if (col < 0 || col >= ColCount()) return;
  horizontalHeader()->resizeSection(col, std::max(0, width));
}

int TOptStringGrid::RowHeights(int row) const { return verticalHeader()->sectionSize(row); }

void TOptStringGrid::SetRowHeights(int row, int height) {
  if (row < 0 || row >= RowCount()) return;
  verticalHeader()->resizeSection(row, std::max(0, height));
}

void TOptStringGrid::SetDefaultColWidth(int width) {
  defaultColWidth_ = std::max(0, width);
  horizontalHeader()->setDefaultSectionSize(defaultColWidth_);
  for (int col = 0; col < ColCount(); ++col) horizontalHeader()->resizeSection(col, defaultColWidth_);
}

void TOptStringGrid::SetDefaultRowHeight(int height) {
  defaultRowHeight_ = std::max(0, height);
  verticalHeader()->setDefaultSectionSize(defaultRowHeight_);
  for (int row = 0; row < RowCount(); ++row) verticalHeader()->resizeSection(row, defaultRowHeight_);
}

bool TOptStringGrid::RowSelect() const { return selectionBehavior() == QAbstractItemView::SelectRows; }

void TOptStringGrid::SetRowSelect(bool value) {
  setSelectionBehavior(value ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
}

void TOptStringGrid::SetCol(int col) { setCurrentCell(std::max(Row(), fixedRows_), col); }

void TOptStringGrid::SetRow(int row) { setCurrentCell(row, std::max(Col(), fixedCols_)); }

QRect TOptStringGrid::CellRect(int col, int row) const {
  if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount()) return {};
  const QRect cell = visualRect(model()->index(row, col));
  if (!cell.intersects(viewport()->rect())) return {};
  return cell;
}

bool TOptStringGrid::IsFixed(int col, int row) const { return col < fixedCols_ || row < fixedRows_; }

void TOptStringGrid::EnsureItems() {
  for (int row = 0; row < RowCount(); ++row) {
    for (int col = 0; col < ColCount(); ++col) {
      QTableWidgetItem* cell = item(row, col);
      if (!cell) {
        cell = new QTableWidgetItem();
        setItem(row, col, cell);
      }
      const Qt::ItemFlags flags =
          IsFixed(col, row) ? Qt::ItemIsEnabled : (Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      if (cell->flags() != flags) cell->setFlags(flags);
    }
  }
}

void TOptStringGrid::DropObjectsOutside() {
  std::erase_if(objects_, [this](const auto& entry) {
    return entry.first.first >= ColCount() || entry.first.second >= RowCount();
  });
}

void TOptStringGrid::CurrentCellChanged(int row, int col, int previousRow, int previousCol) {
  if (revertingSelection_ || row < 0 || col < 0 || !OnSelectCell) return;
  bool canSelect = true;
  OnSelectCell(this, col, row, canSelect);
  if (!canSelect && previousRow >= 0 && previousCol >= 0) {
    revertingSelection_ = true;
    setCurrentCell(previousRow, previousCol);
    revertingSelection_ = false;
  }
}

void TOptStringGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  QTableWidget::mouseDoubleClickEvent(event);
  if (OnDblClick) OnDblClick(this);
}

void TOptStringGrid::PaintCell(QPainter* canvas, int col, int row, const QRect& rect, bool selected) {
  const bool fixed = IsFixed(col, row);
  const QPalette& colors = palette();
  QColor background = colors.color(QPalette::Base);
  QColor text = colors.color(QPalette::Text);
  if (fixed) {
    background = colors.color(QPalette::Button);
    text = colors.color(QPalette::ButtonText);
  } else if (selected) {
    background = colors.color(QPalette::Highlight);
    text = colors.color(QPalette::HighlightedText);
  }
  canvas->fillRect(rect, background);
  canvas->setPen(text);
  canvas->setFont(font());
  canvas->setClipRect(rect);
  DrawCell(canvas, col, row, rect, selected);
}

void TOptStringGrid::DrawCell(QPainter* canvas, int col, int row, const QRect& rect, bool /*selected*/) {
  const TOptStringGridObj* obj = Objects(col, row);
  if (obj) {
    canvas->setPen(obj->Color);
    canvas->setFont(StyledFont(canvas->font(), obj->Style));
  }
  const QString text = Cells(col, row);
  int left = rect.left() + kTextOffset;
  const int top = rect.top() + kTextOffset;
  const QFontMetrics metrics(canvas->font());
  if (obj && obj->ImageIndex != -1 && drawImages_) {
    if (!text.isEmpty()) {
      canvas->drawText(left, top + metrics.ascent(), text);
      left += metrics.horizontalAdvance(text + QLatin1Char(' '));
    }
    if (symbolList_) symbolList_->Draw(canvas, left, top, obj->ImageIndex, true);
    return;
  }
  canvas->drawText(left, top + metrics.ascent(), text);
}
