#include "burn/iso/iso_tables.h"
#include "tests/support/test_home.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {
struct Tables {
    TestHome home;
    TIsoTables t;
    std::vector<std::pair<int, std::string>> messages;
    Tables()
    {
        t.OnMessage = [this](int kind, const std::string& m) { messages.emplace_back(kind, m); };
    }
    std::string file(const QString& name, int size = 10)
    {
        const QString path = home.path(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(size, 'x'));
        return path.toStdString();
    }
    std::vector<std::string> rootNames(bool iso = false)
    {
        std::vector<std::string> names;
        for (TFEntry* e = t.Root()->firstChild; e; e = e->next)
            names.push_back(iso ? e->isoName : e->longName);
        return names;
    }
};
}  // namespace

TEST(IsoTables, InsertIntoTheRootWithShortNames)
{
    Tables s;
    EXPECT_EQ(s.t.InsertFile("\\", s.file("readme.txt"), false), 1);
    EXPECT_EQ(s.t.InsertFile("\\", s.file("LICENSE"), false), 1);
    EXPECT_EQ(s.t.InsertFile("\\", s.file("a long report name.txt"), false), 1);
    EXPECT_EQ(s.t.InsertFile("\\", s.file("a long report copy.txt"), false), 1);
    EXPECT_EQ(s.t.InsertFile("\\", s.home.path("missing").toStdString(), false), 255);
    EXPECT_EQ(s.t.InsertFile("\\NOWHERE", s.file("x.txt"), false), 0);
    EXPECT_EQ(s.messages.back(), std::make_pair(4, std::string("INVALID DESTINATION PATH")));
    EXPECT_EQ(s.rootNames(), (std::vector<std::string>{"readme.txt", "LICENSE.", "a long report name.txt",
                                                        "a long report copy.txt"}));
    EXPECT_EQ(s.rootNames(true), (std::vector<std::string>{"README.TXT", "LICENSE.", "ALONGR~1.TXT", "ALONGR~2.TXT"}));
    EXPECT_EQ(s.t.FileCount(), 4);
    EXPECT_EQ(s.t.DirectoryCount(), 0);
}

TEST(IsoTables, DuplicatesAreRefusedOrReplacedInPlace)
{
    Tables s;
    const std::string first = s.file("a/report.txt", 10);
    const std::string second = s.file("b/report.txt", 20);
    const std::string noDot = s.file("a/NOTES", 1);
    s.t.InsertFile("\\", first, false);
    s.t.InsertFile("\\", noDot, false);
    s.t.InsertFile("\\", second, false);
    EXPECT_EQ(s.t.FileCount(), 2);
    EXPECT_EQ(s.t.Root()->firstChild->size, 10);
    s.t.InsertFile("\\", s.file("b/NOTES", 2), false);  // the stored "NOTES." is found as existing
    EXPECT_EQ(s.t.FileCount(), 2);
    s.t.ReplaceFile = true;
    s.t.InsertFile("\\", second, false);
    EXPECT_EQ(s.t.FileCount(), 2);
    EXPECT_EQ(s.t.Root()->firstChild->size, 20);  // same place, new data
    EXPECT_EQ(s.t.Root()->firstChild->SourcePath(), second);
}

TEST(IsoTables, LongNamesAndDirectorySources)
{
    Tables s;
    s.t.InsertFile("\\", s.file(QString(127, 'n') + ""), false);  // 127 + "." = 128: skipped
    EXPECT_EQ(s.t.FileCount(), 0);
    s.t.InsertFile("\\", s.file(QString(122, 'm') + ".txt"), false);  // 126 characters: added
    EXPECT_EQ(s.t.FileCount(), 1);
    QDir().mkpath(s.home.path("folder"));
    EXPECT_EQ(s.t.InsertFile("\\", s.home.path("folder").toStdString(), false), 0);
    EXPECT_EQ(s.messages.back().first, 4);
    EXPECT_EQ(s.t.FileCount(), 1);
}

TEST(IsoTables, KeepSourcePathMakesTheDirectories)
{
    Tables s;
    const std::string path = s.file("a/b/file.txt");
    EXPECT_EQ(s.t.InsertFile("", path, true), 1);
    std::string tree = path.substr(0, path.rfind('/'));
    std::replace(tree.begin(), tree.end(), '/', '\\');
    TDEntry* dir = s.t.FindDirectory(tree);
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->longName, "b");
    EXPECT_EQ(dir->isoName, "B");
    EXPECT_EQ(dir->firstChild->longName, "file.txt");
    EXPECT_EQ(s.t.FindDirectory(TIsoTables::Upper(tree) + "\\"), dir);
    EXPECT_EQ(dir->parent->longName, "a");
    EXPECT_EQ(s.t.ForceDirectories(tree), dir);
}

