#include "console/listbox.h"

#include <algorithm>

#include "console/screen.h"
#include "console/textwrap.h"
#include "expr/expr.h"
#include "runtime/runtime.h"
#include "values/textform.h"

namespace kor::con {

namespace {

std::vector<ListState>& running() {
  static std::vector<ListState> stack;
  return stack;
}

class Chooser {
 public:
  explicit Chooser(const ListSpec& s) : s_(s), n_(static_cast<int>(s.items.size())), items_(s.items) {
    height_ = std::max(1, s.bottom - s.top + 1);
    width_ = std::max(0, s.right - s.left + 1);
  }

  int run() {
    running().push_back(ListState{});
    struct Pop {
      ~Pop() { running().pop_back(); }
    } pop;
    ScreenStateGuard state;
    setCursor(kCursorNone);
    if (firstSelectable() == 0) {
      draw();
      if (s_.handler) s_.handler(kListNoItem, 0, 0);
      return 0;
    }
    cur_ = std::clamp(s_.initial, 1, n_);
    if (!selectable(cur_)) cur_ = nextSelectable(cur_, +1) ? nextSelectable(cur_, +1) : nextSelectable(cur_, -1);
    first_ = std::clamp(cur_ - std::clamp(s_.initialRow, 0, height_ - 1), 1, std::max(1, n_ - height_ + 1));
    if (cur_ < first_) first_ = cur_;
    for (;;) {
      draw();
      int k = waitKey(Wait::forever(), eventMask() | kEvLeftDown | kEvWheel);
      if (k == key::Close) return 0;
      bool moved = false;
      int mode = -1;
      switch (k) {
        case key::Up:
        case key::WheelForward:
          if (int p = nextSelectable(cur_, -1)) moveTo(p), moved = true;
          else mode = kListHitTop;
          break;
        case key::Down:
        case key::WheelBackward:
          if (int p = nextSelectable(cur_, +1)) moveTo(p), moved = true;
          else mode = kListHitBottom;
          break;
        case key::PgUp:
          if (nextSelectable(cur_, -1) == 0) {
            mode = kListHitTop;
          } else {
            first_ = std::max(1, first_ - height_);
            moveTo(selectableNear(std::max(1, cur_ - height_), +1));
            moved = true;
          }
          break;
        case key::PgDn:
          if (nextSelectable(cur_, +1) == 0) {
            mode = kListHitBottom;
          } else {
            first_ = std::min(std::max(1, n_ - height_ + 1), first_ + height_);
            moveTo(selectableNear(std::min(n_, cur_ + height_), -1));
            moved = true;
          }
          break;
        case key::Home:
        case key::CtrlPgUp:
          moveTo(firstSelectable()), moved = true;
          break;
        case key::End:
        case key::CtrlPgDn:
          moveTo(lastSelectable()), moved = true;
          break;
        case key::CtrlHome:
          moveTo(selectableNear(first_, +1)), moved = true;
          break;
        case key::CtrlEnd:
          moveTo(selectableNear(std::min(n_, first_ + height_ - 1), -1)), moved = true;
          break;
        case key::LeftDown:
        case key::LeftDouble: {
          int r = mouseRow(), c = mouseCol();
          int item = first_ + (r - s_.top);
          bool inside = r >= s_.top && r <= s_.bottom && c >= s_.left && c <= s_.right && item <= n_;
          if (inside && selectable(item)) moveTo(item);
          if (!s_.handler) {
            if (inside && selectable(item)) return cur_;
            break;
          }
          mode = kListException;
          break;
        }
        default:
          if (s_.handler) {
            mode = kListException;
          } else if (k == key::Enter) {
            return cur_;
          } else if (k == key::Esc || k == key::Left || k == key::Right) {
            return 0;
          } else if (k >= 32 && k <= 255) {
            gotoLetter(k);
          }
          break;
      }
      if (mode < 0 && moved && s_.handler && nextKey() == 0) mode = kListIdle;
      if (mode < 0 || !s_.handler) continue;
      draw();
      int action = s_.handler(mode, cur_, cur_ - first_);
      switch (action) {
        case kListAbort: return 0;
        case kListSelect:
          if (selectable(cur_)) return cur_;
          break;
        case kListGoto:
          refreshItems();
          gotoLetter(lastKey());
          break;
        default: break;
      }
    }
  }

