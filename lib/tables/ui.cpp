// The console pieces the table layer shows: the message box and the alert.
#include "console/alert.h"
#include "console/boxes.h"
#include "tables/layer.h"

namespace kor::tables::layer {

int openBox(const std::vector<std::string>& lines, std::string_view colour, double top) {
  Value list = Value::array();
  for (const std::string& l : lines) list.push(Value(l));
  Value id = con::MSG_BOX(list, Value(colour), top >= 0 ? Value::number(top, 1) : Value());
  return static_cast<int>(id.integer());
}

void closeBox(int id) {
  if (id) con::MSG_BOX(Value(id));
}

int alert(std::string_view message, const std::vector<std::string>& buttons) { return con::alert(message, buttons); }

}  // namespace kor::tables::layer
