#pragma once

#include <QString>

#include <optional>
#include <vector>

// The user-visible texts of all three executables, one getter per text. The getters, their keys and
// the tables below all come from the lists in LocalizationTexts.def and LocalizationErrorTexts.def.
// Each getter looks its fixed key up in the main bundle's "Localizable" strings table on every call;
// nothing is cached, so a table swapped at run time shows at once. A key missing from the table reads
// as the key itself. The class holds no state: creating one is free and its getters may be called on
// any thread.
// Forms and bindings reach a text by the getter's exact name through text() and getters().
class LocalizationController {
public:
    using Member = QString (LocalizationController::*)() const;

    struct Getter {
        QString name;
        QString key;  // empty for the getters without a key, which always answer empty; a second name
                      // for a text carries the key of the getter it repeats
        Member get;
    };

    LocalizationController() = default;

    // Every getter of the texts shared by the three executables, in the order of their list.
    static const std::vector<Getter>& getters();
    // The error texts of the main application ("Error.<Domain>.<Case>.<Field>"), in the order of their
    // list; erAPIBvNotAuthorizedDescription has no key.
    static const std::vector<Getter>& errorGetters();
    // The text of the getter with exactly this name, in either table; nullopt when there is none.
    std::optional<QString> text(const QString& getterName) const;

    // The single lookup behind every getter.
    QString localizedString(const QString& key) const;

    // One getter per row of the two lists; their comments tell the special rows apart.
#define OV_TEXT(getter, key) QString getter() const;
#define OV_SAME_TEXT(getter, other) QString getter() const;
#define OV_NO_TEXT(getter) QString getter() const;
#include "app/common/LocalizationTexts.def"
#include "app/common/LocalizationErrorTexts.def"
#undef OV_TEXT
#undef OV_SAME_TEXT
#undef OV_NO_TEXT
};
