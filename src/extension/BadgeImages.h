#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <optional>

class FinderSyncController;

// The extension's badge images, drawn in code, and their registration with the file manager.
namespace BadgeImages {

// Looks an image asset up by name; none when the bundle lacks it.
using AssetLookup = std::function<std::optional<QImage>(const QString& name)>;

// The extension's own assets: "BadgeError", "BadgeReadOnly", "BadgeSelectivelyNotSynced",
// "BadgeSynced" and "BadgeSyncing".
std::optional<QImage> bundledAsset(const QString& name);

// The system's status images: "StatusAvailable", "StatusPartiallyAvailable", "StatusUnavailable",
// "StatusNone". Each is drawn once and kept for the life of the process.
QImage systemStatusImage(const QString& name);

// Registers the six badge words with their labels. The assets are used only when all five exist;
// otherwise every word gets its system status image.
void registerBadgeIdentifiers(FinderSyncController& controller, const AssetLookup& lookup = bundledAsset);

}  // namespace BadgeImages
