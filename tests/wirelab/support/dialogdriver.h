#pragma once
// Decides every modal dialog's result while alive (the handler may fill the
// dialog's boxes and accept() it) instead of waiting for a user.

#include <functional>

class QDialog;

class DialogDriver
{
public:
    explicit DialogDriver(std::function<int(QDialog *)> handler);
    ~DialogDriver();
};
