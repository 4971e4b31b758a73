#include "setup/group_annotations.h"

#include <array>

namespace setup {
namespace {

struct FieldInfo {
  AnnotationField field;
  const char* name;
  const char* global_default;  // null: not switchable
};
constexpr std::array<FieldInfo, 5> kFields = {{
    {AnnotationField::kCompound, "Compound", nullptr},
    {AnnotationField::kStrain, "Strain", "N2"},
    {AnnotationField::kBuffer, "Buffer", "M9"},
    {AnnotationField::kOrganisms, "[org/well]", "35"},
    {AnnotationField::kConcentration, "[Conc]", nullptr},
}};

const FieldInfo& Info(AnnotationField f) {
  for (const FieldInfo& i : kFields)
    if (i.field == f) return i;
  return kFields[0];
}

}  // namespace

std::vector<std::string> AnnotationFieldNames() {
  std::vector<std::string> names;
  for (const FieldInfo& i : kFields) names.emplace_back(i.name);
  return names;
}

std::optional<AnnotationField> AnnotationFieldOf(std::string_view chooser_text) {
  for (const FieldInfo& i : kFields)
    if (chooser_text == i.name) return i.field;
  return std::nullopt;
}

bool IsSwitchable(AnnotationField field) { return Info(field).global_default != nullptr; }

AnnotationPanel::AnnotationPanel(storage::SharedState& s) : s_(s) {}

bool AnnotationPanel::Up() {
  if (offset_ <= 0) return false;
  --offset_;
  return true;
}

bool AnnotationPanel::Down() {
  if (offset_ >= kMaxAnnotationOffset) return false;
  ++offset_;
  return true;
}

bool AnnotationPanel::IsGlobal(AnnotationField field) const {
  switch (field) {
    case AnnotationField::kStrain:
      return strain_global_;
    case AnnotationField::kBuffer:
      return buffer_global_;
    case AnnotationField::kOrganisms:
      return organisms_global_;
    default:
      return false;
  }
}

void AnnotationPanel::SetGlobalMode(AnnotationField field, bool global) {
  std::string* value = Global(field);
  if (!value) return;
  switch (field) {
    case AnnotationField::kStrain:
      strain_global_ = global;
      break;
    case AnnotationField::kBuffer:
      buffer_global_ = global;
      break;
    default:
      organisms_global_ = global;
      break;
  }
  if (!global)
    value->clear();
  else if (value->empty())
    *value = Info(field).global_default;
}

storage::ChannelTableText& AnnotationPanel::Table(AnnotationField field) const {
  switch (field) {
    case AnnotationField::kCompound:
      return s_.Group_Compound;
    case AnnotationField::kConcentration:
      return s_.Group_Concentration;
    case AnnotationField::kStrain:
      return s_.Group_Strain;
    case AnnotationField::kOrganisms:
      return s_.Group_Organisms;
    default:
      return s_.Group_Buffer;
  }
}

std::string* AnnotationPanel::Global(AnnotationField field) const {
  switch (field) {
    case AnnotationField::kStrain:
      return &s_.Global_Strain;
    case AnnotationField::kBuffer:
      return &s_.Global_Buffer;
    case AnnotationField::kOrganisms:
      return &s_.Global_Organisms;
    default:
      return nullptr;
  }
}

const std::string& AnnotationPanel::Entry(AnnotationField field, int row) const {
  static const std::string none;
  if (row < 0 || row >= kAnnotationRows) return none;
  return Table(field)[static_cast<size_t>(GroupOfRow(row))];
}

void AnnotationPanel::SetEntry(AnnotationField field, int row, std::string_view text) {
  if (row < 0 || row >= kAnnotationRows) return;
  Table(field)[static_cast<size_t>(GroupOfRow(row))] = text;
}

const std::string& AnnotationPanel::GlobalValue(AnnotationField field) const {
  static const std::string none;
  const std::string* v = Global(field);
  return v ? *v : none;
}

void AnnotationPanel::SetGlobalValue(AnnotationField field, std::string_view text) {
  if (std::string* v = Global(field)) *v = text;
}

void AnnotationPanel::ApplyDefaults() {
  for (const AnnotationField f :
       {AnnotationField::kStrain, AnnotationField::kBuffer, AnnotationField::kOrganisms}) {
    std::string* v = Global(f);
    if (IsGlobal(f) && v->empty()) *v = Info(f).global_default;
  }
}

AnnotationColumns AnnotationPanel::Columns() const {
  const double s = strain_global_ ? 0 : 0.15;
  const double o = organisms_global_ ? 0 : 0.05;
  const double b = buffer_global_ ? 0 : 0.15;
  AnnotationColumns c;
  c.selector = {0.03, 0.02};
  // "#Group" reaches over the selector column, which has no header of its own.
  c.group_header = {0.03, 0.07};
  c.group = {0.06, 0.04};
  c.compound = {0.10, 0.54 - s - o - b};
  c.concentration = {0.64 - s - o - b, 0.05};
  c.strain = {0.69 - s - o - b, 0.15, !strain_global_};
  c.organisms = {0.69 - o - b, 0.05, !organisms_global_};
  c.buffer = {0.69 - b, 0.15, !buffer_global_};
  return c;
}

void AnnotationPanel::Fill(std::string_view chooser_text, std::string_view value,
                           std::span<const std::string> group_names) {
  const auto field = AnnotationFieldOf(chooser_text);
  if (!field) return;
  storage::ChannelTableText& table = Table(*field);
  for (size_t g = 0; g < static_cast<size_t>(storage::kChannelCount) && g < group_names.size(); ++g)
    if (group_names[g] != "Free") table[g] = value;
  if (IsSwitchable(*field) && IsGlobal(*field)) SetGlobalMode(*field, false);
}

void AnnotationPanel::SetGlobal(std::string_view chooser_text, std::string_view value) {
  const auto field = AnnotationFieldOf(chooser_text);
  if (!field || !IsSwitchable(*field)) return;
  *Global(*field) = value;
  if (!IsGlobal(*field)) SetGlobalMode(*field, true);
}

}  // namespace setup
