// Shared test scaffolding: a scratch folder as the default folder, and an
// error handler that records every error record and answers as told.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/runtime.h"
#include "tables/engine.h"

namespace kor::tables::testing {

namespace fs = std::filesystem;

class EngineTest : public ::testing::Test {
 public:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kor_engine_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    rt::resetSettings();
    rt::set(rt::Set::Default, Value(dir.string()));
    rt::set(rt::Set::HardCommit, Value::logical(false));
    rt::setNetErr(false);
    saved = rt::setErrorHandler([this](rt::ErrorRecord& e) {
      errors.push_back(e);
      return answer;
    });
  }
  void TearDown() override {
    closeAll();
    rt::setErrorHandler(saved);
    rt::resetSettings();
    fs::remove_all(dir);
  }

  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string bytes(const std::string& name) const {
    std::ifstream in(path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void writeBytes(const std::string& name, const std::string& data) const {
    std::ofstream out(path(name), std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
  }
  // Opens a table in a new area, shared unless told otherwise.
  WorkArea* use(const std::string& file, bool shared = true, bool readOnly = false, const std::string& alias = "") {
    OpenSpec s;
    s.file = file;
    s.shared = shared;
    s.readOnly = readOnly;
    s.alias = alias;
    int n = openTable(s);
    return n ? area(n) : nullptr;
  }
  const rt::ErrorRecord* lastError() const { return errors.empty() ? nullptr : &errors.back(); }

  fs::path dir;
  std::vector<rt::ErrorRecord> errors;
  rt::ErrorAnswer answer = rt::ErrorAnswer::byDefault();
  rt::ErrorHandler saved;
};

}  // namespace kor::tables::testing
