#include "errors/xtoc.h"

#include "values/textform.h"

namespace kor::err {

std::string textOf(const Value& v, std::string_view sep) {
  switch (v.type()) {
    case VType::Number: {
      std::string t(alltrim(numberText(v.num(), v.decimals())));
      for (char& c : t)
        if (c == '.') c = ',';
      return t;
    }
    case VType::Logical:
      return v.log() ? "Verdadeiro" : "Falso";
    case VType::Memo: {
      std::string body;
      std::string_view s = v.str();
      for (size_t i = 0; i < s.size(); ++i) {
        if ((s[i] == '\r' || static_cast<unsigned char>(s[i]) == 141) && i + 1 < s.size() && s[i + 1] == '\n') {
          body += '\n';
          ++i;
        } else {
          body += s[i];
        }
      }
      std::string r = "\"" + body + "\"";
      if (r.size() > 2) {
        std::string q;
        for (size_t i = 0; i < r.size(); ++i) {
          q += r[i];
          if (r[i] == '"' && i + 1 < r.size() && r[i + 1] == '"') ++i;
        }
        r = q;
      }
      return r;
    }
    case VType::Date:
      return dtoc(v.dateTime());
    case VType::Array: {
      std::string out;
      for (const Value& item : v.items()) {
        std::string t = textOf(item, sep);
        if (!out.empty() && !t.empty()) out += sep;
        out += t;
      }
      return out;
    }
    case VType::Hash: {
      std::string out;
      if (auto* h = v.hashRep())
        for (auto& [k, val] : h->pairs) {
          if (!out.empty()) out += sep;
          out += textOf(k) + " => " + textOf(val);
        }
      return out;
    }
    case VType::Block:
      return v.blockRep() ? v.blockRep()->source : "";
    case VType::Nil:
      return "Nil";
    case VType::Object:
      return v.objectRep() && v.objectRep()->cls ? v.objectRep()->cls->name : "";
    case VType::Pointer:
      return "";
    default:
      return v.string();
  }
}

Value valueOf(std::string_view text, char type) {
  std::string t(alltrim(text));
  switch (type) {
    case 'N': {
      size_t comma = t.find(',');
      if (comma != std::string::npos) {
        size_t point = t.find('.');
        if (point == std::string::npos || point < comma) {
          std::string r;
          for (char c : t)
            if (c != '.') r += c == ',' ? '.' : c;
          t = r;
        }
      }
      return valNumber(t);
    }
    case 'L': {
      std::string u = upper(t);
      return Value::logical(u == ".T." || u == "T" || u == "TRUE");
    }
    case 'D':
      return Value::date(ctod(t));
    default:
      return Value(text);
  }
}

}  // namespace kor::err
