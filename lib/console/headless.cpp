#include "console/headless.h"

#include <algorithm>

#include "console/color.h"
#include "console/screen.h"
#include "platform/platform.h"

namespace kor::con {

int64_t HeadlessBackend::nextDue(int64_t gapMs) {
  int64_t base = std::max(lastDue_, plat::monotonicMillis());
  lastDue_ = base + std::max<int64_t>(gapMs, 0);
  return lastDue_;
}

HeadlessBackend& HeadlessBackend::type(std::initializer_list<int> keys, int64_t gapMs) {
  return type(std::vector<int>(keys), gapMs);
}

HeadlessBackend& HeadlessBackend::type(const std::vector<int>& keys, int64_t gapMs) {
  for (int k : keys) script_.push_back(Entry{nextDue(gapMs), InputEvent{k}, {}});
  return *this;
}

HeadlessBackend& HeadlessBackend::typeText(std::string_view text, int64_t gapMs) {
  for (char c : text) script_.push_back(Entry{nextDue(gapMs), InputEvent{static_cast<unsigned char>(c)}, {}});
  return *this;
}

HeadlessBackend& HeadlessBackend::after(int64_t delayMs, int k) {
  script_.push_back(Entry{nextDue(delayMs), InputEvent{k}, {}});
  return *this;
}

HeadlessBackend& HeadlessBackend::mouse(int code, int row, int col, int64_t gapMs) {
  script_.push_back(Entry{nextDue(gapMs), InputEvent{code, row, col}, {}});
  return *this;
}

HeadlessBackend& HeadlessBackend::probe(std::function<void()> fn, int64_t gapMs) {
  script_.push_back(Entry{nextDue(gapMs), InputEvent{}, std::move(fn)});
  return *this;
}

void HeadlessBackend::clearScript() {
  script_.clear();
  next_ = 0;
  lastDue_ = -1;
}

Cell HeadlessBackend::cell(int r, int c) const {
  if (r < 0 || r >= rows_ || c < 0 || c >= cols_) return Cell{};
  return cells_[static_cast<size_t>(r * cols_ + c)];
}

std::string HeadlessBackend::rowText(int r) const {
  std::string out;
  for (int c = 0; c < cols_; ++c) out.push_back(static_cast<char>(cell(r, c).ch));
  return out;
}

std::string HeadlessBackend::text() const {
  std::string out;
  for (int r = 0; r < rows_; ++r) {
    if (r) out.push_back('\n');
    out += rowText(r);
  }
  return out;
}

std::string HeadlessBackend::rowColors(int r) const {
  std::string out;
  int c = 0;
  while (c < cols_) {
    uint8_t a = cell(r, c).attr;
    int start = c;
    while (c < cols_ && cell(r, c).attr == a) ++c;
    if (!out.empty()) out.push_back(' ');
    out += pairText(a) + "*" + std::to_string(c - start);
  }
  return out;
}

void HeadlessBackend::resize(int rows, int cols) {
  rows_ = rows;
  cols_ = cols;
  cells_.assign(static_cast<size_t>(rows * cols), Cell{});
}

void HeadlessBackend::writeCells(int r, int c, const Cell* cells, int n) {
  for (int i = 0; i < n; ++i)
    if (r >= 0 && r < rows_ && c + i >= 0 && c + i < cols_) cells_[static_cast<size_t>(r * cols_ + c + i)] = cells[i];
  cellsWritten_ += n;
}

void HeadlessBackend::present(int r, int c, int shape) {
  curRow_ = r;
  curCol_ = c;
  shape_ = shape;
  ++presents_;
}

std::optional<InputEvent> HeadlessBackend::readEvent(int64_t waitMs) {
  for (;;) {
    int64_t now = plat::monotonicMillis();
    if (next_ >= script_.size()) {
      if (waitMs < 0) {
        if (whenDone_ == WhenDone::Throw) throw ScriptExhausted();
        return InputEvent{key::Close};
      }
      if (waitMs > 0) plat::sleepMillis(waitMs);
      return std::nullopt;
    }
    Entry& e = script_[next_];
    if (e.due <= now) {
      ++next_;
      if (e.probe) {
        std::function<void()> fn = std::move(e.probe);
        fn();
        continue;
      }
      return e.ev;
    }
    int64_t until = e.due - now;
    if (waitMs >= 0 && until > waitMs) {
      if (waitMs > 0) plat::sleepMillis(waitMs);
      return std::nullopt;
    }
    plat::sleepMillis(until);
    if (waitMs > 0) waitMs = std::max<int64_t>(0, waitMs - until);
  }
}

void HeadlessBackend::discardTypeahead() {
  int64_t now = plat::monotonicMillis();
  while (next_ < script_.size() && script_[next_].due <= now && !script_[next_].probe) ++next_;
}

HeadlessBackend& installHeadless(HeadlessBackend::WhenDone whenDone) {
  auto* h = new HeadlessBackend(whenDone);
  setBackend(std::unique_ptr<Backend>(h));
  return *h;
}

}  // namespace kor::con
