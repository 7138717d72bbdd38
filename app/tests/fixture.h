// Scaffolding of clasupd's tests: a scratch folder that is the current
// folder, the Windows folder pointed at its WINDOWS subfolder, an operator
// at a headless console who answers the dialogues the run shows, and
// readers of the tables after a run.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/tools/sample.h"
#include "app/update.h"
#include "app/writers.h"
#include "console/headless.h"
#include "console/keys.h"
#include "console/screen.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/program.h"
#include "tables/engine.h"
#include "testing/child.h"

namespace kor::app::testing {

// A headless console watched by an operator: each answer is a key pressed
// once the screen shows its trigger text, in the order given. While no
// answer is due, a read with a time-out times out; a read without one
// fails the test (the run waits for an answer the test did not give).
class Operator : public con::HeadlessBackend {
 public:
  struct Answer {
    std::string trigger;
    int key;
  };
  explicit Operator(std::vector<Answer> answers) : answers_(answers.begin(), answers.end()) {}

  std::optional<con::InputEvent> readEvent(int64_t waitMs) override {
    if (!answers_.empty() && text().find(answers_.front().trigger) != std::string::npos) {
      con::InputEvent ev;
      ev.key = answers_.front().key;
      answers_.pop_front();
      seen_.push_back(text());
      return ev;
    }
    if (waitMs < 0) {
      if (spare_ > 0) {  // a key for whatever else asks
        --spare_;
        seen_.push_back(text());
        return con::InputEvent{spareKey_};
      }
      stuck_ = text();
      throw con::ScriptExhausted();
    }
    return HeadlessBackend::readEvent(waitMs);
  }
  size_t answersLeft() const { return answers_.size(); }
  // Once the answers are given, presses `key` for up to n more waits.
  void spareKeys(int key, int n) {
    spareKey_ = key;
    spare_ = n;
  }
  // The screens the operator answered, in order.
  const std::vector<std::string>& seen() const { return seen_; }
  // The screen of a wait without an answer ("" when none came).
  const std::string& stuck() const { return stuck_; }

 private:
  std::deque<Answer> answers_;
  std::vector<std::string> seen_;
  std::string stuck_;
  int spareKey_ = 0, spare_ = 0;
};

// One table's records as maps of field name to value.
struct TableRows {
  std::vector<std::string> fields;
  std::vector<char> types;
  std::vector<int> decs;
  std::vector<std::map<std::string, Value>> rows;
  std::vector<bool> deleted;
};

inline TableRows readTable(const std::string& file) {
  TableRows t;
  struct Reselect {
    int area = tables::currentArea();
    ~Reselect() { tables::selectArea(area); }
  } reselect;
  tables::OpenSpec s;
  s.file = file;
  s.alias = "_READ";
  s.shared = true;
  s.readOnly = true;
  int n = tables::openTable(s);
  if (!n) {
    ADD_FAILURE() << "cannot open " << file;
    return t;
  }
  tables::WorkArea* a = tables::area(n);
  for (int i = 1; i <= a->fieldCount(); ++i) {
    t.fields.push_back(a->field(i)->name);
    t.types.push_back(a->field(i)->type);
    t.decs.push_back(a->field(i)->dec);
  }
  for (uint32_t r = 1; r <= a->recCount(); ++r) {
    a->goTo(r);
    std::map<std::string, Value> row;
    for (int i = 1; i <= a->fieldCount(); ++i) row[t.fields[static_cast<size_t>(i - 1)]] = a->getField(i);
    t.rows.push_back(row);
    t.deleted.push_back(a->deleted());
  }
  tables::closeArea(n);
  return t;
}

class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    scratch = std::make_unique<kor::testing::ScratchDir>(std::string("app_") + info->test_suite_name() + "_" +
                                                         info->name());
    dir = scratch->path();
    home = plat::currentDir();
    plat::changeDir(dir);
    savedWindir = plat::getEnv("WINDIR");
    plat::setEnv("WINDIR", file("WINDOWS"));
    rt::resetSettings();
    rt::resetVars();
    con::resetConsole();
    registerUpdateRoutines();
    registerWriterRoutines();
    startup::registerProgramRoutines();
  }
  void TearDown() override {
    tables::closeAll();
    con::setBackend(nullptr);
    con::resetConsole();
    rt::resetSettings();
    rt::resetVars();
    if (savedWindir) plat::setEnv("WINDIR", *savedWindir);
    else plat::unsetEnv("WINDIR");
    plat::changeDir(home);
    scratch.reset();
  }

  static int32_t julianToday() {
    plat::LocalTime t = plat::localTime(plat::nowMillis());
    return julianFromYmd(t.year, t.month, t.day);
  }

  std::string file(const std::string& name) const { return (std::filesystem::path(dir) / name).string(); }
  std::string product(const std::string& name = "") const {
    return name.empty() ? file("VELTAR") : (std::filesystem::path(dir) / "VELTAR" / name).string();
  }

  void makeSampleHere(const SampleOptions& o = {}) {
    std::string failure = makeSample(dir, o, &sample);
    ASSERT_EQ(failure, "");
  }

  // Runs the whole program (start-up, MAIN, shut-down) with an operator
  // giving these answers; the exit code.
  int run(std::vector<Operator::Answer> answers, const std::string& argument = "", int spareEnters = 0) {
    auto op = std::make_unique<Operator>(std::move(answers));
    op->spareKeys(con::key::Enter, spareEnters);
    oper = op.get();
    con::setBackend(std::move(op));
    return startup::runApplication([&] { MAIN(argument); });
  }

  std::unique_ptr<kor::testing::ScratchDir> scratch;
  std::string dir, home;
  std::optional<std::string> savedWindir;
  SampleSummary sample;
  Operator* oper = nullptr;
};

}  // namespace kor::app::testing
