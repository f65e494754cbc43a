#include "app/shell/onboarding/InfoViewController.h"

#include <QLabel>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

#include "app/core/C.h"
#include "app/shell/onboarding/OnboardingPages.h"

InfoViewController::InfoViewController(QWidget* parent) : OnboardingViewController(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 24, 40, 12);
    layout->setSpacing(10);

    imageView_ = new QLabel(this);
    imageView_->setObjectName(QStringLiteral("imageView"));
    imageView_->setAlignment(Qt::AlignCenter);
    layout->addWidget(imageView_);

    titleLabel_ = new QLabel(this);
    titleLabel_->setObjectName(QStringLiteral("titleLabel"));
    titleLabel_->setAlignment(Qt::AlignCenter);
    titleLabel_->setWordWrap(true);
    layout->addWidget(titleLabel_);

    subtitleLabel_ = new QLabel(this);
    subtitleLabel_->setObjectName(QStringLiteral("subtitleLabel"));
    subtitleLabel_->setAlignment(Qt::AlignCenter);
    subtitleLabel_->setWordWrap(true);
    subtitleLabel_->setTextFormat(Qt::PlainText);
    layout->addWidget(subtitleLabel_);

    contentLayout_ = new QVBoxLayout;
    contentLayout_->setSpacing(8);
    contentLayout_->addStretch(1);
    layout->addLayout(contentLayout_, 1);

    // An uninstalled font leaves the label's own.
    if (const auto font = C::titleFont()) titleLabel_->setFont(*font);
    else {
        QFont bold = titleLabel_->font();
        bold.setBold(true);
        bold.setPointSizeF(bold.pointSizeF() * 1.5);
        titleLabel_->setFont(bold);
    }
    if (const auto font = C::subtitleFont()) subtitleLabel_->setFont(*font);
}

void InfoViewController::addContentWidget(QWidget* widget, int stretch) {
    contentLayout_->insertWidget(contentLayout_->count() - 1, widget, stretch);
}

void InfoViewController::addContentLayout(QLayout* layout) {
    contentLayout_->insertLayout(contentLayout_->count() - 1, layout);
}

QString InfoViewController::subtitleString() const {
    if (subtitleLabel_->textFormat() == Qt::PlainText) return subtitleLabel_->text();
    return QTextDocumentFragment::fromHtml(subtitleLabel_->text()).toPlainText();
}

void InfoViewController::setSubtitleString(const QString& text) {
    subtitleLabel_->setTextFormat(Qt::PlainText);
    subtitleLabel_->setText(text);
}

void InfoViewController::setRepresentedObject(std::shared_ptr<QObject> object) {
    disconnect(titleConnection_);
    disconnect(subtitleConnection_);
    OnboardingViewController::setRepresentedObject(object);
    auto* model = qobject_cast<Info*>(object.get());
    if (model) {
        titleConnection_ = connect(model, &Info::titleChanged, this, [this, model] { updateTexts(model); });
        subtitleConnection_ = connect(model, &Info::subtitleChanged, this, [this, model] { updateTexts(model); });
        if (!model->image().isNull()) imageView_->setPixmap(QPixmap::fromImage(model->image()));
        else imageView_->clear();
    } else {
        imageView_->clear();
    }
    updateTexts(model);
}

void InfoViewController::updateTexts(const Info* model) {
    titleLabel_->setText(model ? model->titleValue() : QString());
    setSubtitleString(model ? model->subtitleValue() : QString());
}

void InfoViewController::viewWillAppear() {
    OnboardingViewController::viewWillAppear();
    // Only the paragraph style changes; the text stays as it is.
    const QString text = subtitleString();
    subtitleLabel_->setTextFormat(Qt::RichText);
    subtitleLabel_->setText(QStringLiteral("<div style=\"line-height:%1px\">%2</div>")
                                .arg(maximumSubtitleLineHeight)
                                .arg(text.toHtmlEscaped()));
}
