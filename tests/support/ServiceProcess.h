#pragma once

// A real Orvella_Service for tests: started on 127.0.0.1 with a root of its own under the temp
// folder (or a given one), plain HTTP or TLS with a self-signed certificate made by the openssl
// command for 127.0.0.1. Tests talk to baseUrl() and may kill, stop and restart it on the same
// root and port.
//
// The test program needs ORVELLA_SERVICE_EXECUTABLE, the path of the built server: in
// tests/CMakeLists.txt, orvella_uses_service(<test target>) adds it and the build dependency.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

#ifndef ORVELLA_SERVICE_EXECUTABLE
#error "ORVELLA_SERVICE_EXECUTABLE names the Orvella_Service to start (see orvella_uses_service in tests/CMakeLists.txt)"
#endif

class ServiceProcess {
public:
    struct Options {
        QString root;             // empty: a fresh one in the temp folder
        bool tls = false;
        QStringList arguments;    // more options, e.g. {"--access-token-lifetime", "2"}
        QString address = QStringLiteral("127.0.0.1");
    };

    ServiceProcess() : ServiceProcess(Options{}) {}
    explicit ServiceProcess(Options options)
        : options_(std::move(options)), dir_(QDir::tempPath() + QStringLiteral("/orvella-service-XXXXXX")) {
        if (options_.root.isEmpty()) options_.root = dir_.filePath(QStringLiteral("root"));
    }
    ~ServiceProcess() { kill(); }
    ServiceProcess(const ServiceProcess&) = delete;
    ServiceProcess& operator=(const ServiceProcess&) = delete;

    static QString executable() { return QStringLiteral(ORVELLA_SERVICE_EXECUTABLE); }

    // Starts it and waits for its "Listening on" line; port 0 picks a free one. False when it
    // did not come up; lastError() and log() say why.
    bool start(std::uint16_t port = 0) {
        if (options_.tls && !makeCertificate()) return false;
        process_ = std::make_unique<QProcess>();
        process_->setProgram(executable());
        process_->setArguments(arguments(port));
        process_->setStandardErrorFile(logPath(), QIODevice::Append);
        process_->start();
        if (!process_->waitForStarted(10000)) return failed(QStringLiteral("cannot start ") + executable());
        QByteArray out;
        const QDeadlineTimer deadline(20000);
        while (!out.contains('\n')) {
            if (deadline.hasExpired() || process_->state() != QProcess::Running) {
                if (process_->state() == QProcess::Running) process_->waitForReadyRead(100);
                out += process_->readAllStandardOutput();
                if (out.contains('\n')) break;
                return failed(QStringLiteral("no \"Listening on\" line: ") + QString::fromUtf8(out));
            }
            process_->waitForReadyRead(100);
            out += process_->readAllStandardOutput();
        }
        const QByteArray line = out.left(out.indexOf('\n')).trimmed();
        if (!line.startsWith("Listening on ")) return failed(QString::fromUtf8(line));
        baseUrl_ = QString::fromUtf8(line.mid(13));
        port_ = std::uint16_t(baseUrl_.mid(baseUrl_.lastIndexOf(u':') + 1).toUInt());
        return true;
    }
    // Starts it again on the same root and port.
    bool restart() {
        kill();
        return start(port_);
    }
    // SIGKILL: as a crash, nothing saved.
    void kill() {
        if (!process_) return;
        if (process_->state() != QProcess::NotRunning) {
            process_->kill();
            process_->waitForFinished(10000);
        }
        process_.reset();
    }
    // SIGTERM; true when it ended by itself with status 0.
    bool terminate() {
        if (!process_) return false;
        process_->terminate();
        const bool ended = process_->waitForFinished(20000);
        const bool clean = ended && process_->exitStatus() == QProcess::NormalExit && process_->exitCode() == 0;
        kill();
        return clean;
    }
    // Runs the executable with these arguments to its end: its exit code and what it printed.
    static int runToEnd(const QStringList& arguments, QByteArray* output = nullptr) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(executable(), arguments);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (output) *output = process.readAll();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    bool isRunning() const { return process_ && process_->state() == QProcess::Running; }
    qint64 pid() const { return process_ ? process_->processId() : 0; }
    QString baseUrl() const { return baseUrl_; }
    std::uint16_t port() const { return port_; }
    QString root() const { return options_.root; }
    // The certificate to trust (it is its own CA), with a TLS server.
    QString caFile() const { return dir_.filePath(QStringLiteral("cert.pem")); }
    QString keyFile() const { return dir_.filePath(QStringLiteral("key.pem")); }
    QString tempPath(const QString& name) const { return dir_.filePath(name); }
    QString lastError() const { return lastError_; }
    QByteArray log() const {
        QFile file(logPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // users/<name> below the root: the user's tree as the server keeps it.
    QString home(const QString& userName) const { return options_.root + QStringLiteral("/users/") + userName; }

    // A self-signed certificate for 127.0.0.1 (also its own CA), made once per process object.
    static bool makeCertificate(const QString& certificate, const QString& key) {
        QProcess openssl;
        openssl.setProcessChannelMode(QProcess::MergedChannels);
        openssl.start(QStringLiteral("openssl"),
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                       QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"), key, QStringLiteral("-out"), certificate, QStringLiteral("-days"),
                       QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                       QStringLiteral("subjectAltName=IP:127.0.0.1")});
        return openssl.waitForFinished(30000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0 &&
               QFile::exists(certificate) && QFile::exists(key);
    }

private:
    QStringList arguments(std::uint16_t port) const {
        QStringList list{QStringLiteral("--root"), options_.root, QStringLiteral("--listen"),
                         options_.address + u':' + QString::number(port)};
        if (options_.tls) list << QStringLiteral("--certificate") << caFile() << QStringLiteral("--key") << keyFile();
        return list + options_.arguments;
    }
    bool makeCertificate() {
        if (QFile::exists(caFile()) && QFile::exists(keyFile())) return true;
        if (makeCertificate(caFile(), keyFile())) return true;
        return failed(QStringLiteral("openssl could not make a certificate"));
    }
    bool failed(const QString& why) {
        lastError_ = why;
        kill();
        return false;
    }
    QString logPath() const { return dir_.filePath(QStringLiteral("service.log")); }

    Options options_;
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    QString baseUrl_;
    std::uint16_t port_ = 0;
    QString lastError_;
};
