#include "app/shell/backup/RestoreToolbarItem.h"

#include <QWidget>

#include "app/shell/controls/DisableableToolbarItem.h"

RestoreToolbarItem::RestoreToolbarItem(QString itemIdentifier, QObject* parent)
    : ToolbarItem(std::move(itemIdentifier), parent) {}

void RestoreToolbarItem::validate() {
    QWidget* control = view();
    if (validator_ && DisableableToolbarItem::isControl(control)) {
        control->setEnabled(validation(validator_, this).value_or(true));
        return;
    }
    ToolbarItem::validate();
}
