#include "frameworks/logger/FileLogger.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <utility>

namespace {

// Bounds the memory a stalled disk can cost; callers wait beyond it rather than lose entries.
constexpr std::size_t kMaxQueuedEntries = 65536;

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd--HH-mm-ss-zzz");

// The logs name the user's files: nobody but the owner reads them, whatever the umask or an
// earlier version left behind.
constexpr QFileDevice::Permissions kOwnerFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerFolder = kOwnerFile | QFileDevice::ExeOwner;

bool makeOwnerOnlyFolder(const QString& path) { return QDir().mkpath(path) && QFile::setPermissions(path, kOwnerFolder); }

}  // namespace

FileLogger::FileLogger(QString folderPath, QString filePrefix, Logger::FileConfiguration configuration,
                       std::shared_ptr<const LogFormatter> formatter, Logger::Clock clock,
                       HeaderValues header)
    : folderPath_(std::move(folderPath)),
      filePrefix_(std::move(filePrefix)),
      configuration_(std::move(configuration)),
      formatter_(std::move(formatter)),
      clock_(std::move(clock)),
      header_(std::move(header)) {}

FileLogger::~FileLogger() {
    {
        std::lock_guard lock(queueMutex_);
        stopping_ = true;
    }
    queueFilled_.notify_all();
    queueDrained_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::lock_guard io(ioMutex_);
    closeCurrent();
}

QString FileLogger::fileName(const QString& prefix, const QDateTime& created) {
    return prefix + QLatin1Char(' ') + created.toUTC().toString(kTimeFormat) + QLatin1String(".log");
}

QString FileLogger::headerText(const QList<Logger::HeaderElement>& elements, const HeaderValues& values,
                               const QDateTime& date) {
    if (elements.isEmpty()) return {};
    QString text;
    for (const Logger::HeaderElement element : elements) {
        switch (element) {
        case Logger::HeaderElement::applicationName:
            text += QLatin1String("Application: ") + values.applicationName;
            break;
        case Logger::HeaderElement::applicationVersion:
            text += QLatin1String("Version: ") + values.applicationVersion;
            break;
        case Logger::HeaderElement::operatingSystem:
            text += QLatin1String("Operating system: ") + values.operatingSystem;
            break;
        case Logger::HeaderElement::date:
            text += QLatin1String("Date: ") +
                    date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz t"));
            break;
        }
        text += QLatin1Char('\n');
    }
    return text + QString(60, QLatin1Char('-')) + QLatin1Char('\n');
}

bool FileLogger::start() {
    std::lock_guard io(ioMutex_);
    if (!makeOwnerOnlyFolder(folderPath_)) {
        reportFailure(QStringLiteral("cannot create the log folder ") + folderPath_);
        return false;
    }
    for (const QString& path : matchingFiles(folderPath_)) {
        QFile::setPermissions(path, kOwnerFile);
        archived_.push_back({path, QFileInfo(path).size()});
        const QString stamp = QFileInfo(path).completeBaseName().mid(filePrefix_.size() + 1);
        // Parsed field by field: read as local time, a stamp could fall into a daylight-saving gap.
        const QDateTime time(QDate::fromString(stamp.left(10), QStringLiteral("yyyy-MM-dd")),
                             QTime::fromString(stamp.mid(12), QStringLiteral("HH-mm-ss-zzz")), Qt::UTC);
        if (time.isValid() && (!latestName_.isValid() || time > latestName_)) latestName_ = time;
    }
    if (!openNewFile(clock_())) return false;
    thread_ = std::thread([this] { run(); });
    return true;
}

void FileLogger::enqueue(LogEntry entry) {
    {
        std::unique_lock lock(queueMutex_);
        queueDrained_.wait(lock, [this] { return queue_.size() < kMaxQueuedEntries || stopping_; });
        if (stopping_) return;
        queue_.push_back(std::move(entry));
        ++enqueued_;
    }
    queueFilled_.notify_one();
}

void FileLogger::flush() {
    std::unique_lock lock(queueMutex_);
    const std::uint64_t target = enqueued_;
    queueDrained_.wait(lock, [this, target] { return written_ >= target; });
}

