#pragma once

#include <QImage>

// The burner schematic: a black line drawing on white, as a canvas holding only those two colours.
QImage DrawSchematic();
