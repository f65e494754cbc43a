#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <mutex>

// The executable's information keys and its strings tables. Each executable fills its main bundle
// from data compiled into it; tests substitute their own values.
class Bundle {
public:
    static Bundle& main();

    // The information value for a key; invalid when missing.
    QVariant object(const QString& key) const;
    QVariantMap info() const;
    void setInfo(const QVariantMap& info);
    // Parses a JSON object; false (and nothing changed) when the data is not one.
    bool setInfoJson(const QByteArray& json);

    // Looks a key up in a strings table ("Localizable" when empty). A missing key answers `value`
    // when that is not empty, else the key itself.
    QString localizedString(const QString& key, const QString& value = {},
                            const QString& table = {}) const;
    void setStringsTable(const QString& table, const QHash<QString, QString>& strings);
    bool hasStringsTable(const QString& table = {}) const;

    // Parses the "key" = "value"; format with /* */ and // comments and the usual escapes.
    // Malformed entries are skipped, never fatal.
    static QHash<QString, QString> parseStrings(const QByteArray& data);

private:
    mutable std::mutex mutex_;
    QVariantMap info_;
    QHash<QString, QHash<QString, QString>> tables_;
};
