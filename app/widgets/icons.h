#pragma once

#include <QIcon>
#include <QPixmap>

namespace lexivo {

// Icons drawn for Lexivo at run time (no image files from anywhere): the
// toolbar's commands and the three status images of the status grid.
enum class ToolIcon {
    FastRebuild,
    CompleteRebuild,
    Find,
    FindNext,
    Replace,
    AutoReplace,
    SearchInAllFunc,
    ViewComments,
    Quit,
};

QIcon toolIcon(ToolIcon kind);

// 16 x 16 with a transparent background: 0 a green tick (complete), 1 a
// sheet of paper under a magnifying glass (need revision), 2 an hourglass
// (working). Any other code has no image (a null pixmap).
QPixmap statusImage(int code);

} // namespace lexivo
