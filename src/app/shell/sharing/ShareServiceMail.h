#pragma once

#include <QString>
#include <QUrl>

// Sharing a link through the desktop: a new message in the user's mail program, with the subject
// and the text filled in and no recipient, so that the user chooses them there.
namespace ShareServiceMail {

QUrl mailtoURL(const QString& subject, const QString& body, const QString& link);

}  // namespace ShareServiceMail
