#include "app/shell/backup/BackupDetailsViewController.h"

#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/backup/BackupModels.h"
#include "app/backup/BackupTransformerText.h"
#include "app/common/LocalizationController.h"
#include "app/shell/backup/BackupBrowserTexts.h"
#include "app/shell/backup/DataSource.h"

BackupDetailsViewController::BackupDetailsViewController(QObject* parent) : BackupBrowserPane(parent) {}

QWidget* BackupDetailsViewController::loadView() {
    const LocalizationController texts;
    auto* tabs = new QStackedWidget;
    tabs->setObjectName(QStringLiteral("BackupDetails"));
    tabs->setMinimumWidth(300);

    progressTabViewItem_ = new QWidget;
    auto* loading = new QVBoxLayout(progressTabViewItem_);
    loading->addStretch();
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    loading->addWidget(new QLabel(texts.brLabelLoading()), 0, Qt::AlignHCenter);
    loading->addWidget(spinner);
    loading->addStretch();
    tabs->addWidget(progressTabViewItem_);

    contentTabViewItem_ = new QWidget;
    auto* content = new QVBoxLayout(contentTabViewItem_);
    // The name sits 20 points below the top of the content, as the other windows' titles do.
    content->setContentsMargins(20, 20, 20, 20);
    nameTextField_ = new QLabel;
    nameTextField_->setObjectName(QStringLiteral("BackupName"));
    QFont bold = nameTextField_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    nameTextField_->setFont(bold);
    nameTextField_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    content->addWidget(nameTextField_);
    auto* form = new QFormLayout;
    deviceTextField_ = new QLabel;
    statusTextField_ = new QLabel;
    itemsTextField_ = new QLabel;
    itemsTextField_->setWordWrap(true);
    sizeTextField_ = new QLabel;
    form->addRow(texts.brLabelDevices() + u':', deviceTextField_);
    form->addRow(texts.brLabelBackupDate() + u':', statusTextField_);
    form->addRow(texts.brLabelBackupItems(), itemsTextField_);
    form->addRow(texts.brLabelSize() + u':', sizeTextField_);
    content->addLayout(form);
    auto* description = new QLabel(texts.brLabelRestoreDescription());
    description->setWordWrap(true);
    content->addSpacing(12);
    content->addWidget(description);
    content->addStretch();
    tabs->addWidget(contentTabViewItem_);
    tabs->setCurrentWidget(progressTabViewItem_);
    return tabs;
}

QStackedWidget* BackupDetailsViewController::tabView() { return static_cast<QStackedWidget*>(view()); }

void BackupDetailsViewController::setRepresentedObject(std::shared_ptr<DataSource> dataSource) {
    disconnect(selectionObservation_);
    BackupBrowserPane::setRepresentedObject(dataSource);
    if (!dataSource) return;
    selectionObservation_ =
        connect(dataSource.get(), &DataSource::selectionIndexPathsChanged, this, [this] { showSelectedBackup(); });
    tabView()->setCurrentWidget(contentTabViewItem_);
    showSelectedBackup();
}

void BackupDetailsViewController::showSelectedBackup() {
    view();
    const auto dataSource = representedObject();
    const auto backup = dataSource ? dataSource->selectedBackup() : nullptr;
    const QString none = BackupTransformerText::emptyMark();
    nameTextField_->setText(backup ? backup->name() : none);
    deviceTextField_->setText(backup ? BackupBrowserTexts::deviceText(*backup) : none);
    statusTextField_->setText(backup ? BackupBrowserTexts::statusText(*backup) : none);
    itemsTextField_->setText(backup ? BackupBrowserTexts::categoriesText(*backup) : none);
    sizeTextField_->setText(backup ? BackupBrowserTexts::sizeText(*backup) : none);
}
