#pragma once
#include <QIcon>
#include <vector>

// An icon from the PNG files the build draws at each size it is shown at,
// ":/icons/NAME-SIZE.png". Each size is read when first asked for: a window
// shows few of its icons' sizes, and reading them all before it is on
// screen delays it. Drawn as an icon of the same files added one by one.
QIcon pngIcon(const char* name, const std::vector<int>& sizes);
