#pragma once
// The table of cell values the CSV reader fills and the workbook writer reads: rows
// 1..R, columns 1..K, K being the longest row. Cells are kept flat, row after row, and
// texts in one shared buffer, so a table of a million cells costs no allocation per cell.
// A row shorter than K reads as the empty text past its end.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

enum class CellKind : uint8_t { kNothing, kNumber, kText };

struct CellValue {
  CellKind kind = CellKind::kText;
  double number = 0.0;
  std::string_view text;  // valid while the table lives and is not changed
};

// Rows of cells as the workbook writer takes them, one row at a time: cells 1..n of a
// row (n at most cols(); the cells past n are the empty text). Texts are valid during
// the visit only.
class SheetRows {
 public:
  using RowVisitor = std::function<void(const CellValue* cells, size_t count)>;
  virtual ~SheetRows() = default;
  virtual size_t rows() const = 0;
  virtual size_t cols() const = 0;
  virtual void ForEachRow(const RowVisitor& visit) const = 0;
};

class CellTable final : public SheetRows {
 public:
  // Starts a new row; the cells added next belong to it.
  void BeginRow();
  void AddNumber(double value);
  void AddText(std::string_view text);
  void AddNothing();

  size_t rows() const override { return row_start_.size(); }
  size_t cols() const override { return cols_; }
  void ForEachRow(const RowVisitor& visit) const override;
  // Number of cells stored in row r (1-based); at most cols().
  size_t RowLength(size_t r) const;
  // Cell (r, k), both 1-based; the empty text past the end of a short row.
  CellValue At(size_t r, size_t k) const;

  // Expected sizes, to reserve the buffers before filling.
  void Reserve(size_t cells, size_t text_bytes);

 private:
  struct Cell {
    double number;
    uint32_t text_offset;
    uint32_t text_length;
    CellKind kind;
  };
  void Push(const Cell& cell);

  std::vector<Cell> cells_;
  std::vector<size_t> row_start_;
  std::string texts_;
  size_t cols_ = 0;
};

}  // namespace xlsx
