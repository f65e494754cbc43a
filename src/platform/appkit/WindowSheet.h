#pragma once

#include <QList>

#include <functional>

class QWidget;

// Sheets of the backup windows: a widget shown modal to one window and remembered as attached to
// it until it ends. Ending a sheet ends the sheets attached to it first, so no sheet outlives the
// one it sits on. Closing a sheet by its title bar ends it too. Main thread only.
namespace WindowSheet {

// Shows `sheet` as a sheet of `window` (application-modal without one); `didEnd` runs once, when
// the sheet ends, however it ends.
void begin(QWidget* sheet, QWidget* window, std::function<void()> didEnd = {});
// Hides the sheet after ending its own sheets, then runs its `didEnd`. Nothing for a widget that
// is not an attached sheet.
void end(QWidget* sheet);
// The window's sheets that have not ended yet, in the order they began.
QList<QWidget*> attachedSheets(QWidget* window);
// The window a running sheet is attached to; nullptr for anything else.
QWidget* sheetParent(QWidget* sheet);

}  // namespace WindowSheet
