// The form-field system: input fields on the screen that edit a variable
// (or any value reached through a getter/setter callback), shown through a
// display picture, each with an optional entry condition (when), validation
// (valid) and reader, read one after another by readForm().
//
// A field is a Value object of class "GET" (fieldOf() gives its C++ side),
// so forms are plain lists that routines can pass around, and callbacks and
// readers reach the field through messages (ROW, COL, NAME, BUFFER, POS,
// CHANGED, EXITSTATE, TYPEOUT, VARGET, VARPUT, SETFOCUS, KILLFOCUS, UNDO,
// INSERT, OVERSTRIKE, BACKSPACE, DELETE, ASSIGN, DISPLAY ...; "_NAME" sets).
//
// Reading a form. Each field in turn: its entry condition runs (with the
// field active, so widgets running there can ask GETVAR/GETPOS and place
// keys in the keyboard buffer); when it gives false the field is skipped in
// the direction the user was moving. Otherwise the field's reader edits it
// (the standard one unless the field has its own) until a key leaves it;
// leaving runs the validation, and a false validation keeps the user in the
// field. Esc leaves the form and undoes the field: the variable gets back
// the value it had when the field got the focus. Keys of the standard
// reader:
//   characters        typed at the cursor (insert or overwrite mode)
//   Left Right Home End Ctrl+Left Ctrl+Right    move
//   Backspace Del Ctrl+T (word) Ctrl+Y (to the end) Ctrl+Backspace (word left)
//   Ins               insert mode on/off, with the insert cursor shape
//   Ctrl+U            undo the field's changes
//   Up Shift+Tab / Down Tab Enter              previous / next field
//   PgUp PgDn Ctrl+W Ctrl+End                 end the form, keeping the changes
//   Ctrl+Home         the first field
//   Esc, close request                       end the form, undoing the field
//   a left click on another field            go to that field
// Typing past a field's end leaves it unless the confirm setting is on. Up
// on the first field and Down on the last end the form when the exit
// setting (rt::Set::Exit) is on, else the user stays in the field (its
// entry condition does not run again); Enter on the last always ends it. A field
// whose variable cannot be edited (no text, number, date or logical) is
// passed over. Bound keys run inside the read (readFieldKey): before an
// action the field's edits are stored in its variable, so that a lookup sees
// what was typed; after it the field shows its variable again when the
// action changed it (or its own buffer when the action edited that). A
// validation that refuses keeps the user in the field with the cursor on its
// first position, as at the start. The key that ended the read stays in
// lastKey() for the caller.
//
// With the scoreboard setting on, the insert mode ("Ins") and a bad date
// ("Data inválida") show on row 0 from column 60; the cells under them come
// back when the outermost read ends.
//
// READ reads GETLIST. A routine that builds a form of its own (with addGet)
// while a form of GETLIST is being read gets a private GETLIST in its frame,
// so the nested READ reads only its own fields.
//
// Number fields clear when the first key typed at their first position is a
// character, as do fields with the @K function; "." or "," in a number field
// goes to the decimals. A date that is not a date keeps the user in the field.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "console/screen.h"
#include "values/picture.h"
#include "values/value.h"

namespace kor::con {

enum FieldExit : int {
  kExitNone = 0,
  kExitUp = 1,
  kExitDown = 2,
  kExitTop = 3,
  kExitBottom = 4,
  kExitEnter = 5,
  kExitWrite = 6,
  kExitEscape = 7,
  kExitWhen = 8,
  kExitMouse = 10,
};

class Field {
 public:
  int row = 0, col = 0;
  std::string name;            // the variable, upper case, without subscripts
  std::vector<int> subscript;  // "AITENS[2]" gives {2}
  Value block;                 // getter/setter: no argument reads, one argument writes
  std::string picture;
  uint8_t unselectedAttr = 0x70, enhancedAttr = 0x70;
  Value when, valid;  // callbacks receiving the field (or nil)
  Value reader;       // a callback receiving the field (nil: the standard reader)
  Value cargo;

  // Editing state.
  bool hasFocus = false;
  bool changed = false;   // edited since it got the focus
  bool typeOut = false;   // typing ran past the end
  bool rejected = false;  // the last character typed was refused
  bool clearOnType = false;
  int exitState = kExitNone;
  std::string buffer;
  int pos = 0;  // cursor in the buffer, from 0
  Value original;  // the value the buffer was last loaded from (fixes type and width)
  Value entry;     // the value when the field got the focus (what Esc and Ctrl+U go back to)
  int mouseTarget = 0;  // the field clicked, for kExitMouse
  bool reentering = false;  // kept in the field by Up/Down at the form's edge

