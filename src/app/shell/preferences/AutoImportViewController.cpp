#include "app/shell/preferences/AutoImportViewController.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include "platform/appkit/Workspace.h"

AutoImportViewController::AutoImportViewController(QObject* parent) : PreferencesPane(parent) {}

QWidget* AutoImportViewController::loadView() {
    auto* view = new QWidget;
    gridView_ = new QGridLayout(view);
    gridView_->setContentsMargins(20, 20, 20, 20);
    gridView_->setColumnStretch(1, 1);
    importDescriptionCell_ = new QLabel(localizationController_.auLabelDescription(), view);
    importDescriptionCell_->setWordWrap(true);
    gridView_->addWidget(importDescriptionCell_, 0, 1);
    gridView_->addWidget(new QLabel(localizationController_.auLabelContents(), view), 1, 0, Qt::AlignRight);
    contentTypeButton_ = new QComboBox(view);
    contentTypeButton_->addItems({localizationController_.auPopUpPhotos(), localizationController_.auPopUpPhotosAndVideos()});
    connect(contentTypeButton_, &QComboBox::activated, this, [this] { setContentType(contentTypeButton_); });
    gridView_->addWidget(contentTypeButton_, 1, 1, Qt::AlignLeft);
    clearDevicesButton_ = new QPushButton(localizationController_.auButtonClearDevices(), view);
    connect(clearDevicesButton_, &QPushButton::clicked, this, [this] { clearDevices(clearDevicesButton_); });
    gridView_->addWidget(clearDevicesButton_, 2, 1, Qt::AlignLeft);
    auto* help = new QPushButton(QStringLiteral("?"), view);
    help->setFixedSize(24, 24);
    connect(help, &QPushButton::clicked, this, [this, help] { openHelp(help); });
    gridView_->addWidget(help, 3, 2, Qt::AlignRight);
    gridView_->setRowStretch(4, 1);
    return view;
}

void AutoImportViewController::viewDidLoad() {
    clearDevicesButton_->hide();
    mergeRowAcrossColumns(gridView_, importDescriptionCell_);
}

void AutoImportViewController::clearDevices(QObject*) {}

void AutoImportViewController::setContentType(QObject*) {}

void AutoImportViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.auButtonHelpURL());
}
