#include "xlsx/cell_table.h"

#include <algorithm>

namespace xlsx {

void CellTable::BeginRow() { row_start_.push_back(cells_.size()); }

void CellTable::Push(const Cell& cell) {
  if (row_start_.empty()) BeginRow();
  cells_.push_back(cell);
  cols_ = std::max(cols_, cells_.size() - row_start_.back());
}

void CellTable::AddNumber(double value) { Push({value, 0, 0, CellKind::kNumber}); }

void CellTable::AddText(std::string_view text) {
  // Offsets are 32-bit: callers refuse inputs of 4 GiB and more before they get here.
  const auto offset = static_cast<uint32_t>(texts_.size());
  texts_.append(text);
  Push({0.0, offset, static_cast<uint32_t>(text.size()), CellKind::kText});
}

void CellTable::AddNothing() { Push({0.0, 0, 0, CellKind::kNothing}); }

size_t CellTable::RowLength(size_t r) const {
  if (r < 1 || r > rows()) return 0;
  const size_t end = r < rows() ? row_start_[r] : cells_.size();
  return end - row_start_[r - 1];
}

CellValue CellTable::At(size_t r, size_t k) const {
  if (k < 1 || k > RowLength(r)) return {};
  const Cell& c = cells_[row_start_[r - 1] + k - 1];
  CellValue v;
  v.kind = c.kind;
  v.number = c.number;
  if (c.kind == CellKind::kText)
    v.text = std::string_view(texts_).substr(c.text_offset, c.text_length);
  return v;
}

void CellTable::ForEachRow(const RowVisitor& visit) const {
  std::vector<CellValue> cells;
  for (size_t r = 1; r <= rows(); ++r) {
    cells.clear();
    for (size_t k = 1, n = RowLength(r); k <= n; ++k) cells.push_back(At(r, k));
    visit(cells.data(), cells.size());
  }
}

void CellTable::Reserve(size_t cells, size_t text_bytes) {
  cells_.reserve(cells);
  texts_.reserve(text_bytes);
}

}  // namespace xlsx
