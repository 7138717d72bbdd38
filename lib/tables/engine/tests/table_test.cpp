// Tables through the work-area interface: round trips of every type with
// the bytes they leave on disk, memo files of both kinds, navigation,
// changes, and the errors a user meets.
#include <cstring>

#include "tables/engine/dbf.h"
#include "tables/engine/errors.h"
#include "tables/engine/tests/fixture.h"

namespace kor::tables::testing {
namespace {

uint32_t le32(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 | static_cast<uint8_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}
unsigned le16(const std::string& b, size_t at) { return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8; }

std::vector<FieldDef> everyType() {
  return {{"NOME", 'C', 10, 0}, {"LINHA", 'C', 300, 0}, {"VALOR", 'N', 8, 2}, {"QTD", 'N', 5, 0},
          {"DATA", 'D', 8, 0},  {"ATIVO", 'L', 1, 0},   {"OBS", 'M', 10, 0},  {"CONTA", 'I', 4, 0}};
}

std::string allBytes() {
  std::string s;
  for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
  return s;
}

using Table = EngineTest;

TEST_F(Table, RoundTripOfEveryTypeWithItsBytes) {
  ASSERT_TRUE(createTable("tipos", everyType()));
  WorkArea* a = use("tipos", false);
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->eof());
  EXPECT_TRUE(a->bof());
  std::string longText(300, 'x');
  longText[0] = 'A';
  longText[299] = 'Z';
  std::string memo = allBytes() + std::string(500, 'm');

  ASSERT_TRUE(a->append());
  EXPECT_TRUE(a->putField(1, Value("Ana")));
  EXPECT_TRUE(a->putField(2, Value(longText)));
  EXPECT_TRUE(a->putField(3, Value::number(12.345, 3)));  // rounded to 12.35
  EXPECT_TRUE(a->putField(4, Value(-42)));
  EXPECT_TRUE(a->putField(5, Value::ymd(2024, 1, 31)));
  EXPECT_TRUE(a->putField(6, Value::logical(true)));
  EXPECT_TRUE(a->putField(7, Value(memo)));
  EXPECT_TRUE(a->putField(8, Value(-7)));
  ASSERT_TRUE(a->append());  // a blank record
  ASSERT_TRUE(a->append());
  EXPECT_TRUE(a->putField(1, Value("um texto longo demais")));  // cut to 10
  EXPECT_TRUE(a->putField(6, Value::logical(false)));
  EXPECT_TRUE(a->deleteRecord());
  closeAll();

  const std::string b = bytes("tipos.dbf");
  const unsigned hl = 32 * 9 + 1, rl = 1 + 10 + 300 + 8 + 5 + 8 + 1 + 10 + 4;
  ASSERT_EQ(b.size(), hl + 3 * rl + 1);
  EXPECT_EQ(static_cast<uint8_t>(b[0]), 0xF5);
  EXPECT_EQ(le32(b, 4), 3u);
  EXPECT_EQ(le16(b, 8), hl);
  EXPECT_EQ(le16(b, 10), rl);
  EXPECT_EQ(static_cast<uint8_t>(b[hl - 1]), 0x0D);
  EXPECT_EQ(static_cast<uint8_t>(b.back()), 0x1A);
  // LINHA is C(300): 44 in the length byte, 1 in the decimals byte.
  EXPECT_EQ(static_cast<uint8_t>(b[64 + 16]), 44);
  EXPECT_EQ(static_cast<uint8_t>(b[64 + 17]), 1);
  std::string r1 = b.substr(hl, rl);
  EXPECT_EQ(r1.substr(0, 11), " Ana       ");
  EXPECT_EQ(r1.substr(11, 300), longText);
  EXPECT_EQ(r1.substr(311, 8), "   12.35");
  EXPECT_EQ(r1.substr(319, 5), "  -42");
  EXPECT_EQ(r1.substr(324, 8), "20240131");
  EXPECT_EQ(r1.substr(332, 1), "T");
  EXPECT_EQ(r1.substr(343, 4), std::string("\xF9\xFF\xFF\xFF", 4));
  std::string r2 = b.substr(hl + rl, rl);
  EXPECT_EQ(r2.substr(0, 343), std::string(343, ' '));  // blank record: spaces, binary zero
  EXPECT_EQ(r2.substr(343, 4), std::string(4, '\0'));
  std::string r3 = b.substr(hl + 2 * rl, rl);
  EXPECT_EQ(r3.substr(0, 11), "*um texto l");
  EXPECT_EQ(r3.substr(332, 1), "F");
  // The memo: FPT block 8 (512 / 64), type 1, big-endian length.
  const std::string m = bytes("tipos.fpt");
  EXPECT_EQ(r1.substr(333, 10), "         8");
  EXPECT_EQ(static_cast<uint8_t>(m[6]) << 8 | static_cast<uint8_t>(m[7]), 64);
  EXPECT_EQ(m.substr(512, 8), std::string("\0\0\0\x01\0\0\x02\xF4", 8));  // 756 bytes
  EXPECT_EQ(m.substr(520, memo.size()), memo);

