// "Generate C++ Code": the source of a sample routine that runs one stored
// scenario through the engine's public header Merivox6/Quantara.h, for a
// client program to paste into its own code. Properties or arguments,
// defaults or every value, the database by path or as a data-access object;
// the text is rebuilt after every choice and can be copied.
#pragma once

#include <QDialog>
#include <string>

class QButtonGroup;
class QPlainTextEdit;
class QRadioButton;

// The scenario to generate for, as the scenario list hands it over.
struct GenerateCodeInput {
    std::string ScenarioID;  // the scenario number, as text
    std::string Desc;
    std::string Table;
    std::string OutputTable1;
    std::string OutputTable2;
    // The open database's full path; empty: the current database's.
    std::string DatabasePath;
};

class frmGenerateCode : public QDialog {
    Q_OBJECT
public:
    explicit frmGenerateCode(QWidget* parent = nullptr);

    const GenerateCodeInput& ScenarioInfo() const { return m_ScenarioInfo; }
    // Sets the scenario and rebuilds the text.
    void ScenarioInfo(const GenerateCodeInput& info);

    // The sample routine for these choices: argument style (else
    // properties), every value (else the defaults), the database as an
    // object (else by path).
    static std::string SampleCode(const GenerateCodeInput& info, bool arguments, bool specifyAll, bool useObject);
    // A C++ string literal, quotes included, that reads back as `text`
    // (UTF-8 kept as it is).
    static std::string CppStringLiteral(const std::string& text);
    // A text fit for a line comment: line breaks and other control
    // characters become spaces, and it never ends in a backslash.
    static std::string CommentText(const std::string& text);

private:
    void optCodeStyle_Click(int index);
    void cmdToClipboard_Click();
    void ReGenerate();

    GenerateCodeInput m_ScenarioInfo;
    QButtonGroup* optCodeStyle_;
    QButtonGroup* optDefaults_;
    QButtonGroup* optDBMethod_;
    QPlainTextEdit* txtCode_;
};
