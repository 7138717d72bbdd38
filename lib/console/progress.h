// Progress indicators: the progress-bar object TPROGBAR, the one-call bar
// PROGBAR and the index builder's percentage NTXPROGRESS.
//
// All draw the same window: a frame 3 rows by 42 columns whose top border
// carries the caption centred in 39 columns padded with "─", whose middle
// row is a track of 40 "░" with the bar in "█" (one cell per 2.5 percent,
// fractions dropped), and whose bottom border may carry the remaining time.
//
// TPROGBAR objects are Values of class "TPROGBAR" with the visible fields
// TOTAL, CONTADOR, INICIADO, VISIVEL, MENSAGEM, LINHA, COLUNA, PERCENTUAL,
// CPERCENTUAL, PERCENTUALANT, MSGANTERIOR, TEMPORESTANTE, CANCELAR, ALIAS,
// LWINTITULO, TITULOJANELA, LSOMBRA and the methods INCREMENTA, SHOW, CLOSE,
// INIT (NEW is INIT). When the last reference to a bar that is still on the
// screen goes, it closes itself.
#pragma once

#include <functional>
#include <string>

#include "values/value.h"

namespace kor::con {

// TPROGBAR(): a new bar with the defaults (nothing drawn).
Value TPROGBAR();
// New/Init: total, caption (text or callback), remaining-time flag, top
// row, left column, cancel flag; nil keeps the default. Returns the bar.
Value TPROGBAR_INIT(Value self, const Value& total = {}, const Value& caption = {}, const Value& remaining = {},
                    const Value& top = {}, const Value& left = {}, const Value& cancel = {});
// Advances by n (nil: the table's position, or 1 without a table) and
// draws; false when the user asked to cancel.
bool TPROGBAR_INCREMENTA(Value& self, const Value& n = {});
void TPROGBAR_SHOW(Value& self);
void TPROGBAR_CLOSE(Value& self);

// PROGBAR: current count, total, caption, top row, left column, cancel
// flag, start time (seconds since midnight); false when the user cancelled.
bool PROGBAR(const Value& current = {}, const Value& total = {}, const Value& caption = {}, const Value& top = {},
             const Value& left = {}, const Value& cancel = {}, const Value& start = {});

// NTXPROGRESS: one record of an index build (the builder keeps NCOMPLETE,
// NCONTREG and NPASSOPROGRESSO visible); true.
bool NTXPROGRESS();

// How the bars learn the position of a table when they are not given
// counts: the table layer installs these (empty functions: no table open).
struct TableProbe {
  std::function<std::string()> currentAlias;  // "" when no table is current
  std::function<std::string(const std::string& alias)> orderName;  // "" without a controlling order
  std::function<double(const std::string& alias)> keyPosition;
  std::function<double(const std::string& alias)> keyCount;
  std::function<double(const std::string& alias)> recNo;
  std::function<double(const std::string& alias)> recCount;
};
void setTableProbe(TableProbe probe);

// Seconds since midnight on the platform's wall clock, in hundredths.
double secondsSinceMidnight();

void registerProgressRoutines();

}  // namespace kor::con
