// Currency files: open, measure against the limits, then seek to, decode and
// load every lump.
#include "FuzzFile.h"
#include "LumpFuzz.h"
#include "data/CurrencyLimits.h"
#include "data/MoneyFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* path = WriteFuzzFile(data, size);
  MONEYFILE file;
  CurrencyCost cost;
  std::string why;
  if (file.Open(path)) CheckCurrencyLimits(&file, 1024, &cost, &why);
  file.Close();
  ExerciseLumpFile(file, path);
  return 0;
}
