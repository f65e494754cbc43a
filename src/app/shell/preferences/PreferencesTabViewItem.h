#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include "app/shell/preferences/PreferencesPane.h"

class PreferencesTabView;

// One tab of the preferences window: its label and toolbar image, and the pane it shows (none
// when the pane's scene is not available). Knows the tab view it is in, if any.
class PreferencesTabViewItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString label READ label WRITE setLabel NOTIFY labelChanged)
    Q_PROPERTY(QIcon image READ image WRITE setImage NOTIFY imageChanged)

public:
    PreferencesTabViewItem(QString identifier, QString label, PreferencesPane* viewController,
                           QObject* parent = nullptr);

    QString identifier() const { return identifier_; }
    QString label() const { return label_; }
    void setLabel(const QString& label);
    QIcon image() const { return image_; }
    void setImage(const QIcon& image);
    PreferencesPane* viewController() const { return viewController_; }
    // The tab view holding the item; nullptr while it is taken out.
    PreferencesTabView* tabView() const { return tabView_; }

signals:
    void labelChanged();
    void imageChanged();

private:
    friend class PreferencesTabView;

    QString identifier_;
    QString label_;
    QIcon image_;
    QPointer<PreferencesPane> viewController_;
    // Cleared by the tab view as it lets the item go or goes away itself.
    PreferencesTabView* tabView_ = nullptr;
};
