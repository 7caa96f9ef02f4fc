// Property lists whose root is an array, read and written with libplist.
#pragma once

#include <string>
#include <vector>

#include "platform/Net.h"

// Parses an XML or binary property list whose root is an array; false says why.
bool ParsePropertyListArray(const std::string& text, std::vector<PropertyListItem>* items,
                            std::string* why);

// An XML property list whose root is an array of these strings.
std::string WritePropertyListArray(const std::vector<std::string>& strings);
