#include "ui/StatusLine.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "ui/Application.h"
#include "ui/GuiService.h"
#include "ui/QtText.h"

namespace olvo {

TStatusLine::TStatusLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatusLine"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    // The elided text decides the width, never the other way round.
    lblStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    cmdOpenFolder = new QPushButton(QStringLiteral("&Open Folder"), this);
    cmdOpenFolder->setObjectName(QStringLiteral("cmdOpenFolder"));
    cmdOpenFolder->setToolTip(QStringLiteral("Show the folder in the file manager"));
    cmdOpenFolder->setCursor(Qt::PointingHandCursor);
    cmdOpenFolder->setAutoDefault(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(lblStatus, 1);
    layout->addWidget(cmdOpenFolder);
    lblStatus->installEventFilter(this);
    connect(cmdOpenFolder, &QPushButton::clicked, this,
            [this] { RunHandler([this] { cmdOpenFolderClick(); }); });
    Clear();
}

std::string TStatusLine::FolderUrl(const std::string& folder) {
    return QUrl::fromLocalFile(ToQPath(folder)).toEncoded().toStdString();
}

void TStatusLine::ShowDone(const std::string& text, const std::string& folder) {
    m_text = text;
    m_folder = folder;
    cmdOpenFolder->setVisible(!folder.empty());
    layout()->activate();
    ShowText();
}

void TStatusLine::Clear() {
    m_text.clear();
    m_folder.clear();
    cmdOpenFolder->setVisible(false);
    layout()->activate();
    ShowText();
}

void TStatusLine::ShowText() {
    const QString whole = ToQ(m_text);
    lblStatus->setToolTip(whole);
    // Until the line has been laid out it has no width to shorten the text to.
    const int width = lblStatus->contentsRect().width();
    QString shown = whole;
    if (width > 0) {
        const QFontMetrics metrics = lblStatus->fontMetrics();
        const QString folder = ToQPath(m_folder);
        // What was done stays whole; the folder at its end gives up its middle first.
        if (!folder.isEmpty() && whole.endsWith(folder) &&
            metrics.horizontalAdvance(whole) > width) {
            const QString head = whole.left(whole.size() - folder.size());
            const int room = width - metrics.horizontalAdvance(head);
            if (room > metrics.horizontalAdvance(QStringLiteral("/\u2026/")) * 2)
                shown = head + metrics.elidedText(folder, Qt::ElideMiddle, room);
        }
        if (metrics.horizontalAdvance(shown) > width)
            shown = metrics.elidedText(whole, Qt::ElideMiddle, width);
    }
    if (lblStatus->text() != shown) lblStatus->setText(shown);
}

bool TStatusLine::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblStatus && event->type() == QEvent::Resize) ShowText();
    return QWidget::eventFilter(watched, event);
}

void TStatusLine::cmdOpenFolderClick() {
    if (!m_folder.empty()) Gui().OpenUrl(FolderUrl(m_folder));
}

}  // namespace olvo
