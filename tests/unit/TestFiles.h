// Helpers shared by the tests: a scratch folder, byte buffers written to
// files, little-endian fields, TGA headers, and a recorder for alerts.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/Alert.h"

using Bytes = std::vector<unsigned char>;

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
  TempDir();
  ~TempDir();
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  // Writes bytes to a file in the folder and returns its path.
  std::string Write(const std::string& name, const Bytes& bytes) const;

  std::string dir;
};

Bytes ReadFileBytes(const std::string& path);
void PutLE32(Bytes& bytes, size_t at, uint32_t value);  // grows bytes as needed

// A TGA file: the 18-byte header (no ID field, no colour map) then data, as given.
Bytes MakeTGA(uint8_t type, uint16_t width, uint16_t height, uint8_t depth, const Bytes& data,
              uint8_t descriptor = 0);

// Records every alert raised while it lives, instead of printing it.
class AlertRecorder {
public:
  AlertRecorder();
  std::vector<std::pair<std::string, std::string>> alerts;  // caption, text
  // "CAPTION: TEXT" of the only alert, or how many were raised.
  std::string Only() const;

private:
  ScopedAlertHandler scope;
};
