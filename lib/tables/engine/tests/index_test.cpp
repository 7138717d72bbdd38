// NTX orders of work areas: indexes built over tables of every key type
// and compared with a sort done here, the order list and its choices,
// upkeep on every change, pack/zap/reindex, scopes, wildcard seeks, memory
// tables, damaged files, and the index functions of the expression
// language. The checker runs after every sequence of changes.
#include <algorithm>
#include <map>
#include <random>

#include "expr/expr.h"
#include "tables/engine/indexes.h"
#include "tables/engine/ntx.h"
#include "tables/engine/ntxkey.h"
#include "tables/engine/tests/fixture.h"
#include "testing/child.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

// One record of the test table, as the test knows it.
struct Row {
  std::string ncm;
  std::string nome;
  double valor = 0;
  int32_t data = 0;  // julian
  bool ativo = false;
  std::string hora;
  bool deleted = false;
};

std::vector<FieldDef> layout() {
  return {{"NCM", 'C', 8, 0},   {"NOME", 'C', 20, 0}, {"VALOR", 'N', 10, 2},
          {"DATA", 'D', 8, 0},  {"ATIVO", 'L', 1, 0}, {"HORA", 'C', 8, 0}};
}

Row randomRow(std::mt19937& rng) {
  Row r;
  char b[32];
  std::snprintf(b, sizeof b, "%08u", uint32_t(rng() % 3000) * 7);  // many equal codes
  r.ncm = b;
  static const char* names[] = {"Ana", "bruno", "Carla", "Álvaro", "Zé", "ana", "Beatriz", "Caio"};
  r.nome = std::string(names[rng() % 8]) + std::to_string(rng() % 50);
  r.nome.resize(20, ' ');
  r.valor = double(int64_t(rng() % 2000001) - 1000000) / 100.0;  // negatives, decimals
  r.data = rng() % 10 == 0 ? 0 : julianFromYmd(1990 + int(rng() % 40), 1 + int(rng() % 12), 1 + int(rng() % 28));
  r.ativo = rng() % 2;
  std::snprintf(b, sizeof b, "%02u:%02u:%02u", uint32_t(rng() % 24), uint32_t(rng() % 60), uint32_t(rng() % 60));
  r.hora = b;
  return r;
}

class IndexTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    expr::registerRoutines();
    registerRoutines();
  }
  void putRow(WorkArea& w, const Row& r) {
    ASSERT_TRUE(w.putField(1, Value(r.ncm)));
    ASSERT_TRUE(w.putField(2, Value(r.nome)));
    ASSERT_TRUE(w.putField(3, Value::number(r.valor, 2)));
    ASSERT_TRUE(w.putField(4, Value::date(r.data)));
    ASSERT_TRUE(w.putField(5, Value::logical(r.ativo)));
    ASSERT_TRUE(w.putField(6, Value(r.hora)));
  }
  // A table of n random rows, open in a new area.
  WorkArea* makeTable(const std::string& name, size_t n, bool shared = false, uint32_t seed = 1) {
    EXPECT_TRUE(createTable(name, layout()));
    WorkArea* w = use(name, shared);
    EXPECT_NE(w, nullptr);
    std::mt19937 rng(seed);
    rows.assign(1, Row{});  // rows[0] unused: records count from 1
    for (size_t i = 0; i < n; ++i) {
      Row r = randomRow(rng);
      EXPECT_TRUE(w->append());
      putRow(*w, r);
      rows.push_back(r);
    }
    w->flush();
    if (shared) w->unlock();
    return w;
  }
  Value call(const char* name, Args args = {}) { return rt::callRoutine(name, std::move(args)); }
  // The records in key order as the test computes it: the key bytes, then
  // the record number.
  std::vector<uint32_t> sortedBy(const std::function<Value(const Row&)>& key, const ntx::KeyFormat& f,
                                 bool desc = false) {
    std::vector<std::pair<std::string, uint32_t>> v;
    for (uint32_t r = 1; r < rows.size(); ++r) v.emplace_back(*ntx::encodeKey(key(rows[r]), f), r);
    std::sort(v.begin(), v.end(), [&](const auto& a, const auto& b) {
      if (a.first != b.first) return desc ? a.first > b.first : a.first < b.first;
      return a.second < b.second;
    });
    std::vector<uint32_t> out;
    for (auto& p : v) out.push_back(p.second);
    return out;
  }
  std::vector<uint32_t> walk(WorkArea& w) {
    std::vector<uint32_t> out;
    for (w.goTop(); !w.eof(); w.skip(1)) out.push_back(w.recNo());
    return out;
  }
  std::vector<uint32_t> walkBack(WorkArea& w) {
    std::vector<uint32_t> out;
    for (w.goBottom(); !w.eof() && !w.bof(); w.skip(-1)) out.push_back(w.recNo());
    if (w.bof() && !w.eof() && (out.empty() || out.back() != w.recNo())) out.push_back(w.recNo());
    std::reverse(out.begin(), out.end());
    return out;
  }
  void expectSound(WorkArea& w, int order = 0) {
    NtxOrder* o = ntxOrder(w, order);
    ASSERT_NE(o, nullptr);
    ntx::CheckOptions opt;
    opt.recordCount = w.recCount();
    ntx::CheckReport rep = ntx::check(o->index(), opt);
    EXPECT_TRUE(rep.ok()) << rep.summary();
  }
  std::vector<Row> rows;
};

