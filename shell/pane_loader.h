// Finds and loads libtovrel_pane, the browser pane's library.
#pragma once

#include <QString>
#include <QStringList>

#include "shell/pane_library.h"

namespace tovrel {

// Where the library is looked for, in order: beside the program (a build
// tree), the folder it is installed to seen from the program's (an installed
// tree wherever it lies), then that folder's absolute path.
QStringList paneLibraryCandidates(const QString& programDirectory);

// Loads the library once and gives its entry points; nullptr when none of
// the candidates loads (the reasons go to standard error). Before the
// library's engine comes in, the OpenGL context it shares with the window's
// composition is set up.
const PaneLibrary* loadPaneLibrary();

}  // namespace tovrel
