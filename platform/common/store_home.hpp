#pragma once
// Where the per-user store lives, and how its files are found.
#include <string>

namespace kpl::platform {

// $KPL_HOME, else $XDG_CONFIG_HOME/kpl (when absolute), else $HOME/.config/kpl (the passwd
// entry's home when HOME is unset). Without a trailing slash.
std::string StoreHome();

// A file name without a directory is taken as a file in the store's home.
std::string StorePath(const std::string& fileName);

}  // namespace kpl::platform
