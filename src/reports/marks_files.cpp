#include "reports/marks_files.h"

#include <system_error>

#include "detection/marks_file.h"

namespace reports {

namespace fs = std::filesystem;

constexpr std::streamsize kStreamBuffer = 32 * 1024;

MarksFiles::~MarksFiles() {
  if (!files_.empty()) CutBack();
}

bool MarksFiles::Open(const fs::path& folder, const std::vector<int>& channels) {
  CutBack();
  files_.reserve(channels.size());
  for (int channel : channels) {
    File f;
    f.path = detection::RawMarksPath(folder.string(), channel);
    std::error_code ec;
    f.existed = fs::exists(f.path, ec);
    f.size = f.existed ? fs::file_size(f.path, ec) : 0;
    if (!ec) {
      // Lines of 500 marks: a buffer of many lines spares most write calls.
      f.buffer = std::make_unique<char[]>(kStreamBuffer);
      f.out = std::make_unique<std::ofstream>();
      f.out->rdbuf()->pubsetbuf(f.buffer.get(), kStreamBuffer);
      f.out->open(f.path, std::ios::binary | std::ios::app);
    }
    if (ec || !*f.out) {
      failed_ = f.path;
      // A file this pass just created is removed with the others.
      files_.push_back(std::move(f));
      CutBack();
      return false;
    }
    files_.push_back(std::move(f));
  }
  return true;
}

bool MarksFiles::Append(size_t index, std::string_view bytes) {
  File& f = files_[index];
  f.out->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (f.out->good()) return true;
  failed_ = f.path;
  return false;
}

bool MarksFiles::Close() {
  bool ok = true;
  for (File& f : files_) {
    f.out->close();
    if (f.out->fail() && ok) {
      failed_ = f.path;
      ok = false;
    }
  }
  if (!ok) CutBack();
  return ok;
}

void MarksFiles::CutBack() {
  for (File& f : files_) {
    if (f.out && f.out->is_open()) f.out->close();
    std::error_code ec;
    if (f.existed) {
      fs::resize_file(f.path, f.size, ec);
    } else {
      fs::remove(f.path, ec);
    }
  }
  files_.clear();
}

}  // namespace reports
