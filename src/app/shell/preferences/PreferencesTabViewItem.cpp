#include "app/shell/preferences/PreferencesTabViewItem.h"

#include "app/shell/preferences/PreferencesPane.h"

PreferencesTabViewItem::PreferencesTabViewItem(QString identifier, QString label, PreferencesPane* viewController,
                                               QObject* parent)
    : QObject(parent), identifier_(std::move(identifier)), label_(std::move(label)), viewController_(viewController) {}

void PreferencesTabViewItem::setLabel(const QString& label) {
    if (label_ == label) return;
    label_ = label;
    emit labelChanged();
}

void PreferencesTabViewItem::setImage(const QIcon& image) {
    image_ = image;
    emit imageChanged();
}
