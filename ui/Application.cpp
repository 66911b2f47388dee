#include "ui/Application.h"

#include <QApplication>
#include <QPointer>

#include "ui/GuiService.h"
#include "ui/Main.h"

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
    ProgramWindows windows;
    windows.mainForm = new TfrmMainForm(arguments);
    // The configuration, update-check and About windows are created here, in this order.
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
