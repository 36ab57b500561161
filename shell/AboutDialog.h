// The About box: the program icon, name and version. No command of the user
// interface opens it; it is kept for the application's About command.
#pragma once

#include <QDialog>

class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};
