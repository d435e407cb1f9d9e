// CWinPos: saves a window's place, size and state as one settings value
// ("Left Top Width Height State", in twips of 15 to the pixel) under the
// window's object name, and puts them back keeping the window on the screen.
#pragma once

#include <string>
#include <vector>

#include "ProgramSettings.h"

class QWidget;

class CWinPos {
public:
    inline static constexpr int kTwipsPerPixel = 15;

    // True when a value was stored for the window and has been applied.
    bool RestoreForm(QWidget* form);
    void SaveForm(QWidget* form);
    // Centres the window on its screen.
    void centerform(QWidget* form);
    // The settings object the owner configures before the first use.
    CProgramSettings& ProductSettings() { return settings_; }

private:
    void SetValue(QWidget* form, int property, float value);
    // Whether the stored numbers leave the window at least its smallest size.
    bool Fits(QWidget* form, const std::vector<float>& values) const;
    [[noreturn]] void Fail(const std::string& procedure) const;

    CProgramSettings settings_;
};