  a = use("tipos");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->recCount(), 3u);
  EXPECT_EQ(a->getField(1).str(), "Ana       ");
  EXPECT_EQ(a->getField(2).str(), longText);
  EXPECT_DOUBLE_EQ(a->getField(3).num(), 12.35);
  EXPECT_EQ(a->getField(3).decimals(), 2);
  EXPECT_EQ(a->getField(4).num(), -42);
  EXPECT_EQ(a->getField(5).julian(), Value::ymd(2024, 1, 31).julian());
  EXPECT_TRUE(a->getField(6).log());
  EXPECT_TRUE(a->getField(7).isMemo());
  EXPECT_EQ(a->getField(7).str(), memo);
  EXPECT_EQ(a->getField(8).num(), -7);
  a->skip(1);
  EXPECT_TRUE(a->getField(5).dateTime().empty());
  EXPECT_EQ(a->getField(7).str(), "");
  a->skip(1);
  EXPECT_TRUE(a->deleted());
  EXPECT_EQ(a->getField(1).str(), "um texto l");
  EXPECT_TRUE(errors.empty());
}

TEST_F(Table, HeaderDateAndCountStayCurrent) {
  ASSERT_TRUE(createTable("d", {{"A", 'C', 3, 0}}));
  std::string b = bytes("d.dbf");
  EXPECT_EQ(b.size(), 32u * 2 + 1 + 1);  // an empty table is its header and 1A
  EXPECT_EQ(static_cast<uint8_t>(b.back()), 0x1A);
  EXPECT_EQ(static_cast<uint8_t>(b[0]), 0x03);  // no memo fields, no memo file
  EXPECT_FALSE(fs::exists(path("d.fpt")));
  WorkArea* a = use("d");
  a->append();
  a->append();
  b = bytes("d.dbf");  // already on disk before the close
  EXPECT_EQ(le32(b, 4), 2u);
  plat::LocalTime t = plat::localTime(plat::nowMillis());
  EXPECT_EQ(static_cast<uint8_t>(b[1]), t.year - 1900);
  EXPECT_EQ(static_cast<uint8_t>(b[2]), t.month);
  EXPECT_EQ(static_cast<uint8_t>(b[3]), t.day);
  EXPECT_EQ(b.size(), 65u + 2 * 4 + 1);
}

