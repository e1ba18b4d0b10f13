#include "contact_sheet.hpp"

#include <algorithm>

#include "errors.hpp"
#include "label_font.hpp"

namespace kplhost {
namespace {

constexpr int32_t kGap = 4;
constexpr Rgb kBackground{48, 48, 48};
constexpr LabelStyle kLabelStyle{};
constexpr int64_t kMaxSheetPixels = int64_t(1) << 28;

int64_t linesOf(const SheetRow& row, int32_t columns) {
  return std::max<int64_t>(1, (int64_t(row.pictures.size()) + columns - 1) / columns);
}

}  // namespace

RgbImage ComposeContactSheet(const std::vector<SheetRow>& rows, int32_t columns) {
  columns = std::max(columns, 1);
  int32_t cellWidth = 0, cellHeight = 0, labelWidth = 0;
  int64_t usedColumns = 0, lines = 0;
  bool labelled = false;
  for (const SheetRow& row : rows) {
    usedColumns = std::max<int64_t>(usedColumns, std::min<int64_t>(row.pictures.size(), columns));
    lines += linesOf(row, columns);
    labelWidth = std::max(labelWidth, LabelWidth(row.label, kLabelStyle));
    labelled = labelled || !row.label.empty();
    for (const RgbImage& picture : row.pictures) {
      cellWidth = std::max(cellWidth, picture.width());
      cellHeight = std::max(cellHeight, picture.height());
    }
  }
  if (usedColumns == 0 || cellWidth == 0)
    throw Failure("a contact sheet needs at least one picture");

  const int32_t labelBand = labelled ? LabelHeight(kLabelStyle) + kGap : 0;
  const int64_t width =
      std::max(usedColumns * (cellWidth + kGap), int64_t(labelWidth) + kGap) + kGap;
  const int64_t height = int64_t(rows.size()) * labelBand + lines * (cellHeight + kGap) + kGap;
  if (width * height > kMaxSheetPixels)
    throw Failure("the contact sheet would be too large (" + std::to_string(width) + "x" +
                  std::to_string(height) + ")");

  RgbImage sheet(int32_t(width), int32_t(height), kBackground);
  int32_t top = kGap;
  for (const SheetRow& row : rows) {
    DrawLabel(sheet, row.label, kGap, top, kLabelStyle);
    top += labelBand;
    for (size_t i = 0; i < row.pictures.size(); ++i) {
      const int32_t column = int32_t(i % size_t(columns)), line = int32_t(i / size_t(columns));
      Paste(sheet, row.pictures[i], kGap + column * (cellWidth + kGap),
            top + line * (cellHeight + kGap));
    }
    top += int32_t(linesOf(row, columns)) * (cellHeight + kGap);
  }
  return sheet;
}

}  // namespace kplhost
