#pragma once

#include "app/shell/controls/ToolbarItem.h"

// A toolbar item whose control view is switched on and off with its action: when the view is a
// control and some object takes the item's action, the control is enabled exactly when that object
// validates the item (or, when it validates nothing, because it takes the action). In every other
// case the item validates as any toolbar item does.
class DisableableToolbarItem : public ToolbarItem {
    Q_OBJECT

public:
    explicit DisableableToolbarItem(QString itemIdentifier, QObject* parent = nullptr);

    void validate() override;

    // Widgets that take input, as opposed to labels and containers.
    static bool isControl(const QWidget* view);
};
