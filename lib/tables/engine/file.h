// One open file of the engine (table or memo) over the platform layer:
// reads and writes at offsets, with OS failures raised as engine errors
// (read 23, write 24) that the handler may retry.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kor::tables {

class EngineFile {
 public:
  EngineFile() = default;
  EngineFile(plat::Handle h, std::string path) : h_(h), path_(std::move(path)) {}
  ~EngineFile() { close(); }
  EngineFile(EngineFile&& o) noexcept : h_(o.h_), path_(std::move(o.path_)) { o.h_ = plat::kNoHandle; }
  EngineFile& operator=(EngineFile&& o) noexcept;
  EngineFile(const EngineFile&) = delete;
  EngineFile& operator=(const EngineFile&) = delete;

  bool isOpen() const { return h_ != plat::kNoHandle; }
  plat::Handle handle() const { return h_; }
  const std::string& path() const { return path_; }

  // Reads up to n bytes; *got receives how many (short at the end of the
  // file). False when the OS failed and the handler gave up.
  bool read(int64_t off, void* buf, int64_t n, int64_t* got);
  // Reads exactly n bytes: a short read is a read error with `shortSub`.
  bool readExact(int64_t off, void* buf, int64_t n, int shortSub);
  bool write(int64_t off, const void* buf, int64_t n);
  bool truncate(int64_t size);
  bool sync();
  int64_t size();  // -1 when unknown
  void close();

 private:
  plat::Handle h_ = plat::kNoHandle;
  std::string path_;
};

}  // namespace kor::tables
