#pragma once

#include <QString>

#include <optional>

// What the service accepts as user name, mail address and password. Each check answers none for
// an acceptable value, else a short English sentence saying what is wrong.
namespace AccountRules {

constexpr int maximumUserNameLength = 64;
constexpr int minimumPasswordLength = 8;
constexpr int maximumPasswordLength = 1024;
constexpr int maximumMailAddressLength = 254;

// The form a user name is stored and looked up in, so that the same name typed with composed or
// decomposed accents finds the same account.
QString normalizedUserName(const QString& name);

// A user name becomes a folder name ("users/<name>") and a file name, so it must be one harmless
// path component: not empty, no "/" or "\", no "..", not starting with a point, no control or
// invisible format characters, no leading or trailing white space, at most 64 characters.
std::optional<QString> userNameProblem(const QString& name);
std::optional<QString> mailAddressProblem(const QString& mailAddress);
std::optional<QString> passwordProblem(const QString& password);

}  // namespace AccountRules
