// The settings window: a live preview of the saver and its options beside
// it (GTK 3). Returns the process's exit status.
#pragma once

int RunSettingsHost();
