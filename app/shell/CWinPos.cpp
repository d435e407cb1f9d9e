#include "shell/CWinPos.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <vector>

#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

// Where the window must stay: its screen, or for a window inside another
// (a document window of the frame) the area it lies in.
QRect ScreenOf(QWidget* form) {
    if (form->parentWidget() && !form->isWindow()) return form->parentWidget()->rect();
    QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

// The smallest size at which the window shows all it holds.
QSize SmallestOf(QWidget* form) { return form->minimumSize().expandedTo(form->minimumSizeHint()); }

int ToPixels(float twips) { return static_cast<int>(std::lround(twips / CWinPos::kTwipsPerPixel)); }

std::string Twips(int pixels) { return std::to_string(pixels * CWinPos::kTwipsPerPixel); }

int StateOf(QWidget* form) {
    if (form->windowState() & Qt::WindowMinimized) return 1;
    if (form->windowState() & Qt::WindowMaximized) return 2;
    return 0;
}

}  // namespace

void CWinPos::Fail(const std::string& procedure) const {
    int32_t number = 0;
    std::string description;
    try {
        throw;
    } catch (const vb::VbError& e) {
        number = e.Number();
        description = e.Description();
    } catch (const std::exception& e) {
        number = vb::err::kInvalidProcedureCall;
        description = e.what();
    } catch (...) {
        number = vb::err::kInvalidProcedureCall;
        description = "Unknown error";
    }
    vb::Raise(vb::kObjectError + 1000,
              "Quantara: Error in " + procedure + "\nClass: CWinPos\nNumber: " + std::to_string(number) + "\n" +
                  description,
              "CWinPos");
}

bool CWinPos::RestoreForm(QWidget* form) {
    try {
        std::string text = settings_.ReadEntry(form->objectName().toStdString(), "~notfound");
        if (text == "~notfound") return false;
        std::vector<float> values;
        while (!text.empty() && values.size() < 5) {
            size_t blank = text.find(' ');
            std::string piece = blank == std::string::npos ? text : text.substr(0, blank);
            text = blank == std::string::npos ? std::string() : text.substr(blank + 1);
            size_t first = text.find_first_not_of(' ');
            text = first == std::string::npos ? std::string() : text.substr(first);
            values.push_back(static_cast<float>(vb::Val(piece)));
        }
        // A place that, fitted to the screen, leaves the window smaller than
        // it needs to show its controls is ignored: the owner's default holds.
        if (!Fits(form, values)) return false;
        for (size_t i = 0; i < values.size(); ++i) SetValue(form, static_cast<int>(i), values[i]);
        return true;
    } catch (...) {
        Fail("Function RestoreForm");
    }
}

void CWinPos::SaveForm(QWidget* form) {
    try {
        int state = StateOf(form);
        std::string text;
        if (state == 1 || state == 2) {
            text = "-1 -1 -1 -1 " + std::to_string(state);
        } else {
            text = Twips(form->x()) + " " + Twips(form->y()) + " " + Twips(form->width()) + " " +
                   Twips(form->height()) + " " + std::to_string(state);
        }
        settings_.WriteEntry(form->objectName().toStdString(), text);
    } catch (...) {
        Fail("Sub SaveForm");
    }
}

bool CWinPos::Fits(QWidget* form, const std::vector<float>& values) const {
    // The size SetValue would give, by the same rules.
    const QRect screen = ScreenOf(form);
    const float screenWidth = float(screen.width() * kTwipsPerPixel);
    const float screenHeight = float(screen.height() * kTwipsPerPixel);
    auto given = [&](size_t i, float current) { return i < values.size() && values[i] != -1 ? values[i] : current; };
    float left = given(0, float(form->x() * kTwipsPerPixel));
    float top = given(1, float(form->y() * kTwipsPerPixel));
    if (!(left >= 0 && left <= screenWidth)) left = 0;
    if (!(top >= 0 && top <= screenHeight)) top = 0;
    float width = given(2, float(form->width() * kTwipsPerPixel));
    float height = given(3, float(form->height() * kTwipsPerPixel));
    if (left + width > screenWidth) width = screenWidth - left;
    if (top + height > screenHeight) height = screenHeight - top;
    const QSize smallest = SmallestOf(form);
    return ToPixels(width) >= smallest.width() && ToPixels(height) >= smallest.height();
}

void CWinPos::SetValue(QWidget* form, int property, float value) {
    try {
        const QRect screen = ScreenOf(form);
        const float screenWidth = float(screen.width() * kTwipsPerPixel);
        const float screenHeight = float(screen.height() * kTwipsPerPixel);
        const float left = float(form->x() * kTwipsPerPixel);
        const float top = float(form->y() * kTwipsPerPixel);
        switch (property) {
            case 0:
                if (value == -1) return;
                form->move(value >= 0 && value <= screenWidth ? ToPixels(value) : 0, form->y());
                break;
            case 1:
                if (value == -1) return;
                form->move(form->x(), value >= 0 && value <= screenHeight ? ToPixels(value) : 0);
                break;
            case 2:
                if (value == -1) return;
                form->resize(ToPixels(left + value > screenWidth ? screenWidth - left : value), form->height());
                break;
            case 3:
                if (value == -1) return;
                form->resize(form->width(), ToPixels(top + value > screenHeight ? screenHeight - top : value));
                break;
            case 4: {
                // A window closed minimised comes back in the normal state.
                int state = static_cast<int>(value);
                if (state == 2)
                    form->setWindowState(form->windowState() | Qt::WindowMaximized);
                else
                    form->setWindowState(form->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
                break;
            }
            default:
                break;
        }
    } catch (...) {
        Fail("Sub SetValue");
    }
}

void CWinPos::centerform(QWidget* form) {
    const QRect screen = ScreenOf(form);
    form->move(screen.x() + (screen.width() - form->width()) / 2, form->y());
    form->move(form->x(), screen.y() + (screen.height() - form->height()) / 2);
}
