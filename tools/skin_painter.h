// Draws the pictures of the default skin from the layout table. Needs a QGuiApplication for
// its fonts; the offscreen platform is enough.
#pragma once

#include "skin_table.h"

#include <QImage>

namespace velkan::skingen {

// The picture as the table describes it: a window's background, outline or state picture, the
// arrow sprite sheet, or a picture shown by one control.
QImage paintPicture(const SkinWindow& window, const SkinPicture& picture);

} // namespace velkan::skingen
