#include "tables/engine/dbf.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "runtime/error.h"
#include "tables/engine/errors.h"

namespace kor::tables {

namespace {

constexpr size_t kWindowBytes = 64 * 1024;

void putLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void stampToday(dbf::Header& h) {
  // The calendar date of "now", worked out again at most once a second
  // (appends stamp every header).
  static bool valid = false;
  static int64_t known = 0;
  static uint8_t y = 0, m = 1, d = 1;
  int64_t now = plat::nowMillis();
  if (!valid || now < known || now - known >= 1000) {
    valid = true;
    plat::LocalTime t = plat::localTime(now);
    int yy = t.year - 1900;
    y = static_cast<uint8_t>(yy < 0 ? 0 : (yy > 255 ? 255 : yy));
    m = static_cast<uint8_t>(t.month);
    d = static_cast<uint8_t>(t.day);
    known = now;
  }
  h.year = y;
  h.month = m;
  h.day = d;
}

// Opens a file of a table, raising open errors until the handler stops
// retrying. kNoHandle when it gave up; a sharing violation then sets the
// network-error flag.
plat::Handle openRaising(const std::string& path, plat::Access a, plat::Share s) {
  int tries = 0;
  for (;;) {
    plat::OpenResult r = plat::openFile(path, a, s, plat::Disposition::OpenExisting);
    if (r.ok()) return r.handle;
    bool sharing = r.error == plat::kSharingViolation;
    rt::ErrorRecord e = dbError(rt::kErrOpen, sharing ? kSubShared : kSubOpen, path, r.error);
    e.canRetry = true;
    e.canDefault = true;
    e.tries = tries;
    rt::ErrorAnswer ans = rt::raise(e);
    tries = e.tries;
    if (ans.kind == rt::ErrorAnswer::Retry) continue;
    if (sharing) rt::setNetErr(true);
    return plat::kNoHandle;
  }
}

// Raises the open error of a damaged file; true when the handler asks to
// try the open again.
bool raiseDamaged(const std::string& path, const dbf::Parsed& p) {
  rt::ErrorRecord e = dbError(rt::kErrOpen, static_cast<int>(p.fault), path);
  e.cargo = Value(p.detail);
  e.canRetry = true;
  e.canDefault = true;
  return raiseOnce(e);
}

bool hasMemoFields(const std::vector<dbf::FieldDesc>& fields) {
  for (auto& f : fields)
    if (f.type == 'M') return true;
  return false;
}

}  // namespace

std::string DbfTable::memoPath(const std::string& tablePath, dbf::MemoKind kind) {
  size_t slash = tablePath.find_last_of("/\\");
  size_t dot = tablePath.find_last_of('.');
  std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? tablePath.substr(0, dot)
                                                                                             : tablePath;
  std::string ext = kind == dbf::MemoKind::Fpt ? ".fpt" : ".dbt";
  // Follow the case of the table's own extension (DBF -> FPT, dbf -> fpt).
  if (dot != std::string::npos && dot + 1 < tablePath.size() && (slash == std::string::npos || dot > slash) &&
      tablePath[dot + 1] >= 'A' && tablePath[dot + 1] <= 'Z')
    for (char& c : ext) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return base + ext;
}

DbfTable::DbfTable(EngineFile f, dbf::Header h, bool shared, bool readOnly)
    : file_(std::move(f)), hdr_(std::move(h)), shared_(shared), readOnly_(readOnly) {
  locks_.attach(file_.handle(), !shared);
  scratch_.resize(hdr_.recordLen);
}

DbfTable::~DbfTable() {
  // Locks go with the handle; the work area flushed before closing.
  file_.close();
}

std::unique_ptr<DbfTable> DbfTable::open(const std::string& path, bool shared, bool readOnly) {
  plat::Access a = readOnly ? plat::Access::Read : plat::Access::ReadWrite;
  plat::Share s = shared ? plat::Share::DenyNone : plat::Share::Exclusive;
  for (;;) {
    plat::Handle h = openRaising(path, a, s);
    if (h == plat::kNoHandle) return nullptr;
    EngineFile f(h, path);
    // The header first, the size after: an appender writes its record
    // before the header, so a size taken later covers every record the
    // header counts. Another program may write in the other order; in shared
    // use such a moment is waited out briefly before the count is refused.
    dbf::Header hdr;
    dbf::Parsed p;
    for (int attempt = 0;; ++attempt) {
      std::vector<uint8_t> buf(65536 + 32);
      int64_t got = 0;
      if (!f.read(0, buf.data(), static_cast<int64_t>(buf.size()), &got)) return nullptr;
      int64_t size = f.size();
      p = dbf::parseHeader(buf.data(), static_cast<size_t>(got), hdr);
      if (p.ok()) p = dbf::checkFileSize(hdr, size);
      if (p.fault != dbf::Fault::CountBeyondEnd || !shared || attempt >= 3) break;
      plat::sleepMillis(10);
    }
    if (!p.ok()) {
      f.close();
      if (raiseDamaged(path, p)) continue;
      return nullptr;
    }
    bool ro = readOnly || hdr.laterLayout;
    dbf::MemoKind kind = hdr.memoKind;
    if (kind == dbf::MemoKind::Fpt && !(hdr.version == 0xF5 || hdr.laterLayout)) {
      // Memo fields under a version byte that names no memo file: take the
      // file that is there.
      if (!plat::fileExists(memoPath(path, dbf::MemoKind::Fpt)) && plat::fileExists(memoPath(path, dbf::MemoKind::Dbt)))
        kind = dbf::MemoKind::Dbt;
      hdr.memoKind = kind;
    }
    std::unique_ptr<DbfTable> t(new DbfTable(std::move(f), std::move(hdr), shared, ro));
    if (kind != dbf::MemoKind::None) {
      std::string mp = memoPath(path, kind);
      mp = plat::resolveCase(plat::nativePath(mp));
      bool retry = false;
      for (;;) {
        int os = 0;
        t->memo_ = MemoFile::open(kind, mp, ro ? plat::Access::Read : plat::Access::ReadWrite, s, shared, &os);
        if (t->memo_) break;
        bool sharing = os == plat::kSharingViolation;
        rt::ErrorRecord e = dbError(rt::kErrOpen, sharing ? kSubShared : (os == plat::kNotFound ? kSubMemoMissing : kSubOpen),
                                    mp, os);
        e.canRetry = true;
        e.canDefault = true;
        if (rt::raise(e).kind == rt::ErrorAnswer::Retry) {
          if (os == plat::kNotFound) {
            retry = true;  // the caller may have put the file back: open all again
            break;
          }
          continue;
        }
        if (sharing) rt::setNetErr(true);
        return nullptr;
      }
      if (retry) continue;
      if (!t->memo_->checkHeader()) return nullptr;
    }
    return t;
  }
}

bool DbfTable::create(const std::string& path, std::vector<dbf::FieldDesc> fields, dbf::MemoKind memoKind,
                      uint16_t memoBlockSize) {
  dbf::Header h;
  h.fields = std::move(fields);
  if (!hasMemoFields(h.fields)) memoKind = dbf::MemoKind::None;
  h.version = dbf::versionFor(memoKind);
  stampToday(h);
  std::string bytes = dbf::buildHeader(h);
  bytes.push_back(static_cast<char>(dbf::kEofMark));
  return tryRaising([&](rt::ErrorRecord& e) {
    plat::OpenResult r = plat::openFile(path, plat::Access::ReadWrite, plat::Share::Exclusive,
                                        plat::Disposition::CreateAlways);
    if (!r.ok()) {
      e = dbError(rt::kErrCreate, kSubCreate, path, r.error);
      e.canRetry = true;
      e.canDefault = true;
      return false;
    }
    plat::IoResult w = plat::writeAt(r.handle, 0, bytes.data(), static_cast<int64_t>(bytes.size()));
    plat::closeFile(r.handle);
    if (!w.ok()) {
      plat::removeFile(path);
      e = dbError(rt::kErrCreate, kSubCreate, path, w.error);
      e.canRetry = true;
      e.canDefault = true;
      return false;
    }
    if (memoKind != dbf::MemoKind::None) {
      std::string mp = memoPath(path, memoKind);
      int rc = MemoFile::create(memoKind, mp, memoBlockSize);
      if (rc != 0) {
        plat::removeFile(path);
        e = dbError(rt::kErrCreate, kSubCreate, mp, rc);
        e.canRetry = true;
        e.canDefault = true;
        return false;
      }
    }
    return true;
  });
}

bool DbfTable::refreshCount() {
  uint8_t h[8];
  if (!file_.readExact(0, h, 8, kSubTruncated)) return false;
  uint32_t n = static_cast<uint32_t>(h[4]) | (static_cast<uint32_t>(h[5]) << 8) |
               (static_cast<uint32_t>(h[6]) << 16) | (static_cast<uint32_t>(h[7]) << 24);
  if (n != hdr_.recCount) {
    // A count beyond the records present means a writer between its two
    // writes; take the whole records that are there.
    int64_t size = file_.size();
    if (size >= 0) n = std::min(n, dbf::recordsInFile(hdr_, size));
    hdr_.recCount = n;
  }
  return true;
}

bool DbfTable::fillWindow(uint32_t n, int dir) {
  size_t cap = std::max<size_t>(1, kWindowBytes / hdr_.recordLen);
  uint32_t first = n, last = n;
  if (dir >= 0) {
    last = static_cast<uint32_t>(std::min<uint64_t>(hdr_.recCount, static_cast<uint64_t>(n) + cap - 1));
  } else {
    first = static_cast<uint32_t>(n > cap ? n - cap + 1 : 1);
  }
  if (last < n) last = n;
  size_t count = last - first + 1;
  win_.resize(count * hdr_.recordLen);
  int64_t got = 0;
  winCount_ = 0;
  if (!file_.read(offsetOf(first), win_.data(), static_cast<int64_t>(win_.size()), &got)) return false;
  uint32_t whole = static_cast<uint32_t>(got / hdr_.recordLen);
  if (first + whole <= n) {
    // The header counts a record the file does not hold (cut short since).
    rt::ErrorRecord e = dbError(rt::kErrRead, kSubRecordMissing, path());
    e.operation = "record " + std::to_string(n);
    e.canDefault = true;
    raiseOnce(e);
    return false;
  }
  winFirst_ = first;
  winCount_ = whole;
  return true;
}

void DbfTable::touchWindow(uint32_t n, const char* stored) {
  if (winCount_ && n >= winFirst_ && n < winFirst_ + winCount_)
    std::memcpy(win_.data() + static_cast<size_t>(n - winFirst_) * hdr_.recordLen, stored, hdr_.recordLen);
}

bool DbfTable::readRecord(uint32_t n, char* buf, bool fresh, int dir) {
  assert(n >= 1);
  if (fresh) {
    if (!file_.readExact(offsetOf(n), buf, hdr_.recordLen, kSubRecordMissing)) return false;
    touchWindow(n, buf);
  } else {
    if (!(winCount_ && n >= winFirst_ && n < winFirst_ + winCount_) && !fillWindow(n, dir)) return false;
    std::memcpy(buf, win_.data() + static_cast<size_t>(n - winFirst_) * hdr_.recordLen, hdr_.recordLen);
  }
  if (cipher_) cipher_->record(n, reinterpret_cast<uint8_t*>(buf) + 1, hdr_.recordLen - 1u);
  return true;
}

bool DbfTable::markModified() {
  if (dated_) return true;
  stampToday(hdr_);
  uint8_t d[3] = {hdr_.year, hdr_.month, hdr_.day};
  if (!file_.write(1, d, 3)) return false;
  dated_ = true;
  return true;
}

bool DbfTable::writeRecord(uint32_t n, const char* buf) {
  assert(!readOnly_ && n >= 1 && n <= hdr_.recCount);
  const char* out = buf;
  if (cipher_) {
    std::memcpy(scratch_.data(), buf, hdr_.recordLen);
    cipher_->record(n, reinterpret_cast<uint8_t*>(scratch_.data()) + 1, hdr_.recordLen - 1u);
    out = scratch_.data();
  }
  if (!markModified()) return false;
  if (!file_.write(offsetOf(n), out, hdr_.recordLen)) return false;
  touchWindow(n, out);
  return true;
}

bool DbfTable::appendRecord(const char* buf, uint32_t* n, bool* lockFailed, const char* pending, uint32_t pendingRec,
                            bool* pendingWritten, const std::function<void(uint32_t rec, char* record)>* fill) {
  assert(!readOnly_);
  *lockFailed = false;
  if (pendingWritten) *pendingWritten = false;
  if (!locks_.beginAppend()) {
    *lockFailed = true;
    return false;
  }
  struct End {
    LockSet& l;
    bool done = false;
    ~End() {
      if (!done) l.endAppend();
    }
  } end{locks_};
  if (shared_ && !refreshCount()) return false;
  if (hdr_.recCount == 0xFFFFFFFFu) {
    rt::ErrorRecord e = dbError(rt::kErrLimit, kSubWrite, path());
    e.canDefault = true;
    raiseOnce(e);
    return false;
  }
  uint32_t rec = hdr_.recCount + 1;
  // Lock the new record before it becomes visible in the header.
  if (locks_.lockRecord(rec) != plat::LockResult::Locked) {
    *lockFailed = true;
    return false;
  }
  const size_t rl = hdr_.recordLen;
  // A pending change of the last record travels in the same write.
  bool merged = pending && pendingRec + 1 == rec;
  if (pending && !merged) {
    if (!writeRecord(pendingRec, pending)) {
      locks_.unlockRecord(rec);
      return false;
    }
    *pendingWritten = true;
  }
  std::vector<char>& out = appendBuf_;
  out.resize((merged ? 2 : 1) * rl + 1);
  char* p = out.data();
  if (merged) {
    std::memcpy(p, pending, rl);
    if (cipher_) cipher_->record(pendingRec, reinterpret_cast<uint8_t*>(p) + 1, rl - 1u);
    p += rl;
  }
  std::memcpy(p, buf, rl);
  if (fill && *fill) (*fill)(rec, p);
  if (cipher_) cipher_->record(rec, reinterpret_cast<uint8_t*>(p) + 1, rl - 1u);
  p[rl] = static_cast<char>(dbf::kEofMark);
  stampToday(hdr_);
  uint8_t fixed[7] = {hdr_.year, hdr_.month, hdr_.day};
  putLe32(fixed + 3, rec);
  // Record first, header after: a reader never sees a count whose record
  // is not there yet.
  if (!file_.write(offsetOf(merged ? pendingRec : rec), out.data(), static_cast<int64_t>(out.size())) ||
      !file_.write(1, fixed, 7)) {
    locks_.unlockRecord(rec);
    return false;
  }
  if (merged) {
    touchWindow(pendingRec, out.data());
    *pendingWritten = true;
  }
  dated_ = true;
  hdr_.recCount = rec;
  *n = rec;
  end.done = true;
  locks_.endAppend(rec);
  return true;
}

bool DbfTable::writeFixedHeader() {
  uint8_t fixed[32];
  dbf::encodeFixed(hdr_, fixed);
  return file_.write(0, fixed, 32);
}

bool DbfTable::setCount(uint32_t n) {
  assert(!readOnly_);
  hdr_.recCount = n;
  stampToday(hdr_);
  dated_ = true;
  dropWindow();
  char eof = static_cast<char>(dbf::kEofMark);
  int64_t end = static_cast<int64_t>(hdr_.headerLen) + static_cast<int64_t>(n) * hdr_.recordLen;
  return writeFixedHeader() && file_.write(end, &eof, 1) && file_.truncate(end + 1);
}

bool DbfTable::sync() {
  if (readOnly_) return true;
  if (!file_.sync()) return false;
  return !memo_ || memo_->sync();
}

bool DbfTable::setPassword(std::string_view password) {
  if (!encrypted()) return false;
  Cipher c = Cipher::derive(password, hdr_.multiUser.data());
  if (std::memcmp(c.check().data(), hdr_.multiUser.data() + 8, 4) != 0) return false;
  cipher_ = c;
  dropWindow();
  if (memo_) memo_->setCipher(&*cipher_);
  return true;
}

bool DbfTable::rewriteAll(const Cipher* from, const Cipher* to) {
  std::vector<char> rec(hdr_.recordLen);
  std::vector<size_t> memoFields;
  for (size_t i = 0; i < hdr_.fields.size(); ++i)
    if (hdr_.fields[i].type == 'M') memoFields.push_back(i);
  dropWindow();
  for (uint32_t n = 1; n <= hdr_.recCount; ++n) {
    if (!file_.readExact(offsetOf(n), rec.data(), hdr_.recordLen, kSubRecordMissing)) return false;
    auto* data = reinterpret_cast<uint8_t*>(rec.data()) + 1;
    if (from) from->record(n, data, hdr_.recordLen - 1u);
    if (memo_)
      for (size_t i : memoFields) {
        const dbf::FieldDesc& f = hdr_.fields[i];
        uint32_t block = dbf::memoPointer(f, rec.data() + f.offset);
        if (!block) continue;
        std::string text;
        memo_->setCipher(from);
        if (!memo_->read(block, text)) return false;
        memo_->setCipher(to);
        uint32_t nb = 0;
        // Always new blocks, and the old ones cleared: they hold the other form.
        if (!memo_->write(0, text, &nb) || !memo_->wipe(block)) return false;
        dbf::encodeMemoPointer(f, nb, rec.data() + f.offset);
      }
    if (to) to->record(n, data, hdr_.recordLen - 1u);
    if (!file_.write(offsetOf(n), rec.data(), hdr_.recordLen)) return false;
  }
  return true;
}

bool DbfTable::encryptAll(std::string_view password) {
  assert(!readOnly_);
  uint8_t salt[8];
  Cipher::randomSalt(salt);
  Cipher c = Cipher::derive(password, salt);
  if (!rewriteAll(nullptr, &c)) return false;
  hdr_.encrypted = 1;
  std::memcpy(hdr_.multiUser.data(), salt, 8);
  std::memcpy(hdr_.multiUser.data() + 8, c.check().data(), 4);
  cipher_ = c;
  if (memo_) memo_->setCipher(&*cipher_);
  stampToday(hdr_);
  return writeFixedHeader();
}

bool DbfTable::decryptAll() {
  assert(!readOnly_ && cipher_);
  if (!rewriteAll(&*cipher_, nullptr)) return false;
  hdr_.encrypted = 0;
  hdr_.multiUser.fill(0);
  cipher_.reset();
  if (memo_) memo_->setCipher(nullptr);
  stampToday(hdr_);
  return writeFixedHeader();
}

}  // namespace kor::tables