struct KeyCase {
  const char* expr;
  std::function<Value(const Row&)> value;
  ntx::KeyFormat format;
};

// 50,000 records, an index of each key type: the walk both ways, seeks,
// scopes and key positions agree with a sort done here.
TEST_F(IndexTest, EveryKeyTypeOverFiftyThousandRecords) {
  const size_t n = 50000;
  WorkArea* w = makeTable("grande", n);
  ASSERT_NE(w, nullptr);
  const KeyCase cases[] = {
      {"NCM", [](const Row& r) { return Value(r.ncm); }, {ntx::KeyType::Text, 8, 0}},
      {"VALOR", [](const Row& r) { return Value::number(r.valor, 2); }, {ntx::KeyType::Number, 10, 2}},
      {"DATA", [](const Row& r) { return Value::date(r.data); }, {ntx::KeyType::Date, 8, 0}},
      {"ATIVO", [](const Row& r) { return Value::logical(r.ativo); }, {ntx::KeyType::Logical, 1, 0}},
      {"NCM+DTOS(DATA)+HORA",
       [](const Row& r) { return Value(r.ncm + dtos(DateTime{r.data, -1}) + r.hora); },
       {ntx::KeyType::Text, 24, 0}},
  };
  std::mt19937 rng(99);
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.expr);
    IndexSpec s;
    s.file = std::string("k") + std::to_string(&c - cases);
    s.key = c.expr;
    ASSERT_TRUE(orderCreate(*w, s));
    EXPECT_EQ(ntxOrder(*w)->index().keySize(), c.format.size);
    expectSound(*w);
    std::vector<uint32_t> want = sortedBy(c.value, c.format);
    ASSERT_EQ(walk(*w), want);
    ASSERT_EQ(walkBack(*w), want);
    // Position of each record in the sorted list.
    std::vector<uint32_t> pos(n + 1);
    for (size_t i = 0; i < want.size(); ++i) pos[want[i]] = uint32_t(i + 1);
    for (int i = 0; i < 300; ++i) {
      uint32_t r = 1 + rng() % uint32_t(n);
      Value key = c.value(rows[r]);
      ASSERT_TRUE(w->seek(key, false, false));
      // The first record with that key in the sorted list.
      std::string kb = *ntx::encodeKey(key, c.format);
      size_t first = pos[r] - 1;
      while (first > 0 && *ntx::encodeKey(c.value(rows[want[first - 1]]), c.format) == kb) --first;
      EXPECT_EQ(w->recNo(), want[first]);
      EXPECT_EQ(call("ORDKEYNO").num(), double(first + 1));
      w->goTo(r);
      EXPECT_EQ(call("ORDKEYNO").num(), double(pos[r]));
      w->skip(1);
      EXPECT_EQ(w->eof() ? 0u : w->recNo(), pos[r] < n ? want[pos[r]] : 0u);
    }
    // A scope between two keys of the list: count, walk and positions.
    size_t a = rng() % (n / 2), b = a + rng() % (n / 2);
    Value top = c.value(rows[want[a]]), bottom = c.value(rows[want[b]]);
    call("ORDSCOPE", {Value(0), top});
    call("ORDSCOPE", {Value(1), bottom});
    std::string tb = *ntx::encodeKey(top, c.format), bb = *ntx::encodeKey(bottom, c.format);
    std::vector<uint32_t> inScope;
    for (uint32_t r : want) {
      std::string k = *ntx::encodeKey(c.value(rows[r]), c.format);
      if (k >= tb && k <= bb) inScope.push_back(r);
    }
    EXPECT_EQ(call("ORDKEYCOUNT").num(), double(inScope.size()));
    EXPECT_EQ(walk(*w), inScope);
    w->goBottom();
    EXPECT_EQ(call("ORDKEYNO").num(), double(inScope.size()));
    call("ORDSCOPE", {Value(0), Value()});
    call("ORDSCOPE", {Value(1), Value()});
    EXPECT_EQ(call("ORDKEYCOUNT").num(), double(n));
  }
  EXPECT_TRUE(errors.empty()) << errors.front().operation;
}