void FileLogger::run() {
    for (;;) {
        std::deque<LogEntry> batch;
        {
            std::unique_lock lock(queueMutex_);
            queueFilled_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping with nothing left
            batch.swap(queue_);
        }
        queueDrained_.notify_all();
        {
            std::lock_guard io(ioMutex_);
            // Someone may have deleted the folder or the file; start over rather than write into
            // an unlinked file.
            if (current_.isOpen() && !QFileInfo::exists(current_.fileName())) {
                current_.close();
                std::erase_if(archived_, [](const FileRecord& record) { return !QFileInfo::exists(record.path); });
            }
            for (const LogEntry& entry : batch) writeEntry(entry);
            if (current_.isOpen()) current_.flush();
        }
        {
            std::lock_guard lock(queueMutex_);
            written_ += batch.size();
        }
        queueDrained_.notify_all();
    }
}

std::int64_t FileLogger::effectiveFileLimit() const {
    const std::int64_t size = configuration_.maximumFileSize;
    const std::int64_t quota = configuration_.logFilesDiskQuota;
    if (size > 0 && quota > 0) return std::min(size, quota);
    return size > 0 ? size : quota;
}

void FileLogger::writeEntry(const LogEntry& entry) {
    const QByteArray line = (formatter_->format(entry) + QLatin1Char('\n')).toUtf8();
    const std::int64_t limit = effectiveFileLimit();
    const bool tooOld = configuration_.rollingFrequency > 0 && currentCreated_.isValid() &&
                        currentCreated_.secsTo(entry.timestamp) >= configuration_.rollingFrequency;
    // A line longer than the limit still goes into a file of its own rather than rolling forever.
    const bool tooBig = limit > 0 && currentSize_ + line.size() > limit && currentSize_ > headerSize_;
    if (!current_.isOpen() || tooOld || tooBig) {
        if (!openNewFile(entry.timestamp)) return;
    }
    if (current_.write(line) != line.size()) {
        reportFailure(QStringLiteral("cannot write to ") + current_.fileName());
        return;
    }
    currentSize_ += line.size();
    enforceLimits();
}

void FileLogger::closeCurrent() {
    if (!current_.isOpen()) return;
    current_.close();
    if (QFileInfo::exists(current_.fileName())) archived_.push_back({current_.fileName(), currentSize_});
}

bool FileLogger::openNewFile(const QDateTime& created) {
    closeCurrent();
    makeOwnerOnlyFolder(folderPath_);
    const QDateTime now = created.isValid() ? created.toUTC() : QDateTime::currentDateTimeUtc();
    // Names must stay unique and keep sorting by age even when files roll faster than the clock
    // ticks or the clock is set back, so a name never goes below the latest one.
    QDateTime time = now;
    if (latestName_.isValid() && time <= latestName_) time = latestName_.addMSecs(1);
    QString path = folderPath_ + QLatin1Char('/') + fileName(filePrefix_, time);
    while (QFileInfo::exists(path)) {
        time = time.addMSecs(1);
        path = folderPath_ + QLatin1Char('/') + fileName(filePrefix_, time);
    }
    current_.setFileName(path);
    if (!current_.open(QIODevice::WriteOnly | QIODevice::Append, kOwnerFile)) {
        reportFailure(QStringLiteral("cannot open ") + path + QStringLiteral(": ") + current_.errorString());
        return false;
    }
    latestName_ = time;
    const QByteArray header = headerText(configuration_.headerElements, header_, now).toUtf8();
    if (!header.isEmpty() && current_.write(header) != header.size()) {
        reportFailure(QStringLiteral("cannot write to ") + path);
        current_.close();
        return false;
    }
    current_.flush();
    currentCreated_ = now;
    currentSize_ = header.size();
    headerSize_ = header.size();
    failureReported_ = false;
    enforceLimits();
    return true;
}

void FileLogger::deleteOldest() {
    const FileRecord oldest = archived_.front();
    archived_.pop_front();
    if (!QFile::remove(oldest.path) && QFileInfo::exists(oldest.path))
        reportFailure(QStringLiteral("cannot delete ") + oldest.path);
}

