// Scratch names and tables: NOMEARQTEMP, ARQTMP, ARQREF, ARQMEMORIA,
// DBCREATETEMP, APAGATABELA.
#include <set>

#include "platform/fault.h"
#include "tables/tests/fixture.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

using Temp = LayerTest;

std::string two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

TEST_F(Temp, TimeStampedNames) {
  plat::VirtualClock clock(1639058331250);  // 9 December 2021, 13:58:51.250 UTC
  plat::LocalTime t = plat::localTime(clock.now());
  std::string expected = "TM" + std::to_string(t.year) + two(t.month) + two(t.day) +
                         std::to_string(t.hour * 3600 + t.minute * 60 + t.second) + "250";
  std::string first = NOMEARQTEMP();
  EXPECT_EQ(first, expected);
  EXPECT_EQ(first.size(), expected.size());

  std::string withExt = NOMEARQTEMP(Value("X"), Value("dbf"));
  EXPECT_EQ(withExt.substr(withExt.size() - 4), ".dbf");
  EXPECT_EQ(withExt[0], 'X');
  std::string plain = NOMEARQTEMP(Value("X"));
  EXPECT_EQ(plain.find('.'), std::string::npos);

  // A name whose table exists is passed over.
  clock.advance(5);
  plat::LocalTime now = plat::localTime(clock.now());
  std::string next = "TM" + std::to_string(now.year) + two(now.month) + two(now.day) +
                     std::to_string(now.hour * 3600 + now.minute * 60 + now.second);
  std::string ms = std::to_string(now.millis);
  next += std::string(3 - ms.size(), '0') + ms;
  makeTable(next);
  std::string got = NOMEARQTEMP();
  EXPECT_NE(got, next);
  EXPECT_EQ(got.substr(0, 10), next.substr(0, 10));
}

TEST_F(Temp, AThousandNamesOfEachKindAreDistinct) {
  plat::VirtualClock clock;
  std::set<std::string> stamped, drawn;
  std::string last;
  for (int i = 0; i < 1000; ++i) {
    stamped.insert(NOMEARQTEMP());
    std::string n = ARQTMP();
    EXPECT_NE(n, last);
    last = n;
    drawn.insert(n);
  }
  EXPECT_EQ(stamped.size(), 1000u);
  EXPECT_EQ(drawn.size(), 1000u);
  EXPECT_EQ(rt::getVar("CARQSECTMP").string(), last);
}

TEST_F(Temp, RandomNamesWithPrefixFolderAndMemory) {
  std::string n = ARQTMP(Value("REL"), Value(dir));
  ASSERT_EQ(n.rfind(dir, 0), 0u);
  std::string base = n.substr(dir.size() + 1);
  EXPECT_EQ(base.substr(0, 3), "REL");
  long num = std::stol(base.substr(3));
  EXPECT_GE(num, 1);
  EXPECT_LE(num, 99999);

  std::string m = ARQTMP(Value(), Value(), Value::logical(true));
  EXPECT_EQ(m.substr(0, 4), "MEM:");
  rt::publicVar("TEMPMEM", Value::logical(false));
  EXPECT_FALSE(ARQMEMORIA());
  EXPECT_EQ(ARQTMP(Value(), Value(), Value::logical(true)).find("MEM:"), std::string::npos);
  rt::publicVar("TEMPMEM", Value());
  EXPECT_TRUE(ARQMEMORIA());
}

TEST_F(Temp, ScratchNamesAreLoggedOnRequest) {
  rt::publicVar("DBUGARQTMP", Value::logical(true));
  std::string n;
  {
    KOR_ROUTINE("RELATORIO");
    n = ARQTMP();
  }
  std::string log = plat::readWholeFile(file("ARQTMP.LOG")).value_or("");
  EXPECT_NE(log.find("RELATORIO("), std::string::npos) << log;
  EXPECT_NE(log.find(n), std::string::npos) << log;
}

