// Pelmora: random numbers from 27 distributions, in a window.

#include <QApplication>

#include "app/errorbox.h"
#include "app/form1.h"
#include "app/form2.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    pelmora::app::SetApplicationTitle(
        pelmora::app::TitleFromExecutable(QCoreApplication::applicationFilePath()));

    TForm1 form1;  // the main window: closing it ends the program
    TForm2 form2;  // the manual window, hidden until Help, "Manual"
    form1.show();
    return application.exec();
}