void FileLogger::enforceLimits() {
    const int maxFiles = configuration_.maximumNumberOfLogFiles;
    const std::int64_t current = current_.isOpen() ? 1 : 0;
    while (maxFiles > 0 && !archived_.empty() &&
           static_cast<std::int64_t>(archived_.size()) + current > maxFiles)
        deleteOldest();
    const std::int64_t quota = configuration_.logFilesDiskQuota;
    if (quota <= 0) return;
    std::int64_t total = currentSize_;
    for (const FileRecord& record : archived_) total += record.size;
    while (!archived_.empty() && total > quota) {
        total -= archived_.front().size;
        deleteOldest();
    }
}

QStringList FileLogger::matchingFiles(const QString& folder) const {
    static const QRegularExpression stamp(QStringLiteral("^ \\d{4}-\\d{2}-\\d{2}--\\d{2}-\\d{2}-\\d{2}-\\d{3}\\.log$"));
    QStringList result;
    const QStringList names = QDir(folder).entryList({filePrefix_ + QStringLiteral(" *.log")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (stamp.match(QStringView(name).mid(filePrefix_.size())).hasMatch())
            result.append(folder + QLatin1Char('/') + name);
    }
    return result;
}

QStringList FileLogger::pathsLocked() const {
    QStringList paths;
    for (const FileRecord& record : archived_) paths.append(record.path);
    if (current_.isOpen()) paths.append(current_.fileName());
    return paths;
}

QStringList FileLogger::logFilePaths() {
    flush();
    std::lock_guard io(ioMutex_);
    return pathsLocked();
}

std::optional<QString> FileLogger::currentLogFilePath() {
    std::lock_guard io(ioMutex_);
    if (!current_.isOpen()) return std::nullopt;
    return current_.fileName();
}

QString FileLogger::content(std::int64_t maxSize) {
    if (maxSize <= 0) return {};
    flush();
    std::lock_guard io(ioMutex_);
    const QStringList paths = pathsLocked();
    // One byte more than asked tells whether the cut falls right after a line break.
    std::int64_t wanted = maxSize + 1;
    QList<QByteArray> parts;
    for (auto it = paths.crbegin(); it != paths.crend() && wanted > 0; ++it) {
        QFile file(*it);
        if (!file.open(QIODevice::ReadOnly)) continue;
        const std::int64_t size = file.size();
        if (size > wanted) file.seek(size - wanted);
        const QByteArray data = file.readAll();
        wanted -= data.size();
        parts.prepend(data);
    }
    QByteArray text;
    for (const QByteArray& part : parts) text += part;
    if (text.size() <= maxSize) return QString::fromUtf8(text);

    const bool atLineStart = text.front() == '\n';
    text.remove(0, text.size() - maxSize);
    if (!atLineStart) {
        const qsizetype lineBreak = text.indexOf('\n');
        if (lineBreak >= 0 && lineBreak + 1 < text.size()) {
            text.remove(0, lineBreak + 1);
        } else {
            qsizetype start = 0;  // never begin inside a UTF-8 sequence
            while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
            text.remove(0, start);
        }
    }
    return QString::fromUtf8(text);
}

std::optional<QString> FileLogger::exportTo(const QString& parentFolder) {
    flush();
    std::lock_guard io(ioMutex_);
    const QString target = parentFolder + QLatin1Char('/') + QFileInfo(folderPath_).fileName();
    if (!makeOwnerOnlyFolder(target)) return std::nullopt;
    // The export mirrors the logs: copies of files that have since been rolled away go.
    for (const QString& stale : matchingFiles(target)) QFile::remove(stale);
    bool ok = true;
    for (const QString& path : pathsLocked()) {
        const QString copy = target + QLatin1Char('/') + QFileInfo(path).fileName();
        if (!QFile::copy(path, copy) || !QFile::setPermissions(copy, kOwnerFile)) ok = false;
    }
    if (!ok) return std::nullopt;
    return target;
}

void FileLogger::removeAllLogFiles() {
    flush();
    std::lock_guard io(ioMutex_);
    current_.close();
    archived_.clear();
    for (const QString& path : matchingFiles(folderPath_)) QFile::remove(path);
    openNewFile(clock_());
}

void FileLogger::reportFailure(const QString& what) {
    if (failureReported_) return;
    failureReported_ = true;
    const QByteArray text = (QStringLiteral("Logger: ") + what + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
}
