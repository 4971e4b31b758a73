#pragma once
// Disk space and the locale's list separator: the small system queries the run
// start and the report writers need.
#include <cstdint>
#include <string>

namespace platform {

// Free space of the file system holding `root`, in MB rounded half to even;
// -1 when the query fails (0 is a real answer: a full disk).
int32_t GetFreeDiskMB(const std::string& root);
// The same rule from raw counts, kept apart so the arithmetic is testable.
int32_t FreeMBFromCounts(double sectors_per_cluster, double bytes_per_sector, double free_clusters);

// ";" where the locale's decimal point is ",", otherwise ","; "," when unknown.
std::string ListSeparator();
// The rule behind ListSeparator for a given decimal point ("" when unknown).
std::string ListSeparatorFor(const std::string& decimal_point);

}  // namespace platform
