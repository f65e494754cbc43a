#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "app/backup/NextBackupDateTransformer.h"
#include "app/common/LocalizationController.h"
#include "platform/appkit/ValueTransformer.h"

// "Next backup: " and the text of NextBackupDateTransformer, so the menu keeps its label with "-"
// when no automatic backup is due. One way; registered as "BackupNextTransformer".
class BackupNextTransformer : public ValueTransformer {
public:
    explicit BackupNextTransformer(NextBackupDateTransformer::Clock now = {}) : nextBackupDate_(std::move(now)) {}
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    const LocalizationController localizationController_;
    const NextBackupDateTransformer nextBackupDate_;
};
