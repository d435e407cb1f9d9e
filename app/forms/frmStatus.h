// frmStatus: the small window without a caption that shows the engine's
// progress text while a scenario runs. Owned by the frame; the run makes it
// modal for its length.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;

class frmStatus : public QWidget {
    Q_OBJECT
public:
    explicit frmStatus(QWidget* owner);
    // Replaces the text; it reaches the screen at the next Show (texts come
    // faster than a screen can follow, so painting is left to the caller's pace).
    void Print(const QString& text);
    // Puts the latest text on the screen now.
    void Show();
    const QString& Text() const { return text_; }

protected:
    // The window lasts as long as the run: the window system's close is refused.
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* picStatus_;
    QString text_;
};
