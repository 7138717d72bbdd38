// Tables exchanged with an independent DBF implementation: shapelib's
// dbfdump reads what the engine writes, the engine reads what shapelib's
// library writes. (Neither knows text fields over 255 characters; those are
// checked byte for byte in table_test.cpp.)
#include <shapefil.h>

#include <cstdio>
#include <map>
#include <memory>

#include "tables/engine/tests/fixture.h"
#include "values/textform.h"

namespace kor::tables::testing {
namespace {

using Interop = EngineTest;

std::string padRight(std::string s, size_t n) {
  s.resize(n, ' ');
  return s;
}

// The records dbfdump -m prints: one map of field name to value per record.
std::vector<std::map<std::string, std::string>> dumpRecords(const std::string& file) {
  std::vector<std::map<std::string, std::string>> out;
  std::string cmd = "dbfdump -m '" + file + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> p(::popen(cmd.c_str(), "r"), ::pclose);
  if (!p) return out;
  char line[4096];
  while (std::fgets(line, sizeof line, p.get())) {
    std::string s(line);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    if (s.rfind("Record:", 0) == 0) {
      out.emplace_back();
      continue;
    }
    size_t colon = s.find(": ");
    if (colon == std::string::npos || out.empty()) continue;
    out.back()[s.substr(0, colon)] = std::string(alltrim(s.substr(colon + 2)));
  }
  return out;
}

TEST_F(Interop, DbfdumpReadsWhatTheEngineWrites) {
  ASSERT_TRUE(createTable("saida", {{"NOME", 'C', 12, 0}, {"VALOR", 'N', 10, 2}, {"QTD", 'N', 5, 0},
                                    {"DATA", 'D', 8, 0}, {"ATIVO", 'L', 1, 0}}));
  WorkArea* a = use("saida", false);
  struct Row {
    const char* nome;
    double valor;
    int qtd;
    int y, m, d;
    bool ativo;
  } rows[] = {{"Ana", 12.5, 3, 2024, 1, 31, true}, {"Bruno", -1234.56, -42, 1999, 12, 1, false},
              {"", 0, 0, 0, 0, 0, false}};
  for (const Row& r : rows) {
    a->append();
    a->putField(1, Value(r.nome));
    a->putField(2, Value::number(r.valor, 2));
    a->putField(3, Value(r.qtd));
    a->putField(4, r.y ? Value::ymd(r.y, r.m, r.d) : Value::emptyDate());
    a->putField(5, Value::logical(r.ativo));
  }
  closeAll();

  auto recs = dumpRecords(path("saida.dbf"));
  ASSERT_EQ(recs.size(), 3u);
  EXPECT_EQ(recs[0]["NOME"], "Ana");
  EXPECT_EQ(recs[0]["VALOR"], "12.50");
  EXPECT_EQ(recs[0]["QTD"], "3");
  EXPECT_EQ(recs[1]["NOME"], "Bruno");
  EXPECT_EQ(recs[1]["VALOR"], "-1234.56");
  EXPECT_EQ(recs[1]["QTD"], "-42");
  EXPECT_EQ(recs[2]["NOME"], "(NULL)");  // shapelib's word for a blank field

  // The library side of shapelib: field layout, values and deleted flags.
  DBFHandle h = DBFOpen(path("saida.dbf").c_str(), "rb");
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(DBFGetRecordCount(h), 3);
  EXPECT_EQ(DBFGetFieldCount(h), 5);
  char name[12];
  int width = 0, dec = 0;
  EXPECT_EQ(DBFGetFieldInfo(h, 1, name, &width, &dec), FTDouble);
  EXPECT_STREQ(name, "VALOR");
  EXPECT_EQ(width, 10);
  EXPECT_EQ(dec, 2);
  EXPECT_DOUBLE_EQ(DBFReadDoubleAttribute(h, 1, 1), -1234.56);
  EXPECT_EQ(DBFReadIntegerAttribute(h, 1, 2), -42);
  // dbfdump leaves dates and logicals out; the library gives their text.
  EXPECT_EQ(DBFGetNativeFieldType(h, 3), 'D');
  EXPECT_STREQ(DBFReadStringAttribute(h, 0, 3), "20240131");
  EXPECT_STREQ(DBFReadStringAttribute(h, 1, 3), "19991201");
  EXPECT_EQ(DBFGetNativeFieldType(h, 4), 'L');
  EXPECT_STREQ(DBFReadLogicalAttribute(h, 0, 4), "T");
  EXPECT_STREQ(DBFReadLogicalAttribute(h, 1, 4), "F");
  EXPECT_FALSE(DBFIsRecordDeleted(h, 0));
  DBFClose(h);
}

TEST_F(Interop, TheEngineReadsWhatShapelibWrites) {
  DBFHandle h = DBFCreate(path("entrada.dbf").c_str());
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(DBFAddField(h, "CODIGO", FTString, 8, 0), 0);
  ASSERT_EQ(DBFAddField(h, "INTEIRO", FTInteger, 6, 0), 1);
  ASSERT_EQ(DBFAddField(h, "PRECO", FTDouble, 12, 3), 2);
  ASSERT_EQ(DBFAddNativeFieldType(h, "FLAG", 'L', 1, 0), 3);
  ASSERT_EQ(DBFAddNativeFieldType(h, "QUANDO", 'D', 8, 0), 4);
  for (int i = 0; i < 50; ++i) {
    DBFWriteStringAttribute(h, i, 0, ("K" + std::to_string(i)).c_str());
    DBFWriteIntegerAttribute(h, i, 1, i * 1000 - 7);
    DBFWriteDoubleAttribute(h, i, 2, i * 0.125);
    DBFWriteLogicalAttribute(h, i, 3, i % 2 ? 'T' : 'F');
    char date[] = "20211209";
    DBFWriteAttributeDirectly(h, i, 4, date);
  }
  DBFWriteNULLAttribute(h, 7, 2);
  DBFMarkRecordDeleted(h, 9, 1);
  DBFClose(h);

  WorkArea* a = use("entrada");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->recCount(), 50u);
  EXPECT_EQ(a->fieldCount(), 5);
  EXPECT_EQ(a->field(3)->type, 'N');
  EXPECT_EQ(a->field(3)->dec, 3);
  int i = 0;
  while (!a->eof()) {
    EXPECT_EQ(a->getField(1).str(), padRight("K" + std::to_string(i), 8));
    EXPECT_EQ(a->getField(2).num(), i * 1000 - 7);
    if (i == 7)
      EXPECT_EQ(a->getField(3).num(), 0);  // shapelib's NULL: a field of asterisks or blanks
    else
      EXPECT_DOUBLE_EQ(a->getField(3).num(), i * 0.125);
    EXPECT_EQ(a->getField(4).log(), i % 2 == 1);
    EXPECT_EQ(a->getField(5).julian(), Value::ymd(2021, 12, 9).julian());
    EXPECT_EQ(a->deleted(), i == 9);
    a->skip(1);
    ++i;
  }
  EXPECT_EQ(i, 50);
  EXPECT_TRUE(errors.empty());
  // And writes into it stay readable by shapelib.
  closeAll();
  a = use("entrada", false);
  a->goTo(3);
  a->putField(1, Value("MUDADO"));
  a->putField(3, Value::number(99.5, 1));
  a->append();
  a->putField(1, Value("NOVO"));
  closeAll();
  auto recs = dumpRecords(path("entrada.dbf"));
  ASSERT_EQ(recs.size(), 51u);
  EXPECT_EQ(recs[2]["CODIGO"], "MUDADO");
  EXPECT_EQ(recs[2]["PRECO"], "99.500");
  EXPECT_EQ(recs[50]["CODIGO"], "NOVO");
}

}  // namespace
}  // namespace kor::tables::testing
