// The readers take paths and file streams, so each fuzz input is written to
// one scratch file per process. Alerts would flood the fuzzer's output; they
// are part of the normal path.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/Alert.h"

inline const std::string kFuzzFile = "/tmp/corvan-fuzz-" + std::to_string(getpid());

// Writes the input to the scratch file and returns its path.
inline const char* WriteFuzzFile(const uint8_t* data, size_t size) {
  if (!std::ofstream(kFuzzFile, std::ios::binary)
           .write(reinterpret_cast<const char*>(data), long(size)))
    std::abort();
  return kFuzzFile.c_str();
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetAlertHandler([](const char*, const char*) {});
  std::atexit([] { std::remove(kFuzzFile.c_str()); });
  return 0;
}
