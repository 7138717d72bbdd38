#include "testing/child.h"

#include <filesystem>

#include "platform/platform.h"

namespace kor::testing {

namespace {
constexpr const char* kMarker = "KOR_TEST_CHILD";
constexpr const char* kPrefix = "KOR_CHILD_";
}  // namespace

bool inChild() { return plat::getEnv(kMarker).value_or("") == "1"; }

std::string childArg(const std::string& key) { return plat::getEnv(kPrefix + key).value_or(""); }

Child::~Child() {
  if (pid_ > 0) {
    plat::killProcess(pid_);
    plat::waitProcess(pid_, 5000);
  }
}

int Child::wait(int64_t timeoutMillis) {
  if (pid_ <= 0) return -1;
  auto code = plat::waitProcess(pid_, timeoutMillis);
  if (!code) {
    kill();
    return -1;
  }
  pid_ = -1;
  return *code;
}

void Child::kill() {
  if (pid_ <= 0) return;
  plat::killProcess(pid_);
  plat::waitProcess(pid_, 5000);
  pid_ = -1;
}

Child spawnChild(const std::string& testName, const std::map<std::string, std::string>& args) {
  std::vector<std::pair<std::string, std::string>> env{{kMarker, "1"}};
  for (auto& [k, v] : args) env.emplace_back(kPrefix + k, v);
  int64_t pid = plat::startProcess(plat::executablePath(),
                                   {"--gtest_filter=" + testName, "--gtest_also_run_disabled_tests"}, env);
  return Child(pid);
}

bool waitForFile(const std::string& path, int64_t timeoutMillis) {
  int64_t waited = 0;
  while (!plat::fileExists(path)) {
    if (waited >= timeoutMillis) return false;
    plat::defaultOps().sleep(10);
    waited += 10;
  }
  return true;
}

void touchFile(const std::string& path, const std::string& text) { plat::writeWholeFile(path, text); }

ScratchDir::ScratchDir(const std::string& tag) {
  namespace fs = std::filesystem;
  fs::path p = fs::temp_directory_path() / ("kor_" + tag + "_" + std::to_string(plat::processId()));
  fs::remove_all(p);
  fs::create_directories(p);
  path_ = p.string();
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string ScratchDir::file(const std::string& name) const {
  return path_ + plat::separator() + name;
}

}  // namespace kor::testing
