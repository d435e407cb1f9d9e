// The program's own small pictures, drawn rather than taken from the style,
// so they look the same on every desktop: the toolbar's buttons and the
// program's icon.
#pragma once

#include <QIcon>

namespace glyphs {

QIcon OpenDatabase();
QIcon CloseDatabase();
QIcon Calculator();
QIcon Help();
QIcon Mail();
QIcon Web();
// A bell curve over bars: the program's icon.
QIcon Program();

}  // namespace glyphs
