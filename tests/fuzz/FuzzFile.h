// The readers take paths and file streams, so each fuzz input is written to
// one scratch file per process (in memory where /dev/shm exists).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Alert.h"

inline const std::string& FuzzFilePath() {
  static const std::string path = [] {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/corvan-fuzz-" + std::to_string(getpid());
  }();
  return path;
}

// Writes the input to the scratch file and returns its path.
inline const char* WriteFuzzFile(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFilePath();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  return path.c_str();
}

// Alerts would flood the fuzzer's output; they are part of the normal path.
inline void SilenceAlerts() {
  SetAlertHandler([](const char*, const char*) {});
  std::atexit([] { std::remove(FuzzFilePath().c_str()); });
}
