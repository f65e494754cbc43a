#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include "app/shell/preferences/PreferencesTabViewItem.h"

// Hears what a tab view does, in the order it does it.
class PreferencesTabViewDelegate {
public:
    virtual ~PreferencesTabViewDelegate() = default;
    virtual void tabViewWillSelectTabViewItem(PreferencesTabViewItem* item) = 0;
    virtual void tabViewDidSelectTabViewItem(PreferencesTabViewItem* item) = 0;
    virtual void tabViewDidChangeNumberOfTabViewItems() = 0;
};

// The ordered tabs of a window and which one is selected. Taking the selected tab out selects the
// one that took its place (else the one before it); the first tab put into an empty view is
// selected. Items are not owned. Main thread only.
class PreferencesTabView : public QObject {
    Q_OBJECT

public:
    explicit PreferencesTabView(QObject* parent = nullptr);
    ~PreferencesTabView() override;

    void setDelegate(PreferencesTabViewDelegate* delegate) { delegate_ = delegate; }

    QList<PreferencesTabViewItem*> tabViewItems() const;
    int numberOfTabViewItems() const { return static_cast<int>(items_.size()); }
    // -1 when the item is not in this view.
    int indexOfTabViewItem(const PreferencesTabViewItem* item) const;
    PreferencesTabViewItem* tabViewItemAtIndex(int index) const;
    PreferencesTabViewItem* selectedTabViewItem() const { return selected_; }
    // -1 when nothing is selected.
    int indexOfSelectedTabViewItem() const { return indexOfTabViewItem(selected_); }

    void addTabViewItem(PreferencesTabViewItem* item);
    // An item already in a tab view is moved; the index is clamped to the valid range.
    void insertTabViewItem(PreferencesTabViewItem* item, int index);
    // An item not in this view is left alone.
    void removeTabViewItem(PreferencesTabViewItem* item);
    // Items not in this view, and the selected one, change nothing.
    void selectTabViewItem(PreferencesTabViewItem* item);
    void selectTabViewItemAtIndex(int index);

private:
    void select(PreferencesTabViewItem* item);

    PreferencesTabViewDelegate* delegate_ = nullptr;
    QList<QPointer<PreferencesTabViewItem>> items_;
    QPointer<PreferencesTabViewItem> selected_;
};
