#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <vector>

#include "ui/opt_string_grid.h"

namespace {

const QColor kImageColor(255, 0, 0);

class OptStringGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QPixmap red(12, 10);
    red.fill(kImageColor);
    images.Add(red);
    images.Add(red);
    images.Add(red);
    grid.SetSymbolList(&images);
    grid.SetFixedCols(0);
    grid.SetFixedRows(0);
    grid.SetColCount(3);
    grid.SetRowCount(3);
    grid.resize(400, 300);
  }

  // Counts the pixels of the image colour inside a cell.
  int ImagePixelsIn(int col, int row) {
    grid.show();
    QApplication::processEvents();
    const QImage shot = grid.viewport()->grab().toImage();
    const QRect cell = grid.CellRect(col, row);
    int count = 0;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
      for (int x = cell.left(); x <= cell.right(); ++x)
        if (shot.pixelColor(x, y) == kImageColor) ++count;
    return count;
  }

  ImageList images{12, 10};
  TOptStringGrid grid;
};

TEST_F(OptStringGridTest, SetCellKeepsOrDropsTheDecoration) {
  grid.SetCell(0, 0, 1, fsBold, Qt::blue, QStringLiteral("ab"));
  TOptStringGridObj* obj = grid.Objects(0, 0);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(obj->Color, QColor(Qt::blue));
  EXPECT_EQ(obj->Style, fsBold);
  EXPECT_EQ(obj->ImageIndex, 1);

  // An empty text keeps colour and style and changes only the image.
  grid.SetCell(0, 0, 2, fsItalic, Qt::green, QString());
  obj = grid.Objects(0, 0);
  ASSERT_NE(obj, nullptr);
  EXPECT_EQ(obj->Color, QColor(Qt::blue));
  EXPECT_EQ(obj->Style, fsBold);
  EXPECT_EQ(obj->ImageIndex, 2);
  EXPECT_EQ(grid.Cells(0, 0), QString());

  // A new object made without text has the zero defaults.
  grid.SetCell(1, 1, 2, fsItalic, Qt::green, QString());
  ASSERT_NE(grid.Objects(1, 1), nullptr);
  EXPECT_EQ(grid.Objects(1, 1)->Color, QColor(Qt::black));
  EXPECT_EQ(grid.Objects(1, 1)->Style, 0);

  // Image -1 with text: a plain cell.
  grid.SetCell(0, 0, -1, fsBold, Qt::red, QStringLiteral("plain"));
  EXPECT_EQ(grid.Objects(0, 0), nullptr);
  EXPECT_EQ(grid.Cells(0, 0), QStringLiteral("plain"));

  // Clearing the text alone keeps the object.
  grid.SetCells(1, 1, QString());
  EXPECT_NE(grid.Objects(1, 1), nullptr);
  // Cells outside the grid are ignored; shrinking the grid frees objects.
  grid.SetCell(7, 7, 0, 0, Qt::black, QStringLiteral("x"));
  EXPECT_EQ(grid.Objects(7, 7), nullptr);
  grid.SetRowCount(1);
  EXPECT_EQ(grid.Objects(1, 1), nullptr);
}

TEST_F(OptStringGridTest, OptimizeSizesColumnsAndRowsToTheirContents) {
  const QFontMetrics metrics(grid.font());
  grid.SetCells(0, 0, QStringLiteral("ab"));
  grid.SetCell(1, 1, 0, 0, Qt::black, QStringLiteral("xyz"));
  grid.OptimizeGridSize();
  EXPECT_EQ(grid.ColWidths(0), std::max(10, metrics.horizontalAdvance(QStringLiteral("ab")) + 8));
  EXPECT_EQ(grid.ColWidths(1), std::max(10, metrics.horizontalAdvance(QStringLiteral("xyz")) + 8));
  EXPECT_EQ(grid.ColWidths(2), 10);  // empty column
  EXPECT_EQ(grid.RowHeights(2), std::max(16, metrics.height()));

  // With images drawn, a cell with an image needs a blank and the image.
  ImageList tall(20, 40);
  QPixmap pix(20, 40);
  pix.fill(Qt::red);
  tall.Add(pix);
  grid.SetSymbolList(&tall);
  grid.SetDrawImages(true);
  grid.OptimizeGridSize();
  EXPECT_EQ(grid.ColWidths(1), metrics.horizontalAdvance(QStringLiteral("xyz")) + 8 +
                                   metrics.horizontalAdvance(QLatin1Char(' ')) + 20);
  EXPECT_EQ(grid.RowHeights(1), 40);
  EXPECT_EQ(grid.RowHeights(0), std::max(16, metrics.height()));
  grid.SetSymbolList(&images);
}

