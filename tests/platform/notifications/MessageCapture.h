#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// Collects the qInfo lines written while it lives.
class MessageCapture {
public:
    MessageCapture() {
        lines().clear();
        previous() = qInstallMessageHandler(&MessageCapture::handle);
    }
    ~MessageCapture() { qInstallMessageHandler(previous()); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    QStringList infoLines() const { return lines(); }
    QStringList infoLinesContaining(const QString& text) const { return lines().filter(text); }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtInfoMsg) lines().append(message);
    }
    static QStringList& lines() {
        static QStringList collected;
        return collected;
    }
    static QtMessageHandler& previous() {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
};
