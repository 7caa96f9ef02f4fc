// corvan-dosh's catalogue commands: making a catalogue of a folder of
// currency files, and listing or installing the currencies a catalogue offers.
#pragma once

#include <string>
#include <vector>

// corvan-dosh catalogue DIR [--base URL]
int CatalogueCommand(const std::vector<std::string>& args);
// corvan-dosh fetch URL [--into DIR] [--timeout SECONDS] [--cacert FILE] [NAME...]
int FetchCommand(const std::vector<std::string>& args);

extern const char kCatalogueUsage[];
extern const char kFetchUsage[];
