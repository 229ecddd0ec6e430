#pragma once
// The program folder: where the running program lives and where it finds its
// settings files, database and data subfolders. Tests point it elsewhere.
#include <QString>

namespace ui {

// The folder with a trailing "/" (never doubled for the root "/").
QString programFolder();
// Overrides the folder (an empty text restores the running program's own).
void setProgramFolder(const QString& folder);

} // namespace ui
