// Scaffolding of the table layer's tests: a scratch folder that is both the
// default folder and the current folder, a headless console, an error
// handler that answers as the program's handler does for a sharing
// violation (quietly, with the default) and records everything else.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "console/headless.h"
#include "console/screen.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "tables/engine.h"
#include "tables/tables.h"
#include "testing/child.h"

namespace kor::tables::testing {

using kor::testing::ScratchDir;

class LayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    scratch = std::make_unique<ScratchDir>(std::string("layer_") + info->test_suite_name() + "_" + info->name());
    dir = scratch->path();
    home = plat::currentDir();
    plat::changeDir(dir);
    rt::resetSettings();
    rt::resetVars();
    rt::set(rt::Set::Default, Value(dir));
    rt::setNetErr(false);
    saved = rt::setErrorHandler([this](rt::ErrorRecord& e) {
      errors.push_back(e);
      return answer;
    });
    con::resetConsole();
    screen = &con::installHeadless();
    registerTableLayerRoutines();
  }
  void TearDown() override {
    closeAll();
    rt::setErrorHandler(saved);
    rt::resetSettings();
    rt::resetVars();
    con::resetConsole();
    plat::changeDir(home);
    scratch.reset();
  }

  std::string file(const std::string& name) const { return scratch->file(name); }

  // Creates a table with the fields NCM C(8), NOME C(20), VALOR N(8,2) and
  // `records` records numbered 1.. in NCM and VALOR.
  void makeTable(const std::string& name, int records = 0, bool memo = false) {
    std::vector<FieldDef> f{{"NCM", 'C', 8, 0}, {"NOME", 'C', 20, 0}, {"VALOR", 'N', 8, 2}};
    if (memo) f.push_back({"OBS", 'M', 10, 0});
    ASSERT_TRUE(createTable(name, f));
    if (records == 0) return;
    OpenSpec s;
    s.file = name;
    s.alias = "_MAKE";
    s.shared = false;
    int n = openTable(s);
    ASSERT_NE(n, 0);
    WorkArea* w = area(n);
    for (int i = 1; i <= records; ++i) {
      ASSERT_TRUE(w->append());
      w->putField(1, Value(std::to_string(10000000 + i)));
      w->putField(2, Value("NOME " + std::to_string(i)));
      w->putField(3, Value::number(i * 1.5, 2));
      if (memo) w->putField(4, Value("memo " + std::to_string(i)));
    }
    closeArea(n);
  }

  // The errors other than the quiet sharing violations.
  std::vector<rt::ErrorRecord> loudErrors() const {
    std::vector<rt::ErrorRecord> out;
    for (auto& e : errors)
      if (!(e.genCode == rt::kErrOpen && e.osCode == plat::kSharingViolation) && e.genCode != rt::kErrAppendLock)
        out.push_back(e);
    return out;
  }

  std::unique_ptr<ScratchDir> scratch;
  std::string dir, home;
  std::vector<rt::ErrorRecord> errors;
  rt::ErrorAnswer answer = rt::ErrorAnswer::byDefault();
  rt::ErrorHandler saved;
  con::HeadlessBackend* screen = nullptr;
};

}  // namespace kor::tables::testing
