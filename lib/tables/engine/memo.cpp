#include "tables/engine/memo.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "tables/engine/crypt.h"
#include "tables/engine/errors.h"
#include "tables/engine/locks.h"
#include "values/cp850.h"

namespace kor::tables {

namespace {

uint32_t be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
void putBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
uint32_t le32(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The largest memo this engine reads or writes: far above anything a table
// of this kind holds, and it keeps a damaged length from asking for gigabytes.
constexpr uint64_t kMaxMemo = 256ull << 20;
// How far beyond the end of the file a next-free block may lie before it
// counts as damage (blocks other writers reserved but have not filled yet).
constexpr uint64_t kMaxGap = 4096;

// Holds the allocation lock of a shared memo file for a scope.
class AllocLock {
 public:
  AllocLock(plat::Handle h, bool shared) : h_(h), shared_(shared) {}
  bool take() {
    if (!shared_) return held_ = true;
    held_ = lockBriefly(h_, kLockBase, 1);
    return held_;
  }
  ~AllocLock() {
    if (held_ && shared_) plat::unlockRange(h_, kLockBase, 1);
  }

 private:
  plat::Handle h_;
  bool shared_;
  bool held_ = false;
};

}  // namespace

std::unique_ptr<MemoFile> MemoFile::open(dbf::MemoKind kind, const std::string& path, plat::Access a, plat::Share s,
                                         bool shared, int* osError) {
  plat::OpenResult r = plat::openFile(path, a, s, plat::Disposition::OpenExisting);
  if (!r.ok()) {
    *osError = r.error;
    return nullptr;
  }
  *osError = 0;
  return std::unique_ptr<MemoFile>(new MemoFile(kind, EngineFile(r.handle, path), shared));
}

int MemoFile::create(dbf::MemoKind kind, const std::string& path, uint16_t blockSize) {
  plat::OpenResult r = plat::openFile(path, plat::Access::ReadWrite, plat::Share::Exclusive,
                                      plat::Disposition::CreateAlways);
  if (!r.ok()) return r.error;
  uint8_t h[512] = {};
  size_t n = 512;
  switch (kind) {
    case dbf::MemoKind::Fpt: {
      if (blockSize < 32) blockSize = 64;
      uint32_t first = (512 + blockSize - 1) / blockSize;
      putBe32(h, first);
      h[6] = static_cast<uint8_t>(blockSize >> 8);
      h[7] = static_cast<uint8_t>(blockSize);
      break;
    }
    case dbf::MemoKind::Dbt4:
      putLe32(h, 1);
      h[20] = 0x00;
      h[21] = 0x02;  // 512
      break;
    default:
      putLe32(h, 1);
      h[16] = 0x03;
      break;
  }
  plat::IoResult w = plat::writeAt(r.handle, 0, h, static_cast<int64_t>(n));
  int rc = w.ok() ? 0 : w.error;
  plat::closeFile(r.handle);
  return rc;
}

bool MemoFile::damaged(int sub, std::string_view what) {
  rt::ErrorRecord e = dbError(sub == kSubMemoHeader ? rt::kErrOpen : rt::kErrRead, sub, path());
  e.cargo = Value(what);
  e.canDefault = true;
  raiseOnce(e);
  return false;
}

bool MemoFile::checkHeader() {
  uint8_t h[32];
  int64_t got = 0;
  if (!file_.read(0, h, sizeof h, &got)) return false;
  if (got < 8) return damaged(kSubMemoHeader, "cabeçalho do memo"_cp);
  switch (kind_) {
    case dbf::MemoKind::Fpt:
      blockSize_ = static_cast<uint32_t>(h[6] << 8 | h[7]);
      // Some writers keep the block size of 512 byte headers as 0.
      if (blockSize_ == 0) return damaged(kSubMemoHeader, "bloco de memo de tamanho 0");
      break;
    case dbf::MemoKind::Dbt4:
      blockSize_ = got >= 22 ? static_cast<uint32_t>(h[20] | h[21] << 8) : 512;
      if (blockSize_ == 0) blockSize_ = 512;
      if (blockSize_ < 32) return damaged(kSubMemoHeader, "tamanho de bloco de memo inválido"_cp);
      break;
    default:
      blockSize_ = 512;
      break;
  }
  return true;
}

bool MemoFile::readNextFree(uint32_t* next) {
  uint8_t h[4];
  if (!file_.readExact(0, h, 4, kSubMemoHeader)) return false;
  *next = kind_ == dbf::MemoKind::Fpt ? be32(h) : le32(h);
  return true;
}

bool MemoFile::writeNextFree(uint32_t next) {
  uint8_t h[4];
  if (kind_ == dbf::MemoKind::Fpt)
    putBe32(h, next);
  else
    putLe32(h, next);
  return file_.write(0, h, 4);
}

bool MemoFile::read(uint32_t block, std::string& out) {
  out.clear();
  if (block == 0) return true;
  int64_t size = file_.size();
  uint64_t off = static_cast<uint64_t>(block) * blockSize_;
  if (block < headerBlocks()) return damaged(kSubMemoPointer, "ponteiro de memo " + std::to_string(block) + std::string(" dentro do cabeçalho"_cp));
  if (size < 0 || off >= static_cast<uint64_t>(size))
    return damaged(kSubMemoPointer, "ponteiro de memo " + std::to_string(block) + " além do fim do arquivo de memo");
  uint64_t avail = static_cast<uint64_t>(size) - off;

  if (kind_ == dbf::MemoKind::Dbt) {
    // Up to the first 1A, or the end of the file.
    std::vector<char> buf;
    uint64_t pos = off;
    for (;;) {
      char chunk[4096];
      int64_t got = 0;
      if (!file_.read(static_cast<int64_t>(pos), chunk, sizeof chunk, &got)) return false;
      if (got <= 0) break;
      const char* end = static_cast<const char*>(std::memchr(chunk, dbf::kEofMark, static_cast<size_t>(got)));
      if (end) {
        out.append(chunk, static_cast<size_t>(end - chunk));
        return true;
      }
      out.append(chunk, static_cast<size_t>(got));
      if (out.size() > kMaxMemo) return damaged(kSubMemoBlock, "memo no bloco " + std::to_string(block) + " sem fim");
      pos += static_cast<uint64_t>(got);
    }
    return true;
  }

  uint8_t h[8];
  if (avail < 8) return damaged(kSubMemoBlock, "bloco de memo " + std::to_string(block) + " incompleto");
  if (!file_.readExact(static_cast<int64_t>(off), h, 8, kSubMemoBlock)) return false;
  uint64_t len;
  if (kind_ == dbf::MemoKind::Fpt) {
    len = be32(h + 4);
  } else {  // newer DBT: marker FF FF 08 00, length counting the 8 bytes
    if (!(h[0] == 0xFF && h[1] == 0xFF && h[2] == 0x08 && h[3] == 0x00) || le32(h + 4) < 8)
      return damaged(kSubMemoBlock, "bloco de memo " + std::to_string(block) + " sem sua marca");
    len = le32(h + 4) - 8;
  }
  if (len > avail - 8 || len > kMaxMemo)
    return damaged(kSubMemoBlock, "bloco de memo " + std::to_string(block) + " declara " + std::to_string(len) + " bytes");
  out.resize(static_cast<size_t>(len));
  if (len && !file_.readExact(static_cast<int64_t>(off + 8), out.data(), static_cast<int64_t>(len), kSubMemoBlock))
    return false;
  if (cipher_ && kind_ == dbf::MemoKind::Fpt) cipher_->memo(block, reinterpret_cast<uint8_t*>(out.data()), out.size());
  return true;
}

uint32_t MemoFile::blocksOf(uint32_t block) {
  if (block < headerBlocks()) return 0;
  int64_t size = file_.size();
  uint64_t off = static_cast<uint64_t>(block) * blockSize_;
  if (size < 0 || off + 8 > static_cast<uint64_t>(size)) return 0;
  if (kind_ == dbf::MemoKind::Dbt) {
    std::string old;
    if (!read(block, old)) return 0;
    // At least the text and one end mark were allocated.
    return static_cast<uint32_t>((old.size() + 1 + blockSize_ - 1) / blockSize_);
  }
  uint8_t h[8];
  int64_t got = 0;
  if (!file_.read(static_cast<int64_t>(off), h, 8, &got) || got < 8) return 0;
  uint64_t len = kind_ == dbf::MemoKind::Fpt ? be32(h + 4) + 8ull : le32(h + 4);
  if (len > static_cast<uint64_t>(size) - off) return 0;
  return static_cast<uint32_t>((len + blockSize_ - 1) / blockSize_);
}

bool MemoFile::write(uint32_t oldBlock, std::string_view text, uint32_t* block) {
  *block = 0;
  if (text.empty()) return true;
  if (text.size() > kMaxMemo) {
    rt::ErrorRecord e = dbError(rt::kErrDataWidth, kSubDataWidth, path());
    e.canDefault = true;
    raiseOnce(e);
    return false;
  }
  if (kind_ == dbf::MemoKind::Dbt && text.find(static_cast<char>(dbf::kEofMark)) != std::string_view::npos) {
    rt::ErrorRecord e = dbError(rt::kErrDataType, kSubMemoByte, path());
    e.canDefault = true;
    raiseOnce(e);
    return false;
  }
  // The bytes as they go to the file.
  std::string data;
  size_t headLen = kind_ == dbf::MemoKind::Dbt ? 0 : 8;
  data.resize(headLen);
  if (kind_ == dbf::MemoKind::Fpt) {
    putBe32(reinterpret_cast<uint8_t*>(data.data()), 1);
    putBe32(reinterpret_cast<uint8_t*>(data.data()) + 4, static_cast<uint32_t>(text.size()));
  } else if (kind_ == dbf::MemoKind::Dbt4) {
    auto* p = reinterpret_cast<uint8_t*>(data.data());
    p[0] = 0xFF;
    p[1] = 0xFF;
    p[2] = 0x08;
    p[3] = 0x00;
    putLe32(p + 4, static_cast<uint32_t>(text.size() + 8));
  }
  data.append(text);
  if (kind_ == dbf::MemoKind::Dbt) data.append("\x1A\x1A");
  uint32_t need = static_cast<uint32_t>((data.size() + blockSize_ - 1) / blockSize_);

  // In place when it fits the old blocks. Encrypted memos always take new
  // blocks, so that no counter of the stream cipher is used twice.
  uint32_t target = 0;
  if (oldBlock && !cipher_ && blocksOf(oldBlock) >= need) target = oldBlock;

  AllocLock lock(file_.handle(), shared_);
  if (!target) {
    if (!lock.take()) {
      rt::ErrorRecord e = dbError(rt::kErrLock, kSubLock, path());
      e.canRetry = true;
      e.canDefault = true;
      if (raiseOnce(e)) return write(oldBlock, text, block);
      return false;
    }
    uint32_t next = 0;
    if (!readNextFree(&next)) return false;
    // Never below the end of the file: a next-free value that lags behind
    // (damage, another writer's crash) must not hand out used blocks. One
    // far beyond the end is damage too: the end of the file is then used,
    // instead of growing the file by gigabytes.
    int64_t size = file_.size();
    uint64_t endBlock = size > 0 ? (static_cast<uint64_t>(size) + blockSize_ - 1) / blockSize_ : 0;
    uint64_t first = next > endBlock + kMaxGap ? endBlock : std::max<uint64_t>(next, endBlock);
    first = std::max<uint64_t>(first, headerBlocks());
    if (first + need > 0xFFFFFFFFull) {
      rt::ErrorRecord e = dbError(rt::kErrLimit, kSubWrite, path());
      e.canDefault = true;
      raiseOnce(e);
      return false;
    }
    target = static_cast<uint32_t>(first);
  }
  if (cipher_ && kind_ == dbf::MemoKind::Fpt) cipher_->memo(target, reinterpret_cast<uint8_t*>(data.data()) + 8, text.size());
  // Whole blocks, so the file always ends on a block boundary.
  if (target != oldBlock || kind_ == dbf::MemoKind::Dbt) data.resize(static_cast<size_t>(need) * blockSize_, '\0');
  if (!file_.write(static_cast<int64_t>(target) * blockSize_, data.data(), static_cast<int64_t>(data.size())))
    return false;
  if (target != oldBlock && !writeNextFree(target + need)) return false;
  *block = target;
  return true;
}

bool MemoFile::wipe(uint32_t block) {
  uint32_t n = blocksOf(block);
  if (!n) return true;
  std::vector<char> zeros(static_cast<size_t>(n) * blockSize_, '\0');
  return file_.write(static_cast<int64_t>(block) * blockSize_, zeros.data(), static_cast<int64_t>(zeros.size()));
}

bool MemoFile::reset() {
  uint32_t first = kind_ == dbf::MemoKind::Fpt ? headerBlocks() : 1;
  if (!file_.truncate(static_cast<int64_t>(first) * blockSize_)) return false;
  return writeNextFree(first);
}

}  // namespace kor::tables
