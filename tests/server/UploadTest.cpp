#include "ServerTestSupport.h"

#include <QDirIterator>
#include <QFile>

namespace {

using namespace ServerTest;

class UploadTest : public ServerFixture {
protected:
    // Bytes that differ at every offset, so that a chunk put at the wrong place shows.
    static QByteArray content(int size) {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i) bytes[i] = char('a' + (i * 7 + i / 26) % 26);
        return bytes;
    }
    QString begin(const QString& path, const QByteArray& bytes) {
        const Reply made = anna->post(QStringLiteral("/2.1/uploads"), ServiceWire::encode(Client::uploadRequest(path, bytes)));
        EXPECT_EQ(made.status, 201) << made.body.toStdString();
        EXPECT_EQ(made.json().value(QStringLiteral("offset")).toInteger(-1), 0);
        return made.json().value(QStringLiteral("id")).toString();
    }
    Reply put(const QString& id, const QByteArray& whole, qint64 first, qint64 length) {
        return anna->send("PUT", QStringLiteral("/2.1/uploads/") + id, whole.mid(first, length),
                          {{"Content-Range", ServiceWire::contentRange(first, first + length - 1, whole.size())},
                           {"Content-Type", "application/octet-stream"}});
    }
    qint64 offset(const QString& id) {
        const Reply status = anna->get(QStringLiteral("/2.1/uploads/") + id);
        EXPECT_EQ(status.status, 200) << status.body.toStdString();
        return status.json().value(QStringLiteral("offset")).toInteger(-1);
    }
    Reply commit(const QString& id) { return anna->send("POST", QStringLiteral("/2.1/uploads/") + id + QStringLiteral("/commit")); }
    // Every file in the user's tree on disk: nothing of an upload may be there before its commit.
    QStringList filesOnDisk() {
        QStringList files;
        QDirIterator it(server->home(QStringLiteral("anna")), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) files << it.next().mid(server->home(QStringLiteral("anna")).size() + 1);
        return files;
    }
    // A chunk whose body stops half-way, then a cut connection.
    void putHalf(const QString& id, const QByteArray& whole, qint64 first, qint64 length) {
        RawConnection raw(server->port());
        ASSERT_TRUE(raw.connected());
        raw.send("PUT /2.1/uploads/" + id.toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                 anna->token.toLatin1() + "\r\nContent-Range: " + ServiceWire::contentRange(first, first + length - 1, whole.size()) +
                 "\r\nContent-Length: " + QByteArray::number(length) + "\r\n\r\n" + whole.mid(first, length / 2));
        // The half must have arrived before the cut; the server answers nothing for a cut body.
        QDeadlineTimer deadline(5000);
        while (offset(id) < first + length / 2 && !deadline.hasExpired()) QThread::msleep(10);
    }
};

TEST_F(UploadTest, ChunksCutOffResumeFromTheServersOffsetAndAppearOnlyWhenCommitted) {
    const QByteArray bytes = content(300000);
    const QString id = begin(QStringLiteral("Music/song.flac"), bytes);
    ASSERT_EQ(put(id, bytes, 0, 100000).json().value(QStringLiteral("offset")).toInteger(), 100000);

    // A chunk that is not where the upload stands is refused with the server's offset.
    const struct {
        qint64 first;
        qint64 length;
    } misplaced[] = {{0, 1000}, {150000, 1000}, {99999, 10}};
    for (const auto& c : misplaced) {
        const Reply refused = put(id, bytes, c.first, c.length);
        EXPECT_EQ(refused.status, 409) << c.first;
        EXPECT_EQ(refused.code(), QStringLiteral("uploadOffset"));
        EXPECT_EQ(refused.json().value(QStringLiteral("offset")).toInteger(), 100000);
    }
    EXPECT_EQ(commit(id).code(), QStringLiteral("uploadOffset"));

    putHalf(id, bytes, 100000, 100000);
    const qint64 resumed = offset(id);
    EXPECT_GE(resumed, 150000);
    EXPECT_LE(resumed, 200000);
    EXPECT_TRUE(filesOnDisk().isEmpty()) << filesOnDisk().join(u' ').toStdString();
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/entry?path=Music%2Fsong.flac")).status, 404);

    ASSERT_EQ(put(id, bytes, resumed, bytes.size() - resumed).status, 200);
    const Reply committed = commit(id);
    ASSERT_EQ(committed.status, 201) << committed.body.toStdString();
    const auto entry = ServiceWire::decodeEntry(committed.json());
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->size, bytes.size());
    EXPECT_EQ(entry->mtimeNs, 1600000000123456789);
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/content?path=Music%2Fsong.flac")).body, bytes);
    EXPECT_EQ(filesOnDisk(), QStringList{QStringLiteral("Music/song.flac")});
    // A committed upload is gone.
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/uploads/") + id).status, 404);
}

