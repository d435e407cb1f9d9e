// The generated sample code as a client programmer uses it: this build is
// installed into a temporary prefix, each of the eight variants is compiled
// with the compiler on PATH against that installed package only (warnings as
// errors), and run against the example database, kept at a path and with
// output table names that need escaping. Each must return true and write its
// table.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "AppTestSupport.h"
#include "ExampleDatabase.h"
#include "dao/Dao.h"
#include "forms/frmGenerateCode.h"
#include "shell/modMerivox.h"
#include "services/ErrorBoundary.h"

class GeneratedCodeRunTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    struct Variant {
        bool arguments, specifyAll, useObject;
        QString name;
    };

private slots:
    void everyVariantCompilesAndRuns() {
        QVERIFY(dir_.isValid());
        // A path with a quote, double quotes, a backslash and a space.
        const std::string dbPath = dir_.path().toStdString() + "/it's \"our\" \\study.db";
        example::BuildExampleDatabase(dbPath);

        GenerateCodeInput info;
        dao::DatabasePtr db = dao::DBEngine().Workspaces(0)->OpenDatabase(dbPath);
        {
            dao::RecordsetPtr rs = db->OpenRecordset(
                "SELECT Scenario_ID FROM usysQuarnScenarios WHERE Scenario_Analysis_SubType = 'Describe'",
                dao::dbOpenSnapshot);
            QVERIFY(!rs->Eof());
            info.ScenarioID = rs->Fields(0)->Value().ToString();
            rs->Close();
        }
        db->Close();
        info.Desc = "Blood pressure\r\nby clinic in C:\\data\\";
        info.Table = example::kDataTable;
        info.OutputTable1 = "Out \"1\" \\ \xC3\xA9";
        info.DatabasePath = dbPath;

        const QString main = dir_.path() + "/main.cpp";
        {
            QFile f(main);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("bool SampleRunScenarioRoutine();\nint main() { return SampleRunScenarioRoutine() ? 0 : 1; }\n");
        }

        std::vector<Variant> variants;
        for (int i = 0; i < 8; ++i)
            variants.push_back({(i & 4) != 0, (i & 2) != 0, (i & 1) != 0, QString("variant%1").arg(i)});

        // The package as a client finds it once installed.
        const QString prefix = dir_.path() + "/prefix";
        {
            QProcess install;
            install.setProcessChannelMode(QProcess::MergedChannels);
            install.start(MERIVOX_CMAKE, {"--install", MERIVOX_BUILD_DIR, "--prefix", prefix});
            QVERIFY(install.waitForFinished(600000));
            QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                     qPrintable(QString::fromLocal8Bit(install.readAll())));
        }
        const QString include = prefix + "/" MERIVOX_INSTALL_INCLUDEDIR "/merivox6";
        const QString lib = prefix + "/" MERIVOX_INSTALL_LIBDIR;
        QVERIFY(QFile::exists(include + "/Merivox6/Quantara.h"));

        // All eight compile at once.
        std::vector<std::unique_ptr<QProcess>> compilers;
        for (const Variant& v : variants) {
            const QString source = dir_.path() + "/" + v.name + ".cpp";
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(frmGenerateCode::SampleCode(info, v.arguments, v.specifyAll, v.useObject).c_str());
            f.close();
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::MergedChannels);
            QStringList args{"-std=c++20",
                             "-Wall",
                             "-Wextra",
                             "-Werror",
                             "-I" + include,
                             source,
                             main,
                             "-o",
                             dir_.path() + "/" + v.name,
                             "-L" + lib,
                             "-lMerivox6",
                             "-lMerivoxPlatform",
                             "-Wl,-rpath," + lib};
            // A client of sanitized libraries is built with the same runtime.
            if (QString(MERIVOX_CLIENT_FLAGS).size() > 0) args << QString(MERIVOX_CLIENT_FLAGS);
            p->start("c++", args);
            compilers.push_back(std::move(p));
        }
        for (size_t i = 0; i < compilers.size(); ++i) {
            QProcess& p = *compilers[i];
            QVERIFY2(p.waitForFinished(600000), qPrintable(variants[i].name));
            QVERIFY2(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
                     qPrintable(variants[i].name + ":\n" + QString::fromLocal8Bit(p.readAll())));
        }

        // Each run writes its output table afresh: the named one, or the scenario's own.
        for (const Variant& v : variants) {
            const std::string table = v.specifyAll ? info.OutputTable1 : "Brux_BP_Describe";
            db = dao::DBEngine().Workspaces(0)->OpenDatabase(dbPath);
            if (TableExists(db, table)) db->TableDefs()->Delete(table);
            db->Close();

            QProcess run;
            run.setProcessChannelMode(QProcess::MergedChannels);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("XDG_CONFIG_HOME", dir_.path() + "/config");
            env.insert("XDG_STATE_HOME", dir_.path() + "/state");
            run.setProcessEnvironment(env);
            run.start(dir_.path() + "/" + v.name, {});
            QVERIFY(run.waitForFinished(120000));
            QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0,
                     qPrintable(v.name + " returned false:\n" + QString::fromLocal8Bit(run.readAll())));

            db = dao::DBEngine().Workspaces(0)->OpenDatabase(dbPath);
            QVERIFY2(TableExists(db, table), qPrintable(v.name));
            dao::RecordsetPtr rs = db->OpenRecordset(table, dao::dbOpenSnapshot);
            QVERIFY2(!rs->Eof(), qPrintable(v.name));
            rs->Close();
            db->Close();
        }
    }
};

int main(int argc, char** argv) {
    MerivoxApplication app(argc, argv);
    GeneratedCodeRunTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "GeneratedCodeRunTest.moc"
