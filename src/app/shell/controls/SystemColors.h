#pragma once

#include <QColor>

// The desktop's named colours, read from the application palette at each call so that they follow
// a change of theme. Without a GUI application they are those of a light theme.
namespace SystemColors {

// Text of labels and controls.
QColor labelColor();
// Text of a control that is switched off.
QColor disabledControlTextColor();
// The default text colour of controls and fields.
QColor textColor();
// Links in text.
QColor linkColor();
// The warning red, a shade lighter on a dark theme so it keeps its contrast.
QColor systemRedColor();
// Whether the palette's window colour is dark.
bool isDarkAppearance();

}  // namespace SystemColors