TEST_F(Table, DbtMemosRoundTrip) {
  ASSERT_TRUE(DbfTable::create(path("velho.dbf"), {{"ID", 'N', 3, 0, 0}, {"TEXTO", 'M', 10, 0, 0}},
                               dbf::MemoKind::Dbt, 512));
  WorkArea* a = use("velho", false);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->table().memo()->kind(), dbf::MemoKind::Dbt);
  a->append();
  a->putField(2, Value("hello memo"));
  a->append();
  std::string big(700, 'b');
  a->putField(2, Value(big));
  a->append();
  // The DBT end mark cannot be stored: refused, nothing written.
  EXPECT_FALSE(a->putField(2, Value(std::string("a\x1A" "b"))));
  ASSERT_NE(lastError(), nullptr);
  EXPECT_EQ(lastError()->genCode, rt::kErrDataType);
  EXPECT_EQ(lastError()->subCode, kSubMemoByte);
  // A shorter text goes back into the same blocks.
  a->goTo(2);
  a->lockRecord();
  a->putField(2, Value("short"));
  closeAll();

  const std::string m = bytes("velho.dbt");
  EXPECT_EQ(le32(m, 0), 4u);  // next free: 1 + 1 (hello) + 2 (700 bytes)
  EXPECT_EQ(static_cast<uint8_t>(m[16]), 0x03);
  EXPECT_EQ(m.substr(512, 12), "hello memo\x1A\x1A");
  EXPECT_EQ(m.substr(1024, 7), "short\x1A\x1A");
  EXPECT_EQ(m.size(), 2048u);
  EXPECT_EQ(static_cast<uint8_t>(bytes("velho.dbf")[0]), 0x83);

  a = use("velho");
  EXPECT_EQ(a->getField(2).str(), "hello memo");
  a->skip(1);
  EXPECT_EQ(a->getField(2).str(), "short");
  a->skip(1);
  EXPECT_EQ(a->getField(2).str(), "");
}

TEST_F(Table, FptMemoGrowsIntoNewBlocksAndShrinksInPlace) {
  ASSERT_TRUE(createTable("m", {{"T", 'M', 10, 0}}));
  WorkArea* a = use("m", false);
  a->append();
  a->putField(1, Value("abc"));  // block 8
  a->append();
  a->putField(1, Value("def"));  // block 9
  a->goTo(1);
  a->putField(1, Value(std::string(100, 'g')));  // does not fit one block: 10..11
  a->goTo(2);
  a->putField(1, Value("xy"));  // fits block 9
  a->goTo(1);
  EXPECT_EQ(a->getField(1).str(), std::string(100, 'g'));
  closeAll();
  std::string b = bytes("m.dbf");
  std::string m = bytes("m.fpt");
  EXPECT_EQ(b.substr(66, 10), "        10");
  EXPECT_EQ(b.substr(77, 10), "         9");
  EXPECT_EQ(m.size(), 12u * 64);
  EXPECT_EQ(static_cast<uint8_t>(m[3]), 12);  // next free block, big-endian
}

TEST_F(Table, NavigationAsSuchEnginesDoIt) {
  ASSERT_TRUE(createTable("nav", {{"N", 'N', 3, 0}}));
  WorkArea* a = use("nav", false);
  for (int i = 1; i <= 5; ++i) {
    a->append();
    a->putField(1, Value(i));
  }
  a->goTo(2);
  a->deleteRecord();

  a->goTop();
  EXPECT_EQ(a->recNo(), 1u);
  EXPECT_FALSE(a->bof());
  a->skip(-1);
  EXPECT_TRUE(a->bof());
  EXPECT_EQ(a->recNo(), 1u);
  a->skip(1);
  EXPECT_EQ(a->recNo(), 2u);  // deleted records stay visible
  EXPECT_TRUE(a->deleted());
  a->skip(10);
  EXPECT_TRUE(a->eof());
  EXPECT_EQ(a->recNo(), 6u);  // the phantom record
  EXPECT_EQ(a->getField(1).num(), 0);
  a->skip(-1);
  EXPECT_EQ(a->recNo(), 5u);
  EXPECT_FALSE(a->eof());
  a->goTo(99);
  EXPECT_TRUE(a->eof());
  EXPECT_EQ(a->recNo(), 6u);
  a->goBottom();
  EXPECT_EQ(a->recNo(), 5u);

  rt::set(rt::Set::Deleted, Value::logical(true));
  a->goTop();
  a->skip(1);
  EXPECT_EQ(a->recNo(), 3u);
  a->skip(-1);
  EXPECT_EQ(a->recNo(), 1u);
  // A filter as a callback: even numbers only.
  a->setFilter(Condition(makeBlock([a](Args&) {
    return Value::logical(static_cast<long long>(a->getField(1).num()) % 2 == 0);
  })));
  a->goTop();
  EXPECT_EQ(a->recNo(), 4u);  // 2 is deleted
  a->skip(1);
  EXPECT_TRUE(a->eof());
  a->goBottom();
  EXPECT_EQ(a->recNo(), 4u);
  a->clearFilter();
  rt::set(rt::Set::Deleted, Value::logical(false));

  // An empty table: top and bottom are both ends at once.
  ASSERT_TRUE(createTable("vazia", {{"N", 'N', 3, 0}}));
  WorkArea* e = use("vazia");
  EXPECT_TRUE(e->eof() && e->bof());
  e->goBottom();
  EXPECT_TRUE(e->eof() && e->bof());
  EXPECT_EQ(e->recNo(), 1u);
}

