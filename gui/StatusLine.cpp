#include "gui/StatusLine.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

#include "gui/Application.h"
#include "gui/GuiService.h"
#include "gui/QtText.h"

namespace olvo {

StatusLine::StatusLine(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("StatusLine"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextFormat(Qt::PlainText);
    cmdOpenFolder = new QToolButton(this);
    cmdOpenFolder->setObjectName(QStringLiteral("cmdOpenFolder"));
    // A link in the sentence: flat, underlined, in the palette's link colour.
    cmdOpenFolder->setAutoRaise(true);
    cmdOpenFolder->setToolButtonStyle(Qt::ToolButtonTextOnly);
    cmdOpenFolder->setCursor(Qt::PointingHandCursor);
    QFont font = cmdOpenFolder->font();
    font.setUnderline(true);
    cmdOpenFolder->setFont(font);
    QPalette palette = cmdOpenFolder->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    cmdOpenFolder->setPalette(palette);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(lblStatus);
    layout->addWidget(cmdOpenFolder);
    layout->addStretch(1);
    connect(cmdOpenFolder, &QToolButton::clicked, this,
            [this] { RunHandler([this] { cmdOpenFolderClick(); }); });
    Clear();
}

std::string StatusLine::FolderUrl(const std::string& folder) {
    return QUrl::fromLocalFile(ToQPath(folder)).toEncoded().toStdString();
}

void StatusLine::ShowDone(const std::string& text, const std::string& folder) {
    m_text = text;
    m_folder = folder;
    ShowText();
}

void StatusLine::Clear() {
    m_text.clear();
    m_folder.clear();
    ShowText();
}

void StatusLine::ShowText() {
    const QString whole = ToQ(m_text);
    const QString folder = ToQPath(m_folder);
    const bool link = !folder.isEmpty() && whole.endsWith(folder);
    // The button's own margin stands for the blank before the folder.
    QString head = link ? whole.left(whole.size() - folder.size()).trimmed() : whole;
    QString tail = link ? folder : QString();

    // The room of the line, less the button's frame around its text.
    const int width = contentsRect().width();
    if (width > 0) {
        const QFontMetrics headMetrics = lblStatus->fontMetrics();
        const QFontMetrics tailMetrics = cmdOpenFolder->fontMetrics();
        const int frame =
            link ? cmdOpenFolder->sizeHint().width() -
                       tailMetrics.size(Qt::TextShowMnemonic, cmdOpenFolder->text()).width()
                 : 0;
        // The folder keeps at least the room of a short one; the text before it gives way then.
        const int least = std::min(tailMetrics.horizontalAdvance(tail),
                                   tailMetrics.horizontalAdvance(QStringLiteral("/\u2026/data")));
        const int headRoom =
            std::clamp(width - frame - least, 0, headMetrics.horizontalAdvance(head));
        // Shortened only when too long: the measure of a text that fits may differ by a pixel.
        if (headMetrics.horizontalAdvance(head) > headRoom)
            head = headMetrics.elidedText(head, Qt::ElideMiddle, headRoom);
        const int tailRoom = std::max(width - frame - headRoom, 0);
        if (tailMetrics.horizontalAdvance(tail) > tailRoom)
            tail = tailMetrics.elidedText(tail, Qt::ElideMiddle, tailRoom);
    }
    lblStatus->setText(head);
    lblStatus->setToolTip(whole);
    // A "&" in a folder's name is a letter, not a shortcut.
    cmdOpenFolder->setText(QString(tail).replace(QLatin1Char('&'), QStringLiteral("&&")));
    cmdOpenFolder->setToolTip(link ? QStringLiteral("Open %1 in the file manager").arg(folder)
                                   : QString());
    cmdOpenFolder->setVisible(link);
    layout()->activate();
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ShowText();
}

void StatusLine::cmdOpenFolderClick() {
    if (!m_folder.empty()) Gui().OpenUrl(FolderUrl(m_folder));
}

}  // namespace olvo
