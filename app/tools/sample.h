// The sample data of clasupd: a product folder with RICLAS (codes, memo
// field, index), RICLA9 (earlier sealed audit records, index), a tariff
// table with changed, unchanged, new and empty codes, and a Windows folder
// whose KORVO.INI points at the product folder. Everything derives from the
// seed, so the same options give the same tables.
#pragma once

#include <cstdint>
#include <string>

namespace kor::app {

struct SampleOptions {
  int codes = 300;         // RICLAS records
  int tariff = 320;        // tariff records (those beyond `codes` are new codes)
  int audit = 60;          // earlier RICLA9 records
  int changePercent = 15;  // chance that a tariff record changes an audited field, per field
  int newPercent = 8;      // chance that a tariff record within the first `codes` brings a new code
  uint64_t seed = 269;
};

struct SampleSummary {
  std::string root, product, windows, tariffFile;
  int codes = 0, audit = 0, tariff = 0, newCodes = 0;
};

// Writes the sample into `folder` (made when missing). "" on success, else
// what failed.
std::string makeSample(const std::string& folder, const SampleOptions& options = {},
                       SampleSummary* summary = nullptr);

}  // namespace kor::app
