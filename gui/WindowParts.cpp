#include "gui/WindowParts.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <algorithm>

#include "gui/QtText.h"

namespace olvo {
namespace {

// The program's picture (the one installed as olvo.svg): a page cut into three numbered pieces,
// the middle one moved aside, drawn on a 64 x 64 grid at size x size pixels.
QPixmap DrawProgramPicture(int size) {
    QPixmap picture(size, size);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    const QColor navy(0x1f, 0x4e, 0x79);
    const QColor ink(0x0f, 0x2a, 0x44);
    painter.setPen(Qt::NoPen);
    painter.setBrush(navy);
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

    painter.setPen(QPen(ink, 1));
    painter.setBrush(Qt::white);
    QPainterPath first;
    first.moveTo(14, 9);
    first.lineTo(40, 9);
    first.lineTo(48, 17);
    first.lineTo(48, 23);
    first.lineTo(14, 23);
    first.closeSubpath();
    painter.drawPath(first);
    painter.drawRect(QRectF(20, 27, 34, 12));
    painter.drawRect(QRectF(14, 43, 34, 13));
    painter.setBrush(QColor(0xc9, 0xd8, 0xe6));
    painter.drawPolygon(QPolygonF({QPointF(40, 9), QPointF(40, 17), QPointF(48, 17)}));

    if (size >= 48) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(8);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(navy);
        painter.drawText(QPointF(18, 20), QStringLiteral("s01"));
        painter.drawText(QPointF(24, 36), QStringLiteral("s02"));
        painter.drawText(QPointF(18, 52), QStringLiteral("s03"));
    }

    QPen cut(QColor(0xf5, 0xb4, 0x00), 2);
    cut.setDashPattern({1.5, 1.0});
    painter.setPen(cut);
    painter.drawLine(QLineF(8, 25, 56, 25));
    painter.drawLine(QLineF(8, 41, 56, 41));
    return picture;
}

// The room around a push button's text: its margin, frame and default-button ring across, its
// frame and ring and a pixel above and below.
QSize ButtonPadding(const QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.features = button->autoDefault() || button->isDefault()
                          ? QStyleOptionButton::AutoDefaultButton
                          : QStyleOptionButton::None;
    const QStyle* style = button->style();
    int frame = 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
    if (option.features & QStyleOptionButton::AutoDefaultButton)
        frame += 2 * style->pixelMetric(QStyle::PM_ButtonDefaultIndicator, &option, button);
    return {style->pixelMetric(QStyle::PM_ButtonMargin, &option, button) + frame, frame + 2};
}

class DesignLayoutItem final : public QWidgetItem {
  public:
    DesignLayoutItem(QWidget* widget, QSize design, Qt::Orientations grow)
        : QWidgetItem(widget), m_design(design), m_grow(grow) {
        Qt::Alignment alignment;
        if (!(grow & Qt::Horizontal)) alignment |= Qt::AlignLeft;
        if (!(grow & Qt::Vertical)) alignment |= Qt::AlignVCenter;
        setAlignment(alignment);
    }

    QSize sizeHint() const override {
        if (isEmpty()) return {0, 0};
        const QWidget* control = widget();
        return m_design.expandedTo(TextNeed(control, m_design))
            .expandedTo(control->minimumSize())
            .boundedTo(control->maximumSize());
    }
    QSize minimumSize() const override { return sizeHint(); }
    QSize maximumSize() const override {
        if (isEmpty()) return {0, 0};
        QSize size = sizeHint();
        if (m_grow & Qt::Horizontal) size.setWidth(widget()->maximumWidth());
        if (m_grow & Qt::Vertical) size.setHeight(widget()->maximumHeight());
        return size;
    }
    Qt::Orientations expandingDirections() const override { return m_grow; }
    bool hasHeightForWidth() const override { return false; }

  private:
    QSize m_design;
    Qt::Orientations m_grow;
};

// A display-only field's background: the face colour of the palette in use.
void GreyLikeTheFace(QLineEdit* field) {
    QPalette palette = QApplication::palette(field);
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    // Setting it changes the field's palette, which brings this here once more.
    if (field->palette() != palette) field->setPalette(palette);
}

// Greys a display-only field afresh when the application's palette changes: a desktop that turns
// dark while the program runs must not leave a light field with light text.
class DisplayOnlyColours final : public QObject {
  public:
    explicit DisplayOnlyColours(QLineEdit* field) : QObject(field), m_field(field) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_field && event->type() == QEvent::PaletteChange) GreyLikeTheFace(m_field);
        return false;
    }

  private:
    QLineEdit* m_field;
};

}  // namespace

void UseWindowFont(QWidget* window) {
    if (!QFontDatabase::families().contains(QStringLiteral("Tahoma"))) return;
    const qreal chosen = QApplication::font().pointSizeF();
    const qreal desktop = QFontDatabase::systemFont(QFontDatabase::GeneralFont).pointSizeF();
    window->setFont(QFont(QStringLiteral("Tahoma"), chosen > desktop ? qRound(chosen) : 8));
}

