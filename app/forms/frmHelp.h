// The program's help window: the topics of the help file (an HTML document
// whose <section id="topic-N"> elements are the numbered topics) in a
// contents list with a search box, and the chosen topic beside it.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QTextBrowser;

class frmHelp : public QWidget {
    Q_OBJECT
public:
    struct Topic {
        int number = 0;
        QString title;
        QString html;
        QString plain;
    };
    // The numbered topics of a help document, in document order.
    static std::vector<Topic> ParseTopics(const QString& html);

    // The one help window, made when first needed: shows a topic (0: the first, the contents).
    static void ShowHelp(const std::string& helpFile, int topic);
    // Shows the window with the search box filled and the matching topics listed.
    static void Search(const std::string& helpFile, const std::string& keyword);
    static void CloseHelp();
    static frmHelp* Instance();

    explicit frmHelp(QWidget* parent = nullptr);
    bool Load(const QString& path);
    void ShowTopic(int number);
    int CurrentTopic() const { return current_; }

protected:
    // Escape closes the window.
    void keyPressEvent(class QKeyEvent* event) override;

private:
    void Filter(const QString& text);
    // Sizes the window to fit the screen and centres it over `owner` (or the
    // screen), wholly inside the screen.
    void PlaceOnScreen(QWidget* owner);

    QLineEdit* txtSearch_;
    QListWidget* lstTopics_;
    QTextBrowser* txtTopic_;
    QString loaded_;
    std::vector<Topic> topics_;
    int current_ = 0;
    // A result was chosen in the list since the search text last changed.
    bool picked_ = false;
};
