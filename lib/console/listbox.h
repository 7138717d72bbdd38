// The scrolling list chooser: a column of items in a window, one current,
// moved with the cursor keys, the wheel and the mouse, chosen with Enter.
//
// Items show in the window's columns (cut or padded to its width) in the
// standard colour, the current one in the enhanced colour and the items
// that cannot be chosen in the unselected colour (the current colour
// string's slots 1, 2 and 5). Items that cannot be chosen are skipped.
//
// Keys the chooser handles itself: Up, Down, PgUp, PgDn, Home and Ctrl+PgUp
// (the first item), End and Ctrl+PgDn (the last item), Ctrl+Home and
// Ctrl+End (the first and last item in the window), the wheel. Without a
// key handler: Enter (or a left click on an item, or a double click)
// chooses the current item, Esc, Left and Right give 0, and a character
// goes to the next item that begins with it. With a key handler, every
// other key - Enter, Esc, clicks and characters included - is a key
// exception: the handler is called with mode 3 and the last key tells what
// was pressed (a click first makes the clicked item current). The handler
// is also called with mode 1 when Up or PgUp is pressed on the first item,
// mode 2 for Down or PgDn on the last, mode 0 (idle) after a movement when
// no other key is waiting, and mode 4 when no item can be chosen. Its answer
// is the action: 0 abort (the chooser gives 0), 1 choose the current item,
// 2 go on, 3 go to the next item beginning with the last key's character.
// The close request (256) always gives 0. Bound keys run their actions
// meanwhile (the chooser waits with waitKey).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "values/value.h"

namespace kor::con {

enum ListMode : int { kListIdle = 0, kListHitTop = 1, kListHitBottom = 2, kListException = 3, kListNoItem = 4 };
enum ListAction : int { kListAbort = 0, kListSelect = 1, kListContinue = 2, kListGoto = 3 };

// (mode, current item from 1, row of the current item in the window from 0)
using ListHandler = std::function<int(int mode, int current, int relativeRow)>;

struct ListSpec {
  int top = 0, left = 0, bottom = 0, right = 0;
  std::vector<std::string> items;
  std::vector<bool> selectable;  // shorter than items: the rest can be chosen
  ListHandler handler;           // empty: the built-in keys
  int initial = 1;               // the item current at the start
  int initialRow = 0;            // its row in the window
  // A list of texts the items are read from again before every drawing
  // (nil: `items` only), so that a handler that changes an item's text (a
  // mark) shows it. The number of items stays that of `items`.
  Value source;
};

// Runs the chooser; the chosen item's number (from 1), or 0.
int listChoose(const ListSpec& setup);

// The state of the chooser that is running (innermost), for handlers:
// current item and first item shown; 0 when none runs.
struct ListState {
  int current = 0;
  int first = 0;
  int count = 0;
  int top = 0, left = 0, bottom = 0, right = 0;
};
ListState runningList();

// ACHOICE(top, left, bottom, right, items, selectable, handler, initial,
// initial row): `selectable` a logical for all items or a list of
// logicals (or texts to evaluate); `handler` a routine name or a callback.
Value ACHOICE(const Value& top, const Value& left, const Value& bottom, const Value& right, const Value& items,
              const Value& selectable = {}, const Value& handler = {}, const Value& initial = {},
              const Value& initialRow = {});

void registerListRoutines();

}  // namespace kor::con