TEST_F(Temp, ReferenceNames) {
  rt::publicVar("cCliente", Value("00123"));
  EXPECT_EQ(ARQREF(Value("NF"), Value(".PDF"), Value::logical(false)), "NF00123.PDF");
  rt::publicVar("cKey", Value("A/B C"));  // an earlier variable wins; bad characters go
  EXPECT_EQ(ARQREF(Value("NF"), Value(".PDF"), Value::logical(false)), "NFABC.PDF");

  plat::VirtualClock clock;
  plat::LocalTime t = plat::localTime(clock.now());
  std::string stamp = "_" + std::to_string(t.year) + two(t.month) + two(t.day) + two(t.hour) + two(t.minute) +
                      two(t.second);
  EXPECT_EQ(ARQREF(Value("NF"), Value(".PDF")), "NFABC" + stamp + ".PDF");
  EXPECT_EQ(ARQREF(Value("NF"), Value("-X")), "NFABC-X" + stamp);

  Value exp = Value::hash();
  exp.set(Value("FATURA"), Value("FAT_"));
  rt::publicVar("ARQREF_EXP", exp);
  {
    KOR_ROUTINE("FATURA");
    EXPECT_EQ(ARQREF(Value("NF"), Value(), Value::logical(false)), "FAT_NFABC");
  }
  rt::publicVar("cKey", Value(""));
  rt::publicVar("cCliente", Value());
  rt::publicVar("ARQREF_EXP", Value());
  std::string r = ARQREF(Value(), Value(), Value::logical(false));
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r.find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(Temp, DeletingATableLeavesItsOtherFiles) {
  makeTable("velha", 1, true);
  EXPECT_TRUE(APAGATABELA("VELHA.DBF"));
  EXPECT_FALSE(plat::fileExists(file("velha.dbf")));
  EXPECT_TRUE(plat::fileExists(file("velha.fpt")));
  EXPECT_TRUE(APAGATABELA("naoexiste"));

  makeTable("rascunho", 1, true);
  removeTableFiles("rascunho");
  EXPECT_FALSE(plat::fileExists(file("rascunho.dbf")));
  EXPECT_FALSE(plat::fileExists(file("rascunho.fpt")));
}

TEST_F(Temp, ScratchTableFromFieldsOfTheCurrentTable) {
  makeTable("riclas", 2);
  OpenSpec s;
  s.file = "riclas";
  openTable(s);
  std::string alias = DBCREATETEMP(Value::array({Value("NCM")}));
  ASSERT_FALSE(alias.empty());
  WorkArea* w = area();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->alias(), alias);
  EXPECT_EQ(w->path().substr(0, 4), "MEM:");
  EXPECT_FALSE(w->shared());
  ASSERT_EQ(w->fieldCount(), 1);
  EXPECT_EQ(w->field(1)->name, "NCM");
  EXPECT_EQ(w->field(1)->type, 'C');
  EXPECT_EQ(w->field(1)->len, 8);
  EXPECT_EQ(w->recCount(), 0u);

  std::string disk = DBCREATETEMP(
      Value::array({Value::array({Value("COD"), Value("N"), Value(5), Value(0)})}), Value(), Value::logical(false),
      Value(), Value("tmpdisco"));
  EXPECT_EQ(disk, "TMPDISCO");
  EXPECT_EQ(area()->alias(), "TMPDISCO");
  EXPECT_EQ(area()->path().rfind(dir, 0), 0u);
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Temp, AScratchTableThatDoesNotFitInMemoryGoesToDisk) {
  plat::FaultScope faults;
  plat::failOpen(faults, "MEM:TM", 1130);
  std::string alias = DBCREATETEMP(Value::array({Value::array({Value("A"), Value("C"), Value(3), Value(0)})}));
  ASSERT_FALSE(alias.empty());
  EXPECT_EQ(area()->path(), tablePath(alias));
  EXPECT_EQ(area()->path().rfind(dir, 0), 0u);
  EXPECT_TRUE(loudErrors().empty());
}

TEST_F(Temp, OtherCreateFailuresAreLoggedAndRaised) {
  rt::publicVar("TEMPMEM", Value::logical(false));
  plat::FaultScope faults;
  plat::failOpen(faults, "TM", plat::kAccessDenied);
  std::string alias = DBCREATETEMP(Value::array({Value::array({Value("A"), Value("C"), Value(3), Value(0)})}));
  EXPECT_EQ(alias, "");
  ASSERT_EQ(loudErrors().size(), 1u);
  EXPECT_EQ(loudErrors()[0].genCode, rt::kErrCreate);
  EXPECT_EQ(loudErrors()[0].osCode, plat::kAccessDenied);
  std::string log = plat::readWholeFile(file("ERRO.LOG")).value_or("");
  EXPECT_FALSE(log.empty());
}

}  // namespace
}  // namespace kor::tables::testing
