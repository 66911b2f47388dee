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

StatusLine::StatusLine(GuiService& gui, QWidget* parent) : QWidget(parent), m_gui(gui) {
    setObjectName(QStringLiteral("StatusLine"));
    textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("lblStatus"));
    textLabel->setTextFormat(Qt::PlainText);
    openFolderButton = new QToolButton(this);
    openFolderButton->setObjectName(QStringLiteral("cmdOpenFolder"));
    // A link in the sentence: flat, underlined, in the palette's link colour.
    openFolderButton->setAutoRaise(true);
    openFolderButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    openFolderButton->setCursor(Qt::PointingHandCursor);
    textLabel->setAccessibleName(QStringLiteral("Status"));
    openFolderButton->setAccessibleName(QStringLiteral("Open folder"));
    openFolderButton->setAccessibleDescription(
        QStringLiteral("Open the folder of the last operation in the file manager"));
    QFont font = openFolderButton->font();
    font.setUnderline(true);
    openFolderButton->setFont(font);
    QPalette palette = openFolderButton->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    openFolderButton->setPalette(palette);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(textLabel);
    layout->addWidget(openFolderButton);
    layout->addStretch(1);
    connect(openFolderButton, &QToolButton::clicked, this,
            [this] { RunHandler(m_gui, [this] { OnOpenFolder(); }); });
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
        const QFontMetrics headMetrics = textLabel->fontMetrics();
        const QFontMetrics tailMetrics = openFolderButton->fontMetrics();
        const int frame =
            link ? openFolderButton->sizeHint().width() -
                       tailMetrics.size(Qt::TextShowMnemonic, openFolderButton->text()).width()
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
    textLabel->setText(head);
    textLabel->setToolTip(whole);
    // A "&" in a folder's name is a letter, not a shortcut.
    openFolderButton->setText(QString(tail).replace(QLatin1Char('&'), QStringLiteral("&&")));
    openFolderButton->setToolTip(link ? QStringLiteral("Open %1 in the file manager").arg(folder)
                                      : QString());
    openFolderButton->setVisible(link);
    layout()->activate();
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ShowText();
}

void StatusLine::OnOpenFolder() {
    if (!m_folder.empty()) m_gui.OpenUrl(FolderUrl(m_folder));
}

}  // namespace olvo
