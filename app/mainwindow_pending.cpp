// Handlers whose features are built later. Each is already wired to its
// command, so the command set is complete; when a feature is built its
// handlers move to that feature's source file.

#include "mainwindow.h"

namespace lexivo {} // namespace lexivo