TEST_F(IndexTest, DescendingUniqueConditionAndProgress) {
  WorkArea* w = makeTable("t", 3000);
  uint32_t calls = 0;
  IndexSpec s;
  s.file = "desc";
  s.key = "NCM";
  s.descending = true;
  s.forCond = Value("ATIVO");
  s.onProgress = [&](uint32_t done, uint32_t total) {
    EXPECT_EQ(total, 3000u);
    EXPECT_EQ(done, ++calls);
    return true;
  };
  ASSERT_TRUE(orderCreate(*w, s));
  EXPECT_EQ(calls, 3000u);
  EXPECT_EQ(call("ORDFOR").str(), "ATIVO");
  EXPECT_TRUE(call("ORDDESCEND").log());
  std::vector<uint32_t> want;
  for (uint32_t r : sortedBy([](const Row& r) { return Value(r.ncm); }, {ntx::KeyType::Text, 8, 0}, true))
    if (rows[r].ativo) want.push_back(r);
  EXPECT_EQ(walk(*w), want);
  expectSound(*w);
  // Unique, through the language: ORDCONDSET then ORDCREATE; a callback
  // every 100 records that stops the build at record 1000.
  Value seen = Value::array();
  Value eval = makeBlock([&](Args&) {
    seen.push(Value(static_cast<unsigned long>(w->recNo())));
    return Value::logical(w->recNo() < 1000);
  });
  call("ORDCONDSET", {Value(), Value(), Value(), Value(), eval, Value(100)});
  EXPECT_TRUE(call("ORDCREATE", {Value("uniq"), Value(), Value("NCM"), Value(), Value::logical(true)}).log());
  EXPECT_EQ(seen.size(), 10u);
  std::map<std::string, uint32_t> firstOf;
  for (uint32_t r = 1; r < 1000; ++r) firstOf.emplace(rows[r].ncm, r);
  std::vector<uint32_t> uwant;
  for (auto& [k, r] : firstOf) uwant.push_back(r);
  EXPECT_EQ(walk(*w), uwant);
  EXPECT_TRUE(call("ORDISUNIQUE").log());
}