TEST(IsoTables, DirectoryNamesAndLimits)
{
    Tables s;
    TDEntry* d = s.t.InsertDirectoryByName(s.t.Root(), "\\Very long folder name here\\", kAttrDirectory);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->isoName, "VERY_LONG_FOL");
    EXPECT_EQ(d->path, "\\Very long folder name here");
    EXPECT_EQ(TIsoTables::ShortNameOf13("a{b|c}~d"), "A_B_C__D");  // only "!" to "z" stay
    s.t.ClearFileSystem(100, 2);
    ASSERT_TRUE(s.t.InsertDirectoryByName(s.t.Root(), "one", kAttrDirectory));
    EXPECT_FALSE(s.t.InsertDirectoryByName(s.t.Root(), "two", kAttrDirectory));
    EXPECT_EQ(s.messages.back(), std::make_pair(3, std::string(">>> MAXIMUM DIRECTORIES CAN BE 2")));
    // A full file table refuses the directory before making its record.
    s.t.ClearFileSystem(1, 10);
    ASSERT_TRUE(s.t.InsertDirectoryByName(s.t.Root(), "one", kAttrDirectory));
    EXPECT_FALSE(s.t.InsertDirectoryByName(s.t.Root(), "two", kAttrDirectory));
    EXPECT_EQ(s.t.DirectoryCount(), 1);
    EXPECT_EQ(s.messages.back(), std::make_pair(3, std::string(">>> MAXIMUM FILES CAN BE 1")));
}

TEST(IsoTables, IsoNamesStayUniqueInADirectory)
{
    Tables s;
    s.t.InsertFile("\\", s.file("LONGNA~1.TXT"), false);
    s.t.InsertFile("\\", s.file("longname one.txt"), false);
    s.t.InsertFile("\\", s.file("longname two.txt"), false);
    std::set<std::string> names;
    for (const std::string& n : s.rootNames(true))
        EXPECT_TRUE(names.insert(n).second) << n;
    EXPECT_EQ(names.size(), 3u);
    EXPECT_TRUE(TIsoTables::IsValid83("A.TXT"));
    EXPECT_TRUE(TIsoTables::IsValid83("readme"));
    EXPECT_FALSE(TIsoTables::IsValid83("a.b.c"));
    EXPECT_FALSE(TIsoTables::IsValid83("toolongname.txt"));
    EXPECT_FALSE(TIsoTables::IsValid83("a b.txt"));
}

TEST(IsoTables, NamesThatDifferOnlyByCaseAreDifferentEntries)
{
    Tables s;
    EXPECT_EQ(s.t.InsertFile("\\", s.file("a/Report.txt"), false), 1);
    EXPECT_EQ(s.t.InsertFile("\\", s.file("b/REPORT.TXT"), false), 1);
    EXPECT_EQ(s.t.InsertFile("\\", s.file("c/report.txt"), false), 1);
    EXPECT_EQ(s.rootNames(), (std::vector<std::string>{"Report.txt", "REPORT.TXT", "report.txt"}));
    EXPECT_EQ(s.rootNames(true), (std::vector<std::string>{"REPORT.TXT", "REPORT~1.TXT", "REPORT~2.TXT"}));
    TDEntry* mixed = s.t.InsertDirectoryByName(s.t.Root(), "Dir", kAttrDirectory);
    TDEntry* upper = s.t.InsertDirectoryByName(s.t.Root(), "DIR", kAttrDirectory);
    ASSERT_TRUE(mixed && upper);
    EXPECT_NE(mixed, upper);
    EXPECT_EQ(mixed->isoName, "DIR");
    EXPECT_EQ(upper->isoName, "DIR~1");
    EXPECT_EQ(s.t.FindDirectory("\\Dir"), mixed);
    EXPECT_EQ(s.t.FindDirectory("\\DIR"), upper);
    EXPECT_EQ(s.t.FindDirectory("\\dir"), nullptr);  // two candidates: neither is meant
    EXPECT_EQ(s.t.ForceDirectories("\\Dir\\sub")->parent, mixed);
    EXPECT_EQ(s.t.ForceDirectories("\\DIR\\sub")->parent, upper);
    EXPECT_EQ(s.t.FindDirectory("\\dir\\SUB"), nullptr);
    EXPECT_TRUE(s.messages.empty());
    // The very same name is still one entry: the second is refused and named.
    EXPECT_EQ(s.t.InsertFile("\\", s.file("d/report.txt"), false), 1);
    EXPECT_EQ(s.t.FileCount(), 7);
    ASSERT_FALSE(s.messages.empty());
    EXPECT_EQ(s.messages.back().first, 4);
    EXPECT_NE(s.messages.back().second.find("FILE EXISTS, NOT ADDED"), std::string::npos);
}
