// Loading the user's preferences from the store into a view's record.
#pragma once

#include <string>

#include "world/SettingsRecord.h"

class PreferencesStore;
class HostServices;

// Fills settings and mainMonitorOnly from the store of module "baCorvan3D",
// writing the defaults first when the store holds none of this version.
// No range checks: the world applies its own when it copies the record.
void LoadSettings(PreferencesStore* store, HostServices* host, SETTINGS* settings,
                  bool* mainMonitorOnly);

// Copies text into a path field; text that does not fit leaves it empty.
void SetPathField(char* field, const std::string& text);
