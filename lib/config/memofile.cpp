#include "config/memofile.h"

#include "config/faillog.h"
#include "errors/ui.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"

namespace kor::cfg {

using plat::Access;
using plat::Disposition;
using plat::Share;

namespace {

int& lastError() {
  static int e = 0;
  return e;
}

enum class Choice { Retry, Ignore, Abort };

// "Repetir" / "Ignorar" / "Abortar"; a time-out or Esc counts as "Repetir".
Choice askWrite(const std::string& message) {
  int a = err::ui::alert(message, {"Repetir", "Ignorar", "Abortar"}, kRetryAlertMillis);
  if (a == 2) return Choice::Ignore;
  if (a == 3) return Choice::Abort;
  return Choice::Retry;
}

std::string codeText(int code) { return std::to_string(code < 0 ? -code : code); }

// Reads everything from an open handle (not trusting the size: another
// program may be appending).
bool readAll(plat::Handle h, std::string& out, int& error) {
  out.clear();
  char buf[1 << 15];
  int64_t off = 0;
  for (;;) {
    plat::IoResult r = plat::readAt(h, off, buf, sizeof buf);
    if (!r.ok()) {
      error = r.error;
      return false;
    }
    if (r.bytes == 0) return true;
    out.append(buf, static_cast<size_t>(r.bytes));
    off += r.bytes;
  }
}

// The temporary file that receives the new content; removed unless it was
// renamed into place.
struct TempFile {
  std::string path;
  plat::Handle handle = plat::kNoHandle;
  bool keep = false;
  ~TempFile() {
    if (handle != plat::kNoHandle) plat::closeFile(handle);
    if (!path.empty() && !keep) plat::removeFile(path);
  }
};

// The steps of a write, each with its automatic retries and its alert.
class Writer {
 public:
  Writer(std::string file, std::string_view data)
      : file_(std::move(file)), full_(os::_TRUENAME(file_)), data_(data) {}

  bool run() {
    lastError() = 0;
    bool exists = false;
    if (!checkTarget(exists)) return false;
    TempFile tmp;
    tmp.path = file_ + ".~" + std::to_string(plat::processId()) + "tmp";
    bool inPlace = false;
    bool autoCreate = true;
    for (;;) {
      if (!create(tmp.path, tmp.handle, exists, inPlace, autoCreate)) return false;
      if (inPlace) tmp.path.clear();  // the handle is the file itself now
      if (!write(tmp.handle)) return false;
      int rc = plat::closeFile(tmp.handle);
      tmp.handle = plat::kNoHandle;
      if (rc == plat::kOk) break;
      // A failure reported at close (network folders do) is a failed write.
      Choice c = report("ao gravar o arquivo;", rc, true);
      if (c == Choice::Ignore) return false;
      autoCreate = false;
      if (inPlace) tmp.path = file_;
    }
    if (inPlace) return true;
    if (!replace(tmp.path)) return false;
    tmp.keep = true;
    return true;
  }

 private:
  // Sets the last error, logs (before the alert when logFirst) and asks.
  Choice report(const char* what, int error, bool logFirst) {
    lastError() = error;
    std::string msg = "Erro " + codeText(error) + " " + what + full_;
    if (logFirst) logFileFailure(msg, file_);
    lastError() = error;  // logging may have met failures of its own
    Choice c = askWrite(msg);
    if (c == Choice::Abort) rt::exitProgram(1);
    if (!logFirst && c == Choice::Retry) logFileFailure(msg, file_);
    return c;
  }

  // Step 1: the existing file must open for writing (a read-only or busy
  // file is reported here, as the in-place rewrite would have met it).
  bool checkTarget(bool& exists) {
    for (;;) {
      plat::OpenResult r = plat::openFile(file_, Access::ReadWrite, Share::DenyNone, Disposition::OpenExisting);
      if (r.ok()) {
        plat::closeFile(r.handle);
        exists = true;
        return true;
      }
      if (r.error == plat::kNotFound || r.error == plat::kPathNotFound) {
        exists = false;
        return true;
      }
      if (report("ao abrir o arquivo;", r.error, false) == Choice::Ignore) return false;
    }
  }

