// Where the saver's files are: the bundle of its own artwork, currencies and
// interface file, and the user's currency folder.
#pragma once

#include <string>

// The bundle: $CORVAN3D_DATA_DIR when set, else <executable's folder>/../share/corvan3d.
std::string BundleFolder();
// $XDG_DATA_HOME/corvan3d/CorvanData, by default ~/.local/share/corvan3d/CorvanData.
std::string DefaultUserCurrencyFolder();
// $XDG_CONFIG_HOME, by default ~/.config.
std::string UserConfigFolder();
