// The session's byte stream: its parts in order, each file padded to whole sectors, the
// padding up to the session's length, the faults of a source that is not as it was added,
// the same bytes through the burn's read-ahead cache as through the image file, and the
// checksums and checksum list taken from those bytes as they are read.

#include "burn/iso/iso_image.h"
#include "burn/iso/iso_image_file.h"
#include "burn/iso/session_checksums.h"
#include "burn/iso/session_hashes.h"
#include "burn/iso/session_stream.h"
#include "burn/sector_size.h"
#include "burn/write/write_cache.h"
#include "tests/support/test_home.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace {

struct StreamRig {
    TestHome home;
    std::string makeFile(const QString& name, int size)
    {
        const QString path = home.path("src/" + name);
        QDir().mkpath(QFileInfo(path).path());
        QByteArray data(size, '\0');
        for (int i = 0; i < size; ++i)
            data[i] = static_cast<char>((i * 5 + name.size() + 1) & 0xFF);
        writeTestFile(path, data);
        return path.toStdString();
    }
};

// A session of files in folders, an empty one among them, with its checksum list.
struct ListedSessionRig : StreamRig {
    TIsoTables tables;
    TSessionChecksums checksums{tables};
    std::shared_ptr<TSessionHashes> hashes;
    std::map<std::string, QByteArray> data;  // source path -> bytes
    std::string listPath = home.path("lists/SHA256SUMS").toStdString();
    ListedSessionRig()
    {
        QDir().mkpath(home.path("lists"));
        tables.ClearFileSystem(1000, 1000);
        for (const auto& [name, size] : {std::pair{"one/a.txt", 70000}, {"two/c.txt", 300000}, {"d.txt", 1}, {"e.txt", 0}}) {
            const std::string path = makeFile(name, size);
            tables.InsertFile("\\", path, true);
            data[path] = readTestFile(QString::fromStdString(path));
        }
    }
};

// Every byte the burn's read-ahead cache hands on from the stream, and its error text.
QByteArray throughCache(TSessionStream stream, std::string* error)
{
    TCacheThread cache(std::move(stream), 2097152);
    cache.Start();
    QByteArray burnt;
    if (cache.WaitPrimed()) {
        std::vector<uint8_t> block(TCacheThread::kBlockBytes);
        while (const int n = cache.WaitBlock(block))
            burnt.append(reinterpret_cast<const char*>(block.data()), n);
    }
    cache.Join();
    *error = cache.ErrorText();
    return burnt;
}

// Every byte of the stream, read in pieces of `piece` bytes; the counts of the reads too.
std::vector<uint8_t> drain(TSessionStream& s, std::size_t piece, std::vector<std::ptrdiff_t>* counts = nullptr)
{
    std::vector<uint8_t> all, buffer(piece);
    for (;;) {
        const std::ptrdiff_t n = s.Read(buffer);
        if (counts)
            counts->push_back(n);
        if (n <= 0)
            return all;
        all.insert(all.end(), buffer.begin(), buffer.begin() + n);
    }
}

}  // namespace

