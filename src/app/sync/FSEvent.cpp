#include "app/sync/FSEvent.h"

#include <QHashFunctions>

#include <array>

namespace {

// Bit 0 to bit 22; bit 23 has no name.
constexpr std::array<const char*, 23> flagNames{
    "mustScanSubDirs", "userDropped", "kernelDropped", "eventIDsWrapped", "historyDone", "rootChanged",
    "mount", "unmount", "created", "removed", "metaMod", "renamed", "modified", "finderInfoMod",
    "changeOwner", "xattrMod", "isFile", "isDirectory", "isSymlink", "ownEvent", "itemIsHardLink",
    "itemIsLastHardLink", "itemCloned",
};

}  // namespace

QString FSEvent::describe(Flags flags) {
    QString text = QStringLiteral("< | ");
    for (unsigned bit = 0; bit <= 23; ++bit) {
        if (!(flags.rawValue() & (1u << bit))) continue;
        if (bit < flagNames.size()) text += QLatin1String(flagNames[bit]);
        else text += QString::number(flags.rawValue());
        text += QStringLiteral(" | ");
    }
    return text + QStringLiteral(" >");
}

QString FSEvent::description() const {
    QString text = QString::number(id) + QLatin1Char(' ') + C::FSEvent::rawValue(action) + QLatin1Char(' ');
    if (!oldPath.isEmpty()) text += oldPath + QStringLiteral(" -> ") + path + QStringLiteral("  ");
    else text += path + QLatin1Char(' ');
    return text + describe(flags) + QLatin1Char('>');
}

std::size_t qHash(const FSEvent& event, std::size_t seed) noexcept {
    return qHashMulti(seed, event.id, event.path, event.flags.rawValue());
}
