#pragma once
// The window's message box behind MessageSeam: modal, no icon, one OK
// button, titled with the given title or the application's name.

class QWidget;

// Makes MessageSeam::show() open the box. Call once the application exists.
void installMessageBox();

// The window the boxes are modal to (the main window). While none is set,
// or after it is gone, the active window is used.
void setMessageBoxOwner(QWidget *owner);