TEST(SessionStream, HeaderFilesInOrderEachPaddedThenZerosToTheSessionLength)
{
    StreamRig r;
    const std::string a = r.makeFile("a", 1), b = r.makeFile("b", 2048), c = r.makeFile("c", 2049);
    const std::vector<uint8_t> header(2 * kSectorSize, 0xAB);
    const int64_t total = 10 * kSectorSize;  // 2 header + 1 + 1 + 2 file sectors + 4 of padding
    for (const std::size_t piece : {std::size_t{512}, std::size_t{kSectorSize} * 3, std::size_t{1} << 20}) {
        TSessionStream s(header, {{a, 1}, {b, 2048}, {c, 2049}}, total);
        const std::vector<uint8_t> all = drain(s, piece);
        ASSERT_EQ(all.size(), std::size_t(total)) << piece;
        EXPECT_EQ(std::count(all.begin(), all.begin() + 2 * kSectorSize, 0xAB), 2 * kSectorSize);
        const QByteArray fileA = readTestFile(QString::fromStdString(a));
        const QByteArray fileB = readTestFile(QString::fromStdString(b));
        const QByteArray fileC = readTestFile(QString::fromStdString(c));
        const auto bytesAt = [&](std::size_t sector, int n) {
            return QByteArray(reinterpret_cast<const char*>(&all[sector * kSectorSize]), n);
        };
        EXPECT_EQ(bytesAt(2, 1), fileA) << piece;
        EXPECT_EQ(std::count(all.begin() + 2 * kSectorSize + 1, all.begin() + 3 * kSectorSize, 0), kSectorSize - 1);
        EXPECT_EQ(bytesAt(3, 2048), fileB) << piece;
        EXPECT_EQ(bytesAt(4, 2049), fileC) << piece;
        EXPECT_EQ(std::count(all.begin() + 4 * kSectorSize + 2049, all.end(), 0), total - 4 * kSectorSize - 2049);
        EXPECT_EQ(s.FaultKind(), TSessionStream::Fault::None);
    }
}

TEST(SessionStream, EachPartStartsAReadOfItsOwn)
{
    StreamRig r;
    const std::string a = r.makeFile("a", 3000);
    TSessionStream s(std::vector<uint8_t>(kSectorSize, 1), {{a, 3000}}, 6 * kSectorSize);
    std::vector<std::ptrdiff_t> counts;
    drain(s, 4 * kSectorSize, &counts);
    // The header (1 sector), the file (2), the padding (3), the end.
    EXPECT_EQ(counts, (std::vector<std::ptrdiff_t>{kSectorSize, 2 * kSectorSize, 3 * kSectorSize, 0}));
}

TEST(SessionStream, ASourceThatIsNotAsItWasAddedStopsTheStreamNamingIt)
{
    StreamRig r;
    const std::string good = r.makeFile("good", 100);
    const std::string grown = r.makeFile("grown", 300);
    const std::string folder = r.home.path("src").toStdString();
    const struct {
        const char* what;
        TSessionStream::File file;
        TSessionStream::Fault fault;
    } cases[] = {
        {"missing", {r.home.path("src/none").toStdString(), 10}, TSessionStream::Fault::CannotOpen},
        {"grew since it was added", {grown, 200}, TSessionStream::Fault::Changed},
        {"shrank since it was added", {grown, 400}, TSessionStream::Fault::Changed},
        {"a folder now", {folder, 10}, TSessionStream::Fault::NotRegular},
    };
    for (const auto& c : cases) {
        TSessionStream s({}, {{good, 100}, c.file}, 10 * kSectorSize);
        std::vector<std::ptrdiff_t> counts;
        drain(s, 1 << 20, &counts);
        EXPECT_EQ(counts.back(), -1) << c.what;
        EXPECT_EQ(s.FaultKind(), c.fault) << c.what;
        EXPECT_EQ(s.CurrentFile(), c.file.path) << c.what;
        EXPECT_EQ(counts.size(), 1u) << c.what;  // nothing of the good file is handed out before
    }
}

