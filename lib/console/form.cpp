#include "console/form.h"

#include <algorithm>

#include "console/color.h"
#include "console/screen.h"
#include "console/textwrap.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "values/textform.h"

namespace kor::con {

namespace {

struct FieldRep : ObjectRep {
  Field f;
};

struct FormState {
  Value fields;
  Value active;
  bool updated = false;
  bool kill = false;
};

std::vector<FormState>& forms() {
  static std::vector<FormState> stack;
  return stack;
}

bool& lastUpdated() {
  static bool u = false;
  return u;
}

Field* activeFieldPtr() { return forms().empty() ? nullptr : fieldOf(forms().back().active); }

bool isBlank(char c) { return c == ' '; }

std::shared_ptr<const ClassDef> fieldClass();

// "NAME", "NAME[2][3]", "M->NAME": the base name in upper case and the subscripts.
void splitName(std::string_view text, std::string& name, std::vector<int>& subs) {
  std::string_view t = alltrim(text);
  size_t arrow = t.find("->");
  if (arrow != std::string_view::npos) t = t.substr(arrow + 2);
  size_t bracket = t.find('[');
  name = upper(alltrim(t.substr(0, bracket)));
  subs.clear();
  while (bracket != std::string_view::npos) {
    size_t close = t.find(']', bracket);
    if (close == std::string_view::npos) break;
    subs.push_back(static_cast<int>(valNumber(t.substr(bracket + 1, close - bracket - 1)).integer()));
    bracket = t.find('[', close);
  }
}

}  // namespace

Field* fieldOf(const Value& v) {
  ObjectRep* o = v.objectRep();
  auto* r = o ? dynamic_cast<FieldRep*>(o) : nullptr;
  return r ? &r->f : nullptr;
}

// --- the field --------------------------------------------------------------------

Value Field::varGet() const { return block.isBlock() ? evalBlock(block) : Value(); }

void Field::varPut(const Value& v) {
  if (block.isBlock()) evalBlock(block, Args{v});
}

char Field::type() {
  Value v = hasFocus ? original : varGet();
  switch (v.type()) {
    case VType::Text:
    case VType::Memo: return 'C';
    case VType::Number: return 'N';
    case VType::Date: return 'D';
    case VType::Logical: return 'L';
    default: return 'U';
  }
}

bool Field::editableType() { return type() != 'U'; }

const values::FieldPicture& Field::layout() {
  char t = type();
  if (!layout_ || t != layoutType_ || !hasFocus) {
    layout_.emplace(picture, hasFocus ? original : varGet());
    layoutType_ = t;
  }
  return *layout_;
}

int Field::visibleWidth() {
  const values::FieldPicture& fp = layout();
  return std::max(0, std::min(fp.visibleWidth(), fp.width()));
}

void Field::scrollToCursor() {
  int vis = visibleWidth();
  if (vis <= 0) return;
  if (pos < offset_) offset_ = pos;
  if (pos >= offset_ + vis) offset_ = pos - vis + 1;
  offset_ = std::clamp(offset_, 0, std::max(0, static_cast<int>(buffer.size()) - vis));
}

int Field::cursorCol() { return col + (pos - offset_); }

void Field::display() {
  std::string text;
  int vis = visibleWidth();
  if (hasFocus) {
    scrollToCursor();
    text = buffer.substr(static_cast<size_t>(offset_), static_cast<size_t>(vis));
  } else {
    text = layout().display(varGet()).substr(0, static_cast<size_t>(vis));
  }
  text.resize(static_cast<size_t>(vis), ' ');
  writeAt(row, col, text, hasFocus ? enhancedAttr : unselectedAttr);
  if (hasFocus) setPos(row, cursorCol());
}

void Field::setFocus() {
  original = varGet();
  entry = original;
  hasFocus = true;
  layout_.reset();
  const values::FieldPicture& fp = layout();
  buffer = fp.display(original);
  pos = std::max(0, fp.firstEditable());
  offset_ = 0;
  changed = typeOut = rejected = false;
  exitState = kExitNone;
  clearOnType = fp.spec().clearOnType || fp.type() == 'N';
  display();
}

void Field::killFocus() {
  hasFocus = false;
  layout_.reset();
  offset_ = 0;
  display();
}

void Field::updateBuffer() {
  if (!hasFocus) return display();
  original = varGet();
  layout_.reset();
  buffer = layout().display(original);
  pos = std::clamp(pos, 0, std::max(0, static_cast<int>(buffer.size()) - 1));
  changed = false;
  display();
}

Value Field::unTransform() { return layout().parse(buffer, original); }

void Field::assign() {
  if (!hasFocus) return;
  varPut(unTransform());
}

void Field::undo(bool restore) {
  if (!hasFocus) return;
  bool varMoved = !rt::valuesEqual(varGet(), entry, true);
  if (restore && varMoved) {
    varPut(entry);
    varMoved = false;
  }
  original = entry;
  layout_.reset();
  buffer = layout().display(original);
  pos = std::max(0, layout().firstEditable());
  // The variable was written while the field was edited (before a bound
  // key's action): leaving the field writes the value at the focus back.
  changed = varMoved;
  display();
}

std::string Field::editText() { return hasFocus ? buffer : layout().display(varGet()); }

void Field::rearm() {
  if (!hasFocus) return;
  const values::FieldPicture& fp = layout();
  pos = std::max(0, fp.firstEditable());
  clearOnType = fp.spec().clearOnType || fp.type() == 'N';
  typeOut = false;
  display();
}

void Field::clearAll() {
  buffer = layout().blank();
  pos = std::max(0, layout().firstEditable());
  changed = true;
  clearOnType = false;
  display();
}

bool Field::badInput() {
  if (!hasFocus) return false;
  if (layout().type() == 'D') {
    bool typed = std::any_of(buffer.begin(), buffer.end(), [](char c) { return c >= '0' && c <= '9'; });
    return typed && unTransform().dateTime().empty();
  }
  return false;
}

void Field::put(int p, char c) {
  if (p >= 0 && p < static_cast<int>(buffer.size())) buffer[static_cast<size_t>(p)] = c;
}

void Field::overstrike(char c) {
  const values::FieldPicture& fp = layout();
  if (clearOnType && pos == fp.firstEditable()) {
    buffer = fp.blank();
    clearOnType = false;
  }
  clearOnType = false;
  if (!fp.editable(pos)) {
    int n = fp.nextEditable(pos);
    if (n < 0) {
      typeOut = true;
      return;
    }
    pos = n;
  }
  std::optional<char> ok = fp.accept(pos, c);
  if (!ok) {
    rejected = true;
    return;
  }
  rejected = false;
  put(pos, *ok);
  changed = true;
  int n = fp.nextEditable(pos);
  if (n < 0) typeOut = true;
  else pos = n;
  display();
}

void Field::insert(char c) {
  const values::FieldPicture& fp = layout();
  if (fp.type() != 'C') return overstrike(c);  // numbers, dates and logicals have fixed places
  if (clearOnType && pos == fp.firstEditable()) {
    buffer = fp.blank();
    clearOnType = false;
  }
  clearOnType = false;
  if (!fp.editable(pos)) {
    int n = fp.nextEditable(pos);
    if (n < 0) {
      typeOut = true;
      return;
    }
    pos = n;
  }
  std::optional<char> ok = fp.accept(pos, c);
  if (!ok) {
    rejected = true;
    return;
  }
  rejected = false;
  // Shift the run of editable positions from the cursor one place right;
  // the run ends at the first literal, and its last character is lost.
  int end = pos;
  while (fp.editable(end + 1)) ++end;
  for (int p = end; p > pos; --p) put(p, buffer[static_cast<size_t>(p - 1)]);
  put(pos, *ok);
  changed = true;
  int n = fp.nextEditable(pos);
  if (n < 0) typeOut = true;
  else pos = n;
  display();
}

void Field::type(char c) {
  if (rt::setting(rt::Set::Insert).log())
    insert(c);
  else
    overstrike(c);
}

void Field::del() {
  const values::FieldPicture& fp = layout();
  if (!fp.editable(pos)) return;
  clearOnType = false;
  int end = pos;
  while (fp.editable(end + 1)) ++end;
  for (int p = pos; p < end; ++p) put(p, buffer[static_cast<size_t>(p + 1)]);
  put(end, ' ');
  changed = true;
  display();
}

void Field::backspace() {
  const values::FieldPicture& fp = layout();
  int p = fp.prevEditable(pos);
  if (p < 0) return;
  pos = p;
  del();
}

void Field::delEnd() {
  const values::FieldPicture& fp = layout();
  for (int p = pos; p < static_cast<int>(buffer.size()); ++p)
    if (fp.editable(p)) put(p, ' ');
  clearOnType = false;
  changed = true;
  display();
}

void Field::home() {
  pos = std::max(0, layout().firstEditable());
  clearOnType = false;
  display();
}

void Field::end() {
  const values::FieldPicture& fp = layout();
  // After the last character typed, or on the last position when full.
  int last = -1;
  for (int p = 0; p < static_cast<int>(buffer.size()); ++p)
    if (fp.editable(p) && !isBlank(buffer[static_cast<size_t>(p)])) last = p;
  int n = last < 0 ? fp.firstEditable() : fp.nextEditable(last);
  pos = std::max(0, n < 0 ? fp.lastEditable() : n);
  clearOnType = false;
  display();
}

void Field::left() {
  int p = layout().prevEditable(pos);
  if (p >= 0) pos = p;
  clearOnType = false;
  display();
}

void Field::right() {
  int p = layout().nextEditable(pos);
  if (p >= 0) pos = p;
  clearOnType = false;
  display();
}

void Field::wordLeft() {
  const values::FieldPicture& fp = layout();
  int p = fp.prevEditable(pos);
  while (p >= 0 && isBlank(buffer[static_cast<size_t>(p)])) p = fp.prevEditable(p);
  while (p >= 0 && fp.prevEditable(p) >= 0 && !isBlank(buffer[static_cast<size_t>(fp.prevEditable(p))])) p = fp.prevEditable(p);
  if (p >= 0) pos = p;
  clearOnType = false;
  display();
}

void Field::wordRight() {
  const values::FieldPicture& fp = layout();
  int p = pos;
  while (p >= 0 && !isBlank(buffer[static_cast<size_t>(p)])) p = fp.nextEditable(p);
  while (p >= 0 && isBlank(buffer[static_cast<size_t>(p)])) p = fp.nextEditable(p);
  if (p >= 0) pos = p;
  clearOnType = false;
  display();
}

void Field::delWordRight() {
  const values::FieldPicture& fp = layout();
  // Delete up to the start of the next word.
  int count = 0;
  int p = pos;
  while (p >= 0 && !isBlank(buffer[static_cast<size_t>(p)])) ++count, p = fp.nextEditable(p);
  while (p >= 0 && isBlank(buffer[static_cast<size_t>(p)])) ++count, p = fp.nextEditable(p);
  for (int i = 0; i < std::max(count, 1); ++i) del();
}

void Field::delWordLeft() {
  int before = pos;
  wordLeft();
  int count = 0;
  const values::FieldPicture& fp = layout();
  for (int p = pos; p >= 0 && p < before; p = fp.nextEditable(p)) ++count;
  for (int i = 0; i < count; ++i) del();
}

void Field::toDecPos() {
  const values::FieldPicture& fp = layout();
  if (fp.type() != 'N' || fp.pointPos() < 0) return;
  Value v = unTransform();
  buffer = fp.display(v);
  int n = fp.nextEditable(fp.pointPos());
  if (n >= 0) pos = n;
  clearOnType = false;
  changed = true;
  display();
}

// --- making fields ---------------------------------------------------------------

namespace {

void colours(Field& f, std::string_view colour) {
  if (colour.empty()) {
    f.unselectedAttr = colorAttr(kUnselected);
    f.enhancedAttr = colorAttr(kEnhanced);
    return;
  }
  ColorSpec s = parseColor(colour);
  f.unselectedAttr = s.at(kStandard, colorAttr(kUnselected));
  f.enhancedAttr = s.at(kEnhanced, colorAttr(kEnhanced));
}

}  // namespace

Value makeField(int row, int col, Value getset, std::string_view name, std::string_view picture,
                std::string_view colour, Value when, Value valid) {
  auto* rep = new FieldRep();
  rep->cls = fieldClass();
  Field& f = rep->f;
  f.row = row;
  f.col = col;
  splitName(name, f.name, f.subscript);
  f.block = std::move(getset);
  f.picture = std::string(picture);
  colours(f, colour);
  f.when = std::move(when);
  f.valid = std::move(valid);
  return Value::fromRep(VType::Object, rep);
}

Value fieldForVariable(int row, int col, std::string_view variable, std::string_view picture,
                       std::string_view colour, Value when, Value valid) {
  std::string text(alltrim(variable));
  size_t arrow = text.find("->");
  if (arrow != std::string::npos) text = text.substr(arrow + 2);
  Value block = makeBlock(
      [text](Args& a) -> Value {
        Value* target = rt::varElement(text);
        if (a.size() == 0) return target ? *target : Value();
        if (target)
          target->derefMut() = a[0];
        else if (text.find('[') == std::string::npos)
          rt::assignVar(text, a[0]);
        return a[0];
      },
      "{|x| iif(x == NIL, " + text + ", " + text + " := x)}");
  return makeField(row, col, std::move(block), text, picture, colour, std::move(when), std::move(valid));
}

namespace {
bool listBeingRead(const Value& list) {
  for (const FormState& f : forms())
    if (rt::valuesEqual(f.fields, list, true)) return true;
  return false;
}
}  // namespace

Value addGet(int row, int col, std::string_view variable, std::string_view picture, Value valid, Value when,
             std::string_view colour) {
  Value field = fieldForVariable(row, col, variable, picture, colour, std::move(when), std::move(valid));
  Value* list = rt::findVar("GETLIST");
  if (!list || !list->isArray()) {
    rt::publicVar("GETLIST", Value::array());
    list = rt::findVar("GETLIST");
  } else if (listBeingRead(*list)) {
    // A form built while this one is read: its own list, in the caller's frame.
    rt::privateVar("GETLIST", Value::array());
    list = rt::findVar("GETLIST");
  }
  list->derefMut().push(field);
  fieldOf(field)->display();
  return field;
}

// --- reading ------------------------------------------------------------------------

Value activeField() { return forms().empty() ? Value() : forms().back().active; }
Value activeForm() { return forms().empty() ? Value() : forms().back().fields; }

Value currentFieldList() {
  if (!forms().empty()) return forms().back().fields;
  Value list = rt::getVar("GETLIST");
  return list.isArray() ? list : Value();
}

void killRead(bool clear) {
  if (!forms().empty()) forms().back().kill = true;
  if (clear && rt::varExists("GETLIST")) rt::assignVar("GETLIST", Value::array());
}

bool readUpdated() { return forms().empty() ? lastUpdated() : forms().back().updated; }

namespace {

void markUpdated() {
  if (!forms().empty()) forms().back().updated = true;
}

bool evalCondition(const Value& cond, Value& field) {
  if (cond.isNil()) return true;
  Value r = cond.isBlock() ? evalBlock(cond, Args{field}) : cond;
  return !r.isLogical() || r.log();
}

// The field of the form at a screen cell (0 when none).
int fieldAtCell(int r, int c) {
  if (forms().empty()) return 0;
  const Value& list = forms().back().fields;
  for (size_t i = 0; i < list.size(); ++i) {
    Field* f = fieldOf(list.at(i));
    if (f && f->row == r && c >= f->col && c < f->col + std::max(1, f->visibleWidth())) return static_cast<int>(i) + 1;
  }
  return 0;
}

// The scoreboard: row 0 from column 60, saved before its first message
// and given back when the outermost read ends.
constexpr int kBoardCol = 60;
struct Scoreboard {
  bool saved = false;
  int width = 0;
  std::string under;
};
Scoreboard& board() {
  static Scoreboard b;
  return b;
}

void scoreboardWrite(std::string_view text) {
  if (!rt::setting(rt::Set::Scoreboard).log()) return;
  Scoreboard& b = board();
  if (!b.saved) {
    b.width = std::max(0, maxCol() - kBoardCol + 1);
    b.under = saveRect(0, kBoardCol, 0, maxCol());
    b.saved = true;
  }
  std::string t(text.substr(0, static_cast<size_t>(b.width)));
  t.resize(static_cast<size_t>(b.width), ' ');
  writeAt(0, kBoardCol, t, colorAttr(kStandard));
}

void scoreboardRestore() {
  Scoreboard& b = board();
  if (b.saved) restoreRect(0, kBoardCol, 0, kBoardCol + b.width - 1, b.under);
  b = Scoreboard{};
}

void showInsertMode() {
  bool ins = rt::setting(rt::Set::Insert).log();
  setCursor(ins ? kCursorInsert : kCursorNormal);
  if (ins || board().saved) scoreboardWrite(ins ? "Ins" : "");
}

}  // namespace

namespace {

// The third argument of key bindings: the variable the active field edits.
void installEditedVariable() {
  static bool done = false;
  if (done) return;
  done = true;
  setEditedVariableSource([] {
    Field* f = activeFieldPtr();
    return f ? f->name : std::string();
  });
}

}  // namespace

bool fieldPreValidate(Value& fv) {
  Field* f = fieldOf(fv);
  if (!f) return false;
  if (!f->editableType()) {
    f->exitState = kExitWhen;
    return false;
  }
  // Up on the first field or Down on the last kept the user in the field:
  // the entry condition (perhaps a widget) does not run again.
  bool again = f->reentering;
  f->reentering = false;
  bool ok = again || evalCondition(f->when, fv);
  // A widget running as the entry condition that stored a value and said
  // so (the field's changed flag) counts as a change of the form.
  if (f->changed) {
    markUpdated();
    f->changed = false;
  }
  if (!ok) f->exitState = kExitWhen;
  if (!forms().empty() && forms().back().kill) {
    f->exitState = kExitWrite;
    ok = false;
  }
  f->display();
  return ok;
}

bool fieldPostValidate(Value& fv) {
  Field* f = fieldOf(fv);
  if (!f) return true;
  if (f->exitState == kExitEscape) return true;
  if (f->badInput()) {
    beep();
    scoreboardWrite("Data inválida"_cp);
    f->rearm();
    return false;
  }
  if (f->changed) {
    f->assign();
    markUpdated();
    f->updateBuffer();
    f->changed = false;
  }
  bool ok = evalCondition(f->valid, fv);
  if (f->hasFocus) f->updateBuffer();
  if (!ok) {
    f->exitState = kExitNone;
    f->rearm();
  }
  return ok;
}

void fieldApplyKey(Value& fv, int k) {
  Field* f = fieldOf(fv);
  if (!f) return;
  switch (k) {
    case key::Up:
    case key::ShiftTab: f->exitState = kExitUp; break;
    case key::Down:
    case key::Tab: f->exitState = kExitDown; break;
    case key::Enter: f->exitState = kExitEnter; break;
    case key::PgUp:
    case key::PgDn:
    case key::CtrlW:
    case key::CtrlEnd: f->exitState = kExitWrite; break;
    case key::CtrlHome: f->exitState = kExitTop; break;
    case key::Esc:
      if (!rt::setting(rt::Set::Escape).log()) break;
      [[fallthrough]];
    case key::Close:
      f->undo(true);
      f->exitState = kExitEscape;
      break;
    case key::Ins:
      rt::set(rt::Set::Insert, Value::logical(!rt::setting(rt::Set::Insert).log()));
      showInsertMode();
      break;
    case 533:  // Ctrl+U
      f->undo();
      break;
    case key::Home: f->home(); break;
    case key::End: f->end(); break;
    case key::Left: f->left(); break;
    case key::Right: f->right(); break;
    case key::CtrlLeft: f->wordLeft(); break;
    case key::CtrlRight: f->wordRight(); break;
    case key::Backspace: f->backspace(); break;
    case key::Del: f->del(); break;
    case 532: f->delWordRight(); break;  // Ctrl+T
    case 537: f->delEnd(); break;        // Ctrl+Y
    case key::CtrlBackspace: f->delWordLeft(); break;
    case key::LeftDown:
    case key::LeftDouble: {
      int target = fieldAtCell(mouseRow(), mouseCol());
      Field* active = activeFieldPtr();
      if (target && fieldOf(forms().back().fields.at(static_cast<size_t>(target - 1))) != f) {
        f->mouseTarget = target;
        f->exitState = kExitMouse;
      } else if (target && active == f && f->row == mouseRow()) {
        int p = mouseCol() - f->col + f->scrollOffset();
        if (f->layout().editable(p)) f->pos = p;
        f->display();
      }
      break;
    }
    default:
      if (k >= 32 && k <= 255) {
        char c = static_cast<char>(k);
        if ((c == '.' || c == ',') && f->layout().type() == 'N' && f->layout().pointPos() >= 0) {
          f->toDecPos();
        } else {
          f->type(c);
          if (f->typeOut && !rt::setting(rt::Set::Confirm).log()) f->exitState = kExitEnter;
          if (f->typeOut && rt::setting(rt::Set::Confirm).log()) {
            f->typeOut = false;
            beep();
          }
        }
      }
      break;
  }
}

int readFieldKey(Value& fv, Wait w) {
  Field* f = fieldOf(fv);
  int64_t start = plat::monotonicMillis();
  for (;;) {
    Wait left = w;
    if (w.millis > 0) left.millis = std::max<int64_t>(0, start + w.millis - plat::monotonicMillis());
    int k = inkey(left, eventMask() | kEvLeftDown);
    if (k == 0) return 0;
    if (!bindingRunnable(k)) return k;
    if (!f || !f->hasFocus) {
      runBinding(k);
      continue;
    }
    // The action sees what was typed in the variable.
    if (f->changed && !f->badInput()) {
      f->assign();
      markUpdated();
      f->changed = false;
    }
    Value before = f->varGet();
    std::string buffer = f->buffer;
    runBinding(k);
    if (!f->hasFocus) continue;  // an action that ended the focus itself
    if (!rt::valuesEqual(f->varGet(), before, true)) {
      f->updateBuffer();
      markUpdated();
    } else {
      if (f->buffer != buffer) f->changed = true;
      f->display();
    }
    if (rt::setting(rt::Set::Insert).log() != (cursorShape() == kCursorInsert)) showInsertMode();
    // An action that ended the read, or set the field's way out, ends the wait.
    if ((!forms().empty() && forms().back().kill) || f->exitState != kExitNone) return 0;
  }
}

void standardReader(Value& fv) {
  Field* f = fieldOf(fv);
  if (!f) return;
  if (!fieldPreValidate(fv)) return;
  f->setFocus();
  showInsertMode();
  while (f->exitState == kExitNone) {
    while (f->exitState == kExitNone) {
      int k = readFieldKey(fv);
      fieldApplyKey(fv, k);
      if (!forms().empty() && forms().back().kill && f->exitState == kExitNone) f->exitState = kExitWrite;
    }
    if (!fieldPostValidate(fv)) f->exitState = kExitNone;
  }
  f->killFocus();
}

bool readForm(Value fields, int start) {
  KOR_ROUTINE("READMODAL");
  if (!fields.isArray()) return false;
  installEditedVariable();
  int shape = cursorShape();
  forms().push_back(FormState{fields, Value(), false, false});
  struct Pop {
    int shape;
    ~Pop() {
      lastUpdated() = forms().back().updated;
      forms().pop_back();
      if (forms().empty()) scoreboardRestore();
      setCursor(shape);
    }
  } pop{shape};
  for (size_t i = 0; i < fields.size(); ++i)
    if (Field* f = fieldOf(fields.at(i))) f->display();
  int n = static_cast<int>(fields.size());
  int pos = std::clamp(start, 1, std::max(1, n));
  int direction = kExitDown;
  while (pos >= 1 && pos <= n && !forms().back().kill) {
    Value fv = fields.at(static_cast<size_t>(pos - 1));
    Field* f = fieldOf(fv);
    if (!f) {
      pos += direction == kExitUp ? -1 : 1;
      continue;
    }
    forms().back().active = fv;
    f->exitState = kExitNone;
    bool own = f->reader.isBlock() || (f->reader.isText() && !f->reader.str().empty());
    if (f->reader.isBlock())
      evalBlock(f->reader, Args{fv});
    else if (own)
      rt::callRoutine(f->reader.str(), Args{fv});
    else
      standardReader(fv);
    if (forms().back().kill) break;
    // A reader of its own that set no way out goes on to the next field.
    if (own && f->exitState == kExitNone) f->exitState = kExitEnter;
    bool exitOnUpDown = rt::setting(rt::Set::Exit).log();
    int e = f->exitState;
    if (e == kExitWhen) e = direction;
    switch (e) {
      case kExitUp:
        direction = kExitUp;
        if (pos == 1) {
          if (exitOnUpDown) return forms().back().updated;
          if (f->exitState == kExitWhen)
            direction = kExitDown, ++pos;  // nothing above: go down instead
          else
            f->reentering = true;  // the user stays in the field
        } else {
          --pos;
        }
        break;
      case kExitDown:
        direction = kExitDown;
        if (pos == n) {
          if (exitOnUpDown || f->exitState == kExitWhen) return forms().back().updated;
          f->reentering = true;
        } else {
          ++pos;
        }
        break;
      case kExitEnter:
        direction = kExitDown;
        ++pos;
        break;
      case kExitTop:
        direction = kExitDown;
        pos = 1;
        break;
      case kExitBottom:
        direction = kExitUp;
        pos = n;
        break;
      case kExitMouse:
        direction = f->mouseTarget < pos ? kExitUp : kExitDown;
        pos = f->mouseTarget;
        break;
      case kExitWrite:
      case kExitEscape: return forms().back().updated;
      default: break;
    }
  }
  return forms().back().updated;
}

bool READ() {
  Value list = rt::getVar("GETLIST");
  bool updated = readForm(list);
  if (rt::varExists("GETLIST")) rt::assignVar("GETLIST", Value::array());
  return updated;
}

bool activeFieldView(ActiveFieldView& out) {
  Field* f = activeFieldPtr();
  if (!f) return false;
  out.name = f->name;
  out.value = f->varGet();
  out.editText = f->editText();
  return true;
}

bool putActiveField(const Value& v) {
  Field* f = activeFieldPtr();
  if (!f) return false;
  f->varPut(v);
  if (f->hasFocus)
    f->updateBuffer();
  else
    f->display();
  return true;
}

void refreshActiveField() {
  if (Field* f = activeFieldPtr()) f->display();
}

// --- GETVAR / GETPOS -------------------------------------------------------------------

std::string GETVAR() {
  KOR_ROUTINE("GETVAR");
  Field* f = activeFieldPtr();
  if (!f) return {};
  std::string name = f->name;
  if (!name.empty() && (name[0] == 'G' || name[0] == 'g')) name[0] = 'C';
  return name;
}

int GETPOS(std::string_view name, const Value& list) {
  KOR_ROUTINE("GETPOS");
  Value fields = list.isArray() ? list : currentFieldList();
  std::string want = upper(alltrim(name));
  for (size_t i = 0; i < fields.size(); ++i)
    if (Field* f = fieldOf(fields.at(i)); f && f->name == want) return static_cast<int>(i) + 1;
  return 0;
}

// --- the class of field objects --------------------------------------------------------

namespace {

Value get(Value& self, Args& a, int& target) {
  if (a.size() > 0) target = static_cast<int>(a[0].integer());
  return Value(target);
}

std::shared_ptr<const ClassDef> fieldClass() {
  static std::shared_ptr<const ClassDef> cls = [] {
    auto c = std::make_shared<ClassDef>();
    c->name = "GET";
    auto F = [](Value& self) -> Field& { return *fieldOf(self); };
    auto add = [&c](const char* name, ClassDef::Method m) { c->methods.emplace_back(name, std::move(m)); };
    add("ROW", [F](Value& s, Args& a) { return get(s, a, F(s).row); });
    add("COL", [F](Value& s, Args& a) { return get(s, a, F(s).col); });
    add("POS", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).pos = static_cast<int>(a[0].integer()) - 1;
      return Value(F(s).pos + 1);
    });
    add("EXITSTATE", [F](Value& s, Args& a) { return get(s, a, F(s).exitState); });
    add("NAME", [F](Value& s, Args&) { return Value(F(s).name); });
    add("PICTURE", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).picture = a[0].string();
      return Value(F(s).picture);
    });
    add("BUFFER", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).buffer = a[0].string(), F(s).display();
      return Value(F(s).buffer);
    });
    add("CHANGED", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).changed = a[0].log();
      return Value::logical(F(s).changed);
    });
    add("HASFOCUS", [F](Value& s, Args&) { return Value::logical(F(s).hasFocus); });
    add("TYPEOUT", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).typeOut = a[0].log();
      return Value::logical(F(s).typeOut);
    });
    add("REJECTED", [F](Value& s, Args&) { return Value::logical(F(s).rejected); });
    add("ORIGINAL", [F](Value& s, Args&) { return F(s).original; });
    add("TYPE", [F](Value& s, Args&) { return Value(std::string(1, F(s).type())); });
    add("CARGO", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).cargo = a[0];
      return F(s).cargo;
    });
    add("BLOCK", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).block = a[0];
      return F(s).block;
    });
    add("PREBLOCK", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).when = a[0];
      return F(s).when;
    });
    add("POSTBLOCK", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).valid = a[0];
      return F(s).valid;
    });
    add("READER", [F](Value& s, Args& a) {
      if (a.size() > 0) F(s).reader = a[0];
      return F(s).reader;
    });
    add("SUBSCRIPT", [F](Value& s, Args&) {
      std::vector<Value> v;
      for (int i : F(s).subscript) v.push_back(Value(i));
      return v.empty() ? Value() : Value::array(std::move(v));
    });
    add("COLORSPEC", [F](Value& s, Args& a) {
      if (a.size() > 0 && a[0].isText()) colours(F(s), a[0].str());
      return Value(pairText(F(s).unselectedAttr) + "," + pairText(F(s).enhancedAttr));
    });
    add("VARGET", [F](Value& s, Args&) { return F(s).varGet(); });
    add("VARPUT", [F](Value& s, Args& a) {
      F(s).varPut(a[0]);
      return a[0];
    });
    auto act = [&add, F](const char* name, void (Field::*fn)()) {
      add(name, [F, fn](Value& s, Args&) {
        (F(s).*fn)();
        return s;
      });
    };
    act("SETFOCUS", &Field::setFocus);
    act("KILLFOCUS", &Field::killFocus);
    act("DISPLAY", &Field::display);
    act("UPDATEBUFFER", &Field::updateBuffer);
    act("ASSIGN", &Field::assign);
    add("UNDO", [F](Value& s, Args&) {
      F(s).undo();
      return s;
    });
    act("RESET", &Field::updateBuffer);
    act("CLEAR", &Field::clearAll);
    act("BACKSPACE", &Field::backspace);
    act("DELETE", &Field::del);
    act("DELEND", &Field::delEnd);
    act("DELWORDLEFT", &Field::delWordLeft);
    act("DELWORDRIGHT", &Field::delWordRight);
    act("HOME", &Field::home);
    act("END", &Field::end);
    act("LEFT", &Field::left);
    act("RIGHT", &Field::right);
    act("WORDLEFT", &Field::wordLeft);
    act("WORDRIGHT", &Field::wordRight);
    act("TODECPOS", &Field::toDecPos);
    add("INSERT", [F](Value& s, Args& a) {
      if (!a[0].str().empty()) F(s).insert(a[0].str()[0]);
      return s;
    });
    add("OVERSTRIKE", [F](Value& s, Args& a) {
      if (!a[0].str().empty()) F(s).overstrike(a[0].str()[0]);
      return s;
    });
    add("UNTRANSFORM", [F](Value& s, Args&) { return F(s).unTransform(); });
    add("BADDATE", [F](Value& s, Args&) { return Value::logical(F(s).badInput()); });
    // "obj:row := 5" and the like arrive as "_ROW" with the value.
    c->onUnknown = [](Value& self, std::string_view msg, Args& a) -> Value {
      if (msg.size() > 1 && msg[0] == '_') {
        const ClassDef* cd = self.objectRep()->cls.get();
        if (const ClassDef::Method* m = cd->method(msg.substr(1))) return (*m)(self, a);
      }
      rt::ErrorRecord e = rt::makeError(rt::kErrNoMethod, "BASE", 1004, std::string(msg));
      e.canSubstitute = true;
      rt::ErrorAnswer ans = rt::raise(e);
      return ans.kind == rt::ErrorAnswer::Substitute ? ans.value : Value();
    };
    return std::shared_ptr<const ClassDef>(std::move(c));
  }();
  return cls;
}

}  // namespace

