// Helpers of the NTX tests: a scratch folder, an error handler that keeps
// the raised records, a model of an index's contents and the comparison of
// an index with its model (walking it both ways and running the checker).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "runtime/error.h"
#include "tables/engine/ntx.h"

namespace kor::tables::ntx::testing {

class TempDir {
 public:
  TempDir() {
    static int seq = 0;
    path_ = plat::tempDir() + "/ntxtest-" + std::to_string(plat::processId()) + "-" + std::to_string(++seq);
    plat::makeDirs(path_);
  }
  ~TempDir() {
    for (const auto& e : plat::listDir(path_)) plat::removeFile(path_ + "/" + e.name);
    plat::removeDir(path_);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Keeps every raised record and answers "default".
class ErrorCatcher {
 public:
  ErrorCatcher() {
    saved_ = rt::setErrorHandler([this](rt::ErrorRecord& r) {
      errors.push_back(r);
      return rt::ErrorAnswer::byDefault();
    });
  }
  ~ErrorCatcher() { rt::setErrorHandler(saved_); }
  std::vector<rt::ErrorRecord> errors;
  bool any() const { return !errors.empty(); }
  void clear() { errors.clear(); }

 private:
  rt::ErrorHandler saved_;
};

using Item = std::pair<std::string, uint32_t>;

// The items an index should hold, in index order.
struct Model {
  bool descending = false;
  bool unique = false;
  int keySize = 8;
  struct Less {
    bool descending;
    bool operator()(const Item& a, const Item& b) const {
      int c = a.first.compare(b.first);
      if (c) return descending ? c > 0 : c < 0;
      return a.second < b.second;
    }
  };
  std::set<Item, Less> items{Less{false}};

  explicit Model(int ks = 8, bool desc = false, bool uniq = false)
      : descending(desc), unique(uniq), keySize(ks), items(Less{desc}) {}
  std::string fit(std::string k) const {
    k.resize(size_t(keySize), ' ');
    return k;
  }
  bool hasKey(const std::string& k) const {
    for (const Item& i : items)
      if (i.first == k) return true;
    return false;
  }
  bool insert(const std::string& key, uint32_t rec) {
    std::string k = fit(key);
    if (unique && hasKey(k)) return false;
    return items.insert({k, rec}).second;
  }
  bool remove(const std::string& key, uint32_t rec) { return items.erase({fit(key), rec}) > 0; }
  std::vector<Item> list() const { return std::vector<Item>(items.begin(), items.end()); }
};

inline std::vector<Item> walkForward(Index& ix) {
  std::vector<Item> out;
  for (bool on = ix.goTop(); on; on = ix.next()) out.emplace_back(std::string(ix.key()), ix.recno());
  return out;
}

inline std::vector<Item> walkBackward(Index& ix) {
  std::vector<Item> out;
  if (!ix.goBottom()) return out;
  do out.emplace_back(std::string(ix.key()), ix.recno());
  while (ix.prev());
  std::reverse(out.begin(), out.end());
  return out;
}

// The index holds exactly the model's items, in order, both ways, and its
// file passes the strict checker.
inline void expectSame(Index& ix, const Model& m, const char* where = "") {
  SCOPED_TRACE(where);
  std::vector<Item> want = m.list();
  CheckOptions opt;
  opt.collectKeys = true;
  CheckReport rep = check(ix, opt);
  EXPECT_TRUE(rep.ok()) << rep.summary();
  EXPECT_EQ(rep.items, want);
  EXPECT_EQ(walkForward(ix), want);
  EXPECT_EQ(walkBackward(ix), want);
  EXPECT_EQ(ix.keyCount(), want.size());
}

inline std::string randomKey(std::mt19937& rng, int size, int alphabet = 26) {
  std::string k(size_t(size), ' ');
  std::uniform_int_distribution<int> d(0, alphabet - 1);
  for (char& c : k) c = char('A' + d(rng));
  return k;
}

}  // namespace kor::tables::ntx::testing
