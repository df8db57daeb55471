#pragma once

#include <QColor>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QTableWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class QPainter;

// Font style flags of a grid cell, combined in one byte.
enum TFontStyle : std::uint8_t { fsBold = 0x01, fsItalic = 0x02, fsUnderline = 0x04, fsStrikeOut = 0x08 };
using TFontStyles = std::uint8_t;

// The decoration of one grid cell; owned by the grid.
struct TOptStringGridObj {
  QColor Color = QColor(Qt::black);
  TFontStyles Style = 0;
  int ImageIndex = -1;  // into the grid's SymbolList; -1: no image
};

// A list of equally sized small pictures, addressed by index.
class ImageList {
 public:
  ImageList(int width, int height) : width_(width), height_(height) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Count() const { return static_cast<int>(images_.size()); }
  int Add(const QPixmap& image);  // scaled to the list's size; returns the index
  // Draws picture `index` with its top left corner at (x, y); nothing for an
  // index outside the list. A disabled picture is drawn greyed.
  void Draw(QPainter* canvas, int x, int y, int index, bool enabled = true) const;

 private:
  int width_;
  int height_;
  std::vector<QPixmap> images_;
};

// (Sender, X, Y): the new right and bottom edge of the grid's last cell.
using TGridSizeEvent = std::function<void(QObject* sender, int x, int y)>;

// A string grid whose cells may carry a text colour, a font style and a small
// picture drawn after the text, and which can size its columns and rows to
// their contents.
//
// The grid keeps the coordinates of a classic string grid: Cells(col, row)
// with the fixed (header) rows and columns counted in; fixed cells are drawn
// as headers and cannot be selected. Column widths and row heights are in
// pixels; CellRect is in the coordinates of the grid's viewport and empty for
// a cell out of view.
class TOptStringGrid : public QTableWidget {
  Q_OBJECT

 public:
  explicit TOptStringGrid(QWidget* parent = nullptr);
  ~TOptStringGrid() override;

  // Raised by OptimizeGridSize when the last cell's bottom-right corner moved.
  TGridSizeEvent OnGridSize;
  // Raised before the current cell moves; clearing canSelect keeps the old one.
  std::function<void(QObject* sender, int col, int row, bool& canSelect)> OnSelectCell;
  std::function<void(QObject* sender)> OnClick;
  std::function<void(QObject* sender)> OnDblClick;

  bool DrawImages() const { return drawImages_; }
  void SetDrawImages(bool value);
  bool AutoOptimize() const { return autoOptimize_; }
  void SetAutoOptimize(bool value) { autoOptimize_ = value; }
  ImageList* SymbolList() const { return symbolList_; }
  void SetSymbolList(ImageList* list) { symbolList_ = list; }

  // Sets the text of a cell; a non-empty text also sets the cell's colour and
  // style. ImageIndex -1 removes the cell's decoration altogether (colour and
  // style go with it), any other index keeps or creates it with that image.
  void SetCell(int col, int row, int imageIndex, TFontStyles style, const QColor& color, const QString& text);
  // Column widths and row heights from the contents (measured with the grid's
  // font); raises OnGridSize when the last cell's corner moved.
  void OptimizeGridSize();
  // The column width OptimizeGridSize gives a cell holding `text` (no image).
  int CellWidthFor(const QString& text) const;
  // The decoration of a cell, nullptr when it has none.
  TOptStringGridObj* Objects(int col, int row) const;

  int ColCount() const { return columnCount(); }
  void SetColCount(int count);
  int RowCount() const { return rowCount(); }
  void SetRowCount(int count);
  int FixedCols() const { return fixedCols_; }
  void SetFixedCols(int count);
  int FixedRows() const { return fixedRows_; }
  void SetFixedRows(int count);
  QString Cells(int col, int row) const;
  void SetCells(int col, int row, const QString& text);
  int ColWidths(int col) const;
  void SetColWidths(int col, int width);
  int RowHeights(int row) const;
  void SetRowHeights(int row, int height);
  int DefaultColWidth() const { return defaultColWidth_; }
  void SetDefaultColWidth(int width);  // applies to every column
  int DefaultRowHeight() const { return defaultRowHeight_; }
  void SetDefaultRowHeight(int height);  // applies to every row
  bool RowSelect() const;
  void SetRowSelect(bool value);
  int Col() const { return currentColumn(); }
  int Row() const { return currentRow(); }
  void SetCol(int col);
  void SetRow(int row);
  QRect CellRect(int col, int row) const;
  int Tag() const { return tag_; }
  void SetTag(int value) { tag_ = value; }

  // Paints one cell: background, then DrawCell. Called by the grid's item
  // delegate.
  void PaintCell(QPainter* canvas, int col, int row, const QRect& rect, bool selected);

 protected:
  // Draws the content of a cell over its background: decorated cells with
  // their colour, style and picture, other cells as plain text.
  virtual void DrawCell(QPainter* canvas, int col, int row, const QRect& rect, bool selected);
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void EnsureItems();
  void DropObjectsOutside();
  bool IsFixed(int col, int row) const;
  void CurrentCellChanged(int row, int col, int previousRow, int previousCol);
  bool HasImage(const TOptStringGridObj* obj) const;

  std::map<std::pair<int, int>, std::unique_ptr<TOptStringGridObj>> objects_;
  ImageList* symbolList_ = nullptr;
  bool drawImages_ = false;
  bool autoOptimize_ = false;
  int fixedCols_ = 1;
  int fixedRows_ = 1;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  int tag_ = 0;
  bool revertingSelection_ = false;
};
