// The artwork of the two skinned panels and of the main window's pieces.
#pragma once

#include <QImage>

#include "paint.h"

QImage DrawTVPanel(TLook look);
QImage DrawFMPanel(TLook look);

// Opaque white inside the panel's shape, transparent outside; hard-edged so
// that it matches the body pixel for pixel.
QImage DrawPanelMask(int width, int height);

QImage DrawBorderTop();
QImage DrawBorderBottom();
QImage DrawBorderSide(bool left);
QImage DrawTitle();
// Menu image looks: 0 normal, 1 pressed, 2 hover (both buttons in that look).
QImage DrawMenuImage(int look);

// The program's icon at size x size pixels.
QImage DrawIcon(int size);
