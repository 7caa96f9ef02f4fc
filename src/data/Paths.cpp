#include "data/Paths.h"

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