  Value varGet() const;
  void varPut(const Value& v);
  // The layout for the current value (a field whose type changed picks the new one).
  const values::FieldPicture& layout();
  bool editableType();
  char type();

  void setFocus();
  void killFocus();
  void display();
  // Buffer back from the variable (after an action changed it).
  void updateBuffer();
  // The buffer read back as a value of the field's type.
  Value unTransform();
  void assign();
  // Back to the value at the focus: the buffer (Ctrl+U), and with `restore`
  // the variable too (Esc).
  void undo(bool restore = false);
  // The text being edited, or the display of the variable without the focus.
  std::string editText();
  // The buffer with nothing typed (editable positions blank).
  void clearAll();
  // After a refused validation: the cursor to the first position, and a
  // number (or an @K field) clears again when typed into.
  void rearm();

  // Editing (with the focus).
  void type(char c);  // insert or overwrite by the insert setting
  void insert(char c);
  void overstrike(char c);
  void backspace();
  void del();
  void delEnd();
  void delWordLeft();
  void delWordRight();
  void home();
  void end();
  void left();
  void right();
  void wordLeft();
  void wordRight();
  void toDecPos();
  // A date (or a number) that cannot be read back from the buffer.
  bool badInput();
  // Columns on the screen, and the cursor's column.
  int visibleWidth();
  int cursorCol();
  int scrollOffset() const { return offset_; }

 private:
  std::optional<values::FieldPicture> layout_;
  char layoutType_ = 0;
  int offset_ = 0;  // first buffer position shown (@S scrolling)
  void put(int p, char c);
  void scrollToCursor();
};

// The C++ side of a field object; nullptr for other values.
Field* fieldOf(const Value& v);

// A field editing what a getter/setter callback reaches.
Value makeField(int row, int col, Value getset, std::string_view name, std::string_view picture = {},
                std::string_view colour = {}, Value when = {}, Value valid = {});
// A field editing a variable or an element of a list held by one
// ("NOME", "AITENS[2]", "M->NOME").
Value fieldForVariable(int row, int col, std::string_view variable, std::string_view picture = {},
                       std::string_view colour = {}, Value when = {}, Value valid = {});

// "@ row, col GET variable": adds the field to the form being built (the
// variable GETLIST, created program-wide when missing) and shows it.
Value addGet(int row, int col, std::string_view variable, std::string_view picture = {}, Value valid = {},
             Value when = {}, std::string_view colour = {});

// Reads a form (a list of fields) from field `start`; true when some field
// was changed. Nested reads (a form inside a field's entry condition) are
// allowed.
bool readForm(Value fields, int start = 1);
// READ: reads the fields of GETLIST, then empties it.
bool READ();

// The field being read (nil when no form is being read), its form, and the
// field list the routines see: the form being read, else GETLIST.
Value activeField();
Value activeForm();
Value currentFieldList();
// Ends the form being read after the current field's reader returns
// (and, with `clear`, empties GETLIST).
void killRead(bool clear = false);
// Whether the last (or current) read changed a field.
bool readUpdated();

// The standard reader's parts, for readers of their own.
bool fieldPreValidate(Value& field);
bool fieldPostValidate(Value& field);
void fieldApplyKey(Value& field, int key);
void standardReader(Value& field);
// The key wait of a field reader: keys and left presses; a bound key runs
// its action with the field's edits stored first and the field refreshed
// afterwards, and the wait goes on. 0 when `w` passes, or when an action
// ended the read (killRead) or set the field's exit state.
int readFieldKey(Value& field, Wait w = Wait::forever());

// The active field for routines outside the console (the configuration
// store's GETMEMO and PUTMEMO without arguments): false when no form is
// being read. `editText` is the edit buffer (the display of the variable
// before the field has the focus).
struct ActiveFieldView {
  std::string name;
  Value value;
  std::string editText;
};
bool activeFieldView(ActiveFieldView& out);
// Puts a value into the active field's variable and shows it (in the
// buffer too when the field has the focus). False when there is none.
bool putActiveField(const Value& v);
// Redraws the active field.
void refreshActiveField();

// GETVAR: the active field's variable name, a leading G replaced by C.
std::string GETVAR();
// GETPOS: the position (from 1) of the first field of the list (nil: a copy
// of the current field list) whose variable name equals `name`, in upper
// case; 0 when there is none.
int GETPOS(std::string_view name, const Value& list = {});

void registerFormRoutines();

}  // namespace kor::con
