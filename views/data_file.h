// Files the program loads by bare name from its working directory. An
// installed program also finds them in its data folder,
// <prefix>/share/gps-quillmar beside the bin/ it runs from, so that a
// working directory needs no copy of them.
#pragma once

#include <QString>

// `name` when the working directory has it, else the installed copy when
// there is one, else `name`. programDir is where the program runs from.
QString DataFilePath(const QString& name, const QString& programDir);
// The same for this program.
QString DataFilePath(const QString& name);
