// Expected screens built from geometry, compared cell by cell (character
// and colour) with what the headless backend shows.
#pragma once

#include <string>
#include <vector>

#include "console/headless.h"
#include "console/screen.h"
#include "values/cp850.h"

namespace kor::con::test {

class ExpectedScreen {
 public:
  // Starts from what the backend shows now.
  explicit ExpectedScreen(const HeadlessBackend& h) : rows_(h.rows()), cols_(h.cols()) {
    for (int r = 0; r < rows_; ++r)
      for (int c = 0; c < cols_; ++c) cells_.push_back(h.cell(r, c));
  }
  void text(int r, int c, std::string_view s, uint8_t attr) {
    for (size_t i = 0; i < s.size(); ++i) put(r, c + static_cast<int>(i), Cell{static_cast<uint8_t>(s[i]), attr});
  }
  void colour(int r, int c, uint8_t attr) {
    if (in(r, c)) at(r, c).attr = attr;
  }
  // A single-line frame with a blank inside.
  void window(int t, int l, int b, int r, uint8_t attr) {
    std::string_view f = "┌─┐│┘─└│"_cp;
    for (int y = t; y <= b; ++y)
      for (int x = l; x <= r; ++x) {
        uint8_t ch = ' ';
        if (y == t) ch = static_cast<uint8_t>(x == l ? f[0] : x == r ? f[2] : f[1]);
        else if (y == b) ch = static_cast<uint8_t>(x == l ? f[6] : x == r ? f[4] : f[5]);
        else if (x == l) ch = static_cast<uint8_t>(f[7]);
        else if (x == r) ch = static_cast<uint8_t>(f[3]);
        put(y, x, Cell{ch, attr});
      }
  }
  // The shadow of a rectangle: the row below and the column to the right.
  void shadow(int t, int l, int b, int r) {
    int R = rows_ - 1, C = cols_ - 1;
    for (int x = l + 1; x <= std::min(r + 1, C); ++x) colour(std::min(b + 1, R), x, 0x08);
    for (int y = t + 1; y <= b; ++y) colour(y, std::min(r + 1, C), 0x08);
  }
  // "" when the backend shows exactly this; else the differing rows.
  std::string diff(const HeadlessBackend& h) const {
    std::string out;
    for (int r = 0; r < rows_; ++r) {
      bool same = true;
      for (int c = 0; c < cols_; ++c)
        if (h.cell(r, c) != cells_[static_cast<size_t>(r * cols_ + c)]) same = false;
      if (same) continue;
      std::string want, wantC;
      for (int c = 0; c < cols_; ++c) want.push_back(static_cast<char>(cells_[static_cast<size_t>(r * cols_ + c)].ch));
      out += "row " + std::to_string(r) + "\n  shown:    [" + h.rowText(r) + "]\n  expected: [" + want + "]\n";
      out += "  shown colours: " + h.rowColors(r) + "\n";
      for (int c = 0; c < cols_; ++c)
        if (h.cell(r, c).attr != cells_[static_cast<size_t>(r * cols_ + c)].attr) {
          out += "  first colour difference at column " + std::to_string(c) + "\n";
          break;
        }
    }
    return out;
  }

 private:
  bool in(int r, int c) const { return r >= 0 && r < rows_ && c >= 0 && c < cols_; }
  Cell& at(int r, int c) { return cells_[static_cast<size_t>(r * cols_ + c)]; }
  void put(int r, int c, Cell v) {
    if (in(r, c)) at(r, c) = v;
  }
  int rows_, cols_;
  std::vector<Cell> cells_;
};

// Fills the screen with a pattern of characters and colours, so that a
// restore that misses a cell or a shadow that changes a character shows.
inline void patternScreen() {
  for (int r = 0; r <= maxRow(); ++r) {
    std::string line;
    for (int c = 0; c <= maxCol(); ++c) line.push_back(static_cast<char>('a' + (r * 7 + c) % 26));
    writeAt(r, 0, line, static_cast<uint8_t>(0x07 + (r % 3) * 0x10));
  }
}

}  // namespace kor::con::test
