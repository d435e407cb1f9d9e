// F1 anywhere in the program opens the help topic of the window that has
// the focus: the nearest HelpContextID property up the widget's parents.
#pragma once

#include <QObject>

class QWidget;

// The help topic of a widget: its own or its nearest parent's HelpContextID;
// the frame's topic when none has one.
int HelpTopicOf(QWidget* widget);
// Opens the help file at the topic of the focused window (or `widget` when given).
void ShowHelpFor(QWidget* widget = nullptr);

class HelpKeyFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
