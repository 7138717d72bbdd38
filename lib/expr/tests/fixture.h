// A fixture for the expression language's tests: a clean runtime, the
// standard functions, and an error handler that records every error record
// and answers as the test asks (default unless told otherwise).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "expr/expr.h"
#include "expr/memory_data.h"
#include "runtime/runtime.h"
#include "values/textform.h"

namespace kor::expr::testing {

// A value as a short text that shows its type: "N:1.50", "C:abc", "L:T",
// "D:20240131", "U", "A:{N:1,C:x}", "B:{|x| x}".
inline std::string show(const Value& v) {
  switch (v.type()) {
    case VType::Nil: return "U";
    case VType::Text: return "C:" + v.string();
    case VType::Memo: return "M:" + v.string();
    case VType::Number: return "N:" + numberText(v.num(), v.decimals());
    case VType::Date: return "D:" + dtos(v.dateTime());
    case VType::Logical: return v.log() ? "L:T" : "L:F";
    case VType::Array: {
      std::string s = "A:{";
      for (size_t i = 0; i < v.size(); ++i) s += (i ? "," : "") + show(v.at(i));
      return s + "}";
    }
    case VType::Block: return "B:" + v.blockRep()->source;
    default: return std::string(1, v.typeLetter());
  }
}

class ExprTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetVars();
    rt::resetFrames();
    rt::resetSettings();
    setDataContext(nullptr);
    registerRoutines();
    answer = [](rt::ErrorRecord&) { return rt::ErrorAnswer::byDefault(); };
    rt::setErrorHandler([this](rt::ErrorRecord& e) {
      errors.push_back(e);
      return answer(e);
    });
  }
  void TearDown() override {
    limits() = Limits{};
    rt::setErrorHandler(nullptr);
    setDataContext(nullptr);
    rt::resetVars();
    rt::resetFrames();
    rt::resetSettings();
  }

  // Evaluates a text and shows the result.
  std::string ev(std::string_view text) { return show(evalText(text)); }

  // The one error raised since the last call ("" when none): "gen/sub op".
  std::string lastError() {
    if (errors.empty()) return "";
    const rt::ErrorRecord& e = errors.back();
    std::string s = std::to_string(e.genCode) + "/" + std::to_string(e.subCode) + " " + e.operation;
    errors.clear();
    return s;
  }

  std::vector<rt::ErrorRecord> errors;
  std::function<rt::ErrorAnswer(rt::ErrorRecord&)> answer;
};

}  // namespace kor::expr::testing
