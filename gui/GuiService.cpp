#include "gui/GuiService.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

#include "gui/Application.h"
#include "gui/FolderPicker.h"
#include "gui/HelpViewer.h"
#include "gui/QtText.h"

#ifdef OLVO_HAVE_CANBERRA
#include <canberra.h>
#endif

namespace olvo {
namespace {

// "All Files (*.*)|*.*|Split Files (*.split)|*.split" in the form the Qt dialog reads. "*.*" means
// every file, also one without a dot in its name.
QStringList QtNameFilters(const std::string& filter) {
    const QStringList parts = ToQ(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        const qsizetype bracket = description.indexOf(QLatin1String(" ("));
        if (bracket >= 0) description.truncate(bracket);
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return filters;
}

#ifdef OLVO_HAVE_CANBERRA
const char* SoundEventId(const std::string& alias) {
    if (alias == "SystemAsterisk") return "dialog-information";
    if (alias == "SystemExclamation") return "dialog-warning";
    if (alias == "SystemHand") return "dialog-error";
    if (alias == "SystemQuestion") return "dialog-question";
    return nullptr;
}
#endif

class DesktopGuiService final : public GuiService {
  public:
    DesktopGuiService() : m_help(*this) {}
    ~DesktopGuiService() override {
#ifdef OLVO_HAVE_CANBERRA
        if (m_sounds) ca_context_destroy(m_sounds);
#endif
    }

    BoxAnswer MessageBox(const std::string& caption, const std::string& text, BoxIcon icon,
                         BoxButtons buttons) override {
        QString body = ToQ(text);
        body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QMessageBox box(icon == BoxIcon::Error ? QMessageBox::Critical : QMessageBox::Information,
                        ToQ(caption), body, QMessageBox::NoButton, QApplication::activeWindow());
        if (buttons == BoxButtons::RetryCancel) {
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Retry);
            box.setEscapeButton(QMessageBox::Cancel);
            return box.exec() == QMessageBox::Retry ? BoxAnswer::Retry : BoxAnswer::Cancel;
        }
        if (buttons == BoxButtons::YesNo) {
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            return box.exec() == QMessageBox::Yes ? BoxAnswer::Yes : BoxAnswer::No;
        }
        box.setStandardButtons(QMessageBox::Ok);
        box.exec();
        return BoxAnswer::Ok;
    }

    std::optional<std::string> OpenFileName(const std::string& title,
                                            const std::string& filter) override {
        QFileDialog dialog(QApplication::activeWindow(), ToQ(title));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters(QtNameFilters(filter));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return FromQPath(dialog.selectedFiles().constFirst());
    }

    std::optional<std::string> SelectFolder(const std::string& title,
                                            const std::string& path) override {
        return ShowFolderDialog(title, path);
    }

    void OpenUrl(const std::string& url) override {
        QDesktopServices::openUrl(QUrl(ToQ(url)));
    }

    void PlaySystemSound(const std::string& alias) override {
#ifdef OLVO_HAVE_CANBERRA
        const char* id = SoundEventId(alias);
        if (!id) return;
        if (!m_sounds && ca_context_create(&m_sounds) != CA_SUCCESS) {
            m_sounds = nullptr;
            return;
        }
        // Asynchronous; a desktop without a sound server or theme simply stays silent.
        ca_context_play(m_sounds, 0, CA_PROP_EVENT_ID, id, nullptr);
#else
        (void)alias;
#endif
    }

    void ShowHelpContents(const std::string& helpFile) override {
        m_help.Show(helpFile);
    }

    bool ProgramInFront() override {
        return QGuiApplication::applicationState() == Qt::ApplicationActive;
    }

    void Notify(const std::string& summary, const std::string& body) override {
        // The freedesktop notification service on the session bus. The call is sent without
        // waiting for its answer: a desktop without the service (or without a bus) answers with
        // an error that nobody needs to see.
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) return;
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        QVariantMap hints;
        // The menu entry's name: the desktop takes the program's name and icon from it.
        hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("olvo"));
        call << QString::fromLatin1(kApplicationTitle) << 0u << QStringLiteral("olvo")
             << ToQ(summary) << ToQ(body) << QStringList() << hints << -1;
        bus.send(call);
    }

  private:
    HelpViewerSlot m_help;
#ifdef OLVO_HAVE_CANBERRA
    ca_context* m_sounds = nullptr;
#endif
};

}  // namespace

std::unique_ptr<GuiService> MakeDesktopGuiService() {
    return std::make_unique<DesktopGuiService>();
}

}  // namespace olvo
