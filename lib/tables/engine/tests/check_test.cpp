// The integrity walk: sound tables pass, damaged bytes are named.
#include "tables/engine/check.h"
#include "tables/engine/tests/fixture.h"

namespace kor::tables::testing {
namespace {

using Check = EngineTest;

TEST_F(Check, SoundTablesPassAndDamageIsNamed) {
  ASSERT_TRUE(createTable("t", {{"A", 'C', 4, 0}, {"N", 'N', 5, 1}, {"D", 'D', 8, 0}, {"L", 'L', 1, 0}, {"M", 'M', 10, 0}}));
  WorkArea* a = use("t", false);
  for (int i = 0; i < 3; ++i) {
    a->append();
    a->putField(1, Value("ab"));
    a->putField(2, Value::number(1.5, 1));
    a->putField(3, Value::ymd(2021, 12, 9));
    a->putField(5, Value("memo"));
  }
  a->deleteRecord();
  closeAll();
  CheckReport r = checkTable(path("t.dbf"));
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.records, 3u);
  EXPECT_EQ(r.deleted, 1u);
  EXPECT_NE(r.summary.find("memo: FPT"), std::string::npos);
  EXPECT_NE(r.summary.find("N     5  1"), std::string::npos);
  EXPECT_EQ(currentArea(), 1);
  EXPECT_TRUE(usedAreas().empty());

  // Damage three records: a bad number, a bad date, a memo pointer outside.
  std::string b = bytes("t.dbf");
  const size_t hl = 32 * 6 + 1, rl = 1 + 4 + 5 + 8 + 1 + 10;
  b.replace(hl + 5, 5, "1x5  ");
  b.replace(hl + rl + 10, 8, "20211399");
  b.replace(hl + 2 * rl + 19, 10, "     99999");
  b[hl + rl] = '?';
  writeBytes("t.dbf", b);
  r = checkTable(path("t.dbf"));
  ASSERT_TRUE(r.opened);
  ASSERT_EQ(r.problems.size(), 4u);
  EXPECT_NE(r.problems[0].find("field N"), std::string::npos);
  EXPECT_NE(r.problems[1].find("deleted flag"), std::string::npos);
  EXPECT_NE(r.problems[2].find("field D"), std::string::npos);
  EXPECT_NE(r.problems[3].find("1021"), std::string::npos);
  EXPECT_NE(r.problems[3].find("t.fpt"), std::string::npos);
  EXPECT_TRUE(errors.empty());  // collected by the walk, not raised to the handler

  writeBytes("t.dbf", b.substr(0, 40));
  r = checkTable(path("t.dbf"));
  EXPECT_FALSE(r.opened);
  ASSERT_EQ(r.problems.size(), 1u);
  EXPECT_NE(r.problems[0].find("1010"), std::string::npos);
}

}  // namespace
}  // namespace kor::tables::testing
