// clasupd-mksample: writes clasupd's sample data (app/tools/sample.h).
//
//   clasupd-mksample <folder> [--codes N] [--tariff N] [--audit N] [--change P] [--new P] [--seed S]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/tools/sample.h"

namespace {

int arg(int argc, char** argv, const char* name, int def) {
  for (int i = 2; i + 1 < argc; ++i)
    if (std::string(argv[i]) == name) return std::atoi(argv[i + 1]);
  return def;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: clasupd-mksample <folder> [--codes N] [--tariff N] [--audit N] [--change P] [--new P] [--seed S]\n");
    return 2;
  }
  kor::app::SampleOptions o;
  o.codes = arg(argc, argv, "--codes", o.codes);
  o.tariff = arg(argc, argv, "--tariff", o.tariff);
  o.audit = arg(argc, argv, "--audit", o.audit);
  o.changePercent = arg(argc, argv, "--change", o.changePercent);
  o.newPercent = arg(argc, argv, "--new", o.newPercent);
  o.seed = static_cast<uint64_t>(arg(argc, argv, "--seed", static_cast<int>(o.seed)));
  kor::app::SampleSummary s;
  std::string failure = kor::app::makeSample(argv[1], o, &s);
  if (!failure.empty()) {
    std::fprintf(stderr, "clasupd-mksample: %s\n", failure.c_str());
    return 1;
  }
  std::printf("sample data in %s: RICLAS %d codes, RICLA9 %d audit records, %s %d records (%d new codes)\n",
              s.root.c_str(), s.codes, s.audit, "GECEX269", s.tariff, s.newCodes);
  return 0;
}