TEST_F(Table, FieldsByNameAndPosition) {
  ASSERT_TRUE(createTable("f", everyType()));
  WorkArea* a = use("f");
  EXPECT_EQ(a->fieldCount(), 8);
  EXPECT_EQ(a->fieldPos("valor"), 3);
  EXPECT_EQ(a->fieldPos("VALOR "), 3);
  EXPECT_EQ(a->fieldPos("NADA"), 0);
  EXPECT_EQ(a->field(2)->len, 300);
  EXPECT_EQ(a->field(3)->dec, 2);
  EXPECT_EQ(a->field(9), nullptr);
  EXPECT_TRUE(a->getField(9).isNil());
  Value s = structureOf(*a);
  ASSERT_EQ(s.size(), 8u);
  EXPECT_EQ(s.at(1).at(0).str(), "LINHA");
  EXPECT_EQ(s.at(1).at(1).str(), "C");
  EXPECT_EQ(s.at(1).at(2).num(), 300);
  EXPECT_EQ(s.at(2).at(3).num(), 2);
  // A structure list makes the same table again.
  std::vector<FieldDef> defs;
  ASSERT_TRUE(structureFromValue(s, defs));
  ASSERT_TRUE(createTable("f2", defs));
  WorkArea* b = use("f2");
  EXPECT_EQ(structureOf(*b).size(), 8u);
  EXPECT_EQ(b->table().recordLen(), a->table().recordLen());
}

TEST_F(Table, ValuesThatDoNotFitRaiseTheirErrors) {
  ASSERT_TRUE(createTable("v", everyType()));
  WorkArea* a = use("v", false);
  a->append();
  struct Case {
    int field;
    Value value;
    int genCode;
  } cases[] = {
      {3, Value::number(123456.7, 1), rt::kErrDataWidth},  // N(8,2)
      {4, Value(123456), rt::kErrDataWidth},               // N(5,0)
      {3, Value("12"), rt::kErrDataType},
      {1, Value(5), rt::kErrDataType},
      {5, Value("20240101"), rt::kErrDataType},
      {6, Value(1), rt::kErrDataType},
      {7, Value(1), rt::kErrDataType},
      {8, Value::number(5e9), rt::kErrDataWidth},
  };
  for (auto& c : cases) {
    errors.clear();
    EXPECT_FALSE(a->putField(c.field, c.value)) << c.field;
    ASSERT_EQ(errors.size(), 1u) << c.field;
    EXPECT_EQ(errors[0].genCode, c.genCode) << c.field;
    EXPECT_EQ(errors[0].subsystem, "DBFNTX");
    EXPECT_EQ(errors[0].operation, a->field(c.field)->name);
    EXPECT_TRUE(errors[0].canDefault);
  }
  // Nothing was written by the failed puts.
  EXPECT_EQ(a->getField(3).num(), 0);
  EXPECT_EQ(a->getField(4).num(), 0);
}

