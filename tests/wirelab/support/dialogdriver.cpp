#include "dialogdriver.h"

#include "gui/dialogseam.h"

DialogDriver::DialogDriver(std::function<int(QDialog *)> handler) { DialogSeam::setHook(std::move(handler)); }

DialogDriver::~DialogDriver() { DialogSeam::setHook({}); }
