#include "reports/raw_data_tools.h"

#include <algorithm>

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
  if (records == 0) return false;
  const size_t block_bytes = storage::RawBlockRecordBytes(run.rt_buffer);
  const size_t per_file = storage::kRecordsPerFile;
  for (size_t first = 0; first < records; first += per_file) {
    const size_t needed = std::min(per_file, records - first);
    const auto file = run_folder / storage::RawFileName(static_cast<int>(first / per_file));
    if (storage::RecordCount(file, block_bytes) < needed) return false;
  }
  return true;
}

}  // namespace reports
