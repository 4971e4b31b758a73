#include "storage/run_description.h"

#include <vector>

#include "platform/dialogs.h"
#include "storage/file_io.h"
#include "storage/settings_text.h"

namespace storage {
namespace {

std::string SubprojectPath(const std::string& folder) { return InFolder(folder, "subproj.dat").string(); }
std::string SubprojectBak(const std::string& folder) { return InFolder(folder, "subproj.bak").string(); }

std::string SubprojectBytes(const std::string& name, const std::string& comments) {
  SettingsWriter w;
  w.Str(CleanQuotedText(name)).EndLine();
  // Line breaks of the comments are kept as CR LF; quotes cannot be stored.
  std::string text;
  for (size_t i = 0; i < comments.size(); ++i) {
    const char c = comments[i];
    if (c == '\r' || c == '\n') {
      text += "\r\n";
      if (c == '\r' && i + 1 < comments.size() && comments[i + 1] == '\n') ++i;
    } else {
      text += c;
    }
  }
  w.Str(text).EndLine();
  return w.Bytes();
}


std::vector<std::string> TagLines(const std::string& folder) {
  const auto bytes = ReadTextFile(InFolder(folder, "tags_id.dat"));
  if (!bytes) return {};
  return SplitLines(DecodeText(*bytes));
}

// The key of a tags line: the text before its first blank, when that blank is not first.
bool KeyOf(const std::string& line, std::string* key, size_t* blank) {
  const size_t b = line.find(' ');
  if (b == std::string::npos || b == 0) return false;
  *key = line.substr(0, b);
  *blank = b;
  return true;
}

}  // namespace

std::string ReadSubprojectName(const std::string& folder) {
  try {
    auto reader = SettingsReader::Open(SubprojectPath(folder));
    if (!reader) return "";
    return reader->ReadString();
  } catch (const FormatError&) {
    return "";
  }
}

std::string ReadSubprojectComments(const std::string& folder) {
  const auto bytes = ReadTextFile(SubprojectPath(folder));
  if (!bytes) return "";
  const std::vector<std::string> lines = SplitLines(DecodeText(*bytes));
  std::string result;
  bool first = true;
  for (size_t i = 1; i < lines.size(); ++i) {
    std::string line;
    for (const char c : lines[i])
      if (c != '"') line += c;
    if (line.empty()) continue;
    if (!first) result += "\r\n";
    result += line;
    first = false;
  }
  return result;
}

bool WriteSubproject(const std::string& folder, const std::string& name, const std::string& comments) {
  return WriteFileAtomic(SubprojectPath(folder), SubprojectBytes(name, comments));
}

std::string RenameSubproject(const std::string& folder, const std::string& new_name) {
  const std::string name = CleanQuotedText(new_name);
  if (!FileExists(SubprojectPath(folder))) return name;
  if (CopyFileChecked(SubprojectPath(folder), SubprojectBak(folder)) != 1) {
    platform::GetDialogs().MsgBox("error");
    return "";
  }
  std::string comments;
  try {
    auto reader = SettingsReader::Open(SubprojectBak(folder));
    if (!reader) return "";
    if (!reader->Eof()) reader->SkipField();
    if (!reader->Eof()) comments = reader->ReadString();
  } catch (const FormatError&) {
    return "";
  }
  if (!WriteSubproject(folder, name, comments)) return "";
  return name;
}

std::string SetSubprojectComments(const std::string& folder, const std::string& comments) {
  if (!FileExists(SubprojectPath(folder))) return "OK";
  if (CopyFileChecked(SubprojectPath(folder), SubprojectBak(folder)) != 1) {
    platform::GetDialogs().MsgBox("error");
    return "";
  }
  std::string name;
  try {
    auto reader = SettingsReader::Open(SubprojectBak(folder));
    if (!reader) return "";
    if (!reader->Eof()) name = reader->ReadString();
  } catch (const FormatError&) {
    return "";
  }
  if (!WriteSubproject(folder, name, comments)) return "";
  return "OK";
}

std::string GetTagText(const std::string& folder, const std::string& id) {
  for (const std::string& line : TagLines(folder)) {
    std::string key;
    size_t blank = 0;
    if (KeyOf(line, &key, &blank) && key == id) return line.substr(blank + 1);
  }
  return "";
}

std::string FindTagIds(const std::string& folder, const std::string& text) {
  std::string result;
  for (const std::string& line : TagLines(folder)) {
    std::string key;
    size_t blank = 0;
    if (!KeyOf(line, &key, &blank)) continue;
    // Position 2 on: the first character of the line never counts.
    if (line.find(text, 1) == std::string::npos) continue;
    if (!result.empty()) result += " ";
    result += key;
  }
  return result;
}

}  // namespace storage
