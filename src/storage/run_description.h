#pragma once
// subproj.dat in a run folder: the run's name and the user's comments, settings text
// form, two quoted values (the comments keep their line breaks, so the second value
// may span several lines):
//
//   "run name"<CR LF>
//   "comment line 1<CR LF>comment line 2"<CR LF>
//
// subproj.bak is a byte copy of the previous subproj.dat, made before every rewrite.
//
// tags_id.dat in a project folder: plain CR LF lines "<run folder> <tags>", the key
// being the text before the first blank (no blank, or a blank first: no key).
#include <string>

namespace storage {

// The run name, or "" when subproj.dat is missing or unreadable.
std::string ReadSubprojectName(const std::string& folder);
// The comment lines (quotes removed, empty lines dropped) joined by CR LF, or "".
std::string ReadSubprojectComments(const std::string& folder);
// Writes subproj.dat anew (run start); false when it could not be written.
bool WriteSubproject(const std::string& folder, const std::string& name, const std::string& comments);
// Keeps the comments, stores a new name; "" on failure, the name when there was no file.
std::string RenameSubproject(const std::string& folder, const std::string& new_name);
// Keeps the name, stores new comments; "OK", or "" on failure.
std::string SetSubprojectComments(const std::string& folder, const std::string& comments);

// The tag text of a run (everything after the first blank of its line), or "".
std::string GetTagText(const std::string& folder, const std::string& id);
// The keys of every line holding `text` from position 2 on, separated by blanks.
std::string FindTagIds(const std::string& folder, const std::string& text);

}  // namespace storage
