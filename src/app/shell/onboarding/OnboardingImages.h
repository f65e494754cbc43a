#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The onboarding pages' illustrations, drawn in code and known by name. Main thread.
namespace OnboardingImages {

inline const QString genericBlank = QStringLiteral("OnboardingGenericBlank");
inline const QString genericDevice = QStringLiteral("OnboardingGenericDevice");
inline const QString menuBarExtras = QStringLiteral("OnboardingMenuBarExtras");
inline const QString security = QStringLiteral("OnboardingSecurity");
inline const QString sharing = QStringLiteral("OnboardingSharing");

QStringList names();
// The image by name; none for a name the set does not hold.
std::optional<QImage> named(const QString& name);
// Tests answer look-ups themselves; an empty function brings the drawn set back.
void setProviderForTesting(std::function<std::optional<QImage>(const QString&)> provider);

}  // namespace OnboardingImages
