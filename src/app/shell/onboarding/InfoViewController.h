#pragma once

#include <QMetaObject>

#include "app/shell/onboarding/OnboardingViewController.h"

class Info;
class QLabel;
class QLayout;
class QVBoxLayout;

// An onboarding page with the page model's image, title and subtitle.
class InfoViewController : public OnboardingViewController {
    Q_OBJECT

public:
    explicit InfoViewController(QWidget* parent = nullptr);

    QLabel* imageView() const { return imageView_; }
    QLabel* titleLabel() const { return titleLabel_; }
    QLabel* subtitleLabel() const { return subtitleLabel_; }
    // The subtitle's text as shown, without its paragraph style.
    QString subtitleString() const;

    // Follows the model's title and subtitle while it is represented.
    void setRepresentedObject(std::shared_ptr<QObject> object) override;
    // Sets the subtitle's text again with its line height capped at `maximumSubtitleLineHeight`.
    void viewWillAppear() override;

    static constexpr int maximumSubtitleLineHeight = 20;

protected:
    // Between the labels and the bottom of the page, for the pages that show more; the room left
    // over stays below the content.
    void addContentWidget(QWidget* widget, int stretch = 0);
    void addContentLayout(QLayout* layout);
    // The model's texts; subclasses may show others when the model has none.
    virtual void updateTexts(const Info* model);
    void setSubtitleString(const QString& text);

private:
    QLabel* imageView_ = nullptr;
    QLabel* titleLabel_ = nullptr;
    QLabel* subtitleLabel_ = nullptr;
    QVBoxLayout* contentLayout_ = nullptr;
    QMetaObject::Connection titleConnection_;
    QMetaObject::Connection subtitleConnection_;
};
