#include "engine/ntx/run_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/ntx/ntx_format.h"

namespace px::ntx {

namespace {

constexpr int kNameAttempts = 998;
constexpr size_t kChunkBytes = 16384;

std::string JoinFolder(const std::string& folder, const std::string& file) {
  if (folder.empty()) return file;
  const char last = folder.back();
  if (last == '/' || last == '\\' || last == ':') return folder + file;
  return folder + (folder.find('\\') != std::string::npos ? "\\" : "/") + file;
}

}  // namespace

RunFile::RunFile(std::unique_ptr<File> file, std::string name, int key_size)
    : file_(std::move(file)), name_(std::move(name)), key_size_(key_size) {}

std::unique_ptr<RunFile> RunFile::Create(const std::string& folder, int key_size) {
  Env* env = GetEnv();
  const uint64_t seed = static_cast<uint64_t>(env->NowMicros());
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    char base[16];
    std::snprintf(base, sizeof base, "PX%06X.tmp",
                  static_cast<unsigned>((seed + static_cast<uint64_t>(attempt) * 7919) & 0xFFFFFF));
    const std::string name = JoinFolder(folder, base);
    if (env->FileExists(name)) continue;
    int code = 0;
    std::unique_ptr<File> f = env->CreateFile(name, FileShare::kExclusive, &code);
    if (f != nullptr) return std::unique_ptr<RunFile>(new RunFile(std::move(f), name, key_size));
  }
  return nullptr;
}

RunFile::~RunFile() {
  file_.reset();
  GetEnv()->DeleteFile(name_);
}

bool RunFile::Append(const uint8_t* keys, const uint32_t* recnos,
                     const std::vector<uint32_t>& order) {
  const size_t item = static_cast<size_t>(key_size_) + 4;
  const size_t per_chunk = std::max<size_t>(1, kChunkBytes / item);
  std::vector<uint8_t> chunk;
  chunk.reserve(per_chunk * item);
  const uint64_t start = end_;
  for (size_t i = 0; i < order.size(); ++i) {
    const uint32_t pos = order[i];
    uint8_t rec[4];
    PutU32(rec, recnos[pos]);
    chunk.insert(chunk.end(), rec, rec + 4);
    const uint8_t* k = keys + static_cast<size_t>(pos) * static_cast<size_t>(key_size_);
    chunk.insert(chunk.end(), k, k + key_size_);
    if (chunk.size() >= per_chunk * item || i + 1 == order.size()) {
      if (file_->WriteAt(end_, chunk.data(), chunk.size()) != static_cast<int64_t>(chunk.size())) {
        return false;
      }
      end_ += chunk.size();
      chunk.clear();
    }
  }
  runs_.push_back({start, static_cast<uint32_t>(order.size())});
  return true;
}

struct RunMerger::Source {
  int index = 0;  // runs first, the memory run last
  bool memory = false;
  uint64_t offset = 0;  // next byte of the run in the file
  uint32_t left = 0;    // keys not yet loaded
  std::vector<uint8_t> buffer;
  size_t pos = 0;    // next item in buffer
  size_t count = 0;  // items in buffer
  uint32_t recno = 0;
  const uint8_t* key = nullptr;
};

RunMerger::RunMerger(RunFile* file, MemoryRun memory, const KeyCompare& cmp, bool unique)
    : file_(file), memory_(memory), cmp_(cmp), unique_(unique) {}

RunMerger::~RunMerger() = default;

bool RunMerger::Load(Source* s) {
  const size_t item = static_cast<size_t>(cmp_.key_size) + 4;
  const size_t want = std::min<size_t>(s->left, std::max<size_t>(1, kChunkBytes / item));
  s->buffer.resize(want * item);
  if (file_->file()->ReadAt(s->offset, s->buffer.data(), want * item) !=
      static_cast<int64_t>(want * item)) {
    ok_ = false;
    return false;
  }
  s->offset += want * item;
  s->left -= static_cast<uint32_t>(want);
  s->pos = 0;
  s->count = want;
  return true;
}

// Moves a source to its next key; false when it is exhausted (or failed).
bool RunMerger::Advance(Source* s) {
  if (s->memory) {
    if (s->pos >= s->count) return false;
    const uint32_t at = (*memory_.order)[s->pos++];
    s->recno = memory_.recnos[at];
    s->key = memory_.keys + static_cast<size_t>(at) * static_cast<size_t>(cmp_.key_size);
    return true;
  }
  if (s->pos >= s->count) {
    if (s->left == 0 || !Load(s)) return false;
  }
  const uint8_t* it = s->buffer.data() + s->pos * (static_cast<size_t>(cmp_.key_size) + 4);
  ++s->pos;
  s->recno = GetU32(it);
  s->key = it + 4;
  return true;
}

bool RunMerger::Less(const Source* a, const Source* b) const {
  const int c = cmp_.Keys(a->key, b->key);
  if (c != 0) return c < 0;
  return a->index < b->index;
}

bool RunMerger::Next(uint32_t* recno, const uint8_t** key) {
  auto heap_less = [this](const Source* a, const Source* b) { return Less(b, a); };
  if (!started_) {
    started_ = true;
    int index = 0;
    if (file_ != nullptr) {
      for (const RunFile::Run& run : file_->runs()) {
        auto s = std::make_unique<Source>();
        s->index = index++;
        s->offset = run.offset;
        s->left = run.count;
        sources_.push_back(std::move(s));
      }
    }
    if (memory_.order != nullptr) {
      auto s = std::make_unique<Source>();
      s->index = index++;
      s->memory = true;
      s->count = memory_.order->size();
      sources_.push_back(std::move(s));
    }
    for (auto& s : sources_) {
      if (Advance(s.get())) heap_.push_back(s.get());
      if (!ok_) return false;
    }
    std::make_heap(heap_.begin(), heap_.end(), heap_less);
    last_key_.resize(static_cast<size_t>(cmp_.key_size));
  }
  while (!heap_.empty()) {
    std::pop_heap(heap_.begin(), heap_.end(), heap_less);
    Source* s = heap_.back();
    heap_.pop_back();
    const bool duplicate =
        unique_ && have_last_ &&
        std::memcmp(s->key, last_key_.data(), static_cast<size_t>(cmp_.key_size)) == 0;
    if (!duplicate) {
      std::memcpy(last_key_.data(), s->key, static_cast<size_t>(cmp_.key_size));
      have_last_ = true;
      *recno = s->recno;
    }
    if (Advance(s)) {
      heap_.push_back(s);
      std::push_heap(heap_.begin(), heap_.end(), heap_less);
    }
    if (!ok_) return false;
    if (!duplicate) {
      *key = last_key_.data();
      return true;
    }
  }
  return false;
}

}  // namespace px::ntx
