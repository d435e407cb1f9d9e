// The shell's small routines and the recently used list: file and folder
// tests, key filters, table tests, switch parsing and the list in the settings.
#include <sys/stat.h>

#include <QtTest>
#include <filesystem>
#include <fstream>

#include "AppTestSupport.h"
#include "shell/CCommandArgs.h"
#include "shell/CMRU.h"
#include "shell/modMerivox.h"
#include "registry/Registry.h"

class ShellRoutinesTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;

    static void Touch(const std::string& path) { std::ofstream(path) << "x"; }

    // A list on the frame's settings key.
    struct BoundList {
        CMRU mru;
        BoundList() {
            mru.RegistryPath("SOFTWARE\\Zelk\\Quantara\\6.0");
            mru.SubFolder("Settings");
        }
        QStringList Shown() const {
            QStringList shown;
            for (const CMRU::Entry& entry : mru.Entries()) shown << QString::fromStdString(entry.path);
            return shown;
        }
    };

    static std::string Stored(const std::string& name) {
        auto v = reg::QueryValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zelk\\Quantara\\6.0\\Settings", name);
        if (!v) return "<missing>";
        std::string s = v->data;
        if (!s.empty() && s.back() == '\0') s.pop_back();
        return s;
    }

private slots:
    void init() { env_.ClearSettings(); }

    void fileExistsTestsTheFileItself() {
        std::string dir = env_.Path().toStdString() + "/files";
        std::filesystem::create_directories(dir + "/folder.withlongname");
        for (const char* name : {"a.mdb", "b.db", "c.sqlite", "d.sqlite3", "noext", "with blank.sqlite"})
            Touch(dir + "/" + name);
        Touch(dir + "/folder.withlongname/data");
        // Databases of this system carry extensions of any length.
        QVERIFY(FileExists(dir + "/a.mdb"));
        QVERIFY(FileExists(dir + "/b.db"));
        QVERIFY(FileExists(dir + "/c.sqlite"));
        QVERIFY(FileExists(dir + "/d.sqlite3"));
        QVERIFY(FileExists(dir + "/noext"));
        QVERIFY(FileExists(dir + "/with blank.sqlite"));
        QVERIFY(FileExists(dir + "/folder.withlongname/data"));
        // Refusals: blank, a trailing "/", folders, missing files, devices, wild cards.
        QVERIFY(!FileExists(""));
        QVERIFY(!FileExists("    "));
        QVERIFY(!FileExists(dir + "/"));
        QVERIFY(!FileExists(dir));
        QVERIFY(!FileExists(dir + "/folder.withlongname"));
        QVERIFY(!FileExists(dir + "/missing.db"));
        QVERIFY(!FileExists("/dev/null"));
        QVERIFY(!FileExists(dir + "/*.db"));
    }

    void parentFolder() {
        QVERIFY(ParentFolder(vb::Variant("file.db")).IsNull());
        QVERIFY(ParentFolder(vb::Variant("/home/user/")).IsNull());
        QVERIFY(ParentFolder(vb::Variant("/file.db")).IsNull());
        QCOMPARE(ParentFolder(vb::Variant("/home/file.db")).String(), std::string("/home"));
        QCOMPARE(ParentFolder(vb::Variant("  /home/user/data.db  ")).String(), std::string("/home/user"));
        QVERIFY(ParentFolder(vb::Variant::Null()).IsNull());
    }

    void blanksAndKeys() {
        QVERIFY(IsBlank(vb::Variant()));
        QVERIFY(IsBlank(vb::Variant::Null()));
        QVERIFY(IsBlank(vb::Variant("")));
        QVERIFY(!IsBlank(vb::Variant(" ")));
        QVERIFY(!IsBlank(vb::Variant(0)));
        QVERIFY(NullIfEmpty("").IsNull());
        QCOMPARE(NullIfEmpty("x").String(), std::string("x"));

        for (int key : {8, int('-'), int('.'), int('0'), int('9')}) {
            int k = key;
            NumericKeyFilter(k);
            QCOMPARE(k, key);
        }
        for (int key : {int('a'), int(' '), int(','), int('+'), int('e')}) {
            int k = key;
            NumericKeyFilter(k);
            QCOMPARE(k, 0);
        }
        QCOMPARE(FilterNumericKey('-', true), 0);
        QCOMPARE(FilterNumericKey('.', true), 0);
        QCOMPARE(FilterNumericKey(8, true), 8);
        QCOMPARE(FilterNumericKey('7', true), int('7'));
        QCOMPARE(FilterNumericKey('-', false), int('-'));
        QCOMPARE(FilterNumericKey('x', false), 0);
        QCOMPARE(MaxLong(-3, 2), 2);
    }

    void tableOrQueryKind() {
        std::string path = env_.Path().toStdString() + "/kinds.db";
        std::filesystem::remove(path);
        dao::DatabasePtr db = dao::DBEngine().CreateDatabase(path);
        db->Execute("CREATE TABLE People (Name TEXT)");
        dao::QueryDefPtr q = db->CreateQueryDef("Adults", "SELECT * FROM People");
        db->TableDefs()->Refresh();
        db->QueryDefs()->Refresh();
        QCOMPARE(TableOrQueryKind(db, "People"), int16_t(0));
        QCOMPARE(TableOrQueryKind(db, "adults"), int16_t(1));
        QCOMPARE(TableOrQueryKind(db, "Nothing"), int16_t(-99));
        QVERIFY(TableExists(db, "people"));
        QVERIFY(!TableExists(db, "Adults"));
        db->Close();
    }

    void switchesParseAsWritten() {
        CCommandArgs args;
        args.Delim("/");
        args.TestString("/WG /UID /PWD ");
        args.Parse();
        QCOMPARE(args.Count(), 3);
        QCOMPARE(args.Item("WG"), std::string("WG"));
        QCOMPARE(args.Item("UID"), std::string("UID"));
        QCOMPARE(args.Item("pwd"), std::string("PWD"));
        QCOMPARE(args.Key(2), std::string("UID"));
        QCOMPARE(args.Item(vb::Variant(int32_t(2))), std::string("UID"));
        QCOMPARE(args.Item("nothing"), std::string());
        QCOMPARE(args.Item(vb::Variant(int32_t(7))), std::string());
        QVERIFY_THROWS_EXCEPTION(vb::VbError, args.Value(4));

        // Empty text: the previous pairs stay.
        args.TestString("");
        args.Parse();
        QCOMPARE(args.Count(), 3);
    }

    void switchValuesReadBackExactly() {
        // Linux paths hold "/", passwords may hold "/", "%" and blanks at either end.
        const std::string workgroup = "/home/ann/secure files/Merivox.MDW";
        const std::string user = "Ann Lee";
        const std::string password = " p/w%20 x ";
        CCommandArgs args;
        args.Delim("/");
        args.TestString(CCommandArgs::MRUSwitches(workgroup, user, password));
        args.Parse();
        QCOMPARE(args.Count(), 3);
        QCOMPARE(args.Item("WG"), workgroup);
        QCOMPARE(args.Item("UID"), user);
        QCOMPARE(args.Item("PWD"), password);

        // Nothing saved reads back as the keys themselves.
        args.TestString(CCommandArgs::MRUSwitches("", "", ""));
        args.Parse();
        QCOMPARE(args.Item("WG"), std::string("WG"));
        QCOMPARE(args.Item("PWD"), std::string("PWD"));
        // A workgroup and user without a saved password.
        args.TestString(CCommandArgs::MRUSwitches("/srv/wg.mdw", "admin", ""));
        args.Parse();
        QCOMPARE(args.Item("WG"), std::string("/srv/wg.mdw"));
        QCOMPARE(args.Item("UID"), std::string("admin"));
        QCOMPARE(args.Item("PWD"), std::string("PWD"));
    }

    void recentListKeepsFourNewestFirst() {
        BoundList list;
        list.mru.GetMRUList();
        // Nothing saved: no entries.
        QVERIFY(list.Shown().isEmpty());

        for (const char* p : {"/d/one.db", "/d/two.db", "/d/three.db", "/d/four.db"})
            list.mru.SetMRUList(p, CCommandArgs::MRUSwitches("", "", ""));
        QCOMPARE(list.Shown(), QStringList({"/d/four.db", "/d/three.db", "/d/two.db", "/d/one.db"}));

        // A fifth drops the oldest.
        list.mru.SetMRUList("/d/five.db", "/WG /UID /PWD ");
        QCOMPARE(list.Shown(), QStringList({"/d/five.db", "/d/four.db", "/d/three.db", "/d/two.db"}));
        QCOMPARE(Stored("MRU4"), std::string("/d/two.db"));

        // The same path in other letters moves to the top with its new switches, without a duplicate.
        const std::string tag = CCommandArgs::MRUSwitches("/w g/x.mdw", "u", "");
        list.mru.SetMRUList("/D/THREE.DB", tag);
        QCOMPARE(list.Shown(), QStringList({"/D/THREE.DB", "/d/five.db", "/d/four.db", "/d/two.db"}));
        QCOMPARE(list.mru.Entries().at(0).switches, tag);
        QCOMPARE(Stored("MRUTAG1"), tag);

        // A new list object reads the same list back.
        BoundList again;
        again.mru.GetMRUList();
        QCOMPARE(again.Shown(), list.Shown());

        // An empty path empties all eight values.
        list.mru.SetMRUList("", "");
        for (int n = 1; n <= 4; ++n) {
            QCOMPARE(Stored("MRU" + std::to_string(n)), std::string());
            QCOMPARE(Stored("MRUTAG" + std::to_string(n)), std::string());
        }
        QVERIFY(list.Shown().isEmpty());
    }

    void gapInTheListIsClosed() {
        reg::SetValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zelk\\Quantara\\6.0\\Settings", "MRU2", reg::REG_SZ,
                      std::string("/x/b.db\0", 8));
        reg::SetValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zelk\\Quantara\\6.0\\Settings", "MRUTAG2", reg::REG_SZ,
                      std::string("/WG /UID /PWD \0", 15));
        BoundList list;
        list.mru.GetMRUList();
        QCOMPARE(list.Shown(), QStringList({"/x/b.db"}));
        QCOMPARE(list.mru.Entries().at(0).switches, std::string("/WG /UID /PWD "));
    }

    void settingsFileIsOwnerOnly() {
        BoundList list;
        list.mru.SetMRUList("/d/secret.db", CCommandArgs::MRUSwitches("", "me", "pw"));
        struct stat info {};
        QCOMPARE(::stat(reg::RootFile(reg::HKEY_LOCAL_MACHINE).c_str(), &info), 0);
        QCOMPARE(int(info.st_mode & 0777), 0600);
    }
};

QTEST_MAIN(ShellRoutinesTest)
#include "ShellRoutinesTest.moc"
