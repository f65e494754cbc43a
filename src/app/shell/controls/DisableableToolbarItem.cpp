#include "app/shell/controls/DisableableToolbarItem.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>

DisableableToolbarItem::DisableableToolbarItem(QString itemIdentifier, QObject* parent)
    : ToolbarItem(std::move(itemIdentifier), parent) {}

bool DisableableToolbarItem::isControl(const QWidget* view) {
    return qobject_cast<const QAbstractButton*>(view) || qobject_cast<const QComboBox*>(view) ||
           qobject_cast<const QAbstractSpinBox*>(view) || qobject_cast<const QAbstractSlider*>(view) ||
           qobject_cast<const QLineEdit*>(view);
}

void DisableableToolbarItem::validate() {
    QWidget* control = view();
    if (isControl(control) && !actionName().isEmpty()) {
        if (QObject* receiver = targetForAction(actionName(), target(), this)) {
            control->setEnabled(validation(receiver, this).value_or(true));
            return;
        }
    }
    ToolbarItem::validate();
}