  // Step 2: creates the file that receives the content. Access denied is
  // retried after a second, 3 times, until an alert has been answered. When
  // no temporary file can be made beside an existing, writable file, the
  // file itself is emptied and rewritten.
  bool create(std::string& path, plat::Handle& h, bool exists, bool& inPlace, bool& autoRetry) {
    int autoLeft = autoRetry ? 3 : 0;
    for (;;) {
      Share share = inPlace ? Share::DenyNone : Share::Exclusive;
      plat::OpenResult r = plat::openFile(path, Access::ReadWrite, share, Disposition::CreateAlways);
      if (r.ok()) {
        h = r.handle;
        return true;
      }
      if (r.error == plat::kAccessDenied && autoLeft > 0) {
        --autoLeft;
        plat::sleepMillis(1000);
        continue;
      }
      if (!inPlace && exists && r.error == plat::kAccessDenied) {
        inPlace = true;
        path = file_;
        autoLeft = autoRetry ? 3 : 0;
        continue;
      }
      if (report("ao criar o arquivo;", r.error, true) == Choice::Ignore) return false;
      autoRetry = false;
      autoLeft = 0;
    }
  }

  // Step 3: writes every byte; a short write with access denied is retried
  // after a second, 3 times.
  bool write(plat::Handle h) {
    int autoLeft = 3;
    for (;;) {
      int error = plat::kOk;
      plat::IoResult w = plat::writeAt(h, 0, data_.data(), static_cast<int64_t>(data_.size()));
      if (!w.ok())
        error = w.error;
      else if (w.bytes != static_cast<int64_t>(data_.size()))
        error = plat::kDiskFull;
      if (error == plat::kOk) return true;
      if (error == plat::kAccessDenied && autoLeft > 0) {
        --autoLeft;
        plat::sleepMillis(1000);
        continue;
      }
      if (report("ao gravar o arquivo;", error, true) == Choice::Ignore) return false;
      autoLeft = 0;
    }
  }

  // Step 4: puts the new content in place.
  bool replace(const std::string& tmpPath) {
    int autoLeft = 3;
    for (;;) {
      int rc = plat::renameFile(tmpPath, file_);
      if (rc == plat::kOk) return true;
      if (rc == plat::kAccessDenied && autoLeft > 0) {
        --autoLeft;
        plat::sleepMillis(1000);
        continue;
      }
      if (report("ao gravar o arquivo;", rc, true) == Choice::Ignore) return false;
      autoLeft = 0;
    }
  }

  std::string file_;
  std::string full_;
  std::string_view data_;
};

}  // namespace

int lastWriteError() { return lastError(); }

bool FMEMOREAD(const std::string& file, std::string& text) {
  KOR_ROUTINE("FMEMOREAD");
  text.clear();
  if (!plat::fileExists(file)) return true;
  for (;;) {
    int error = plat::kOk;
    for (int attempt = 1; attempt <= 4; ++attempt) {
      plat::OpenResult r = plat::openFile(file, Access::Read, Share::DenyNone, Disposition::OpenExisting);
      if (r.ok()) {
        bool ok = readAll(r.handle, text, error);
        plat::closeFile(r.handle);
        if (ok) return true;
        text.clear();
      } else {
        error = r.error;
        // Removed between the look-up and the open: as good as missing.
        if (error == plat::kNotFound) return true;
      }
      if (attempt < 4) err::ui::waitKey(3000);
    }
    std::string msg = "Erro " + codeText(error) + " na leitura do arquivo " + file;
    int a = err::ui::alert("Erro!;" + msg, {"Repetir", "Abortar"}, kRetryAlertMillis);
    if (a == 2) {
      logFileFailure(msg + ", abortado pelo usuario", file);
      return false;
    }
    logFileFailure(msg + ", repetido pelo usuario", file);
  }
}

bool MEMOWRITE(const std::string& file, std::string_view text, bool addLineEnd) {
  KOR_ROUTINE("MEMOWRITE");
  std::string data(text);
  if (addLineEnd && !data.empty() && !(data.size() >= 2 && data.compare(data.size() - 2, 2, "\r\n") == 0))
    data += "\r\n";
  Writer w(file, data);
  return w.run();
}

}  // namespace kor::cfg
