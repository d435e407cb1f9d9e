// Window positions: the stored text, and a stored place fitted to the screen.
#include <QScreen>
#include <QtTest>

#include "AppTestSupport.h"
#include "shell/CWinPos.h"
#include "registry/Registry.h"

class WinPosTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;

    static CWinPos Positions() {
        CWinPos pos;
        pos.ProductSettings().RegBase("Zelk");
        pos.ProductSettings().MainBranch("SOFTWARE");
        pos.ProductSettings().Program("Quantara\\6.0");
        pos.ProductSettings().Section("Form Position");
        return pos;
    }

    static void Store(const std::string& text) {
        std::string data = text + '\0';
        reg::SetValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zelk\\Quantara\\6.0\\Form Position", "frmProbe", reg::REG_SZ,
                      data);
    }

    static std::string Stored() {
        auto v = reg::QueryValue(reg::HKEY_LOCAL_MACHINE, "SOFTWARE\\Zelk\\Quantara\\6.0\\Form Position", "frmProbe");
        if (!v) return "<missing>";
        std::string s = v->data;
        if (!s.empty() && s.back() == '\0') s.pop_back();
        return s;
    }

    struct Window : QWidget {
        Window() {
            setObjectName("frmProbe");
            setGeometry(10, 20, 300, 200);
        }
    };

private slots:
    void init() { env_.ClearSettings(); }

    void nothingStoredChangesNothing() {
        Window w;
        CWinPos pos = Positions();
        QVERIFY(!pos.RestoreForm(&w));
        QCOMPARE(w.geometry(), QRect(10, 20, 300, 200));
    }

    void normalWindowRoundTripsInTwips() {
        Window w;
        w.show();
        w.move(45, 60);
        w.resize(320, 240);
        CWinPos pos = Positions();
        pos.SaveForm(&w);
        QCOMPARE(Stored(), std::string("675 900 4800 3600 0"));
        Window again;
        QVERIFY(pos.RestoreForm(&again));
        QCOMPARE(again.pos(), QPoint(45, 60));
        QCOMPARE(again.size(), QSize(320, 240));
    }

    void maximisedAndMinimisedKeepOnlyTheState() {
        Window w;
        w.showMaximized();
        CWinPos pos = Positions();
        pos.SaveForm(&w);
        QCOMPARE(Stored(), std::string("-1 -1 -1 -1 2"));
        Window again;
        QVERIFY(pos.RestoreForm(&again));
        QVERIFY(again.windowState() & Qt::WindowMaximized);

        Store("-1 -1 -1 -1 1");
        Window minimised;
        minimised.setWindowState(Qt::WindowMinimized);
        QVERIFY(pos.RestoreForm(&minimised));
        QCOMPARE(int(minimised.windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)), 0);
    }

    void storedPlaceIsFittedToTheScreen() {
        Window w;
        const QRect screen = w.screen()->geometry();
        const int sw = screen.width() * 15, sh = screen.height() * 15;
        CWinPos pos = Positions();

        // A left edge beyond a screen that has become smaller goes to 0; so does a negative one.
        Store(std::to_string(sw + 15) + " " + std::to_string(-30) + " 3000 1500 0");
        QVERIFY(pos.RestoreForm(&w));
        QCOMPARE(w.pos(), QPoint(0, 0));
        QCOMPARE(w.size(), QSize(200, 100));

        // A width or height running past the edge is cut to end at it.
        Store("1500 1500 " + std::to_string(sw) + " " + std::to_string(sh) + " 0");
        QVERIFY(pos.RestoreForm(&w));
        QCOMPARE(w.pos(), QPoint(100, 100));
        QCOMPARE(w.size(), QSize(screen.width() - 100, screen.height() - 100));

        // Missing numbers leave their properties; text that is no number counts as 0; extras are ignored.
        w.setGeometry(10, 20, 300, 200);
        Store("750  abc");
        QVERIFY(pos.RestoreForm(&w));
        QCOMPARE(w.geometry(), QRect(50, 0, 300, 200));
        Store("0 0 1500 1500 0 99 99");
        QVERIFY(pos.RestoreForm(&w));
        QCOMPARE(w.geometry(), QRect(0, 0, 100, 100));
    }

    void centerform() {
        Window w;
        const QRect screen = w.screen()->geometry();
        Positions().centerform(&w);
        QCOMPARE(w.pos(), QPoint((screen.width() - 300) / 2, (screen.height() - 200) / 2));
    }
};

QTEST_MAIN(WinPosTest)
#include "WinPosTest.moc"
