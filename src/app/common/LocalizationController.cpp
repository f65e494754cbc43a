#include "app/common/LocalizationController.h"

#include "platform/foundation/Bundle.h"

#include <QHash>

QString LocalizationController::localizedString(const QString& key) const {
    // No default value: a missing entry comes back as the key, which keeps the gap visible.
    return Bundle::main().localizedString(key, QString(), QString());
}

std::optional<QString> LocalizationController::text(const QString& getterName) const {
    static const QHash<QString, Member> byName = [] {
        QHash<QString, Member> map;
        for (const Getter& g : getters()) map.insert(g.name, g.get);
        for (const Getter& g : errorGetters()) map.insert(g.name, g.get);
        return map;
    }();
    const auto it = byName.constFind(getterName);
    if (it == byName.constEnd()) return std::nullopt;
    return (this->*(*it))();
}

#define OV_TEXT(getter, key) \
    QString LocalizationController::getter() const { return localizedString(QStringLiteral(key)); }
#define OV_SAME_TEXT(getter, other) \
    QString LocalizationController::getter() const { return other(); }
#define OV_NO_TEXT(getter) \
    QString LocalizationController::getter() const { return QString(); }
#include "app/common/LocalizationTexts.def"
#include "app/common/LocalizationErrorTexts.def"
#undef OV_TEXT
#undef OV_SAME_TEXT
#undef OV_NO_TEXT

namespace {

// Every getter's key under the getter's name, so that a second name for a text reports the key of
// the text it repeats without spelling that key again.
namespace keys {
#define OV_TEXT(getter, key) constexpr char getter[] = key;
#define OV_SAME_TEXT(getter, other) constexpr const auto& getter = other;
#define OV_NO_TEXT(getter) constexpr char getter[] = "";
#include "app/common/LocalizationTexts.def"
#include "app/common/LocalizationErrorTexts.def"
#undef OV_TEXT
#undef OV_SAME_TEXT
#undef OV_NO_TEXT
}  // namespace keys

}  // namespace

// Every kind of row makes the same table entry; only the getter's definition tells them apart.
#define OV_GETTER_ROW(getter) \
    Getter{QStringLiteral(#getter), QString::fromLatin1(keys::getter), &LocalizationController::getter},
#define OV_TEXT(getter, key) OV_GETTER_ROW(getter)
#define OV_SAME_TEXT(getter, other) OV_GETTER_ROW(getter)
#define OV_NO_TEXT(getter) OV_GETTER_ROW(getter)

const std::vector<LocalizationController::Getter>& LocalizationController::getters() {
    static const std::vector<Getter> table = {
#include "app/common/LocalizationTexts.def"
    };
    return table;
}

const std::vector<LocalizationController::Getter>& LocalizationController::errorGetters() {
    static const std::vector<Getter> table = {
#include "app/common/LocalizationErrorTexts.def"
    };
    return table;
}

#undef OV_TEXT
#undef OV_SAME_TEXT
#undef OV_NO_TEXT
#undef OV_GETTER_ROW