TEST_F(IndexTest, UpkeepOfEveryChangeInEveryOrder) {
  WorkArea* w = makeTable("t", 500, true);
  IndexSpec s1;
  s1.file = "porncm";
  s1.key = "NCM+HORA";
  ASSERT_TRUE(orderCreate(*w, s1));
  IndexSpec s2;
  s2.file = "porvalor";
  s2.key = "VALOR";
  s2.forCond = Value("VALOR > 0");
  ASSERT_TRUE(orderCreate(*w, s2, true));
  ASSERT_EQ(w->orderCount(), 2);
  std::mt19937 rng(5);
  for (int round = 0; round < 8; ++round) {
    for (int i = 0; i < 150; ++i) {
      int what = int(rng() % 6);
      uint32_t r = 1 + rng() % uint32_t(rows.size() - 1);
      if (what == 0) {
        ASSERT_TRUE(w->append());
        Row x = randomRow(rng);
        putRow(*w, x);
        rows.push_back(x);
      } else {
        w->goTo(r);
        ASSERT_TRUE(w->lockRecord());
        Row& x = rows[r];
        if (what == 1) {
          x.ncm = randomRow(rng).ncm;
          ASSERT_TRUE(w->putField(1, Value(x.ncm)));
        } else if (what == 2) {
          x.valor = randomRow(rng).valor;
          ASSERT_TRUE(w->putField(3, Value::number(x.valor, 2)));
        } else if (what == 3) {
          ASSERT_TRUE(w->deleteRecord());
          x.deleted = true;
        } else if (what == 4) {
          ASSERT_TRUE(w->recall());
          x.deleted = false;
        } else {
          x.hora = randomRow(rng).hora;  // two key fields of one order, one record write
          x.ncm = randomRow(rng).ncm;
          ASSERT_TRUE(w->putField(6, Value(x.hora)));
          ASSERT_TRUE(w->putField(1, Value(x.ncm)));
        }
      }
      w->unlock();
    }
    SCOPED_TRACE("round " + std::to_string(round));
    setOrderFocus(*w, Value(1));
    EXPECT_EQ(walk(*w), sortedBy([](const Row& r) { return Value(r.ncm + r.hora); }, {ntx::KeyType::Text, 16, 0}));
    expectSound(*w, 1);
    setOrderFocus(*w, Value("porvalor"));
    std::vector<uint32_t> want;
    for (uint32_t r : sortedBy([](const Row& r) { return Value::number(r.valor, 2); }, {ntx::KeyType::Number, 10, 2}))
      if (rows[r].valor > 0) want.push_back(r);
    EXPECT_EQ(walk(*w), want);  // deleted records stay in the index
    expectSound(*w, 2);
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(IndexTest, PackZapAndReindexRebuild) {
  WorkArea* w = makeTable("t", 400);
  IndexSpec s;
  s.file = "t";
  s.key = "NOME";
  ASSERT_TRUE(orderCreate(*w, s));
  for (uint32_t r = 1; r <= 400; r += 3) {
    w->goTo(r);
    w->deleteRecord();
  }
  ASSERT_TRUE(w->pack());
  std::vector<Row> kept(1);
  for (uint32_t r = 1; r <= 400; ++r)
    if ((r - 1) % 3) kept.push_back(rows[r]);
  rows = kept;
  EXPECT_EQ(w->recCount(), rows.size() - 1);
  EXPECT_EQ(walk(*w), sortedBy([](const Row& r) { return Value(r.nome); }, {ntx::KeyType::Text, 20, 0}));
  expectSound(*w);
  // Changes made while the index was not attached: reindex mends it.
  orderListClear(*w);
  w->goTo(1);
  w->putField(2, Value("AAAA primeiro"));
  rows[1].nome = "AAAA primeiro";
  rows[1].nome.resize(20, ' ');
  ASSERT_TRUE(orderListAdd(*w, "t"));
  ASSERT_TRUE(orderListRebuild(*w));
  EXPECT_EQ(w->recNo(), 1u);  // at the top after a reindex
  EXPECT_EQ(walk(*w), sortedBy([](const Row& r) { return Value(r.nome); }, {ntx::KeyType::Text, 20, 0}));
  // The appends that made the table left their record lock behind, which
  // the engine does not drop at zap; let it go first.
  w->unlock();
  ASSERT_TRUE(w->zap());
  EXPECT_EQ(call("ORDKEYCOUNT").num(), 0);
  EXPECT_TRUE(w->eof());
  expectSound(*w);
  ASSERT_TRUE(w->append());
  w->putField(2, Value("depois"));
  w->flush();
  EXPECT_TRUE(w->seek(Value("dep"), false, false));
}

TEST_F(IndexTest, OrderListChoicesAndInformation) {
  WorkArea* w = makeTable("clientes", 50);
  IndexSpec a, b;
  a.file = "cliNcm";
  a.key = "NCM";
  b.file = "cliNome";
  b.key = "UPPER(NOME)";
  ASSERT_TRUE(orderCreate(*w, a));
  ASSERT_TRUE(orderCreate(*w, b));
  orderListClear(*w);
  EXPECT_EQ(call("INDEXORD").num(), 0);
  call("DBSETINDEX", {Value("cliNcm")});
  call("DBSETINDEX", {Value("CLINOME.NTX")});
  EXPECT_EQ(call("ORDCOUNT").num(), 2);
  EXPECT_EQ(call("INDEXORD").num(), 1);  // the first attached controls
  EXPECT_EQ(call("ORDNAME").str(), "CLINCM");
  EXPECT_EQ(call("INDEXKEY", {Value(2)}).str(), "UPPER(NOME)");
  EXPECT_EQ(call("ORDKEY", {Value("clinome")}).str(), "UPPER(NOME)");
  EXPECT_EQ(call("ORDBAGNAME").str(), indexPath("cliNcm"));
  EXPECT_EQ(call("ORDBAGEXT").str(), ".ntx");
  EXPECT_EQ(call("ORDNUMBER", {Value("CLINOME")}).num(), 2);
  // Choosing: by number, by name, by key expression; the previous name back.
  EXPECT_EQ(call("ORDSETFOCUS", {Value(2)}).str(), "CLINCM");
  EXPECT_EQ(call("INDEXORD").num(), 2);
  EXPECT_EQ(call("ORDSETFOCUS", {Value("clincm")}).str(), "CLINOME");
  EXPECT_EQ(call("INDEXORD").num(), 1);
  EXPECT_TRUE(setOrderFocus(*w, Value(" upper(nome) ")));
  EXPECT_EQ(call("INDEXORD").num(), 2);
  EXPECT_FALSE(setOrderFocus(*w, Value("NADA")));
  EXPECT_EQ(call("INDEXORD").num(), 2);
  call("DBSETORDER", {Value(0)});
  EXPECT_EQ(walk(*w).front(), 1u);  // natural order
  call("DBCLEARINDEX");
  EXPECT_EQ(call("ORDCOUNT").num(), 0);
  EXPECT_EQ(call("ORDNAME").str(), "");
  // Seeking without an order is the "no order" error.
  EXPECT_FALSE(w->seek(Value("x"), false, false));
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.back().genCode, rt::kErrNoOrder);
}

TEST_F(IndexTest, SeekFoundFlagEndOfFileSoftAndLast) {
  createTable("s", layout());
  WorkArea* w = use("s", false);
  const char* codes[] = {"0101", "0102", "0102", "0105", "0201", "0202"};
  for (const char* c : codes) {
    w->append();
    w->putField(1, Value(c));
  }
  IndexSpec s;
  s.file = "s";
  s.key = "NCM";
  ASSERT_TRUE(orderCreate(*w, s));
  EXPECT_TRUE(w->seek(Value("0102"), false, false));
  EXPECT_EQ(w->recNo(), 2u);
  EXPECT_TRUE(call("FOUND").log());
  EXPECT_TRUE(w->seek(Value("0102"), false, true));
  EXPECT_EQ(w->recNo(), 3u);
  EXPECT_TRUE(w->seek(Value("02"), false, false));  // a text matches the first key it begins
  EXPECT_EQ(w->recNo(), 5u);
  EXPECT_FALSE(w->seek(Value("0103"), false, false));
  EXPECT_TRUE(w->eof());
  EXPECT_FALSE(call("FOUND").log());
  EXPECT_FALSE(w->seek(Value("0103"), true, false));
  EXPECT_EQ(w->recNo(), 4u);
  rt::set(rt::Set::SoftSeek, Value::logical(true));
  EXPECT_FALSE(call("DBSEEK", {Value("0199")}).log());
  EXPECT_EQ(w->recNo(), 5u);
  rt::set(rt::Set::SoftSeek, Value::logical(false));
  EXPECT_FALSE(call("DBSEEK", {Value("9")}).log());
  EXPECT_TRUE(w->eof());
  // A value of another type is a data type error, not a crash.
  errors.clear();
  EXPECT_FALSE(w->seek(Value(102), false, false));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrDataType);
  // The deleted filter passes over deleted records found by a seek.
  w->goTo(2);
  w->deleteRecord();
  w->flush();
  rt::set(rt::Set::Deleted, Value::logical(true));
  EXPECT_FALSE(w->seek(Value("0102"), false, false) && w->recNo() == 2);
  EXPECT_EQ(w->recNo(), 3u);
  rt::set(rt::Set::Deleted, Value::logical(false));
  // Key value of the current record, in its type.
  EXPECT_EQ(call("ORDKEYVAL").str(), "0102    ");
}

