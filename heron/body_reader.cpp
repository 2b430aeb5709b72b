#include "heron/body_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/code_page.h"

namespace qx::heron {

bool readAheadByDefault() {
  const char* threads = std::getenv("QX_SAVE_THREADS");
  if (threads != nullptr && std::strcmp(threads, "1") == 0) return false;
  return std::thread::hardware_concurrency() > 1;
}

BodyReader::BodyReader(CheckPointFile& file, std::int32_t count, std::string_view spec, bool ahead)
    : file_(file), left_(std::max<std::int32_t>(count, 0)), undelivered_(left_) {
  for (const char letter : spec) {
    if (letter >= 'a' && letter <= 'd') selected_[letter - 'a'] = true;
  }
  // A report of one batch or less gains nothing from a second thread.
  if (!ahead || left_ <= static_cast<std::int64_t>(kBatchRecords)) return;
  for (Batch& batch : batches_) batch.records.resize(kBatchRecords);
  thread_ = std::thread([this] { readAhead(); });
}

BodyReader::~BodyReader() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

bool BodyReader::readInto(BodyRecord& record) {
  if (file_.readRow(raw_) != ReadResult::Complete) return false;
  const std::string* texts[4] = {&raw_.fieldA, &raw_.fieldB, &raw_.fieldC, &raw_.fieldD};
  for (std::size_t i = 0; i < record.fields.size(); ++i) {
    if (selected_[i]) platform::gbkToUtf16(*texts[i], record.fields[i]);
  }
  return true;
}

void BodyReader::fill(Batch& batch, std::int64_t records) {
  batch.filled = 0;
  try {
    while (static_cast<std::int64_t>(batch.filled) < records) {
      if (!readInto(batch.records[batch.filled])) {
        batch.endedShort = true;
        return;
      }
      ++batch.filled;
    }
  } catch (...) {
    batch.error = std::current_exception();
  }
}

void BodyReader::readAhead() {
  for (std::size_t at = 0; left_ > 0; ++at) {
    Batch& batch = batches_[at % kBatches];
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stopping_ || !batch.ready; });
      if (stopping_) return;
    }
    fill(batch, std::min<std::int64_t>(left_, kBatchRecords));
    left_ -= static_cast<std::int64_t>(batch.filled);
    const bool last = batch.endedShort || batch.error != nullptr;
    {
      const std::lock_guard lock(mutex_);
      batch.ready = true;
    }
    changed_.notify_all();
    if (last) return;
  }
}

const BodyRecord* BodyReader::next() {
  if (undelivered_ <= 0) return nullptr;
  if (!thread_.joinable()) {
    if (!readInto(inline_)) return nullptr;
    --undelivered_;
    return &inline_;
  }
  for (;;) {
    if (current_ != nullptr) {
      if (position_ < current_->filled) {
        --undelivered_;
        return &current_->records[position_++];
      }
      if (current_->error) std::rethrow_exception(current_->error);
      if (current_->endedShort) return nullptr;
      {
        const std::lock_guard lock(mutex_);
        current_->ready = false;
      }
      changed_.notify_all();
      current_ = nullptr;
    }
    Batch& batch = batches_[nextBatch_ % kBatches];
    {
      std::unique_lock lock(mutex_);
      // Every record asked for is read or ends the file short, so the batch comes.
      changed_.wait(lock, [&] { return batch.ready; });
    }
    ++nextBatch_;
    current_ = &batch;
    position_ = 0;
  }
}

}  // namespace qx::heron
