#include "frameworks/sync/SqliteFiles.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SqliteFiles {

std::optional<QString> restrictToOwner(const QString& databasePath) {
    const auto problem = [&](const QString& what) {
        return what + QStringLiteral(" ") + databasePath + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    };
    const QByteArray file = QFile::encodeName(databasePath);
    const int fd = ::open(file.constData(), O_RDWR | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return problem(QStringLiteral("Cannot open the database at"));
    const bool restricted = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    if (!restricted) return problem(QStringLiteral("Cannot restrict access to"));
    for (const char* suffix : companionSuffixes) ::chmod((file + suffix).constData(), S_IRUSR | S_IWUSR);
    return std::nullopt;
}

}  // namespace SqliteFiles
