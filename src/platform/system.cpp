#include "platform/system.h"

#include <langinfo.h>
#include <locale.h>

#include <clocale>
#include <filesystem>

#include "platform/numeric.h"

namespace platform {

int32_t FreeMBFromCounts(double sectors_per_cluster, double bytes_per_sector,
                         double free_clusters) {
  return RoundToInt(sectors_per_cluster * bytes_per_sector * free_clusters / 1024.0 / 1024.0);
}

int32_t GetFreeDiskMB(const std::string& root) {
  std::error_code ec;
  const auto info = std::filesystem::space(root, ec);
  if (ec || info.available == static_cast<std::uintmax_t>(-1)) return -1;
  return FreeMBFromCounts(1, 1, static_cast<double>(info.available));
}

namespace {

const NumberConventions* installed_conventions = nullptr;

}  // namespace

std::string ListSeparatorFor(const std::string& decimal_point) {
  return decimal_point == "," ? ";" : ",";
}

NumberConventions ConventionsFor(const std::string& decimal_point) {
  NumberConventions c;
  if (decimal_point == ",") {
    c.decimal_point = ',';
    c.group_separator = '.';
  }
  c.list_separator = ListSeparatorFor(decimal_point);
  return c;
}

void SetNumberConventions(const NumberConventions* conventions) {
  installed_conventions = conventions;
}

NumberConventions UserNumberConventions() {
  if (installed_conventions) return *installed_conventions;
  // Ask the user's locale (LC_NUMERIC from the environment) without changing ours.
  locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
  if (loc == static_cast<locale_t>(0)) return {};
  const char* dp = nl_langinfo_l(RADIXCHAR, loc);
  NumberConventions c = ConventionsFor(dp ? dp : "");
  freelocale(loc);
  return c;
}

std::string ListSeparator() { return UserNumberConventions().list_separator; }

}  // namespace platform