TEST_F(IndexTest, WildcardSeekForwardsAndBackwards) {
  createTable("w", layout());
  WorkArea* w = use("w", false);
  const char* names[] = {"MARIA", "MARTA", "MARCOS", "JOANA", "JOAO", "MARIANA"};
  for (const char* c : names) {
    w->append();
    w->putField(2, Value(c));
  }
  IndexSpec s;
  s.file = "w";
  s.key = "NOME";
  ASSERT_TRUE(orderCreate(*w, s));
  EXPECT_TRUE(call("ORDWILDSEEK", {Value("MAR?A")}).log());  // MARIA, MARTA
  EXPECT_EQ(w->recNo(), 1u);
  EXPECT_TRUE(call("ORDWILDSEEK", {Value("MAR?A"), Value::logical(true)}).log());
  EXPECT_EQ(w->recNo(), 2u);
  EXPECT_FALSE(call("ORDWILDSEEK", {Value("MAR?A"), Value::logical(true)}).log());
  EXPECT_TRUE(w->eof());
  EXPECT_TRUE(call("ORDWILDSEEK", {Value("*NA"), Value::logical(false), Value::logical(true)}).log());
  EXPECT_EQ(w->recNo(), 6u);  // backwards from the bottom: MARIANA, then JOANA
  EXPECT_TRUE(call("ORDWILDSEEK", {Value("*NA"), Value::logical(true), Value::logical(true)}).log());
  EXPECT_EQ(w->recNo(), 4u);
  EXPECT_FALSE(call("ORDWILDSEEK", {Value("X*")}).log());
  EXPECT_TRUE(w->eof());
}

