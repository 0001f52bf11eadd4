#pragma once
// Installs the real message box behind the message seam (the program does
// this at start-up; tests install their own recorder instead).

void InstallMessageBox();
