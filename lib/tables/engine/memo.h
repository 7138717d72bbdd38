// Memo files beside a table: the text of M fields lives here, the record
// holds the number of the memo's first block.
//
// DBT (version 0x83): 512-byte blocks; block 0 is the header with the next
//   free block number (u32 LE at 0). A memo is its bytes followed by 1A 1A,
//   padded to whole blocks; reading stops at the first 1A, so a DBT memo
//   cannot hold that byte (writing one is refused).
// DBT of the newer kind (0x8B): block size u16 LE at 20; each memo starts
//   with FF FF 08 00 and a u32 LE length that counts those 8 bytes.
// FPT (0xF5): header of 512 bytes with the next free block (u32 BE at 0) and
//   the block size (u16 BE at 6); each memo starts with its type (u32 BE, 1
//   for text) and length (u32 BE, not counting the 8 bytes); any byte may
//   appear in it.
//
// Updates: a memo that still fits its old blocks is rewritten in place (the
// record's lock protects it); otherwise it goes to new blocks at the end and
// the old ones stay unused. New blocks are allocated under a lock of the
// byte 1,000,000,000 of the memo file, with the header reread, so programs
// sharing the file never hand out the same blocks twice.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "tables/engine/dbfformat.h"
#include "tables/engine/file.h"

namespace kor::tables {

class Cipher;

class MemoFile {
 public:
  // Opens the memo file; on failure returns nullptr with the OS code in
  // *osError (nothing is raised here).
  static std::unique_ptr<MemoFile> open(dbf::MemoKind kind, const std::string& path, plat::Access a, plat::Share s,
                                        bool shared, int* osError);
  // Writes a new, empty memo file (replacing any). Returns the OS code.
  static int create(dbf::MemoKind kind, const std::string& path, uint16_t blockSize);

  // Validates the header; false (with a raised error) when it is damaged.
  bool checkHeader();

  // Reads the memo at `block` (0 gives ""). False after a raised error.
  bool read(uint32_t block, std::string& out);
  // Writes a memo for a record whose field pointed at `oldBlock`, and gives
  // the block to point at now (0 for an empty text).
  bool write(uint32_t oldBlock, std::string_view text, uint32_t* block);
  // Overwrites the blocks of the memo at `block` with zeros (after it moved).
  bool wipe(uint32_t block);
  // Empties the file (zap).
  bool reset();
  bool sync() { return file_.sync(); }

  void setCipher(const Cipher* c) { cipher_ = c; }
  dbf::MemoKind kind() const { return kind_; }
  const std::string& path() const { return file_.path(); }
  uint32_t blockSize() const { return blockSize_; }

 private:
  MemoFile(dbf::MemoKind k, EngineFile f, bool shared) : kind_(k), file_(std::move(f)), shared_(shared) {}
  bool readNextFree(uint32_t* next);
  bool writeNextFree(uint32_t next);
  uint32_t headerBlocks() const { return (512 + blockSize_ - 1) / blockSize_; }
  // Blocks the memo at `block` occupies, 0 when unknown or damaged.
  uint32_t blocksOf(uint32_t block);
  bool damaged(int sub, std::string_view what);

  dbf::MemoKind kind_;
  EngineFile file_;
  bool shared_;
  uint32_t blockSize_ = 512;
  const Cipher* cipher_ = nullptr;
};

}  // namespace kor::tables
