#pragma once

class QFileDialog;

// Gives the detail columns of Qt's own file dialog (size, type, date) the width of their values,
// in whatever language, each time the dialog is shown. A platform's native dialog is left alone.
void FitFileDialogColumns(QFileDialog& dialog);