TEST_F(IndexTest, MemoryTableWithItsIndex) {
  ASSERT_TRUE(createTable("MEM:tmp1", layout()));
  WorkArea* w = use("MEM:tmp1", false);
  ASSERT_NE(w, nullptr);
  for (int i = 0; i < 300; ++i) {
    w->append();
    w->putField(3, Value::number(300 - i, 0));
  }
  IndexSpec s;
  s.file = "MEM:tmp1";
  s.key = "VALOR";
  ASSERT_TRUE(orderCreate(*w, s));
  EXPECT_EQ(call("ORDBAGNAME").str(), "MEM:tmp1.ntx");
  w->goTop();
  EXPECT_EQ(w->recNo(), 300u);
  EXPECT_TRUE(w->seek(Value::number(150, 0), false, false));
  EXPECT_EQ(w->recNo(), 151u);
  closeAll();
  w = use("MEM:tmp1", false);
  ASSERT_TRUE(orderListAdd(*w, "MEM:tmp1"));
  w->goBottom();
  EXPECT_EQ(w->recNo(), 1u);
  plat::removeFile("MEM:tmp1.dbf");
  plat::removeFile("MEM:tmp1.ntx");
}

TEST_F(IndexTest, KeySizeDisagreeingWithTheExpressionIsCorruption) {
  createTable("a", {{"NOME", 'C', 30, 0}});
  WorkArea* w = use("a", false);
  IndexSpec s;
  s.file = "idx";
  s.key = "NOME";
  ASSERT_TRUE(orderCreate(*w, s));
  closeAll();
  createTable("b", {{"NOME", 'C', 20, 0}});  // the same index on a narrower field
  w = use("b", false);
  errors.clear();
  EXPECT_FALSE(orderListAdd(*w, "idx"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrCorruption);
  EXPECT_EQ(errors[0].subsystem, "DBFNTX");
  EXPECT_EQ(errors[0].filename, indexPath("idx"));
  // A date key over a file of another size.
  closeAll();
  createTable("c", {{"NOME", 'D', 8, 0}});
  w = use("c", false);
  errors.clear();
  EXPECT_FALSE(orderListAdd(*w, "idx"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrCorruption);
  // A missing index is an open error naming the file.
  errors.clear();
  EXPECT_FALSE(orderListAdd(*w, "none"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrOpen);
  EXPECT_EQ(errors[0].filename, indexPath("none"));
}

// Two processes append to the same indexed table at once.
constexpr int kAppends = 1500;

TEST(IndexRoles, DISABLED_Appender) {
  rt::set(rt::Set::Default, Value(kor::testing::childArg("DIR")));
  expr::registerRoutines();
  registerRoutines();
  std::vector<rt::ErrorRecord> errs;
  rt::setErrorHandler([&](rt::ErrorRecord& e) {
    errs.push_back(e);
    return rt::ErrorAnswer::retry();
  });
  OpenSpec o;
  o.file = "shared";
  int n = openTable(o);
  ASSERT_NE(n, 0);
  WorkArea* w = area(n);
  ASSERT_TRUE(orderListAdd(*w, "shared"));
  ASSERT_TRUE(kor::testing::waitForFile(kor::testing::childArg("GO")));
  const std::string who = kor::testing::childArg("WHO");
  for (int i = 0; i < kAppends; ++i) {
    ASSERT_TRUE(w->append());
    char code[16];
    std::snprintf(code, sizeof code, "%s%07d", who.c_str(), (i * 7919) % kAppends);
    ASSERT_TRUE(w->putField(1, Value(code)));
    ASSERT_TRUE(w->putField(6, Value(who)));
    w->unlock();
    if (i % 100 == 0) {
      ASSERT_TRUE(w->seek(Value(code), false, false));
      ASSERT_EQ(w->getField(1).str(), code);
    }
  }
  EXPECT_TRUE(errs.empty());
  closeAll();
}

TEST_F(IndexTest, TwoProcessesAppendingToAnIndexedTable) {
  ASSERT_TRUE(createTable("shared", layout()));
  WorkArea* w = use("shared", false);
  IndexSpec s;
  s.file = "shared";
  s.key = "NCM";
  ASSERT_TRUE(orderCreate(*w, s));
  closeAll();
  std::string go = path("go");
  std::vector<kor::testing::Child> kids;
  for (const char* who : {"A", "B"})
    kids.push_back(kor::testing::spawnChild("IndexRoles.DISABLED_Appender",
                                            {{"DIR", dir.string()}, {"GO", go}, {"WHO", who}}));
  kor::testing::touchFile(go);
  for (auto& c : kids) EXPECT_EQ(c.wait(), 0);
  w = use("shared", false);
  ASSERT_TRUE(orderListAdd(*w, "shared"));
  EXPECT_EQ(w->recCount(), uint32_t(2 * kAppends));
  expectSound(*w);
  EXPECT_EQ(call("ORDKEYCOUNT").num(), 2 * kAppends);
  // Every record once, under its own key.
  std::vector<int> seen(2 * kAppends + 1);
  std::string prev;
  for (w->goTop(); !w->eof(); w->skip(1)) {
    std::string k = w->getField(1).string();
    EXPECT_LE(prev, k);
    prev = k;
    ++seen[w->recNo()];
  }
  for (int r = 1; r <= 2 * kAppends; ++r) EXPECT_EQ(seen[size_t(r)], 1) << r;
}

}  // namespace
}  // namespace kor::tables::testing
