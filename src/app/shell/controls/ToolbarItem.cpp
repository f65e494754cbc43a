#include "app/shell/controls/ToolbarItem.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMetaObject>
#include <QToolBar>
#include <QWidget>

#include "platform/appkit/Application.h"
#include "platform/appkit/ColumnBrowser.h"

namespace {

bool hasInvokable(QObject* object, const QByteArray& name) {
    if (!object || name.isEmpty()) return false;
    const QByteArray signature = name + "(QObject*)";
    return object->metaObject()->indexOfMethod(signature.constData()) >= 0;
}

QString applicationActionName(const QByteArray& action) { return QString::fromLatin1(action) + QLatin1Char(':'); }

// Where a search along the chain starts: the focused widget of the window that shows the sender.
QWidget* chainStart(QObject* sender) {
    QWidget* widget = qobject_cast<QWidget*>(sender);
    if (!widget) {
        if (auto* action = qobject_cast<QAction*>(sender)) {
            for (QObject* object : action->associatedObjects()) {
                if ((widget = qobject_cast<QWidget*>(object))) break;
            }
            if (!widget) {
                if (auto* widgetAction = qobject_cast<QWidgetAction*>(action)) widget = widgetAction->defaultWidget();
            }
        }
    }
    if (!widget) return QApplication::focusWidget();
    QWidget* window = widget->window();
    if (QWidget* focus = window->focusWidget()) return focus;
    return widget;
}

}  // namespace

ToolbarItem::ToolbarItem(QString itemIdentifier, QObject* parent)
    : QWidgetAction(parent), itemIdentifier_(std::move(itemIdentifier)) {
    connect(this, &QAction::triggered, this, [this] { sendAction(); });
}

void ToolbarItem::setView(QWidget* view) {
    setDefaultWidget(view);
    if (auto* button = qobject_cast<QAbstractButton*>(view))
        connect(button, &QAbstractButton::clicked, this, [this] { sendAction(); });
}

void ToolbarItem::sendAction() {
    if (actionName_.isEmpty()) return;
    if (target_) {
        if (hasInvokable(target_, actionName_))
            QMetaObject::invokeMethod(target_, actionName_.constData(), Qt::DirectConnection, Q_ARG(QObject*, this));
        return;
    }
    ResponderChain::sendAction(actionName_.constData(), this, chainStart(this));
}

QObject* ToolbarItem::targetForAction(const QByteArray& action, QObject* target, QObject* sender) {
    if (action.isEmpty()) return nullptr;
    if (target) return hasInvokable(target, action) ? target : nullptr;
    for (QObject* object = chainStart(sender); object;) {
        if (hasInvokable(object, action)) return object;
        if (auto* widget = qobject_cast<QWidget*>(object)) {
            auto* controller = widget->property(ResponderChain::viewControllerProperty).value<QObject*>();
            if (hasInvokable(controller, action)) return controller;
            object = widget->parentWidget();
        } else {
            object = object->parent();
        }
    }
    Application& application = Application::shared();
    return application.respondsToAction(applicationActionName(action)) ? &application : nullptr;
}

std::optional<bool> ToolbarItem::validation(QObject* target, QObject* item) {
    for (const char* method : {"validateUserInterfaceItem", "validateToolbarItem"}) {
        if (!hasInvokable(target, method)) continue;
        bool answer = false;
        QMetaObject::invokeMethod(target, method, Qt::DirectConnection, Q_RETURN_ARG(bool, answer),
                                  Q_ARG(QObject*, item));
        return answer;
    }
    return std::nullopt;
}

void ToolbarItem::validate() {
    if (view() || actionName_.isEmpty()) return;
    QObject* receiver = targetForAction(actionName_, target_, this);
    setEnabled(receiver && validation(receiver, this).value_or(true));
}

void ToolbarItem::validateItems(QToolBar* toolbar) {
    if (!toolbar) return;
    for (QAction* action : toolbar->actions()) {
        if (auto* item = qobject_cast<ToolbarItem*>(action)) item->validate();
    }
}
