// When a window or box of the program closes, the keys go back to the
// window the user came from: the modal window still open beneath it, else
// the window it was opened over, else the frame. A window manager gives the
// focus to nothing when a dialog hides at once after a box over it closed
// (a question answered Yes that ends the wizard), which left no window
// taking keys until a click. Installed on the application.
#pragma once

#include <QObject>

class FocusBackFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // How long the window manager is given to activate a window itself.
    static constexpr int kSettleMs = 60;
};
