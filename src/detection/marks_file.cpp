#include "detection/marks_file.h"

#include <fstream>

namespace detection {

std::filesystem::path RawMarksPath(const std::string& folder, int channel) {
  return std::filesystem::path(folder) / ("ch" + std::to_string(channel) + ".raw");
}

std::string RawMarksLine(int32_t time, std::span<const char> marks) {
  std::string line = std::to_string(time);
  line.reserve(line.size() + 1 + marks.size() + 2);
  line += ' ';
  line.append(marks.data(), marks.size());
  line += "\r\n";
  return line;
}

bool AppendRawMarksLine(const std::string& folder, int channel, int32_t time,
                        std::span<const char> marks) {
  // An empty folder would put the file wherever the process happens to stand.
  if (folder.empty()) return false;
  const std::string line = RawMarksLine(time, marks);
  std::ofstream out(RawMarksPath(folder, channel), std::ios::binary | std::ios::app);
  if (!out) return false;
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
  out.close();
  return !out.fail();
}

}  // namespace detection
