// tarnwick.cpp -- the program: the application object, the main window, the event loop.
//
// The CRC-32 table is filled while the units initialise, before main runs and so before any
// window exists. No command-line argument is read: the toolkit sees the program's name only.
#include <QApplication>

#include "builder/gui/main.h"

int main(int /*argc*/, char** argv)
{
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    tarnwick::gui::InitializeApplication();

    tarnwick::gui::TFrmMain form;
    tarnwick::gui::FrmMain = &form;
    form.show();
    return QApplication::exec();
}