TEST_F(Table, MissingTableIsAnOpenErrorWithTheFullPath) {
  EXPECT_EQ(use("nao_existe"), nullptr);
  ASSERT_EQ(errors.size(), 1u);
  const rt::ErrorRecord& e = errors[0];
  EXPECT_EQ(e.genCode, rt::kErrOpen);
  EXPECT_EQ(e.osCode, 2);
  EXPECT_EQ(e.subsystem, "DBFNTX");
  EXPECT_EQ(e.filename, path("nao_existe.dbf"));
  EXPECT_TRUE(e.canRetry);
  EXPECT_FALSE(rt::netErr());
  EXPECT_EQ(area(0), nullptr);
}

TEST_F(Table, RetryReopensWhenTheFileAppears) {
  answer = rt::ErrorAnswer::retry();
  rt::setErrorHandler([this](rt::ErrorRecord& e) {
    errors.push_back(e);
    if (errors.size() == 2) createTable("tarde", {{"A", 'C', 1, 0}});
    return rt::ErrorAnswer::retry();
  });
  WorkArea* a = use("tarde");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(errors.size(), 2u);
  EXPECT_EQ(errors[1].tries, 2);
}

TEST_F(Table, NamesResolveInTheDefaultFolderWithoutRegardToCase) {
  ASSERT_TRUE(createTable("ORIG", {{"A", 'C', 1, 0}}));
  fs::rename(path("ORIG.dbf"), path("RICLAS.DBF"));
  WorkArea* a = use("riclas");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->alias(), "RICLAS");
#ifdef _WIN32
  EXPECT_TRUE(fs::equivalent(a->path(), path("RICLAS.DBF")));  // Windows keeps the name as asked
#else
  EXPECT_EQ(a->path(), path("RICLAS.DBF"));
#endif
  EXPECT_EQ(defaultAlias("C:\\DADOS\\riclas.dbf"), "RICLAS");
  EXPECT_EQ(defaultAlias("nome com espaco"), "NOME_COM_ESPACO");
  EXPECT_EQ(defaultAlias("MEM:tmp123.dbf"), "TMP123");
  EXPECT_EQ(tablePath("x"), path("x.dbf"));
  EXPECT_EQ(tablePath("MEM:x"), "MEM:x.dbf");
}

TEST_F(Table, WorkAreasAndAliases) {
  ASSERT_TRUE(createTable("a1", {{"A", 'C', 1, 0}}));
  ASSERT_TRUE(createTable("a2", {{"B", 'C', 1, 0}}));
  WorkArea* x = use("a1");
  WorkArea* y = use("a2", true, false, "outra");
  EXPECT_EQ(x->number(), 1);
  EXPECT_EQ(y->number(), 2);
  EXPECT_EQ(y->alias(), "OUTRA");
  EXPECT_EQ(currentArea(), 2);
  EXPECT_EQ(areaOf("a1"), 1);
  EXPECT_EQ(areaOf("Outra"), 2);
  EXPECT_EQ(areaOf("2"), 2);
  EXPECT_EQ(areaOf("nada"), 0);
  {
    AreaScope in("a1");
    ASSERT_TRUE(in.ok());
    EXPECT_EQ(currentArea(), 1);
  }
  EXPECT_EQ(currentArea(), 2);
  AreaScope none("nada");
  EXPECT_FALSE(none.ok());
  // The same alias twice is refused.
  EXPECT_EQ(use("a2", true, false, "A1"), nullptr);
  EXPECT_EQ(lastError()->genCode, rt::kErrDupAlias);
  // An unknown driver is an argument error.
  OpenSpec s;
  s.file = "a2";
  s.driver = "DBFCDX";
  EXPECT_EQ(openTable(s), 0);
  EXPECT_EQ(lastError()->genCode, rt::kErrArg);
  closeArea(1);
  EXPECT_EQ(areaOf("a1"), 0);
  EXPECT_EQ(freeArea(), 1);
  selectArea(0);
  EXPECT_EQ(currentArea(), 1);
  closeAll();
  EXPECT_TRUE(usedAreas().empty());
}

