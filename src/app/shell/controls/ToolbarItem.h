#pragma once

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidgetAction>

#include <optional>

class QToolBar;

// An item of a window's toolbar: an action with an identifier that sends a named action
// ("refreshShares") along the responder chain when triggered, or a custom view (a control) shown
// in its place. validate() decides whether the item can be used now; the window calls
// validateItems() when the state its items depend on may have changed.
class ToolbarItem : public QWidgetAction {
    Q_OBJECT

public:
    explicit ToolbarItem(QString itemIdentifier, QObject* parent = nullptr);

    const QString& itemIdentifier() const { return itemIdentifier_; }

    // The view shown instead of a button; the item owns it. nullptr for a plain item.
    QWidget* view() const { return defaultWidget(); }
    void setView(QWidget* view);

    // The name of the invokable `name(QObject* sender)` that triggering calls; empty for none.
    const QByteArray& actionName() const { return actionName_; }
    void setActionName(const QByteArray& name) { actionName_ = name; }
    // The object that receives the action; none sends it along the responder chain.
    QObject* target() const { return target_; }
    void setTarget(QObject* target) { target_ = target; }

    // A plain item is enabled when some object takes its action and, where that object validates
    // items, agrees. An item with a view, or without an action, is left as it is.
    virtual void validate();

    // Calls validate() on every ToolbarItem of the toolbar.
    static void validateItems(QToolBar* toolbar);

    // The object that would receive `action` sent by `sender`: the target when given and it has
    // the action; with no target, the first object along the chain from the focus widget of the
    // sender's window (each widget, the view controller named by its "viewController" property,
    // then its parent), and last the application object when it has a handler for "action:".
    // nullptr when nobody takes it.
    static QObject* targetForAction(const QByteArray& action, QObject* target, QObject* sender);

    // What `target` says about `item`: its invokable validateUserInterfaceItem(QObject*) when it
    // has one, else its validateToolbarItem(QObject*); none when it has neither.
    static std::optional<bool> validation(QObject* target, QObject* item);

private:
    void sendAction();

    QString itemIdentifier_;
    QByteArray actionName_;
    QPointer<QObject> target_;
};
