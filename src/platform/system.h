#pragma once
// Disk space and the user's number conventions: the small system queries the run
// start, the report writers and the workbook converter need.
#include <cstdint>
#include <string>

namespace platform {

// Free space of the file system holding `root`, in MB rounded half to even;
// -1 when the query fails (0 is a real answer: a full disk).
int32_t GetFreeDiskMB(const std::string& root);
// The same rule from raw counts, kept apart so the arithmetic is testable.
int32_t FreeMBFromCounts(double sectors_per_cluster, double bytes_per_sector, double free_clusters);

// How the user's locale writes numbers and lists. One source for every writer of
// report text and for the workbook converter, so a report converts as it was written.
struct NumberConventions {
  char decimal_point = '.';
  char group_separator = ',';  // digit grouping: "." where the decimal point is ","
  std::string list_separator = ",";
};

// The conventions of the user's locale (LC_NUMERIC from the environment), unless a
// fixed set is installed.
NumberConventions UserNumberConventions();
// Installs fixed conventions (not owned); nullptr goes back to the locale's.
void SetNumberConventions(const NumberConventions* conventions);
// The conventions that go with a decimal point ("" when unknown: the "." set).
NumberConventions ConventionsFor(const std::string& decimal_point);

// ";" where the locale's decimal point is ",", otherwise ","; "," when unknown.
std::string ListSeparator();
// The rule behind ListSeparator for a given decimal point ("" when unknown).
std::string ListSeparatorFor(const std::string& decimal_point);

}  // namespace platform
