#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

// The clickable part of a status item: its image, tooltip and whether it takes clicks.
class StatusBarButton : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY changed)
    Q_PROPERTY(QIcon image READ image WRITE setImage NOTIFY changed)
    Q_PROPERTY(QString toolTip READ toolTip WRITE setToolTip NOTIFY changed)

public:
    explicit StatusBarButton(QObject* parent = nullptr) : QObject(parent) {}

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    QIcon image() const { return image_; }
    void setImage(const QIcon& image);
    QString toolTip() const { return toolTip_; }
    void setToolTip(const QString& toolTip);

signals:
    void changed();

private:
    bool enabled_ = true;
    QIcon image_;
    QString toolTip_;
};