 private:
  bool selectable(int i) const {
    if (i < 1 || i > n_) return false;
    size_t k = static_cast<size_t>(i - 1);
    return k >= s_.selectable.size() || s_.selectable[k];
  }
  int nextSelectable(int from, int step) const {
    for (int i = from + step; i >= 1 && i <= n_; i += step)
      if (selectable(i)) return i;
    return 0;
  }
  int firstSelectable() const { return nextSelectable(0, +1); }
  int lastSelectable() const { return nextSelectable(n_ + 1, -1); }
  // The selectable item at i or the nearest one in the direction, else the other way.
  int selectableNear(int i, int step) const {
    if (selectable(i)) return i;
    if (int p = nextSelectable(i, step)) return p;
    return nextSelectable(i, -step);
  }
  void moveTo(int i) {
    if (i < 1) return;
    cur_ = i;
    if (cur_ < first_) first_ = cur_;
    if (cur_ > first_ + height_ - 1) first_ = cur_ - height_ + 1;
  }
  // The next item after the current one (wrapping) whose text begins with
  // the key's character, ignoring case.
  void gotoLetter(int k) {
    unsigned char want = upperKey(k);
    if (want == 0) return;
    for (int step = 1; step <= n_; ++step) {
      int i = (cur_ - 1 + step) % n_ + 1;
      std::string_view t = ltrim(items_[static_cast<size_t>(i - 1)]);
      if (!t.empty() && upperByte(static_cast<unsigned char>(t[0])) == want && selectable(i)) {
        moveTo(i);
        return;
      }
    }
  }
  void refreshItems() {
    if (!s_.source.isArray()) return;
    for (int i = 0; i < n_ && static_cast<size_t>(i) < s_.source.size(); ++i) {
      const Value& v = s_.source.at(static_cast<size_t>(i));
      items_[static_cast<size_t>(i)] = v.isText() ? v.string() : std::string();
    }
  }
  void draw() {
    refreshItems();
    uint8_t normal = colorAttr(kStandard), current = colorAttr(kEnhanced), disabled = colorAttr(kUnselected);
    DispGuard buffered;
    for (int r = 0; r < height_; ++r) {
      int i = first_ + r;
      std::string text;
      uint8_t attr = normal;
      if (i >= 1 && i <= n_) {
        text = items_[static_cast<size_t>(i - 1)].substr(0, static_cast<size_t>(width_));
        attr = i == cur_ ? current : selectable(i) ? normal : disabled;
      }
      text.resize(static_cast<size_t>(width_), ' ');
      writeAt(s_.top + r, s_.left, text, attr);
    }
    ListState& st = running().back();
    st = ListState{cur_, first_, n_, s_.top, s_.left, s_.bottom, s_.right};
    setPos(s_.top + std::max(0, cur_ - first_), s_.left);
  }

  const ListSpec& s_;
  int n_;
  std::vector<std::string> items_;
  int height_ = 1, width_ = 0;
  int cur_ = 1, first_ = 1;
};

}  // namespace

int listChoose(const ListSpec& setup) {
  KOR_ROUTINE("ACHOICE");
  return Chooser(setup).run();
}

ListState runningList() { return running().empty() ? ListState{} : running().back(); }

Value ACHOICE(const Value& top, const Value& left, const Value& bottom, const Value& right, const Value& items,
              const Value& selectable, const Value& handler, const Value& initial, const Value& initialRow) {
  ListSpec s;
  s.top = static_cast<int>(top.integer());
  s.left = static_cast<int>(left.integer());
  s.bottom = bottom.isNumber() ? static_cast<int>(bottom.integer()) : maxRow();
  s.right = right.isNumber() ? static_cast<int>(right.integer()) : maxCol();
  for (const Value& v : items.items()) s.items.push_back(v.isText() ? v.string() : std::string());
  s.source = items;
  if (selectable.isLogical()) {
    s.selectable.assign(s.items.size(), selectable.log());
  } else if (selectable.isArray()) {
    for (const Value& v : selectable.items()) {
      if (v.isText())
        s.selectable.push_back(expr::evalText(v.str()).log());
      else
        s.selectable.push_back(!v.isLogical() || v.log());
    }
  }
  if (handler.isBlock() || (handler.isText() && !handler.str().empty())) {
    Value h = handler;
    s.handler = [h](int mode, int current, int row) {
      Args a{Value(mode), Value(current), Value(row)};
      Value r = h.isBlock() ? evalBlock(h, a) : rt::callRoutine(h.str(), a);
      return r.isNumber() ? static_cast<int>(r.integer()) : kListContinue;
    };
  }
  s.initial = initial.isNumber() ? static_cast<int>(initial.integer()) : 1;
  s.initialRow = initialRow.isNumber() ? static_cast<int>(initialRow.integer()) : 0;
  return Value(listChoose(s));
}

void registerListRoutines() {
  rt::registerRoutine("ACHOICE",
                      [](Args& a) { return ACHOICE(a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]); });
}

}  // namespace kor::con
