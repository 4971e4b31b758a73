#pragma once
// The annotation panel's model: per-group notes (compound, concentration, strain,
// organisms per well, buffer) and the global strain, buffer and organisms that can
// stand for every group. The notes live in the process-wide tables for as long as the
// program runs and reach no file; the panel's scroll offset and the three mode ticks
// belong to one load of the setup window.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/shared_state.h"

namespace setup {

enum class AnnotationField { kCompound, kStrain, kBuffer, kOrganisms, kConcentration };

// The field chooser's items, in the chooser's order: "Compound", "Strain", "Buffer",
// "[org/well]", "[Conc]".
std::vector<std::string> AnnotationFieldNames();
std::optional<AnnotationField> AnnotationFieldOf(std::string_view chooser_text);
// Strain, buffer and organisms per well can be global; compound and concentration
// are always per group.
bool IsSwitchable(AnnotationField field);

// Left edge and width of a column as fractions of the panel's width.
struct ColumnSpan {
  double left = 0, width = 0;
  bool visible = true;
};
struct AnnotationColumns {
  ColumnSpan selector, group_header, group, compound, concentration, strain, organisms, buffer;
};

inline constexpr int kAnnotationRows = 6;
inline constexpr int kMaxAnnotationOffset = 378;  // the rows then show groups 378..383

class AnnotationPanel {
 public:
  // A freshly loaded panel: the first row shows group 0, the three switchable fields
  // global.
  explicit AnnotationPanel(storage::SharedState& s);

  int Offset() const { return offset_; }
  // One group up or down; false at the ends.
  bool Up();
  bool Down();
  // The group row `row` (0..5) shows.
  int GroupOfRow(int row) const { return offset_ + row; }

  bool IsGlobal(AnnotationField field) const;
  // The mode box's change: unticked empties the global value, ticked gives an empty
  // one its default.
  void SetGlobalMode(AnnotationField field, bool global);

  // The entry of the group that row `row` shows; typing stores it.
  const std::string& Entry(AnnotationField field, int row) const;
  void SetEntry(AnnotationField field, int row, std::string_view text);
  const std::string& GlobalValue(AnnotationField field) const;
  void SetGlobalValue(AnnotationField field, std::string_view text);

  // Before the grid is shown: a global field with an empty value takes its default
  // ("N2", "M9", "35").
  void ApplyDefaults();
  AnnotationColumns Columns() const;

  // "Fill": the chosen field of every group 0..383 whose name is not "Free" takes
  // `value`; a switchable field becomes per group. Another chooser text does nothing.
  void Fill(std::string_view chooser_text, std::string_view value,
            std::span<const std::string> group_names);
  // "SET Global": a switchable field's global value becomes `value` and the field
  // global. Compound, concentration and other texts do nothing.
  void SetGlobal(std::string_view chooser_text, std::string_view value);

 private:
  storage::ChannelTableText& Table(AnnotationField field) const;
  std::string* Global(AnnotationField field) const;

  storage::SharedState& s_;
  int offset_ = 0;
  bool strain_global_ = true, buffer_global_ = true, organisms_global_ = true;
};

}  // namespace setup
