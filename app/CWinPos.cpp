#include "CWinPos.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

#include "vb/Conversions.h"
#include "vb/VbError.h"

namespace {

QRect ScreenOf(QWidget* form) {
    QScreen* screen = form->screen() ? form->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

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
        int taken = 0;
        while (!text.empty() && taken < 5) {
            size_t blank = text.find(' ');
            std::string piece = blank == std::string::npos ? text : text.substr(0, blank);
            text = blank == std::string::npos ? std::string() : text.substr(blank + 1);
            size_t first = text.find_first_not_of(' ');
            text = first == std::string::npos ? std::string() : text.substr(first);
            SetValue(form, taken, static_cast<float>(vb::Val(piece)));
            ++taken;
        }
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