TEST_F(Table, ReadOnlyAndUnlockedWritesAreRefused) {
  ASSERT_TRUE(createTable("ro", {{"A", 'C', 3, 0}}));
  WorkArea* a = use("ro", false);
  a->append();
  a->putField(1, Value("abc"));
  closeAll();

  a = use("ro", true, true);
  EXPECT_FALSE(a->putField(1, Value("x")));
  EXPECT_EQ(lastError()->genCode, rt::kErrReadOnly);
  EXPECT_EQ(lastError()->filename, path("ro.dbf"));
  EXPECT_FALSE(a->append());
  EXPECT_EQ(lastError()->genCode, rt::kErrReadOnly);
  closeAll();

  a = use("ro");  // shared: writes need the record's lock
  errors.clear();
  EXPECT_FALSE(a->putField(1, Value("x")));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].genCode, rt::kErrUnlocked);
  ASSERT_TRUE(a->lockRecord());
  EXPECT_TRUE(a->putField(1, Value("xyz")));
  EXPECT_EQ(a->lockList(), std::vector<uint32_t>{1});
  a->unlock();
  EXPECT_TRUE(a->lockList().empty());
  EXPECT_EQ(bytes("ro.dbf").substr(66, 3), "xyz");  // written before the unlock
  ASSERT_TRUE(a->lockFile());
  EXPECT_TRUE(a->putField(1, Value("fff")));
  a->unlock();
}