QIcon ProgramIcon() {
    static const QIcon drawn = [] {
        QIcon icon;
        for (const int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(DrawProgramPicture(size));
        return icon;
    }();
    return QIcon::fromTheme(QStringLiteral("olvo"), drawn);
}

QVBoxLayout* SetUpFixedDialog(QDialog* dialog, const char* name, const char* title,
                              QMargins margins, int spacing) {
    dialog->setObjectName(QString::fromLatin1(name));
    dialog->setWindowTitle(QString::fromLatin1(title));
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    dialog->setWindowIcon(ProgramIcon());
    UseWindowFont(dialog);
    dialog->setSizeGripEnabled(false);
    auto* layout = new QVBoxLayout(dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(margins);
    layout->setSpacing(spacing);
    return layout;
}

QSize TextNeed(const QWidget* widget, QSize design) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->wordWrap()) return {0, label->heightForWidth(design.width())};
        return label->sizeHint();
    }
    // Heights: the text's line with the frame's few pixels, not the style's roomier preference.
    const int line = widget->fontMetrics().height();
    if (const auto* box = qobject_cast<const QCheckBox*>(widget))
        return {box->sizeHint().width(), line + 5};
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        const QSize text =
            button->fontMetrics().size(Qt::TextShowMnemonic | Qt::TextSingleLine, button->text());
        return text + ButtonPadding(button);
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        QSize need(0, line + 7);
        // A short number field shows all its digits.
        if (edit->maxLength() <= 10)
            need.setWidth(edit->fontMetrics().horizontalAdvance(QString(edit->maxLength(), u'0')) +
                          edit->minimumSizeHint().width());
        return need;
    }
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget)) {
        // Five digits beside the arrows: the piece counts it takes; its own hint holds one.
        const int digits = spin->fontMetrics().horizontalAdvance(QStringLiteral("0000"));
        return {digits + spin->minimumSizeHint().width(), line + 7};
    }
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        // The longest entry, or as many digits as an editable box takes, beside the arrow.
        const QFontMetrics metrics = combo->fontMetrics();
        int text = 0;
        for (int i = 0; i < combo->count(); ++i)
            text = std::max(text, metrics.horizontalAdvance(combo->itemText(i)));
        if (const QLineEdit* edit = combo->lineEdit())
            text = std::max(text, metrics.horizontalAdvance(QString(
                                      edit->maxLength() <= 10 ? edit->maxLength() : 0, u'0')));
        const int arrow = combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, combo);
        return {text + arrow + 20, line + 7};
    }
    // A box of other controls (tabs, a group) needs what its own layout needs.
    if (widget->layout() || qobject_cast<const QTabWidget*>(widget))
        return widget->minimumSizeHint();
    return {0, 0};
}

QLayoutItem* DesignItem(QWidget* widget, QSize design, Qt::Orientations grow) {
    return new DesignLayoutItem(widget, design, grow);
}

void AddDesign(QBoxLayout* layout, QWidget* widget, QSize design, Qt::Orientations grow) {
    layout->addItem(DesignItem(widget, design, grow));
}

void AddDesign(QGridLayout* layout, QWidget* widget, QSize design, int row, int column, int rowSpan,
               int columnSpan, Qt::Orientations grow) {
    layout->addItem(DesignItem(widget, design, grow), row, column, rowSpan, columnSpan);
}

void SetInnerMargins(QLayout* layout, QWidget* box, int left, int top, int right, int bottom,
                     int minimum) {
    // The box's frame is as its font makes it.
    box->ensurePolished();
    const QMargins frame = box->contentsMargins();
    layout->setContentsMargins(
        std::max(minimum, left - frame.left()), std::max(minimum, top - frame.top()),
        std::max(minimum, right - frame.right()), std::max(minimum, bottom - frame.bottom()));
}

QGridLayout* GroupGrid(QWidget* box, int left, int top, int right, int bottom, int stretchColumn) {
    auto* grid = new QGridLayout(box);
    SetInnerMargins(grid, box, left, top, right, bottom);
    grid->setSpacing(0);
    grid->setColumnStretch(stretchColumn, 1);
    return grid;
}

QFrame* EtchedLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedHeight(2);
    return line;
}

void SetUpClickables(QWidget* root) {
    for (QPushButton* button : root->findChildren<QPushButton*>()) {
        button->setAutoDefault(true);
        button->setCursor(Qt::PointingHandCursor);
    }
    for (QCheckBox* box : root->findChildren<QCheckBox*>()) box->setCursor(Qt::PointingHandCursor);
}

void MakeDisplayOnly(QLineEdit* field) {
    field->setReadOnly(true);
    GreyLikeTheFace(field);
    field->installEventFilter(new DisplayOnlyColours(field));
}

void StyleAsLink(QLabel* label) {
    // Only the underline is the label's own: family and size stay those of its window.
    QFont font;
    font.setUnderline(true);
    label->setFont(font);
    // The role, not a colour: the link follows the palette, a dark one included, and its changes.
    label->setForegroundRole(QPalette::Link);
    label->setCursor(Qt::PointingHandCursor);
}

void CentreOnScreen(QWidget* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

void SetText(QLineEdit* edit, const std::string& path) {
    const QString value = ToQPath(path);
    if (edit->text() != value) edit->setText(value);
}

std::string Text(const QLineEdit* edit) {
    return FromQPath(edit->text());
}

}  // namespace olvo
