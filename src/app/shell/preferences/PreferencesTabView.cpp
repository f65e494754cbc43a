#include "app/shell/preferences/PreferencesTabView.h"

#include <algorithm>

#include "app/shell/preferences/PreferencesTabViewItem.h"

PreferencesTabView::PreferencesTabView(QObject* parent) : QObject(parent) {}

PreferencesTabView::~PreferencesTabView() {
    for (const auto& item : items_)
        if (item && item->tabView_ == this) item->tabView_ = nullptr;
}

QList<PreferencesTabViewItem*> PreferencesTabView::tabViewItems() const {
    QList<PreferencesTabViewItem*> items;
    for (const auto& item : items_)
        if (item) items.append(item.data());
    return items;
}

int PreferencesTabView::indexOfTabViewItem(const PreferencesTabViewItem* item) const {
    if (!item) return -1;
    for (int i = 0; i < items_.size(); ++i)
        if (items_[i].data() == item) return i;
    return -1;
}

PreferencesTabViewItem* PreferencesTabView::tabViewItemAtIndex(int index) const {
    if (index < 0 || index >= items_.size()) return nullptr;
    return items_[index].data();
}

void PreferencesTabView::addTabViewItem(PreferencesTabViewItem* item) {
    insertTabViewItem(item, numberOfTabViewItems());
}

void PreferencesTabView::insertTabViewItem(PreferencesTabViewItem* item, int index) {
    if (!item) return;
    if (item->tabView_) item->tabView_->removeTabViewItem(item);
    index = std::clamp(index, 0, numberOfTabViewItems());
    items_.insert(index, item);
    item->tabView_ = this;
    if (delegate_) delegate_->tabViewDidChangeNumberOfTabViewItems();
    if (!selected_) select(item);
}

void PreferencesTabView::removeTabViewItem(PreferencesTabViewItem* item) {
    const int index = indexOfTabViewItem(item);
    if (index < 0) return;
    const bool wasSelected = item == selected_;
    items_.removeAt(index);
    item->tabView_ = nullptr;
    if (wasSelected) selected_ = nullptr;
    if (delegate_) delegate_->tabViewDidChangeNumberOfTabViewItems();
    if (wasSelected && !items_.isEmpty()) select(items_[std::min(index, numberOfTabViewItems() - 1)].data());
}

void PreferencesTabView::selectTabViewItem(PreferencesTabViewItem* item) {
    if (indexOfTabViewItem(item) < 0 || item == selected_) return;
    select(item);
}

void PreferencesTabView::selectTabViewItemAtIndex(int index) {
    selectTabViewItem(tabViewItemAtIndex(index));
}

void PreferencesTabView::select(PreferencesTabViewItem* item) {
    if (delegate_) delegate_->tabViewWillSelectTabViewItem(item);
    selected_ = item;
    if (delegate_) delegate_->tabViewDidSelectTabViewItem(item);
}
