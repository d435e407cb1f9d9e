// The program's start: one instance per user, the error stack with its
// report file, the settings, the splash window, the help file, then the frame.
#pragma once

class SingleInstance;

// Runs the start-up. False when another instance was running and has been
// asked to come to the front: the process should then end at once.
bool SubMain();

// The single-instance listener of this process (null before SubMain).
SingleInstance* InstanceListener();
