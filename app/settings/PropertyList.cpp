#include "PropertyList.h"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

bool ParsePropertyListArray(const std::string& text, std::vector<PropertyListItem>* items,
                            std::string* why) {
  items->clear();
  plist_t root = nullptr;
  if (!text.empty() && text.size() <= UINT32_MAX)
    plist_from_memory(text.data(), uint32_t(text.size()), &root);
  if (root == nullptr) {
    *why = "not a property list";
    return false;
  }
  if (plist_get_node_type(root) != PLIST_ARRAY) {
    plist_free(root);
    *why = "the property list's root is not an array";
    return false;
  }
  const uint32_t count = plist_array_get_size(root);
  for (uint32_t i = 0; i < count; ++i) {
    plist_t node = plist_array_get_item(root, i);
    PropertyListItem item;
    if (plist_get_node_type(node) == PLIST_STRING) {
      // plist_get_string_val aborts the process on a string that holds a NUL,
      // which a binary property list can carry; such a string is no entry.
      uint64_t length = 0;
      const char* value = plist_get_string_ptr(node, &length);
      item.isString = value != nullptr && std::memchr(value, 0, size_t(length)) == nullptr;
      if (item.isString) item.text.assign(value, size_t(length));
    }
    items->push_back(std::move(item));
  }
  plist_free(root);
  return true;
}

std::string WritePropertyListArray(const std::vector<std::string>& strings) {
  plist_t root = plist_new_array();
  for (const std::string& text : strings)
    plist_array_append_item(root, plist_new_string(text.c_str()));
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  const std::string result = xml != nullptr ? std::string(xml, length) : std::string();
  plist_to_xml_free(xml);
  plist_free(root);
  return result;
}
