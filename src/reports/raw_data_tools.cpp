#include "reports/raw_data_tools.h"

#include <algorithm>
#include <system_error>

#include "reports/circadian_export.h"
#include "reports/raw_reanalysis.h"
#include "storage/run_files.h"
#include "storage/run_loading.h"

namespace reports {

namespace {

class ProgramTools final : public RawDataTools {
 public:
  std::unique_ptr<ReanalysisJob> StartReanalysis(ReanalysisRequest& request,
                                                 ReportChoices& choices) override {
    return StartRawReanalysis(request, choices);
  }
  ToolOutcome ExportCircadian(CircadianRequest& request) override {
    return reports::ExportCircadian(request);
  }
};

RawDataTools*& Installed() {
  static RawDataTools* tools = nullptr;
  return tools;
}

}  // namespace

std::string BlockStatusText(size_t done, size_t count) {
  return "Block " + std::to_string(done) + "/" + std::to_string(count);
}

RawDataTools& GetRawDataTools() {
  static ProgramTools program;
  return Installed() ? *Installed() : program;
}

void SetRawDataTools(RawDataTools* tools) { Installed() = tools; }

bool RawBlocksComplete(const std::filesystem::path& run_folder) {
  storage::RunAnalysis run;
  if (!storage::ReadRunAnalysis(run_folder, run) || run.rt_buffer < 1) return false;
  const size_t records =
      storage::RecordCount(run_folder / storage::CountsFileName(), storage::kCountsRecordBytes);
  return records > 0 && RawBlocksProblem(run_folder, records, run.rt_buffer).empty();
}

std::string RawBlocksProblem(const std::filesystem::path& run_folder, size_t blocks,
                             int rt_buffer) {
  const size_t block_bytes = storage::RawBlockRecordBytes(rt_buffer);
  for (size_t first = 0; first < blocks; first += storage::kRecordsPerFile) {
    const std::string name =
        storage::RawFileName(static_cast<int>(first / storage::kRecordsPerFile));
    std::error_code ec;
    if (!std::filesystem::is_regular_file(run_folder / name, ec))
      return "Raw data file " + name + " is missing";
    const size_t needed = std::min<size_t>(storage::kRecordsPerFile, blocks - first);
    if (storage::RecordCount(run_folder / name, block_bytes) < needed)
      return "Raw data file " + name + " is shorter than the run's blocks";
  }
  return "";
}

}  // namespace reports
