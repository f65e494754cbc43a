#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "app/shell/onboarding/OnboardingPageControllerNavigable.h"

// The page models of the onboarding window. The window's page controller keeps them as its
// arranged objects and hands each to its page as the represented object; the window picks the
// page and its arrival and leaving steps by the model's class.

// The first page; the user moves on with its own button.
class Welcome : public QObject, public OnboardingPageControllerNavigable {
    Q_OBJECT

public:
    using QObject::QObject;
    bool isRefreshButtonHidden() const override { return true; }
    bool isBackButtonHidden() const override { return true; }
    bool isForwardButtonHidden() const override { return true; }
    bool isWindowCloseButtonDisabled() const override { return false; }
    // A new one at every read.
    std::shared_ptr<ScrollingBehavior> scrollingBehavior() const override;
    QColor bottomBoxFillColor() const override { return Qt::transparent; }
};

// The sign-in page; it advances by itself after a successful sign-in.
class Login : public QObject, public OnboardingPageControllerNavigable {
    Q_OBJECT

public:
    using QObject::QObject;
    bool isRefreshButtonHidden() const override { return refreshButtonHidden_; }
    bool isBackButtonHidden() const override { return true; }
    bool isForwardButtonHidden() const override { return true; }
    bool isWindowCloseButtonDisabled() const override { return false; }
    std::shared_ptr<ScrollingBehavior> scrollingBehavior() const override;
    QColor bottomBoxFillColor() const override { return Qt::transparent; }

private:
    // The sign-in page always offers the refresh button.
    bool refreshButtonHidden_ = false;
};

// A page with an image, a title and a subtitle.
class Info : public QObject, public OnboardingPageControllerNavigable {
    Q_OBJECT
    Q_PROPERTY(QImage image READ image CONSTANT)
    Q_PROPERTY(QString title READ titleValue NOTIFY titleChanged)
    Q_PROPERTY(QString subtitle READ subtitleValue NOTIFY subtitleChanged)

public:
    Info(QImage image, std::optional<QString> title, std::optional<QString> subtitle,
         std::shared_ptr<ScrollingBehavior> scrollingBehavior, QObject* parent = nullptr);

    bool isRefreshButtonHidden() const override { return true; }
    bool isBackButtonHidden() const override { return backButtonHidden_; }
    bool isForwardButtonHidden() const override { return forwardButtonHidden_; }
    bool isWindowCloseButtonDisabled() const override { return windowCloseButtonDisabled_; }
    std::shared_ptr<ScrollingBehavior> scrollingBehavior() const override { return scrollingBehavior_; }
    QColor bottomBoxFillColor() const override { return Qt::transparent; }

    const QImage& image() const { return image_; }
    const std::optional<QString>& title() const { return title_; }
    void setTitle(const std::optional<QString>& title);
    const std::optional<QString>& subtitle() const { return subtitle_; }
    void setSubtitle(const std::optional<QString>& subtitle);
    // The texts for bindings: empty when absent.
    QString titleValue() const { return title_.value_or(QString()); }
    QString subtitleValue() const { return subtitle_.value_or(QString()); }

signals:
    void titleChanged();
    void subtitleChanged();

private:
    bool backButtonHidden_ = false;
    bool forwardButtonHidden_ = false;
    bool windowCloseButtonDisabled_ = true;
    std::shared_ptr<ScrollingBehavior> scrollingBehavior_;
    QImage image_;
    std::optional<QString> title_;
    std::optional<QString> subtitle_;
};

// The choice of the sync folder's place.
class SyncRoot : public Info {
    Q_OBJECT

public:
    using Info::Info;
};

// The choice of the folders this computer keeps.
class SelectiveSync : public Info {
    Q_OBJECT

public:
    using Info::Info;
};

namespace C {

// The arranged objects of the onboarding window: welcome, sign-in, three information pages, the
// sync folder's place and selective sync. Only the first two when an onboarding image is missing.
std::vector<std::shared_ptr<QObject>> onboardingPages();

}  // namespace C