TEST(SessionStream, TheCacheHandsOnTheBytesOfTheImageFile)
{
    StreamRig r;
    TIsoTables tables;
    TIsoImage image{tables};
    for (const auto& [name, size] : {std::pair{"one/a.txt", 70000}, {"one/b.txt", 2048}, {"two/c.txt", 300000},
                                     {"d.txt", 1}, {"e.txt", 0}})
        tables.InsertFile("\\", r.makeFile(name, size), true);
    ASSERT_TRUE(image.PrepareImage());
    const QString iso = r.home.path("t.iso");
    std::string error;
    ASSERT_TRUE(WriteImageFile(image, tables, iso.toStdString(), &error)) << error;
    const QByteArray file = readTestFile(iso);

    const QByteArray burnt = throughCache(TSessionStream(image.TakeHeaderStream(), TSessionStream::NewFiles(tables),
                                                         image.ImageSectors() * int64_t{kSectorSize}),
                                          &error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(burnt.size(), image.ImageSectors() * int64_t{kSectorSize});
    EXPECT_TRUE(burnt == file);
}

TEST(SessionStream, EachFilesChecksumIsOfTheBytesHandedOutAndTheListLastHoldsThemAll)
{
    ListedSessionRig r;
    std::string error;
    ASSERT_TRUE(r.checksums.Add(r.listPath, &r.hashes, &error)) << error;
    const std::vector<TSessionStream::File> files = TSessionStream::NewFiles(r.tables);
    ASSERT_EQ(files.size(), 4u);  // three with data and the list, last
    ASSERT_EQ(files.back().path, r.listPath);
    EXPECT_EQ(QFileInfo(QString::fromStdString(r.listPath)).size(), files.back().size);  // its space is kept
    const QByteArray burnt = throughCache(TSessionStream({}, files, 400 * kSectorSize, r.hashes), &error);
    ASSERT_EQ(error, "");

    QStringList expected;
    for (const TSessionFile& f : r.hashes->Files()) {
        EXPECT_EQ(QByteArray::fromStdString(f.hex),
                  QCryptographicHash::hash(r.data.at(f.sourcePath), QCryptographicHash::Sha256).toHex());
        expected << QString::fromStdString(f.hex + "  " + f.discName);
    }
    EXPECT_EQ(expected.size(), 4);
    const QByteArray list = readTestFile(QString::fromStdString(r.listPath));
    QStringList lines = QString::fromUtf8(list).split('\n', Qt::SkipEmptyParts);
    lines.sort();
    expected.sort();
    EXPECT_EQ(lines, expected);
    // On the disc the list follows the padded files, and its size was known before.
    int64_t at = 0;
    for (std::size_t i = 0; i + 1 < files.size(); ++i)
        at += (files[i].size + kSectorSize - 1) / kSectorSize * kSectorSize;
    EXPECT_EQ(files.back().size, list.size());
    EXPECT_EQ(burnt.mid(at, list.size()), list);
}

TEST(SessionStream, AListOrFileThatCannotBeMadeOrReadStopsTheBurnWithTheReason)
{
    enum Harm { ListFolderGone, SourceGone, ListFirst };
    const struct {
        Harm harm;
        bool beforeAdd;  // else between the list's insertion and the write
        const char* error;
    } cases[] = {
        {ListFolderGone, true, "CANNOT WRITE THE CHECKSUM LIST "},
        {SourceGone, true, "CAN'T OPEN FILE "},
        {ListFolderGone, false, "CANNOT WRITE THE CHECKSUM LIST "},
        {ListFirst, false, "THE CHECKSUM LIST CAME BEFORE "},
    };
    for (const auto& c : cases) {
        ListedSessionRig r;
        std::vector<TSessionStream::File> files;
        const auto harm = [&] {
            if (c.harm == ListFolderGone)
                return QDir(r.home.path("lists")).removeRecursively();
            if (c.harm == SourceGone)
                return QFile::remove(r.home.path("src/two/c.txt"));
            std::rotate(files.begin(), files.end() - 1, files.end());
            return true;
        };
        std::string error;
        if (c.beforeAdd) {
            ASSERT_TRUE(harm());
            EXPECT_FALSE(r.checksums.Add(r.listPath, &r.hashes, &error));  // refused before any write
            EXPECT_FALSE(r.hashes);
        } else {
            ASSERT_TRUE(r.checksums.Add(r.listPath, &r.hashes, &error)) << error;
            files = TSessionStream::NewFiles(r.tables);
            ASSERT_TRUE(harm());
            throughCache(TSessionStream({}, files, 400 * kSectorSize, r.hashes), &error);
        }
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    }
}
