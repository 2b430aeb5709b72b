#pragma once
// The shared corpus of real-world workbooks, for every test that reads it: the folder named by
// QX_CORPUS_DIR, else the one the build names. A missing folder fails the test that needs it
// with a message naming the folder, never a run of zero cases.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qx::testing {

// The corpus folder; it may not exist.
std::filesystem::path corpusFolder();

// The file names in the corpus folder, sorted; without broken-* and odd-* files when
// `workbooksOnly`. When the folder is missing: one name for which corpusFile fails, so that a
// parameterised test has a case that says so.
std::vector<std::string> corpusFiles(bool workbooksOnly);

// The path of a corpus file; throws std::runtime_error naming the folder when the folder or the
// file is missing.
std::filesystem::path corpusFile(std::string_view name);

}  // namespace qx::testing