TEST_F(OptStringGridTest, GridSizeEventReportsTheLastCellsNewCorner) {
  grid.show();
  QApplication::processEvents();
  std::vector<QPoint> events;
  grid.OnGridSize = [&](QObject* sender, int x, int y) {
    EXPECT_EQ(sender, &grid);
    events.emplace_back(x, y);
  };
  grid.OptimizeGridSize();
  ASSERT_EQ(events.size(), 1u);
  const QRect last = grid.CellRect(2, 2);
  EXPECT_EQ(events[0], QPoint(last.x() + last.width(), last.y() + last.height()));
  grid.OptimizeGridSize();  // nothing moved
  EXPECT_EQ(events.size(), 1u);

  // A last cell that leaves the view counts as 0, 0.
  ImageList tall(10, 40);
  QPixmap pix(10, 40);
  pix.fill(Qt::red);
  tall.Add(pix);
  grid.SetSymbolList(&tall);
  grid.SetDrawImages(true);
  grid.SetRowCount(10);
  grid.OptimizeGridSize();
  ASSERT_EQ(events.size(), 2u);
  ASSERT_FALSE(grid.CellRect(2, 9).isEmpty());
  for (int row = 0; row < 10; ++row) grid.SetCell(0, row, 0, 0, Qt::black, QStringLiteral("x"));
  grid.OptimizeGridSize();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[2], QPoint(0, 0));
  grid.SetSymbolList(&images);
}

TEST_F(OptStringGridTest, AutoOptimizeFollowsSetCell) {
  grid.SetAutoOptimize(true);
  grid.SetCell(2, 0, -1, 0, Qt::black, QStringLiteral("a much longer text"));
  EXPECT_EQ(grid.ColWidths(2),
            QFontMetrics(grid.font()).horizontalAdvance(QStringLiteral("a much longer text")) + 8);
}

TEST_F(OptStringGridTest, ImagesAreDrawnOnlyWhenEnabled) {
  grid.SetCell(1, 1, 0, 0, Qt::black, QStringLiteral("T"));
  grid.SetCell(0, 0, -1, 0, Qt::black, QStringLiteral("plain"));
  grid.SetDefaultColWidth(80);
  EXPECT_EQ(ImagePixelsIn(1, 1), 0);
  grid.SetDrawImages(true);
  EXPECT_EQ(ImagePixelsIn(1, 1), 12 * 10);
  EXPECT_EQ(ImagePixelsIn(0, 0), 0);
  // An index outside the list draws nothing.
  grid.SetCell(1, 1, 9, 0, Qt::black, QStringLiteral("T"));
  EXPECT_EQ(ImagePixelsIn(1, 1), 0);
}

TEST_F(OptStringGridTest, CellColourIsUsedForTheText) {
  grid.SetDefaultColWidth(80);
  QFont big = grid.font();
  big.setPixelSize(20);
  grid.setFont(big);
  grid.SetDefaultRowHeight(30);
  grid.SetCell(0, 1, 0, fsBold, QColor(0, 0, 255), QStringLiteral("WWW"));
  grid.show();
  QApplication::processEvents();
  const QImage shot = grid.viewport()->grab().toImage();
  const QRect cell = grid.CellRect(0, 1);
  int blue = 0;
  for (int y = cell.top(); y <= cell.bottom(); ++y)
    for (int x = cell.left(); x <= cell.right(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      if (c.blue() > 200 && c.red() < 60 && c.green() < 60) ++blue;
    }
  EXPECT_GT(blue, 10);
}

TEST_F(OptStringGridTest, FixedCellsCannotBeSelectedAndSelectionCanBeRefused) {
  grid.SetFixedRows(1);
  grid.SetFixedCols(1);
  grid.SetCol(1);
  grid.SetRow(1);
  std::vector<QPoint> asked;
  grid.OnSelectCell = [&](QObject*, int col, int row, bool& canSelect) {
    asked.emplace_back(col, row);
    canSelect = row != 2;
  };
  grid.setCurrentCell(2, 2);
  EXPECT_EQ(grid.Row(), 1);
  grid.setCurrentCell(1, 2);
  EXPECT_EQ(grid.Col(), 2);
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_FALSE(grid.item(0, 1)->flags() & Qt::ItemIsSelectable);
}

}  // namespace
