// What corvan3d --help and --version print. The manual page, corvan3d(6),
// says the same at length; a test keeps their options the same.
#pragma once

// The options after the usage line, one per line.
const char* HelpText();

// "corvan3d VERSION", the version being the project's.
const char* VersionLine();
