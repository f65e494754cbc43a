#pragma once

#include <QList>

#include <functional>

class QWidget;

// Sheets: a widget shown modal to one window and remembered as attached to it until it ends. A
// window shows one sheet at a time: a sheet begun while another is showing on the same window
// (or on that sheet) covers it, hidden, until the new one ends, so a control beneath is never
// there to be pressed. Ending a sheet ends the sheets attached to it first, so no sheet outlives
// the one it sits on. Closing a sheet by its title bar ends it too. Main thread only.
namespace WindowSheet {

// Shows `sheet` as a sheet of `window` (application-modal without one); `didEnd` runs once, when
// the sheet ends, however it ends.
void begin(QWidget* sheet, QWidget* window, std::function<void()> didEnd = {});
// Hides the sheet after ending its own sheets, then runs its `didEnd`; the sheet it covered comes
// back. Nothing for a widget that is not an attached sheet.
void end(QWidget* sheet);
// The window's sheets that have not ended yet, in the order they began.
QList<QWidget*> attachedSheets(QWidget* window);
// The window a running sheet is attached to; nullptr for anything else.
QWidget* sheetParent(QWidget* sheet);
// The one sheet showing on `window`'s top-level window, whichever sheet it is attached to.
QWidget* shownSheet(QWidget* window);

}  // namespace WindowSheet
