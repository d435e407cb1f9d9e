// "Probability Calculator": a test value of the normal (Z), t, chi-square or
// F distribution to its probability, or in the inverse direction a
// probability to its test value. Every result comes from the engine: one
// Quantara object per computation. A modeless window owned by the frame.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmQuarn_Calculator : public QDialog {
    Q_OBJECT
public:
    explicit frmQuarn_Calculator(QWidget* parent = nullptr);

    // A result as the window shows it: up to 15 significant digits, no
    // trailing zeros, plain decimals from 1E-5 on and scientific below.
    static std::string FormatResult(double value);

protected:
    // Esc closes the window as Close does: it is unloaded, not only hidden.
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The four probability types, Z-Value chosen.
    QGroupBox* ProbabilityTypeFrame();
    // The value and degrees-of-freedom boxes and the result, the latter boxes hidden.
    QGroupBox* TestValuesFrame();
    void ConnectControls(QPushButton* cmdCalculate, QPushButton* cmdInverse, QPushButton* cmdHelp,
                         QPushButton* cmdClose);
    void optProbType_Click();
    void cmdCalculate_Click();
    void cmdInverse_Click();
    void Calculate();
    bool CalcProbInverse();
    int16_t GetProbTypeSelection() const;

    // The degrees-of-freedom boxes the selected type uses (the shown ones).
    bool UsesDF1() const;
    bool UsesDF2() const;
    // Checks a non-blank degrees-of-freedom box: a number above 0, else the
    // message with the focus on the box. True when it passed.
    bool CheckDegreesOfFreedom(QLineEdit* box);
    void Message(const std::string& text);

    std::string m_ProbType = "Z-Value";
    bool m_Inverse = false;

    QButtonGroup* optProbType_;
    QLabel* lblTestValue_;
    QLineEdit* txtTestValue_;
    QLabel* lblDF1Fld_;
    QLineEdit* txtDF1_;
    QLabel* lblDF2_;
    QLineEdit* txtDF2_;
    QLabel* lblProbabilityCaption_;
    QLabel* lblProbability_;
    QLabel* lblProbRange_;
};