TEST_F(UploadTest, BytesThatAreNotTheAnnouncedOnesNeverReachTheTree) {
    const QByteArray bytes = content(5000);
    ASSERT_EQ(anna->upload(QStringLiteral("doc.txt"), bytes).status, 201);
    const QString seen = anna->entry(QStringLiteral("doc.txt")).revision();

    QByteArray forged = bytes;
    forged[4000] = 'Z';
    const Reply made = anna->post(QStringLiteral("/2.1/uploads"), ServiceWire::encode(Client::uploadRequest(QStringLiteral("doc.txt"), bytes, seen)));
    ASSERT_EQ(made.status, 201);
    const QString id = made.json().value(QStringLiteral("id")).toString();
    ASSERT_EQ(put(id, forged, 0, forged.size()).status, 200);
    const Reply refused = commit(id);
    EXPECT_EQ(refused.status, 422);
    EXPECT_EQ(refused.code(), QStringLiteral("hashMismatch"));
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/content?path=doc.txt")).body, bytes);
    EXPECT_EQ(anna->entry(QStringLiteral("doc.txt")).revision(), seen);
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/uploads/") + id).status, 404);

    // An upload dropped by its client is gone too; nothing was placed.
    const QString dropped = begin(QStringLiteral("other.txt"), bytes);
    EXPECT_EQ(anna->send("DELETE", QStringLiteral("/2.1/uploads/") + dropped).status, 204);
    EXPECT_EQ(commit(dropped).status, 404);
    EXPECT_EQ(filesOnDisk(), QStringList{QStringLiteral("doc.txt")});
}

TEST_F(UploadTest, AServerKilledDuringAnUploadLeavesNoPartialFileAndTheUploadResumes) {
    const QByteArray bytes = content(400000);
    const QString id = begin(QStringLiteral("Video/clip.mp4"), bytes);
    ASSERT_EQ(put(id, bytes, 0, 100000).status, 200);
    {
        RawConnection raw(server->port());
        ASSERT_TRUE(raw.connected());
        raw.send("PUT /2.1/uploads/" + id.toLatin1() + " HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
                 anna->token.toLatin1() + "\r\nContent-Range: " + ServiceWire::contentRange(100000, 299999, bytes.size()) +
                 "\r\nContent-Length: 200000\r\n\r\n" + bytes.mid(100000, 50000));
        // A loaded machine (the sanitizers) may take a while to write what arrived.
        QDeadlineTimer deadline(30000);
        while (offset(id) < 150000 && !deadline.hasExpired()) QThread::msleep(10);
        ASSERT_GE(offset(id), 150000) << "the server never kept the bytes it was sent";
        server->kill();
    }
    ASSERT_TRUE(server->restart()) << server->lastError().toStdString();
    EXPECT_TRUE(filesOnDisk().isEmpty()) << filesOnDisk().join(u' ').toStdString();

    // The access token went with the process; the session did not: a refresh signs nobody out.
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/uploads/") + id).status, 401);
    const Reply refreshed = anna->form(QStringLiteral("/oauth2/token"), {{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                                                                        {QStringLiteral("refresh_token"), annaTokens.refreshToken}});
    ASSERT_EQ(refreshed.status, 200) << refreshed.body.toStdString();
    anna->token = refreshed.json().value(QStringLiteral("access_token")).toString();

    const qint64 resumed = offset(id);
    EXPECT_GE(resumed, 150000);
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/entry?path=Video%2Fclip.mp4")).status, 404);
    for (qint64 at = resumed; at < bytes.size(); at += 120000) ASSERT_EQ(put(id, bytes, at, std::min<qint64>(120000, bytes.size() - at)).status, 200);
    ASSERT_EQ(commit(id).status, 201);
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/content?path=Video%2Fclip.mp4")).body, bytes);
}

}  // namespace
