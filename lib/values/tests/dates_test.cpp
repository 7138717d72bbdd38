#include "values/dates.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "runtime/settings.h"
#include "values/cp850.h"
#include "values/hooks.h"

namespace kor {
namespace {

int64_t at(int y, int mo, int d, int h, int mi, int s) {
  return plat::fromLocalTime(plat::LocalTime{y, mo, d, h, mi, s, 0, 0});
}

Value dateTime(int y, int mo, int d, int h, int mi, int s) {
  return Value::date(DateTime{julianFromYmd(y, mo, d), ((h * 60 + mi) * 60 + s) * 1000});
}

class Dates : public ::testing::Test {
 protected:
  void SetUp() override {
    rt::resetSettings();
    values::resetConsoleHooks();
  }
  void TearDown() override {
    rt::resetSettings();
    values::resetConsoleHooks();
  }
};

TEST_F(Dates, DatahoraStampsTheMoment) {
  plat::VirtualClock clock(at(2021, 12, 9, 14, 5, 30));
  EXPECT_EQ(DATAHORA().string(), "20211209140530");
  EXPECT_EQ(DATAHORA(Value::ymd(2021, 12, 9), Value("14:05")).string(), "20211209140500");
  EXPECT_EQ(DATAHORA(Value::ymd(2020, 2, 29), Value("01:02:03")).string(), "20200229010203");
  EXPECT_EQ(DATAHORA(Value(), Value("1:2")).string(), "20211209120000");
  EXPECT_EQ(DATAHORA(Value(), Value("14:05:30:99")).string(), "20211209140530");
  EXPECT_EQ(DATAHORA(dateTime(2021, 1, 2, 3, 4, 5)).string(), "20210102030405");
  clock.advance(1000);
  EXPECT_EQ(DATAHORA().string(), "20211209140531");
  plat::VirtualClock newYear(at(2022, 1, 1, 0, 0, 5));
  EXPECT_EQ(DATAHORA().string(), "20220101000005");
}

TEST_F(Dates, DurationsInWords) {
  struct Case {
    Value in;
    const char* out;
  } cases[] = {
      {Value(3930), "1 Hora e 5 Minutos"},
      {Value(90), "1 Minuto e 30 Segundos"},
      {Value(3661), "1 Hora, 1 Minuto e 1 Segundo"},
      {Value(7245), "2 Horas e 45 Segundos"},
      {Value(0), ""},
      {Value(1), "1 Segundo"},
      {Value(59), "59 Segundos"},
      {Value(60), "1 Minuto"},
      {Value(3600), "1 Hora"},
      {Value(7200), "2 Horas"},
      {Value(3601), "1 Hora e 1 Segundo"},
      {Value(3720), "1 Hora e 2 Minutos"},
      {Value(7322), "2 Horas e 2 Minutos"},
      {Value(90000), "1 Hora"},  // whole days are dropped
      {Value::number(59.9, 1), "59 Segundos"},
      {Value(-5), ""},
      {Value("00:00:00:50"), "< 1 segundo"},
      {Value("00:00:00"), ""},
      {Value("01:05:30"), "1 Hora e 5 Minutos"},
      {Value("00:02:01"), "2 Minutos"},
      {Value(""), ""},
      {Value("xx"), ""},
  };
  for (auto& c : cases) EXPECT_EQ(TEMPOEXTENSO(c.in).string(), c.out) << c.out;
}

TEST_F(Dates, RemainingTimeEstimate) {
  plat::VirtualClock clock(at(2021, 12, 9, 10, 0, 0));
  double now = 36000;
  EXPECT_DOUBLE_EQ(values::secondsOfDay(), now);
  EXPECT_EQ(TEMPOEST(Value(36000 - 60), Value(1), Value(3)).string(), "2 Minutos");
  EXPECT_EQ(TEMPOEST(Value(36000 - 60), Value(3), Value(3)).string(), "");
  EXPECT_EQ(TEMPOEST(Value(36000), Value(1), Value(11)).string(), "10 Segundos");  // at least 1 second
  EXPECT_EQ(TEMPOEST(Value(36000 - 10), Value(0), Value(5)).string(), "");          // nothing done yet
  EXPECT_EQ(TEMPOEST(Value(36000 - 10), Value(6), Value(5)).string(), "");          // more than the total
  plat::VirtualClock midnight(at(2021, 12, 10, 0, 0, 30));
  EXPECT_EQ(TEMPOEST(Value(86370), Value(1), Value(2)).string(), "1 Minuto");  // started before midnight
}

TEST_F(Dates, PeriodLabels) {
  struct Case {
    Value a, b;
    std::string out;
  } cases[] = {
      {Value::ymd(2021, 1, 1), Value::ymd(2021, 1, 31), "Janeiro21"},
      {Value::ymd(2021, 1, 1), Value::ymd(2021, 3, 31), std::string("Janeiro_Março21"_cp)},
      {Value::ymd(2021, 1, 5), Value::ymd(2021, 1, 20), "05Janeiro21"},
      {Value::ymd(2021, 1, 5), Value::ymd(2021, 2, 20), "05Janeiro_20Fevereiro21"},
      {Value::ymd(2020, 12, 10), Value::ymd(2021, 1, 15), "10Dezembro20_15Janeiro21"},
      {Value::ymd(2020, 2, 1), Value::ymd(2020, 2, 29), "Fevereiro20"},
      {Value::ymd(2020, 12, 1), Value::ymd(2021, 1, 31), "Dezembro20_Janeiro21"},
      {Value::ymd(2021, 6, 7), Value(), "07Junho21"},
      {Value::emptyDate(), Value(), ""},
  };
  for (auto& c : cases) EXPECT_EQ(PERIODOEXTENSO(c.a, c.b).string(), c.out) << c.out;
  plat::VirtualClock clock(at(2021, 3, 15, 9, 0, 0));
  EXPECT_EQ(PERIODOEXTENSO().string(), std::string("15Março21"_cp));
}

TEST_F(Dates, MaskFormatter) {
  Value t = dateTime(2021, 12, 9, 14, 5, 7);
  struct Case {
    Value dt, mask;
    const char* out;
  } cases[] = {
      {t, Value("AAAA-MM-DD hh:mm:ss"), "2021-12-09 14:05:07"},
      {t, Value(), "09/12/21 14:05"},
      {Value("20211209140507"), Value("DD/MM/AAAA hh:mm:ss"), "09/12/2021 14:05:07"},
      {t, Value("dd aa HH"), "dd aa HH"},  // placeholders are case-sensitive
      {t, Value("AAAAAA"), "202121"},
      {Value::ymd(2021, 12, 9), Value(), "09/12/21 00:00"},
      {Value::emptyDate(), Value(), ""},
      {Value("not a stamp"), Value(), ""},
  };
  for (auto& c : cases) EXPECT_EQ(FORMATADATAHORA(c.dt, c.mask).string(), c.out) << c.out;
  plat::VirtualClock clock(at(2021, 12, 9, 14, 5, 7));
  EXPECT_EQ(FORMATADATAHORA().string(), "09/12/21 14:05");
}

TEST_F(Dates, UtcOffsetIsFixed) {
  EXPECT_EQ(CONVDTUTC(Value::ymd(2021, 12, 9)).string(), "2021-12-09T00:00:00-03:00");
  EXPECT_EQ(CONVDTUTC(Value::ymd(2021, 12, 9), Value("14:05:07")).string(), "2021-12-09T14:05:07-03:00");
  EXPECT_EQ(CONVDTUTC(Value::emptyDate()).string(), "          ");
  EXPECT_EQ(CONVDTUTC(Value()).string(), "          ");
}

TEST_F(Dates, SaydatahoraWritesSeventeenCharacters) {
  struct Out {
    int row, col;
    std::string text;
  };
  std::vector<Out> outs;
  values::consoleHooks().writeAt = [&](int r, int c, std::string_view t) { outs.push_back({r, c, std::string(t)}); };
  SAYDATAHORA(Value(3), Value(10), dateTime(2021, 12, 9, 14, 5, 7));
  rt::setCentury(true);
  SAYDATAHORA(Value(4), Value(0), dateTime(2021, 12, 9, 14, 5, 7));
  ASSERT_EQ(outs.size(), 2u);
  EXPECT_EQ(outs[0].row, 3);
  EXPECT_EQ(outs[0].col, 10);
  EXPECT_EQ(outs[0].text, "09/12/21 14:05:07");
  EXPECT_EQ(outs[1].text, "09/12/2021 14:05:");
}

}  // namespace
}  // namespace kor
