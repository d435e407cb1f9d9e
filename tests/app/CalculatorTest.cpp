// The probability calculator: the boxes each type shows, its messages and
// where they leave the focus, the inverse direction keeping or clearing the
// value, and results against published table values (two-sided normal,
// two-sided t, upper-tail chi-square and F).
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <cmath>
#include <numbers>

#include "AppTestSupport.h"
#include "FormLookup.h"
#include "shell/ProgramInfo.h"
#include "services/ErrorBoundary.h"
#include "forms/frmQuarn_Calculator.h"
#include "shell/MDIMain.h"
#include "shell/modMerivox.h"

class CalculatorTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    ui::RecordingUi rec_;
    std::unique_ptr<ui::ScopedUi> installed_;
    std::shared_ptr<CErr_Zelk> stack_;
    QPointer<frmQuarn_Calculator> calc_;
    // The frame whose Tools menu and toolbar open the calculator.
    std::unique_ptr<MDIMain> frame_;

    template <class T>
    T* Get(const char* name) {
        T* w = calc_->findChild<T*>(name);
        if (!w) qFatal("no control %s", name);
        return w;
    }
    QLineEdit* Box(const char* name) { return Get<QLineEdit>(name); }
    QString Label(const char* name) { return Get<QLabel>(name)->text(); }
    void Click(const char* name) { Get<QAbstractButton>(name)->click(); }
    void Type(int index) { Get<QRadioButton>(qPrintable(QString("optProbType_%1").arg(index)))->click(); }
    // Fills the boxes and presses Calculate.
    void Calc(const QString& value, const QString& df1 = {}, const QString& df2 = {}) {
        Box("txtTestValue")->setText(value);
        Box("txtDF1")->setText(df1);
        Box("txtDF2")->setText(df2);
        Click("cmdCalculate");
    }
    double Result() {
        bool ok = false;
        double v = Label("lblProbability").toDouble(&ok);
        if (!ok) qFatal("result is not a number: %s", qPrintable(Label("lblProbability")));
        return v;
    }
    std::vector<std::string> Prompts() const {
        std::vector<std::string> out;
        for (const auto& b : rec_.boxes) out.push_back(b.prompt);
        return out;
    }
    static bool Near(double got, double want, double relative) {
        return std::fabs(got - want) <= relative * std::fabs(want);
    }

