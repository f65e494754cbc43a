#pragma once

class QWidget;

// Tells the user the service cannot be reached: a sheet on the window when one is given, else a
// modal alert; always shown from the main queue.
void showNoConnectionAlert(QWidget* window = nullptr);
