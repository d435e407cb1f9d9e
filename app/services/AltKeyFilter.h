// Alt and a key that types a character (a letter, a digit, a space or a
// punctuation mark) that no access key, menu or shortcut of the window
// took: nothing is typed into the focused control, the program beeps.
// Installed on the application, so it holds in every window.
#pragma once

#include <QObject>

class AltKeyFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