void registerFormRoutines() {
  using rt::registerRoutine;
  installEditedVariable();
  registerRoutine("GETVAR", [](Args&) { return Value(GETVAR()); });
  registerRoutine("GETPOS", [](Args& a) { return Value(GETPOS(a[0].str(), a[1])); });
  registerRoutine("GETACTIVE", [](Args&) { return activeField(); });
  registerRoutine("GETLIST", [](Args&) { return currentFieldList(); });
  registerRoutine("READMODAL", [](Args& a) {
    return Value::logical(readForm(a[0], a[1].isNumber() ? static_cast<int>(a[1].integer()) : 1));
  });
  registerRoutine("READKILL", [](Args& a) {
    if (a[0].isLogical() && a[0].log()) killRead();
    return Value::logical(!forms().empty() && forms().back().kill);
  });
  registerRoutine("READUPDATED", [](Args& a) {
    bool old = readUpdated();
    if (a[0].isLogical() && !forms().empty()) forms().back().updated = a[0].log();
    return Value::logical(old);
  });
  registerRoutine("READEXIT", [](Args& a) {
    Value old = rt::setting(rt::Set::Exit);
    if (a[0].isLogical()) rt::set(rt::Set::Exit, a[0]);
    return old;
  });
  registerRoutine("READINSERT", [](Args& a) {
    Value old = rt::setting(rt::Set::Insert);
    if (a[0].isLogical()) rt::set(rt::Set::Insert, a[0]);
    return old;
  });
  registerRoutine("GETNEW", [](Args& a) {
    std::string name = a[3].isText() ? a[3].string() : std::string();
    return makeField(static_cast<int>(a[0].integer()), static_cast<int>(a[1].integer()), a[2], name,
                     a[4].isText() ? a[4].str() : std::string_view(), a[5].isText() ? a[5].str() : std::string_view());
  });
  registerRoutine("GETPREVALIDATE", [](Args& a) {
    Value f = a[0];
    return Value::logical(fieldPreValidate(f));
  });
  registerRoutine("GETPOSTVALIDATE", [](Args& a) {
    Value f = a[0];
    return Value::logical(fieldPostValidate(f));
  });
  registerRoutine("GETAPPLYKEY", [](Args& a) {
    Value f = a[0];
    fieldApplyKey(f, static_cast<int>(a[1].integer()));
    return Value();
  });
  registerRoutine("GETREADER", [](Args& a) {
    Value f = a[0];
    standardReader(f);
    return Value();
  });
}

}  // namespace kor::con
