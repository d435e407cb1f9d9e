// The splash window: a picture of the program's title and version above
// every other window, closing itself 1.5 seconds after it appeared.
#pragma once

#include <QWidget>

class QTimer;

class frmSplash : public QWidget {
    Q_OBJECT
public:
    inline static constexpr int kShowMilliseconds = 1500;
    explicit frmSplash(QWidget* parent = nullptr);
    // How long every splash made from now on stays up (tests shorten it).
    static void SetShowMilliseconds(int milliseconds);
    // Sizes and centres the window, starts the timer and shows it on top.
    void Load();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* tmrUnload_;
};
