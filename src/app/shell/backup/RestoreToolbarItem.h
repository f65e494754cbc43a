#pragma once

#include <QPointer>

#include "app/shell/controls/ToolbarItem.h"

// The browser's restore item: its control is enabled by what its validator answers for it, since
// the validator (the browser's content) is not on the responder chain of the toolbar.
class RestoreToolbarItem : public ToolbarItem {
    Q_OBJECT

public:
    explicit RestoreToolbarItem(QString itemIdentifier, QObject* parent = nullptr);

    QObject* validator() const { return validator_; }
    void setValidator(QObject* validator) { validator_ = validator; }

    // With a control for its view and a validator, the control follows the validator's answer;
    // otherwise the item validates as any toolbar item does.
    void validate() override;

private:
    QPointer<QObject> validator_;
};
