#include "data/Paths.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

bool JoinPath(char* path, const char* folder, const char* name) {
  const size_t folderLength = std::strlen(folder);
  const size_t nameLength = std::strlen(name);
  if (folderLength + nameLength >= size_t(PATH_BUFFER_SIZE)) return false;
  std::memcpy(path, folder, folderLength);
  std::memcpy(path + folderLength, name, nameLength + 1);
  return true;
}

void CopyString(char* destination, size_t size, const char* source) {
  size_t length = std::strlen(source);
  if (length >= size) length = size - 1;
  std::memcpy(destination, source, length);
  destination[length] = '\0';
}

namespace {

// The length of the well-formed UTF-8 sequence at s if it encodes a character
// that is safe to show, else 0. s is NUL-terminated, and a NUL ends any
// sequence before it is read past.
size_t ShowableSequence(const unsigned char* s) {
  size_t length = 0;
  uint32_t code = 0;
  if (s[0] >= 0xC2 && s[0] <= 0xDF) {
    length = 2;
    code = s[0] & 0x1Fu;
  } else if (s[0] >= 0xE0 && s[0] <= 0xEF) {
    length = 3;
    code = s[0] & 0x0Fu;
  } else if (s[0] >= 0xF0 && s[0] <= 0xF4) {
    length = 4;
    code = s[0] & 0x07u;
  } else {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    code = code << 6 | (s[i] & 0x3Fu);
  }
  const uint32_t shortest[5] = {0, 0, 0x80, 0x800, 0x10000};
  const bool wellFormed =
      code >= shortest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
  const bool control =
      code <= 0x9F || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
  return wellFormed && !control ? length : 0;
}

}  // namespace

std::string Printable(const std::string& text) {
  std::string shown;
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text.c_str());
  const unsigned char* end = s + text.size();  // a NUL inside is shown escaped
  while (s < end) {
    if (*s >= 0x20 && *s < 0x7F) {
      if (*s == '\\') shown += '\\';
      shown += char(*s++);
      continue;
    }
    if (const size_t length = ShowableSequence(s)) {
      shown.append(reinterpret_cast<const char*>(s), length);
      s += length;
      continue;
    }
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", unsigned(*s++));
    shown += escape;
  }
  return shown;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}
