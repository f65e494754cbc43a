#include "app/shell/onboarding/OnboardingPages.h"

#include "app/common/LocalizationController.h"
#include "app/shell/onboarding/OnboardingImages.h"
#include "platform/appkit/Alert.h"

std::shared_ptr<ScrollingBehavior> Welcome::scrollingBehavior() const {
    return std::make_shared<ScrollingBehavior>(true, true);
}

std::shared_ptr<ScrollingBehavior> Login::scrollingBehavior() const {
    return std::make_shared<ScrollingBehavior>(true, true);
}

Info::Info(QImage image, std::optional<QString> title, std::optional<QString> subtitle,
           std::shared_ptr<ScrollingBehavior> scrollingBehavior, QObject* parent)
    : QObject(parent),
      scrollingBehavior_(std::move(scrollingBehavior)),
      image_(std::move(image)),
      title_(std::move(title)),
      subtitle_(std::move(subtitle)) {}

void Info::setTitle(const std::optional<QString>& title) {
    if (title_ == title) return;
    title_ = title;
    emit titleChanged();
}

void Info::setSubtitle(const std::optional<QString>& subtitle) {
    if (subtitle_ == subtitle) return;
    subtitle_ = subtitle;
    emit subtitleChanged();
}

namespace C {

std::vector<std::shared_ptr<QObject>> onboardingPages() {
    std::vector<std::shared_ptr<QObject>> pages{std::make_shared<Welcome>(), std::make_shared<Login>()};
    const auto blank = OnboardingImages::named(OnboardingImages::genericBlank);
    const auto device = OnboardingImages::named(OnboardingImages::genericDevice);
    const auto menuBar = OnboardingImages::named(OnboardingImages::menuBarExtras);
    const auto security = OnboardingImages::named(OnboardingImages::security);
    const auto sharing = OnboardingImages::named(OnboardingImages::sharing);
    if (!blank || !device || !menuBar || !security || !sharing) return pages;

    LocalizationController texts;
    // Going back signs the user out: Return, and Escape, keep them signed in.
    auto signInAlert = std::make_shared<Alert>();
    signInAlert->setMessageText(texts.obAlertSignInMessage());
    signInAlert->setInformativeText(texts.obAlertSignInInformative());
    signInAlert->addButton(texts.obAlertButtonSignInAgain()).setKeyEquivalent(QString());
    signInAlert->addButton(texts.obAlertButtonSignInCancel()).setKeyEquivalent(Alert::ReturnKey);

    const auto both = [] { return std::make_shared<ScrollingBehavior>(true, true); };
    pages.push_back(std::make_shared<Info>(*menuBar, texts.obLabelTitle1(), texts.obLabelSubtitle1(),
                                           std::make_shared<ScrollingBehavior>(true, false, signInAlert)));
    pages.push_back(std::make_shared<Info>(*sharing, texts.obLabelTitle2(), texts.obLabelSubtitle2(), both()));
    pages.push_back(std::make_shared<Info>(*security, texts.obLabelTitle3(), texts.obLabelSubtitle3(), both()));
    pages.push_back(std::make_shared<SyncRoot>(*device, std::nullopt, std::nullopt, both()));
    pages.push_back(std::make_shared<SelectiveSync>(*blank, texts.obLabelSelectiveSyncTitle(),
                                                    texts.obLabelSelectiveSyncSubtitle(),
                                                    std::make_shared<ScrollingBehavior>(false, false)));
    return pages;
}

}  // namespace C
