// NTX keys: how a key expression's value becomes the fixed-size bytes an
// index stores, so that comparing the bytes one by one gives the order the
// format's users expect.
//
//   text     the bytes as they are (code page 850), cut or padded with
//            blanks to the key size. Comparison is plain byte order: no
//            national collation, upper and lower case differ, accented
//            letters sort after every ASCII letter, as in the files other
//            programs write.
//   number   the absolute value as fixed-point text of the key size with the
//            key's decimals, leading blanks turned into "0" (12.5 in 8,2 is
//            "00012.50"); for a negative number each digit c becomes the byte
//            0x5C - c ("0" -> ",", "9" -> "#"), the point stays. Negative keys
//            then sort below every positive key (their bytes are below "0"),
//            the larger magnitude first. A number too large for the key size
//            is stored as the largest (or most negative) key that fits.
//   date     "YYYYMMDD"; the empty date is 8 blanks and sorts first.
//   logical  "T" or "F".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "values/value.h"

namespace kor::tables::ntx {

enum class KeyType : char { Text = 'C', Number = 'N', Date = 'D', Logical = 'L' };

struct KeyFormat {
  KeyType type = KeyType::Text;
  int size = 0;
  int decimals = 0;
};

// The key format a value calls for when an index is created on it: a text
// its length, a number its width (a field's length, or its own width) and
// decimals, a date 8, a logical 1. nullopt for values that cannot be keys
// (nil, arrays, objects ...).
std::optional<KeyType> keyTypeOf(const Value& v);
std::optional<KeyFormat> keyFormatOf(const Value& v);

// The key bytes (exactly f.size of them) of a value of the format's type.
// A value of another type gives nullopt.
std::optional<std::string> encodeKey(const Value& v, const KeyFormat& f);
// Appends the key bytes to `out`; false for a value of another type.
bool appendKey(const Value& v, const KeyFormat& f, std::string& out);

// The bytes to seek for a value: a text as given (a prefix of the keys it
// matches), cut to the key size; other types whole. nullopt for a value of
// another type.
std::optional<std::string> seekKey(const Value& v, const KeyFormat& f);

// The number key of a value, f.size bytes.
std::string numberKey(double n, int size, int decimals);

// The value a key stands for: the text, the number (with the key's
// decimals and size as width), the date, the logical.
Value decodeKey(std::string_view key, const KeyFormat& f);

}  // namespace kor::tables::ntx
