#include "ui/Application.h"

#include <QApplication>
#include <QPointer>

#include "settings/Config.h"
#include "ui/FormParts.h"
#include "ui/GuiService.h"
#include "ui/Main.h"
#include "version/AboutForm.h"
#include "version/Chk4Updt.h"

namespace olvo {

std::string ErrorReportText(const std::string& errorText) {
    if (!errorText.empty() && static_cast<unsigned char>(errorText.back()) > '.')
        return errorText + ".";
    return errorText;
}

void ReportError(const std::exception& error) {
    Gui().MessageBox(kApplicationTitle, ErrorReportText(error.what()), BoxIcon::Error,
                     BoxButtons::Ok);
}

ProgramWindows StartUp(const std::vector<std::string>& arguments) {
    QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
    // The icon of every window that has none of its own: message boxes, the file choosers.
    QApplication::setWindowIcon(ProgramIcon());
    ProgramWindows windows;
    windows.mainForm = new TfrmMainForm(arguments);
    // Owned by the main window, so it goes when the program ends.
    windows.config = new TfrmConfig(windows.mainForm);
    // Reached through TfrmChk4Updt::Instance(); it checks afresh each time it is shown.
    new TfrmChk4Updt(windows.mainForm);
    // Owned by the main window too; it composes its text from the version strings now, once.
    windows.about = new TfrmAbout(windows.mainForm);
    return windows;
}

int RunProgram(const std::vector<std::string>& arguments) {
    const ProgramWindows windows = StartUp(arguments);
    const QPointer<TfrmMainForm> mainForm(windows.mainForm);
    mainForm->show();
    const int code = QApplication::exec();
    // Closing frees the main window only once the event loop has run on.
    delete mainForm.data();
    return code;
}

}  // namespace olvo
