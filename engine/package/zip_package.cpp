#include "engine/package/zip_package.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <unordered_set>

#include "engine/package/archive_sink.h"
#include "engine/package/deflated_source.h"
#include "engine/package/part_stream.h"
#include "engine/save/engine_error.h"
#include "engine/save/file_path.h"
#include "engine/save/replacement_file.h"

namespace qx::engine {

std::string normalisePartName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (const char c : name) {
    out += c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!out.empty() && out.front() == '/') out.erase(0, 1);
  return out;
}

namespace {
std::string zipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

#ifdef _WIN32
// Windows puts a new file in the place of one only while no one holds that one open, so the
// package is read into memory and its file closed at once.
zip_t* openReadOnly(const std::string& path, int& code) {
  std::ifstream in(filePath(path), std::ios::binary);
  if (!in) {
    code = ZIP_ER_OPEN;
    return nullptr;
  }
  const std::string bytes(std::istreambuf_iterator<char>(in), {});
  if (in.bad()) {
    code = ZIP_ER_READ;
    return nullptr;
  }
  void* copy = std::malloc(bytes.size() + 1);  // libzip frees it with the archive
  if (copy == nullptr) {
    code = ZIP_ER_MEMORY;
    return nullptr;
  }
  std::memcpy(copy, bytes.data(), bytes.size());
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(copy, bytes.size(), 1, &error);
  zip_t* archive = nullptr;
  if (source == nullptr) {
    std::free(copy);
  } else if ((archive = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error)) ==
             nullptr) {
    zip_source_free(source);
  }
  code = zip_error_code_zip(&error);
  zip_error_fini(&error);
  return archive;
}
#else
// The open file stays readable after a save renamed its new copy over it.
zip_t* openReadOnly(const std::string& path, int& code) {
  return zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
}
#endif

}  // namespace

ZipPackage::ZipPackage(const std::string& path) : path_(path) {
  int code = 0;
  archive_ = openReadOnly(path, code);
  if (archive_ == nullptr) {
    // Two entries of one name are read differently by different readers; such a package is
    // refused rather than guessed at.
    const std::string reason =
        code == ZIP_ER_EXISTS ? "two entries have the same name" : zipErrorText(code);
    throw EngineError(path + ": not a readable zip package (" + reason + ")");
  }
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    names_.emplace_back(name == nullptr ? "" : name);
    // The first of two entries with one name is the part; the second stays as stored.
    index_.emplace(normalisePartName(names_.back()), static_cast<std::size_t>(i));
  }
}

ZipPackage::~ZipPackage() {
  if (archive_ != nullptr) zip_discard(archive_);
}

std::optional<std::size_t> ZipPackage::find(std::string_view partName) const {
  const auto it = index_.find(normalisePartName(partName));
  if (it == index_.end()) return std::nullopt;
  return it->second;
}

std::string ZipPackage::read(std::string_view partName) const {
  PartStream stream(*this, std::string(partName));
  // Grown as data arrives rather than trusting the stated size.
  std::string bytes;
  bytes.reserve(
      std::min<std::size_t>(static_cast<std::size_t>(stream.size()), std::size_t{64} << 20));
  char buffer[1 << 16];
  while (const std::size_t got = stream.read(buffer, sizeof buffer)) bytes.append(buffer, got);
  return bytes;
}

namespace {

void addGenerated(zip_t* out, const std::string& name, const PartContent& content,
                  std::string& failure) {
  zip_source_t* source = newDeflatedSource(content.source, failure);
  if (source == nullptr) throw partError(name, "cannot be prepared for writing");
  const zip_int64_t index = zip_file_add(out, name.c_str(), source, ZIP_FL_ENC_RAW);
  if (index < 0) {
    zip_source_free(source);
    throw partError(name, std::string("cannot be added (") + zip_strerror(out) + ")");
  }
  // The source is deflated already: libzip copies it as it is.
  zip_set_file_compression(out, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 0);
}

}  // namespace

namespace {

// A symbolic link is saved through: the file it points to gets the new workbook and the link
// stays.
std::string resolvedTarget(const std::string& target) {
  std::error_code error;
  if (!std::filesystem::is_symlink(filePath(target), error)) return target;
  const std::filesystem::path resolved = std::filesystem::canonical(filePath(target), error);
  return error ? target : pathText(resolved);
}

}  // namespace

void ZipPackage::save(const std::string& target,
                      const std::unordered_map<std::string, PartContent>& replaced,
                      const std::vector<std::pair<std::string, PartContent>>& added,
                      const std::vector<std::string>& removed) const {
  const std::string destination = resolvedTarget(target);
  auto unchanged = [&](const std::string& reason) {
    return EngineError(target + ": saving failed, the file is unchanged (" + reason + ")");
  };
  std::unique_ptr<ReplacementFile> copy;
  try {
    copy = std::make_unique<ReplacementFile>(destination);
  } catch (const EngineError& e) {
    throw unchanged(e.what());
  }
  std::string failure;
  zip_source_t* sink = newArchiveSink(*copy, failure);
  if (sink == nullptr) throw unchanged("cannot prepare the new copy");
  zip_error_t openError;
  zip_error_init(&openError);
  // Declared after the copy: the archive refers to it and is discarded first.
  std::unique_ptr<zip_t, void (*)(zip_t*)> out(
      zip_open_from_source(sink, ZIP_CREATE | ZIP_TRUNCATE, &openError), zip_discard);
  if (!out) {
    const std::string reason = zip_error_strerror(&openError);
    zip_error_fini(&openError);
    zip_source_free(sink);
    throw unchanged("cannot start the new copy: " + reason);
  }
  zip_error_fini(&openError);

  std::unordered_set<std::string> dropped;
  for (const std::string& name : removed) dropped.insert(normalisePartName(name));
  std::unordered_set<std::string> written;
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const std::string key = normalisePartName(names_[i]);
    if (dropped.count(key) != 0) continue;
    // A second entry of one name is a producer's fault; readers disagree on which one
    // counts, and a zip cannot hold both under one name once rewritten: the first is kept.
    if (!written.insert(key).second) continue;
    const auto replacement = replaced.find(key);
    if (replacement != replaced.end()) {
      addGenerated(out.get(), names_[i], replacement->second, failure);
      continue;
    }
    zip_source_t* source = zip_source_zip(out.get(), archive_, i, ZIP_FL_COMPRESSED, 0, -1);
    if (source == nullptr) throw partError(names_[i], "cannot be copied");
    const zip_int64_t index = zip_file_add(out.get(), names_[i].c_str(), source, ZIP_FL_ENC_RAW);
    if (index < 0) {
      zip_source_free(source);
      throw partError(names_[i], std::string("cannot be copied (") + zip_strerror(out.get()) + ")");
    }
    // Keep the stored method too: a stored (uncompressed) entry would otherwise be deflated.
    zip_stat_t stat;
    if (zip_stat_index(archive_, i, 0, &stat) == 0 && (stat.valid & ZIP_STAT_COMP_METHOD)) {
      zip_set_file_compression(out.get(), static_cast<zip_uint64_t>(index), stat.comp_method, 0);
    }
  }
  for (const auto& [name, content] : added) addGenerated(out.get(), name, content, failure);

  // Writes every entry and, once all are written, flushes the copy to disk and closes it.
  if (zip_close(out.get()) != 0) {
    throw unchanged(failure.empty() ? std::string(zip_strerror(out.get())) : failure);
  }
  out.release();  // zip_close freed it
  try {
    copy->replaceTarget();
  } catch (const EngineError& e) {
    throw unchanged(e.what());
  }
}

}  // namespace qx::engine
