#include "app/update.h"

#include <cctype>

#include "app/audit.h"
#include "config/store.h"
#include "console/alert.h"
#include "console/boxes.h"
#include "console/progress.h"
#include "console/screen.h"
#include "expr/expr.h"
#include "os/paths.h"
#include "platform/platform.h"
#include "runtime/runtime.h"
#include "startup/environment.h"
#include "startup/identity.h"
#include "tables/engine.h"
#include "tables/tables.h"
#include "values/cp850.h"
#include "values/dates.h"
#include "values/textform.h"

namespace kor::app {

namespace {

using tables::WorkArea;

constexpr int kChoiceOk = 1;
constexpr int kChoiceOther = 2;

// The product folder the user confirms, or chooses in the folder picker;
// "" when the user gives up.
std::string confirmFolder(std::string folder) {
  KOR_ROUTINE("MAIN");
  int choice = kChoiceOther;
  for (;;) {
    if (!folder.empty()) {
      KOR_LINE();
      choice = con::MSGALERTA(
          Value(std::string("Confirme a pasta do VELTAR que deseja atualizar;;Pasta: ") + folder + ";"),
          Value::array({Value("Ok"), Value("Selecionar outra"), Value("Cancelar")}));
    }
    if (choice == kChoiceOk) return folder;
    if (choice != kChoiceOther) return "";  // "Cancelar" or Esc
    KOR_LINE();
    folder = rt::callRoutine("FBROWSEFORFOLDER",
                             {Value("Indique a pasta do Veltar"), Value(), Value::logical(false)})
                 .string();
  }
}

// Takes the byte that keeps two copies of this program from appending the
// same new code. Its holder keeps it only while it seeks and appends, so
// the wait is short; a copy that dies loses it with its handle.
void lockNewCodeByte(WorkArea& riclas) {
  int64_t step = 1;
  for (;;) {
    plat::LockResult r = plat::lockRange(riclas.table().handle(), kNewCodeLockOffset, 1, true);
    if (r == plat::LockResult::Locked || r == plat::LockResult::Error) return;
    plat::sleepMillis(step);
    step = std::min<int64_t>(step * 2, 16);
  }
}

// Positions RICLAS on a new record holding the code, unless another copy
// of the program appended it meanwhile (then on that record). An append
// that fails - another program holds the append lock - is retried with the
// table layer's waits; the code is never written into a record that was
// not appended for it.
void appendCode(WorkArea& riclas, const std::string& code) {
  KOR_ROUTINE("MAIN");
  lockNewCodeByte(riclas);
  struct Release {
    WorkArea& a;
    ~Release() { plat::unlockRange(a.table().handle(), kNewCodeLockOffset, 1); }
  } release{riclas};
  if (riclas.seek(Value(code), false, false)) return;
  KOR_LINE();
  // The record is appended with its code in the one write of the append,
  // so that a run killed here leaves no record without a code.
  const int ncmPos = riclas.fieldPos("NCM");
  auto withCode = [&](uint32_t) { return std::vector<std::pair<int, Value>>{{ncmPos, Value(code)}}; };
  if (!tables::ABREREG(Value(), withCode)) {
    // The table layer gives up only when no table is current; nothing to
    // write into then.
    rt::ErrorRecord e = rt::makeError(rt::kErrAppendLock, "DBFNTX", 1024, "APPEND");
    e.description = "Falha na inclusão do NCM "_cp;
    e.description += code;
    rt::raise(e);
    return;
  }
  // The key is in the index file (the append put it there) before the
  // byte goes, so the next copy's seek finds it.
}

}  // namespace

std::string sourcePath(std::string_view argument) {
  std::string name = argument.empty() ? std::string(kDefaultSource) : std::string(argument);
  name = upper(name);
  for (size_t p; (p = name.find(".DBF")) != std::string::npos;) name.erase(p, 4);
  name += ".DBF";
  return os::_TRUENAME(name);
}

std::string ncmCode(std::string_view text) {
  std::string code;
  for (char c : alltrim(text))
    if (c != '.') code += c;
  if (code.empty()) return code;
  code.resize(8, ' ');
  return code;
}

std::string configuredFolder() {
  KOR_ROUTINE("MAIN");
  std::string file = os::DIRFILE(startup::DIRWINDOWS(), "KORVO.INI");
  Value v = cfg::READMEMO(Value::array({Value("VELTAR"), Value("CAMINHO")}), false, Value(""), file);
  return v.isText() ? std::string(alltrim(v.str())) : std::string();
}

void MAIN(const std::string& argument) {
  KOR_ROUTINE("MAIN");
  startup::WINTITULO("Utilitário de atualização"_cp);
  std::string source = sourcePath(argument);

  Value setMode = rt::varExists("_SETMODE") ? rt::getVar("_SETMODE") : Value();
  if (setMode.isLogical() && !setMode.log())
    con::inkey(con::Wait::none());
  else
    con::setMode(25, 80);

  if (!plat::fileExists(source)) {
    con::outLine("Arquivo " + source + " nao encontrado!");
    return;
  }

  std::string folder = confirmFolder(configuredFolder());
  if (folder.empty()) return;
  rt::set(rt::Set::Default, Value(folder));

  std::string riclasFile = plat::resolveCase(os::DIRFILE(folder, "RICLAS.DBF"));
  if (!plat::fileExists(riclasFile)) {
    con::alert("Arquivo de classificacao nao encontrado na pasta;" + folder);
    return;
  }

  std::string backupFolder = os::DIRFILE(folder, "BK");
  startup::CRIADIR(backupFolder, false);
  con::outLine("Fazendo backup do RICLAS.DBF...");
  plat::copyFile(riclasFile, os::DIRFILE(backupFolder, "RICLAS." + DATAHORA().string()), true);

  con::outLine("Abrindo tabelas...");
  KOR_LINE();
  tables::ABREARQ(Value("RICLA9"), Value("RICLA9"), Value(tables::kShared));
  KOR_LINE();
  int riclasArea = tables::ABREARQ(Value("RICLAS"), Value("RICLAS"), Value(tables::kShared));
  KOR_LINE();
  int sourceArea = tables::ABREARQ(Value(source), Value(), Value(tables::kShared), Value(), Value(), Value("Origem"));
  WorkArea* origem = tables::area(sourceArea);
  WorkArea* riclas = tables::area(riclasArea);
  if (!origem || !riclas) return;  // the error handler has been told

  // A copy of this program (or another program) that was killed between
  // writing a record and its index keys left the record out of its index:
  // the keys are added before the run seeks or appends anything.
  if (WorkArea* audit = tables::area(tables::areaOf("RICLA9"))) audit->addMissingKeys();
  riclas->addMissingKeys();

  int sourceFields = origem->fieldCount();
  int ncmPos = origem->fieldPos("NCM");
  if (ncmPos == 0) {
    KOR_LINE();
    rt::ErrorRecord e = rt::makeError(rt::kErrNoVar, "BASE", 1003, "NCM");
    e.description = "Campo NCM não existe na tabela "_cp;
    e.description += source;
    e.filename = source;
    rt::raise(e);
    return;
  }

  // A source field that is not text, where RICLAS has a text, number or
  // date field of that name, would fail in ACOMODA at the first record,
  // after that record's earlier fields were written. The same error is
  // raised here, before anything changes.
  for (int i = 1; i <= sourceFields; ++i) {
    const auto* f = origem->field(i);
    if (f->name == "NCM" || f->type == 'C' || f->type == 'M') continue;
    int pos = riclas->fieldPos(f->name);
    char target = pos ? riclas->field(pos)->type : '\0';
    if (target != 'C' && target != 'N' && target != 'D') continue;
    KOR_LINE();
    rt::ErrorRecord e = rt::makeError(rt::kErrArg, "BASE", 1102, "ACOMODA");
    e.description = std::string("Campo ") + f->name + std::string(" da tabela de origem não é texto"_cp);
    e.args = {Value(f->name), origem->getField(i)};
    e.filename = source;
    rt::raise(e);
    return;
  }

  con::outLine("Importando dados...");
  std::string code;
  Value bar = con::TPROGBAR();
  con::TPROGBAR_INIT(bar, Value(static_cast<int>(origem->recCount())),
                     makeBlock([&code](Args&) { return Value("Lendo " + code); }, "{|| \"Lendo \" + cNCM}"),
                     Value::logical(true));

  tables::selectArea(sourceArea);
  origem->goTop();
  while (!origem->eof()) {
    con::TPROGBAR_INCREMENTA(bar, Value(1));
    KOR_LINE();
    Value ncm = origem->getField(ncmPos);
    code = ncmCode(ncm.isText() ? ncm.str() : std::string_view());
    if (code.empty()) {
      origem->skip(1);
      continue;
    }
    tables::selectArea(riclasArea);
    if (!riclas->seek(Value(code), false, false)) appendCode(*riclas, code);
    KOR_LINE();
    tables::BLOQREG();
    for (int i = 1; i <= sourceFields; ++i) {
      const std::string& name = origem->field(i)->name;
      if (name == "NCM") continue;
      KOR_LINE();
      ACOMODA(name, origem->getField(i));
    }
    riclas->unlock();
    tables::selectArea(sourceArea);
    origem->skip(1);
  }

  tables::commitAll();
  tables::closeAll();
  con::TPROGBAR_CLOSE(bar);
  con::alert("Atualizado!", {"Ok"});
}

void registerUpdateRoutines() {
  static bool done = false;
  if (done) return;
  done = true;
  // The libraries the run uses, by name too (index keys, table routines).
  expr::registerRoutines();
  tables::registerTableLayerRoutines();
  registerRoutines();
  rt::registerRoutine("MAIN", [](Args& a) {
    MAIN(a[0].isText() ? a[0].string() : std::string());
    return Value();
  });
}

}  // namespace kor::app