private slots:
    void initTestCase() {
        installed_ = std::make_unique<ui::ScopedUi>(rec_);
        frame_ = std::make_unique<MDIMain>();
    }
    void cleanupTestCase() { frame_.reset(); }

    void init() {
        rec_.Reset();
        stack_ = std::make_shared<CErr_Zelk>();
        stack_->DisplayError(false);
        SetErrStack(stack_);
        frame_->ShowCalculator();
        calc_ = qobject_cast<frmQuarn_Calculator*>(FindForm("frmQuarn_Calculator"));
        QVERIFY(calc_);
    }

    void cleanup() {
        // No check may end in the unexpected-error path.
        QCOMPARE(stack_->ErrDescription(), std::string());
        if (calc_) UnloadForm(calc_);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetErrStack(nullptr);
    }

    void startsWithZAndOneWindowOnly() {
        QCOMPARE(calc_->windowTitle(), QString("Probability Calculator"));
        QVERIFY(Get<QRadioButton>("optProbType_0")->isChecked());
        QCOMPARE(Label("lblTestValue"), QString("Z-Value:"));
        QCOMPARE(Label("lblProbabilityCaption"), QString("Probability:"));
        QVERIFY(Get<QLabel>("lblProbRange")->isVisible());
        for (const char* hidden : {"txtDF1", "lblDF1Fld", "txtDF2", "lblDF2"})
            QVERIFY2(!Get<QWidget>(hidden)->isVisible(), hidden);
        QCOMPARE(calc_->focusWidget(), Box("txtTestValue"));  // a value is typed at once
        // A second opening shows the same window.
        frame_->ShowCalculator();
        QCOMPARE(FindForm("frmQuarn_Calculator"), static_cast<QWidget*>(calc_.data()));
        // Closing unloads it; the next opening starts afresh.
        Box("txtTestValue")->setText("2");
        Click("cmdClose");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!calc_);
        QVERIFY(!IsFormLoaded("frmQuarn_Calculator"));
        frame_->ShowCalculator();
        calc_ = qobject_cast<frmQuarn_Calculator*>(FindForm("frmQuarn_Calculator"));
        QVERIFY(calc_);
        QCOMPARE(Box("txtTestValue")->text(), QString());
        // Esc closes it as well.
        QTest::keyClick(Box("txtTestValue"), Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!calc_);
        QVERIFY(!IsFormLoaded("frmQuarn_Calculator"));
        frame_->ShowCalculator();
        calc_ = qobject_cast<frmQuarn_Calculator*>(FindForm("frmQuarn_Calculator"));
        QVERIFY(calc_);
        // Help opens the calculator's own topic.
        Click("cmdHelp");
        QCOMPARE(rec_.helpCalls, std::vector<std::string>({program::HelpFilePath() + "#111"}));
    }

    void eachTypeShowsItsBoxes() {
        struct Case {
            int index;
            const char* caption;
            bool df1, df2;
            const char* df1Caption;
        };
        for (const Case& c : {Case{3, "F-Value:", true, true, "Degrees of Freedom #1:"},
                              Case{1, "t-Value:", true, false, "Degrees of Freedom:"},
                              Case{2, "Chi-Square:", true, false, "Degrees of Freedom:"},
                              Case{0, "Z-Value:", false, false, "Degrees of Freedom:"}}) {
            Type(c.index);
            QCOMPARE(Label("lblTestValue"), QString(c.caption));
            QCOMPARE(Label("lblProbabilityCaption"), QString("Probability"));
            QCOMPARE(Get<QWidget>("txtDF1")->isVisible(), c.df1);
            QCOMPARE(Get<QWidget>("lblDF1Fld")->isVisible(), c.df1);
            QCOMPARE(Get<QWidget>("txtDF2")->isVisible(), c.df2);
            QCOMPARE(Get<QWidget>("lblDF2")->isVisible(), c.df2);
            QCOMPARE(Label("lblDF1Fld"), QString(c.df1Caption));
        }
        QVERIFY(rec_.boxes.empty());
    }

    void messagesAndFocus() {
        // Nothing typed: nothing happens.
        Calc("");
        QVERIFY(rec_.boxes.empty());

        Calc("abc");
        QCOMPARE(Prompts(), std::vector<std::string>({"The test value must be numeric."}));
        QCOMPARE(rec_.boxes[0].style, int(ui::vbOKOnly));
        QCOMPARE(rec_.boxes[0].title, std::string("Quantara"));

        rec_.Reset();
        Calc("-1.5");
        QCOMPARE(Prompts(), std::vector<std::string>({"Test value must be greater than zero."}));
        QCOMPARE(calc_->focusWidget(), Box("txtTestValue"));
        QCOMPARE(Label("lblProbability"), QString());

        // t takes negative values: the two-sided probability of |t| = 1.5 on 10 df.
        rec_.Reset();
        Type(1);
        Calc("-1.5", "10");
        QVERIFY(rec_.boxes.empty());
        QVERIFY(Near(Result(), 0.164507326445437, 2e-6));

        // Degrees of freedom of 0 or below, and typing slips that are no number.
        const std::vector<std::pair<QString, std::string>> bad = {{"0", "The value must be greater than 0"},
                                                                  {"-3", "The value must be greater than 0"},
                                                                  {"1.2.3", "The value must be numeric."},
                                                                  {"-", "The value must be numeric."}};
        Type(3);
        for (const auto& [text, message] : bad) {
            rec_.Reset();
            Calc("2", text, "5");
            QCOMPARE(Prompts(), std::vector<std::string>({message}));
            QCOMPARE(calc_->focusWidget(), Box("txtDF1"));
            rec_.Reset();
            Calc("2", "5", text);
            QCOMPARE(Prompts(), std::vector<std::string>({message}));
            QCOMPARE(calc_->focusWidget(), Box("txtDF2"));
        }

        // A needed box left blank: no message, the result emptied.
        rec_.Reset();
        Calc("2", "5", "10");
        QVERIFY(!Label("lblProbability").isEmpty());
        Calc("2", "5", "");
        QVERIFY(rec_.boxes.empty());
        QCOMPARE(Label("lblProbability"), QString());

        // A box the type hides is not checked.
        Type(0);
        Calc("1.96", "0", "1.2.3");
        QVERIFY(rec_.boxes.empty());
        QVERIFY(Near(Result(), 0.0499957902964, 2e-7));
    }

    void inverseDirection() {
        Calc("1.96");
        QVERIFY(!Label("lblProbability").isEmpty());
        // 1.96 cannot be a probability: the box and the result are emptied.
        Click("cmdInverse");
        QCOMPARE(Box("txtTestValue")->text(), QString());
        QCOMPARE(Label("lblProbability"), QString());
        QCOMPARE(Label("lblTestValue"), QString("Probability (0 to 1):"));
        QCOMPARE(Label("lblProbabilityCaption"), QString("Z-Value"));
        QVERIFY(!Get<QWidget>("lblProbRange")->isVisible());
        QCOMPARE(calc_->focusWidget(), Box("txtTestValue"));
        QVERIFY(rec_.boxes.empty());

        for (const char* outside : {"1", "0"}) {
            rec_.Reset();
            Calc(outside);
            QCOMPARE(Prompts(),
                     std::vector<std::string>({"Probabilty value must be greater than zero and less than one."}));
            QCOMPARE(Label("lblProbability"), QString());
        }
        // Below the smallest normal Double a probability is still one a Double
        // holds: the z of the Double nearest 1E-320, by bisection of
        // erfc(z / sqrt 2) = p in 50 digits.
        rec_.Reset();
        Calc("1E-320");
        QVERIFY(rec_.boxes.empty());
        QVERIFY(Near(Result(), 38.2872211668278, 1e-12));
        // Numbers written beyond a Double's range are numbers all the same: said so.
        for (const char* beyond : {"1E-400", "1E309"}) {
            rec_.Reset();
            Calc(beyond);
            QCOMPARE(Prompts(), std::vector<std::string>({"The test value lies beyond the numbers the calculator "
                                                          "can hold (sizes from about 4.9E-324 to 1.8E+308)."}));
            // The z of 1E-320 does not stay beside a value it is not the z of.
            QCOMPARE(Label("lblProbability"), QString());
        }
        Calc("0");
        rec_.Reset();

        // Back to the normal direction: the 0 left in the box is checked as a z at once.
        rec_.Reset();
        Click("cmdInverse");
        QCOMPARE(Prompts(), std::vector<std::string>({"Test value must be greater than zero."}));
        rec_.Reset();
        // 0.05 as a z.
        Box("txtTestValue")->setText("0.05");
        Click("cmdCalculate");
        QVERIFY(Near(Result(), 0.960122388323255, 2e-7));
        // 0.05 stays when switching and is used as a probability at once.
        Click("cmdInverse");
        QCOMPARE(Box("txtTestValue")->text(), QString("0.05"));
        QVERIFY(Near(Result(), 1.95996398454005, 1e-6));
        QVERIFY(rec_.boxes.empty());
        // The box emptied and the direction switched: that z is no probability.
        Box("txtTestValue")->clear();
        Click("cmdInverse");
        QCOMPARE(Label("lblProbabilityCaption"), QString("Probability"));
        QCOMPARE(Label("lblProbability"), QString());
        Click("cmdInverse");

        // A slip in a degrees-of-freedom box stops the switch with its
        // message, and the direction stays with its captions: a probability
        // calculated then is a t's.
        Click("cmdInverse");
        Type(1);
        Box("txtTestValue")->setText("0.05");
        Box("txtDF1")->setText("1.2.3");
        rec_.Reset();
        Click("cmdInverse");
        QCOMPARE(Prompts(), std::vector<std::string>({"The value must be numeric."}));
        QCOMPARE(calc_->focusWidget(), Box("txtDF1"));
        QCOMPARE(Label("lblTestValue"), QString("t-Value:"));
        rec_.Reset();
        Calc("2", "1");
        QVERIFY(Near(Result(), 1 - 2 * std::atan(2.0) / std::numbers::pi, 1e-13));  // t with 1 df: Cauchy

        // Degrees of freedom the engine refuses for an inverse: its own message and 0.
        Box("txtDF1")->setText("0.5");
        Box("txtTestValue")->setText("0.05");
        rec_.Reset();
        Click("cmdInverse");
        QCOMPARE(rec_.boxes.size(), size_t(1));
        QVERIFY(rec_.boxes[0].prompt.find("Degrees of freedom must be greater than 0") != std::string::npos);
        QCOMPARE(Label("lblProbability"), QString("0"));
    }

    void resultsMatchPublishedValues() {
        // Normal direction: value (and df) to probability.
        struct Case {
            int type;
            const char *value, *df1, *df2;
            double want;
        };
        for (const Case& c : {Case{0, "1.96", "", "", 0.0499957902964}, Case{0, "2.5758293035489", "", "", 0.01},
                              Case{1, "2.22813885198627", "10", "", 0.05}, Case{1, "2.04522964213270", "29", "", 0.05},
                              Case{2, "3.84145882069412", "1", "", 0.05}, Case{2, "18.3070380532751", "10", "", 0.05},
                              Case{3, "3.32583453041301", "5", "10", 0.05}, Case{3, "4.1028210151304", "2", "10", 0.05},
                              // A far tail, beyond where one minus the central probability
                              // ends (mpmath: erfc(z / sqrt(2))).
                              Case{0, "6.4", "", "", 1.5537695163419624664e-10}}) {
            Type(c.type);
            Calc(c.value, c.df1, c.df2);
            QVERIFY2(Near(Result(), c.want, 2e-6), qPrintable(QString(c.value) + " -> " + Label("lblProbability")));
        }
        // Inverse direction: probability to value.
        Click("cmdInverse");
        for (const Case& c : {Case{0, "0.05", "", "", 1.95996398454005}, Case{1, "0.05", "10", "", 2.22813885198627},
                              Case{2, "0.05", "10", "", 18.3070380532751}, Case{3, "0.05", "5", "10", 3.32583453041301},
                              Case{0, "1E-12", "", "", 7.130506848171324458}}) {
            Type(c.type);
            Calc(c.value, c.df1, c.df2);
            QVERIFY2(Near(Result(), c.want, 1e-5), qPrintable(QString(c.df1) + " -> " + Label("lblProbability")));
        }
        QVERIFY(rec_.boxes.empty());
    }

    void resultsShowFifteenDigitsAtMost() {
        QCOMPARE(frmQuarn_Calculator::FormatResult(0.1 + 0.2), std::string("0.3"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(0.05), std::string("0.05"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(0.0499957902964409), std::string("0.0499957902964409"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(2.0 / 3.0), std::string("0.666666666666667"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(18.307038053275146), std::string("18.3070380532751"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(0.00001), std::string("0.00001"));
        // Below that, plain decimals would drop the digits: scientific.
        QCOMPARE(frmQuarn_Calculator::FormatResult(1.5e-23), std::string("1.5E-23"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(1.0 / 3.0 * 1e-7), std::string("3.33333333333333E-08"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(99999.99999999999), std::string("100000"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(-2.5), std::string("-2.5"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(0), std::string("0"));
        QCOMPARE(frmQuarn_Calculator::FormatResult(-0.0), std::string("0"));
    }

    void aResultLeavesTheWindowsSizeAndShowsWhole() {
        QCoreApplication::sendPostedEvents();
        const QSize before = calc_->size();
        auto* result = Get<QLabel>("lblProbability");
        for (const char* value : {"9", "0.5", "38"}) {  // scientific, plain, and the smallest
            Calc(value);
            QCoreApplication::sendPostedEvents();
            QCOMPARE(calc_->size(), before);
            QVERIFY2(result->contentsRect().width() >= result->fontMetrics().horizontalAdvance(result->text()),
                     qPrintable(result->text()));
        }
    }

    void degreesOfFreedomTakeOnlyNumberKeys() {
        Type(1);
        QLineEdit* df = Box("txtDF1");
        df->setFocus();
        QTest::keyClicks(df, "1a0.x-5 e");
        QCOMPARE(df->text(), QString("10.-5"));
        QTest::keyClick(df, Qt::Key_Backspace);
        QCOMPARE(df->text(), QString("10.-"));
        // The test value takes any key.
        QTest::keyClicks(Box("txtTestValue"), "1e3x");
        QCOMPARE(Box("txtTestValue")->text(), QString("1e3x"));
    }
};

int main(int argc, char** argv) {
    MerivoxApplication app(argc, argv);
    CalculatorTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "CalculatorTest.moc"