TEST_F(Table, PackAndZapNeedExclusiveUse) {
  ASSERT_TRUE(createTable("p", {{"N", 'N', 3, 0}, {"T", 'M', 10, 0}}));
  WorkArea* a = use("p", false);
  for (int i = 1; i <= 6; ++i) {
    a->append();
    a->putField(1, Value(i));
    a->putField(2, Value("memo " + std::to_string(i)));
    if (i % 2 == 0) a->deleteRecord();
  }
  ASSERT_TRUE(a->pack());
  EXPECT_EQ(a->recCount(), 3u);
  EXPECT_EQ(a->recNo(), 1u);
  std::vector<int> left;
  std::vector<std::string> memos;
  a->forEach(Scope{}, [&] {
    left.push_back(static_cast<int>(a->getField(1).num()));
    memos.push_back(a->getField(2).string());
    return true;
  });
  EXPECT_EQ(left, (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(memos, (std::vector<std::string>{"memo 1", "memo 3", "memo 5"}));
  closeAll();  // exclusive use keeps other readers out (on Windows even this test's)
  std::string b = bytes("p.dbf");
  EXPECT_EQ(b.size(), 32u * 3 + 1 + 3 * 14 + 1);
  EXPECT_EQ(static_cast<uint8_t>(b.back()), 0x1A);

  a = use("p");
  EXPECT_FALSE(a->zap());
  EXPECT_EQ(lastError()->genCode, rt::kErrShared);
  EXPECT_EQ(a->recCount(), 3u);
  closeAll();
  a = use("p", false);
  ASSERT_TRUE(a->zap());
  EXPECT_EQ(a->recCount(), 0u);
  EXPECT_TRUE(a->eof());
  closeAll();
  EXPECT_EQ(bytes("p.dbf").size(), 32u * 3 + 1 + 1);
  EXPECT_EQ(bytes("p.fpt").size(), 512u);
}

TEST_F(Table, LoopsWithScopesAndLocate) {
  ASSERT_TRUE(createTable("l", {{"N", 'N', 3, 0}}));
  WorkArea* a = use("l", false);
  for (int i = 1; i <= 10; ++i) {
    a->append();
    a->putField(1, Value(i));
  }
  auto n = [a] { return static_cast<int>(a->getField(1).num()); };
  auto collect = [&](const Scope& s) {
    std::vector<int> got;
    a->forEach(s, [&] {
      got.push_back(n());
      return true;
    });
    return got;
  };
  Scope all;
  EXPECT_EQ(collect(all).size(), 10u);
  Scope odd;
  odd.forCond = Condition(makeBlock([&](Args&) { return Value::logical(n() % 2 == 1); }));
  EXPECT_EQ(collect(odd), (std::vector<int>{1, 3, 5, 7, 9}));
  a->goTo(4);
  Scope next3;
  next3.next = 3;
  EXPECT_EQ(collect(next3), (std::vector<int>{4, 5, 6}));
  a->goTo(8);
  Scope rest;
  rest.rest = true;
  EXPECT_EQ(collect(rest), (std::vector<int>{8, 9, 10}));
  Scope one;
  one.record = 7;
  EXPECT_EQ(collect(one), std::vector<int>{7});
  a->goTo(2);
  Scope below5;
  below5.whileCond = Condition(makeBlock([&](Args&) { return Value::logical(n() < 5); }));
  EXPECT_EQ(collect(below5), (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(a->recNo(), 5u);

  Scope find;
  find.forCond = Condition(makeBlock([&](Args&) { return Value::logical(n() % 4 == 0); }));
  EXPECT_TRUE(a->locate(find));
  EXPECT_EQ(a->recNo(), 4u);
  EXPECT_TRUE(a->found());
  EXPECT_TRUE(a->continueLocate());
  EXPECT_EQ(a->recNo(), 8u);
  EXPECT_FALSE(a->continueLocate());
  EXPECT_TRUE(a->eof());
  EXPECT_FALSE(a->found());
}

TEST_F(Table, ACallbackMayCloseItsOwnArea) {
  ASSERT_TRUE(createTable("c", {{"N", 'N', 3, 0}}));
  WorkArea* a = use("c", false);
  for (int i = 0; i < 5; ++i) a->append();
  int calls = 0;
  Scope all;
  EXPECT_EQ(a->forEach(all, [&] {
    if (++calls == 2) closeArea(a->number());
    return true;
  }), 2u);
  EXPECT_EQ(area(1), nullptr);
  EXPECT_TRUE(usedAreas().empty());
  EXPECT_NE(use("c"), nullptr);  // and the table opens again
}

TEST_F(Table, CopyToAndAppendFromByFieldName) {
  ASSERT_TRUE(createTable("src", {{"CODIGO", 'C', 8, 0}, {"VALOR", 'N', 6, 2}, {"OBS", 'M', 10, 0}}));
  WorkArea* s = use("src", false);
  for (int i = 1; i <= 4; ++i) {
    s->append();
    s->putField(1, Value("C" + std::to_string(i)));
    s->putField(2, Value::number(i * 1.5, 2));
    s->putField(3, Value("nota " + std::to_string(i)));
  }
  s->goTo(3);
  s->deleteRecord();
  Scope big;
  big.forCond = Condition(makeBlock([s](Args&) { return Value::logical(s->getField(2).num() > 2); }));
  EXPECT_EQ(copyTo(*s, "copia", {}, big), 3u);
  EXPECT_EQ(currentArea(), s->number());

  // The target has other fields, some of the same names.
  ASSERT_TRUE(createTable("dst", {{"VALOR", 'N', 8, 2}, {"EXTRA", 'L', 1, 0}, {"CODIGO", 'C', 4, 0}, {"OBS", 'M', 10, 0}}));
  WorkArea* d = use("dst");
  EXPECT_EQ(appendFrom(*d, "copia", {}, Scope{}), 3u);
  EXPECT_TRUE(d->lockList().empty());
  std::vector<std::string> got;
  d->forEach(Scope{}, [&] {
    got.push_back(d->getField(3).string() + "/" + numberText(d->getField(1).num(), 2) + "/" + d->getField(4).string() +
                  (d->deleted() ? "*" : ""));
    return true;
  });
  EXPECT_EQ(got, (std::vector<std::string>{"C2  /3.00/nota 2", "C3  /4.50/nota 3*", "C4  /6.00/nota 4"}));
}

TEST_F(Table, MemoryTablesLiveInTheProcess) {
  ASSERT_TRUE(createTable("MEM:scratch", {{"A", 'C', 5, 0}, {"M", 'M', 10, 0}}));
  EXPECT_FALSE(fs::exists(path("scratch.dbf")));
  WorkArea* a = use("MEM:scratch", false);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->alias(), "SCRATCH");
  a->append();
  a->putField(1, Value("abc"));
  a->putField(2, Value("memo na memória"));
  closeAll();
  EXPECT_TRUE(plat::fileExists("MEM:SCRATCH.DBF"));
  EXPECT_TRUE(plat::fileExists("MEM:scratch.fpt"));
  a = use("mem:SCRATCH");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->getField(1).str(), "abc  ");
  EXPECT_EQ(a->getField(2).str(), "memo na memória");
  closeAll();
  plat::removeFile("MEM:scratch.dbf");
  plat::removeFile("MEM:scratch.fpt");
  EXPECT_EQ(use("MEM:scratch"), nullptr);
  EXPECT_EQ(lastError()->osCode, 2);
}

TEST_F(Table, EncryptionWithAPassword) {
  ASSERT_TRUE(createTable("seg", {{"NOME", 'C', 20, 0}, {"N", 'N', 4, 0}, {"OBS", 'M', 10, 0}}));
  WorkArea* a = use("seg", false);
  for (int i = 1; i <= 3; ++i) {
    a->append();
    a->putField(1, Value("segredo " + std::to_string(i)));
    a->putField(2, Value(i));
    a->putField(3, Value("nota secreta " + std::to_string(i)));
  }
  a->goTo(2);
  a->deleteRecord();
  ASSERT_TRUE(a->encrypt("s3nha"));
  EXPECT_TRUE(a->encrypted());
  EXPECT_EQ(a->getField(1).str(), "segredo 2           ");  // the key stays installed
  closeAll();

  std::string b = bytes("seg.dbf");
  EXPECT_EQ(static_cast<uint8_t>(b[15]), 1);
  EXPECT_EQ(b.size(), 32u * 4 + 1 + 3 * 35 + 1);   // record offsets unchanged
  EXPECT_EQ(b.find("segredo"), std::string::npos);
  EXPECT_EQ(bytes("seg.fpt").find("secreta"), std::string::npos);
  EXPECT_EQ(b[32 * 4 + 1 + 35], '*');  // the deleted flag stays readable

  a = use("seg", false);
  EXPECT_TRUE(a->encrypted());
  EXPECT_FALSE(a->putField(1, Value("x")));  // no key: no writes
  EXPECT_EQ(lastError()->subCode, kSubEncrypted);
  errors.clear();
  EXPECT_FALSE(a->setPassword("errada"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].osCode, 86);
  EXPECT_EQ(errors[0].subCode, kSubPassword);
  ASSERT_TRUE(a->setPassword("s3nha"));
  EXPECT_EQ(a->getField(1).str(), "segredo 1           ");
  EXPECT_EQ(a->getField(3).str(), "nota secreta 1");
  a->append();
  a->putField(1, Value("novo"));
  a->putField(3, Value("memo novo"));
  ASSERT_TRUE(a->decrypt("s3nha"));
  closeAll();

  b = bytes("seg.dbf");
  EXPECT_EQ(static_cast<uint8_t>(b[15]), 0);
  EXPECT_NE(b.find("segredo 3"), std::string::npos);
  a = use("seg");
  a->goBottom();
  EXPECT_EQ(a->getField(1).str(), "novo                ");
  EXPECT_EQ(a->getField(3).str(), "memo novo");
  a->goTo(2);
  EXPECT_TRUE(a->deleted());
  EXPECT_EQ(a->getField(3).str(), "nota secreta 2");
}

TEST_F(Table, FlushHappensOnMoveCommitAndClose) {
  ASSERT_TRUE(createTable("fl", {{"A", 'C', 3, 0}}));
  WorkArea* a = use("fl");  // shared, so that the test can read the file meanwhile
  ASSERT_TRUE(a->lockFile());
  a->append();
  a->append();
  a->goTo(1);
  a->putField(1, Value("one"));
  EXPECT_EQ(bytes("fl.dbf").substr(66, 3), "   ");  // still in the buffer
  a->skip(1);
  EXPECT_EQ(bytes("fl.dbf").substr(66, 3), "one");
  a->putField(1, Value("two"));
  a->commit();
  EXPECT_EQ(bytes("fl.dbf").substr(70, 3), "two");
}

}  // namespace
}  // namespace kor::tables::testing
